// SPDX-License-Identifier: GPL-3.0-or-later
// The dashboard switch as the console button shows it: a round fuel button
// whose LED is amber on petrol and green on LPG, an AUTO lamp, and a row of
// level LEDs (red reserve, four green steps up to full).
#pragma once

#include <QImage>

class CConsoleSkin {
public:
    static constexpr int kWidth = 1024;
    static constexpr int kHeight = 576;

    enum class EFuel { Petrol, Auto, Lpg };
    // levels: green level LEDs lit (0..4); reserve lights the red LED.
    static QImage draw(EFuel fuel, int levels, bool reserve);
};
