// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/readingschart.h>

#include <cstdio>

namespace readingschart {

namespace {

using G = EGroup;
constexpr const wchar_t* kMs = L"ms";
// Nineteen hues, at least 34 apart in CIELAB (1976) and dark enough to read on
// the chart's light background; a cylinder's petrol and LPG times share one.
constexpr std::array<CLineInfo, kLineCount> kLines = { {
    { 0x0000E0, 0, G::Engine, L"Obroty", L"obr/min", -1 },
    { 0xE00000, 0, G::PressuresTemperatures, L"Ciśnienie", L"kPa", -1 },
    { 0xC0A000, 0, G::PressuresTemperatures, L"Podciśnienie", L"kPa", -1 },
    { 0x0060C0, 0, G::PressuresTemperatures, L"Temp. gazu", L"°C", -1 },
    { 0x00A0C0, 0, G::PressuresTemperatures, L"Temp. reduktora", L"°C", -1 },
    { 0xA000E0, 0, G::LambdaObd, L"Lambda 1", L"V", -1 },
    { 0xC04080, 0, G::LambdaObd, L"Lambda 2", L"V", -1 },
    { 0x80A000, 0, G::LambdaObd, L"STFT Bank 1", L"%", -1 },
    { 0x008040, 0, G::LambdaObd, L"STFT Bank 2", L"%", -1 },
    { 0x00C000, 0, G::LambdaObd, L"LTFT Bank 1", L"%", -1 },
    { 0x004040, 0, G::LambdaObd, L"LTFT Bank 2", L"%", -1 },
    { 0xC08080, 0, G::PetrolTimes, L"B", kMs, 0 }, { 0x6060C0, 0, G::PetrolTimes, L"B", kMs, 1 },
    { 0x602080, 0, G::PetrolTimes, L"B", kMs, 2 }, { 0x80A0A0, 0, G::PetrolTimes, L"B", kMs, 3 },
    { 0x604000, 0, G::PetrolTimes, L"B", kMs, 4 }, { 0x6000E0, 0, G::PetrolTimes, L"B", kMs, 5 },
    { 0xC080E0, 0, G::PetrolTimes, L"B", kMs, 6 }, { 0x404060, 0, G::PetrolTimes, L"B", kMs, 7 },
    { 0xC08080, 1, G::LpgTimes, L"G", kMs, 0 }, { 0x6060C0, 1, G::LpgTimes, L"G", kMs, 1 },
    { 0x602080, 1, G::LpgTimes, L"G", kMs, 2 }, { 0x80A0A0, 1, G::LpgTimes, L"G", kMs, 3 },
    { 0x604000, 1, G::LpgTimes, L"G", kMs, 4 }, { 0x6000E0, 1, G::LpgTimes, L"G", kMs, 5 },
    { 0xC080E0, 1, G::LpgTimes, L"G", kMs, 6 }, { 0x404060, 1, G::LpgTimes, L"G", kMs, 7 },
} };

std::string format(const char* pattern, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

double pressureY(double kpa) { return (kpa / 100.0) / 2.5 * 100.0 + 5.0; }
double timeY(double ms) { return ms / 40.0 * 100.0 + 5.0; }

} // namespace

const CLineInfo& lineInfo(int line)
{
    return kLines.at(static_cast<std::size_t>(line));
}

const wchar_t* groupTitle(EGroup group)
{
    switch (group) {
    case G::Engine: return L"Silnik";
    case G::PressuresTemperatures: return L"Ciśnienia i temperatury";
    case G::LambdaObd: return L"Lambda i OBD";
    case G::PetrolTimes: return L"Benzyna";
    case G::LpgTimes: return L"Gaz";
    }
    return L"";
}

double value(int line, double y)
{
    if (line == 0)
        return (y - 5.0) / 100.0 * 10000.0;
    if (line == 1 || line == 2)
        return (y - 5.0) / 100.0 * 250.0;
    if (line == 3 || line == 4)
        return y - 5.0;
    if (line == 5 || line == 6)
        return (y - 5.0) / 100.0 * 5.0;
    if (line >= 7 && line <= 10)
        return y - 5.0 - 50.0;
    return (y - 5.0) / 100.0 * 40.0;
}

std::string label(int line, double y)
{
    const double reading = value(line, y);
    if (line <= 4)
        return format("%.0f", reading);
    if (line <= 10)
        return format("%.1f", reading);
    return format("%.2f", reading);
}

Points livePoints(const CDiag& record, const CDiagScale& scale, const Trims& trims)
{
    Points y {};
    y[0] = record.rpm() / 10000.0 * 100.0 + 5.0;
    y[1] = pressureY(record.lpgPressure());
    y[2] = pressureY(record.manifoldPressure(scale));
    y[3] = record.lpgTempr(scale) + 5.0;
    y[4] = record.reducerTempr(scale) + 5.0;
    y[5] = record.lambda1() * 20.0 + 5.0;
    y[6] = record.lambda2() * 20.0 + 5.0;
    y[7] = trims[0] + 55.0;
    y[8] = trims[2] + 55.0;
    y[9] = trims[1] + 55.0;
    y[10] = trims[3] + 55.0;
    const bool lpg = record.fuelState() == 3;
    for (int k = 0; k < CDiag::kInjectors; ++k) {
        const int slot = record.injectorSlot(k);
        y[static_cast<std::size_t>(kPetrolLine + k)] = timeY(record.petrolTime(slot));
        y[static_cast<std::size_t>(kLpgLine + k)] = timeY(lpg ? record.lpgTime(slot) : 0.0);
    }
    return y;
}

Points playbackPoints(const CDiagFile::Record& d)
{
    Points y {};
    y[0] = d[1] / 10000.0 * 100.0 + 5.0;
    y[1] = pressureY(d[18]);
    y[2] = pressureY(d[19]);
    y[3] = d[20] + 5.0;
    y[4] = d[21] + 5.0;
    y[5] = d[22] * 20.0 + 5.0;
    y[6] = d[23] * 20.0 + 5.0;
    y[7] = d[24] + 55.0;
    y[8] = d[26] + 55.0;
    y[9] = d[25] + 55.0;
    y[10] = d[27] + 55.0;
    const bool lpg = d[0] == 3.0;
    for (int k = 0; k < CDiag::kInjectors; ++k) {
        y[static_cast<std::size_t>(kPetrolLine + k)] = timeY(d[static_cast<std::size_t>(2 + 2 * k)]);
        y[static_cast<std::size_t>(kLpgLine + k)] = lpg ? timeY(d[static_cast<std::size_t>(3 + 2 * k)]) : 5.0;
    }
    return y;
}

} // namespace readingschart
