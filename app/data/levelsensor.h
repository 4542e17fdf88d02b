// SPDX-License-Identifier: GPL-3.0-or-later
// The level-sensor set-up a fitter makes in "Wskazanie": the sensor types and
// their threshold presets, the three advanced flags of the sensor, and the
// threshold arrows. Qt-free.
#pragma once

#include <cstdint>
#include <optional>

struct CSensorsSetup;

namespace levelsensor {

// Bits of m_advancedSetup.m_advancedFlags2.
inline constexpr uint8_t kSupplyFromValve = 0x20;
inline constexpr uint8_t kStartInAutoWhenEmpty = 0x08;
inline constexpr uint8_t kNoRisingLevel = 0x10;

struct CPreset {
    uint8_t full;
    uint8_t threeQuarters;
    uint8_t half;
    uint8_t quarter;
    uint8_t reserve; // m_fuelRes
};

// The preset of a sensor code 0 … 12; nullopt outside.
std::optional<CPreset> preset(int code);
// Loads the code's preset into setup, m_fuelType 1 when full < quarter, else 0.
// False (setup untouched) for a code without a preset.
bool applyPreset(int code, CSensorsSetup& setup);
// Whether the stored thresholds are the code's preset.
bool matches(int code, const CSensorsSetup& setup);

// An arrow of an up-down control with delta (−1 for the upper arrow): the new
// threshold old − delta, or nullopt when it would leave 0 … 255.
std::optional<uint8_t> step(uint8_t old, int delta);

} // namespace levelsensor
