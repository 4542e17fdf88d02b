// SPDX-License-Identifier: GPL-3.0-or-later
// The dial of the round gauge: a light face with a dark bezel, a scale swept
// clockwise over the top from 68 degrees (lower left) to 292 degrees (lower
// right) with 0 degrees pointing straight down, and a recessed window below the
// centre where the gauge prints its title and value.
#pragma once

#include <QImage>

class CGaugeSkin {
public:
    static constexpr int kSize = 1024;
    static constexpr double kMinAngle = 68.0;
    static constexpr double kMaxAngle = 292.0;

    static QImage draw();
};
