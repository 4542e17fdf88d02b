// SPDX-License-Identifier: GPL-3.0-or-later
// The picture of the about box: the program's name beside a flame emblem, on a dark card.
#pragma once

#include <QImage>

class CLogoSkin {
public:
    static constexpr int kWidth = 1200;
    static constexpr int kHeight = 480;

    static QImage draw();
};
