// SPDX-License-Identifier: GPL-3.0-or-later
// The injector-state pictures: one injector drawn in green, red or white.
#pragma once

#include <QColor>
#include <QImage>

class CInjectorSkin {
public:
    static constexpr int kSize = 192;

    static QImage draw(const QColor& body);
};
