// SPDX-License-Identifier: GPL-3.0-or-later
// What the live readings panel shows for one record, and the masks its
// injector clicks send. Qt-free so the rules are tested without a window.
#pragma once

#include <app/data/diag.h>
#include <app/data/diagfile.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

class CSettingsImage;

namespace readingspanel {

// Injector display states: the pictures are red, green and white.
inline constexpr int kStateOff = 0;
inline constexpr int kStateOn = 1;
inline constexpr int kStateIdle = 2;

// The gauges in the panel's order: RPM, pressure, vacuum, reducer, gas.
inline constexpr int kGaugeCount = 5;
enum EGauge { kRpm = 0, kPressure = 1, kVacuum = 2, kReducer = 3, kGas = 4 };
// Full scale of each gauge in its unit (rpm, bar, bar, °C, °C).
inline constexpr std::array<double, kGaugeCount> kFullScale = { 8000.0, 3.0, 2.5, 100.0, 100.0 };

struct CGauge {
    int position = 0; // thousandths of the full scale, not clamped (the gauge clamps)
    std::wstring text;
};

struct CCells {
    // A text only for cells the record sets; nullopt keeps what the cell shows.
    std::array<std::optional<std::wstring>, CDiag::kInjectors> petrol;
    std::array<std::optional<std::wstring>, CDiag::kInjectors> lpg;
    std::array<int, CDiag::kInjectors> petrolState {};
    std::array<int, CDiag::kInjectors> lpgState {};
    std::array<CGauge, kGaugeCount> gauges;
};

// round(value × 1000 / full scale), halves away from zero.
int gaugePosition(double value, double fullScale);
// "%.2f ms"
std::wstring timeText(double ms);
// The slot whose LPG time the cell of a cylinder driven from petrol injector
// byte j shows: the first slot of that injector.
inline int groupedSlot(int byte) { return 2 * byte; }

// Everything the panel shows for one record with the settings image as it is.
CCells compute(const CDiag& record, const CSettingsImage& image);
// The same for a played-back recording line (fields as CDiagFile writes them):
// the masks are not recorded, so a cylinder counts as on LPG when the car was
// and its LPG time is not zero.
CCells computePlayed(const CDiagFile::Record& record);

// A click on the petrol cell of cylinder i: the new petrol states (the cylinder
// and every cylinder grouped with it by the injector assignment) and the mask of
// the cylinders that are not off.
struct CMaskChange {
    std::array<int, CDiag::kInjectors> states {};
    uint8_t mask = 0;
};
CMaskChange clickPetrol(int i, const std::array<int, CDiag::kInjectors>& petrolStates,
                        const std::array<uint8_t, 8>& injConfMap);
// A click on the LPG cell of cylinder i; nullopt when its petrol display is off.
std::optional<CMaskChange> clickLpg(int i, const std::array<int, CDiag::kInjectors>& petrolStates,
                                    const std::array<int, CDiag::kInjectors>& lpgStates);

} // namespace readingspanel
