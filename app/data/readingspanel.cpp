// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/readingspanel.h>

#include <app/data/settingsimage.h>

#include <cmath>
#include <cstdio>

namespace readingspanel {

namespace {

std::wstring format(const char* pattern, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return std::wstring(buffer, buffer + std::char_traits<char>::length(buffer));
}

} // namespace

int gaugePosition(double value, double fullScale)
{
    if (!(fullScale > 0.0) || !std::isfinite(value))
        return 0;
    return static_cast<int>(std::lround(value * 1000.0 / fullScale));
}

std::wstring timeText(double ms)
{
    return format("%.2f ms", ms);
}

namespace {

void setGauges(CCells& cells, const double (&values)[kGaugeCount])
{
    const char* const patterns[kGaugeCount] = { "%.0f", "%.2f", "%.2f", "%.0f", "%.0f" };
    for (int g = 0; g < kGaugeCount; ++g) {
        cells.gauges[g].position = gaugePosition(values[g], kFullScale[g]);
        cells.gauges[g].text = format(patterns[g], values[g]);
    }
}

} // namespace

CCells compute(const CDiag& record, const CSettingsImage& image)
{
    CCells cells;
    const auto& map = image.m_adv.m_injConfMap;
    const uint8_t mask1 = record.lpgMask1();
    const uint8_t mask2 = record.lpgMask2();
    int n = image.m_devInfo.m_injCount;
    if (n < 0)
        n = 0;
    if (n > CDiag::kInjectors)
        n = CDiag::kInjectors;
    for (int i = 0; i < n; ++i) {
        const auto m = static_cast<uint8_t>(1u << i);
        const bool onLpg = (mask1 & m) && (mask2 & m);
        if (map[static_cast<std::size_t>(i)] & m) {
            cells.petrol[i] = timeText(record.petrolTime(2 * i));
            cells.lpg[i] = onLpg ? timeText(record.lpgTime(2 * i)) : std::wstring();
            continue;
        }
        int byte = -1;
        for (int j = 0; j < 8 && byte < 0; ++j)
            if (map[static_cast<std::size_t>(j)] & m)
                byte = j;
        if (byte >= 0) {
            if (onLpg) {
                cells.petrol[i] = std::wstring();
                cells.lpg[i] = timeText(record.lpgTime(groupedSlot(byte)));
            } else {
                cells.lpg[i] = std::wstring();
            }
        } else {
            cells.petrol[i] = std::wstring();
            cells.lpg[i] = std::wstring();
        }
    }
    const uint8_t both = mask1 & mask2;
    for (int i = 0; i < CDiag::kInjectors; ++i) {
        const auto m = static_cast<uint8_t>(1u << i);
        cells.petrolState[i] = (mask1 & m) ? kStateIdle : kStateOff;
        cells.lpgState[i] = ((both & m) && record.fuelState() == 3) ? kStateOn : kStateIdle;
    }
    const CDiagScale scale(image);
    const double values[kGaugeCount] = {
        record.rpm(),
        record.lpgPressure() / 100.0,
        record.manifoldPressure(scale) / 100.0,
        record.reducerTempr(scale),
        record.lpgTempr(scale),
    };
    setGauges(cells, values);
    return cells;
}

CCells computePlayed(const CDiagFile::Record& d)
{
    CCells cells;
    const bool lpg = d[0] == 3.0;
    for (std::size_t i = 0; i < CDiag::kInjectors; ++i) {
        const double petrol = d[2 + 2 * i];
        const double gas = d[3 + 2 * i];
        cells.petrol[i] = timeText(petrol);
        // The LPG cell is empty off LPG, as it is live.
        cells.lpg[i] = lpg ? timeText(gas) : std::wstring();
        cells.petrolState[i] = lpg && gas > 0.0 ? kStateIdle : kStateOff;
        cells.lpgState[i] = lpg && gas > 0.0 ? kStateOn : kStateIdle;
    }
    const double values[kGaugeCount] = { d[1], d[18] / 100.0, d[19] / 100.0, d[21], d[20] };
    setGauges(cells, values);
    return cells;
}

CMaskChange clickPetrol(int i, const std::array<int, CDiag::kInjectors>& petrolStates,
                        const std::array<uint8_t, 8>& injConfMap)
{
    CMaskChange change;
    change.states = petrolStates;
    if (i < 0 || i >= CDiag::kInjectors)
        return change;
    const int state = petrolStates[i] != kStateOff ? kStateOff : kStateIdle;
    const auto bit = static_cast<uint8_t>(1u << i);
    for (uint8_t group : injConfMap)
        if (group & bit)
            for (int k = 0; k < CDiag::kInjectors; ++k)
                if (group & (1u << k))
                    change.states[k] = state;
    change.states[i] = state;
    for (int k = 0; k < CDiag::kInjectors; ++k)
        if (change.states[k] != kStateOff)
            change.mask |= static_cast<uint8_t>(1u << k);
    return change;
}

std::optional<CMaskChange> clickLpg(int i, const std::array<int, CDiag::kInjectors>& petrolStates,
                                    const std::array<int, CDiag::kInjectors>& lpgStates)
{
    if (i < 0 || i >= CDiag::kInjectors || petrolStates[i] == kStateOff)
        return std::nullopt;
    CMaskChange change;
    change.states = lpgStates;
    change.states[i] = lpgStates[i] == kStateOn ? kStateIdle : kStateOn;
    for (int k = 0; k < CDiag::kInjectors; ++k)
        if (change.states[k] == kStateOn)
            change.mask |= static_cast<uint8_t>(1u << k);
    return change;
}

} // namespace readingspanel
