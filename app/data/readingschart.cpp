#include <app/data/readingschart.h>

#include <cstdio>

namespace readingschart {

namespace {

constexpr std::array<CLineInfo, kLineCount> kLines = { {
    { 0x2D2D5A }, { 0x649664 }, { 0x649196 }, { 0x8046BE }, { 0x1E64DC }, { 0xFC64E6 }, { 0x7D0269 },
    { 0xFFFF00 }, { 0xFF8080 }, { 0x40FF00 }, { 0x008000 },
    { 0x000096 }, { 0x000096 }, { 0x000096 }, { 0x000096 }, { 0x000096 }, { 0x000096 }, { 0x000096 }, { 0x000096 },
    { 0x005000 }, { 0x005000 }, { 0x005000 }, { 0x005000 }, { 0x005000 }, { 0x005000 }, { 0x005000 }, { 0x005000 },
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

std::string label(int line, double y)
{
    if (line == 0)
        return format("%.0f", (y - 5.0) / 100.0 * 10000.0);
    if (line == 1 || line == 2)
        return format("%.0f", (y - 5.0) / 100.0 * 250.0);
    if (line == 3 || line == 4)
        return format("%.0f", y - 5.0);
    if (line == 5 || line == 6)
        return format("%.1f", (y - 5.0) / 100.0 * 5.0);
    if (line >= 7 && line <= 10)
        return format("%.1f", y - 5.0 - 50.0);
    return format("%.2f", (y - 5.0) / 100.0 * 40.0);
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
