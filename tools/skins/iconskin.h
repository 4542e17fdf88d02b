// SPDX-License-Identifier: GPL-3.0-or-later
// Small pictures: the image check boxes (two looks) and the recorder buttons.
#pragma once

#include <QImage>

class CIconSkin {
public:
    static constexpr int kCheckSize = 128;
    static constexpr int kButtonSize = 128;

    // Look 1: the settings pages' boxes (blue when ticked); look 2: the chart
    // line boxes of the readings page (green when ticked).
    static QImage checkBox(bool selected, int look);

    enum class EGlyph { Record, Play, Pause, Prev, Next, Open, Stop };
    static QImage button(EGlyph glyph);
};
