// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/levelsensor.h>

#include <app/data/settingsimage.h>

#include <array>

namespace levelsensor {

namespace {

constexpr std::array<CPreset, 13> kPresets = { {
    { 90, 150, 195, 238, 1 },
    { 45, 140, 180, 230, 1 },
    { 60, 45, 30, 5, 0 },
    { 65, 50, 40, 20, 0 },
    { 65, 55, 42, 30, 0 },
    { 15, 25, 40, 85, 0 },
    { 30, 110, 140, 230, 1 },
    { 70, 60, 40, 20, 0 },
    { 8, 22, 35, 55, 0 },
    { 215, 180, 140, 45, 1 },
    { 220, 170, 120, 70, 2 },
    { 90, 65, 35, 5, 0 },
    { 110, 150, 190, 240, 1 },
} };

} // namespace

std::optional<CPreset> preset(int code)
{
    if (code < 0 || code >= static_cast<int>(kPresets.size()))
        return std::nullopt;
    return kPresets[static_cast<std::size_t>(code)];
}

bool applyPreset(int code, CSensorsSetup& setup)
{
    const auto p = preset(code);
    if (!p)
        return false;
    setup.m_fuelFull = p->full;
    setup.m_fuelHgw = p->threeQuarters;
    setup.m_fuelHalf = p->half;
    setup.m_fuelQuarter = p->quarter;
    setup.m_fuelRes = p->reserve;
    setup.m_fuelType = setup.m_fuelFull < setup.m_fuelQuarter ? 1 : 0;
    return true;
}

bool matches(int code, const CSensorsSetup& setup)
{
    const auto p = preset(code);
    return p && p->full == setup.m_fuelFull && p->threeQuarters == setup.m_fuelHgw && p->half == setup.m_fuelHalf
        && p->quarter == setup.m_fuelQuarter;
}

std::optional<uint8_t> step(uint8_t old, int delta)
{
    const int value = int { old } - delta;
    if (value < 0 || value > 255)
        return std::nullopt;
    return static_cast<uint8_t>(value);
}

} // namespace levelsensor
