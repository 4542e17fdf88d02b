// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/chartmaps.h>

#include <app/data/conversions.h>
#include <app/data/diag.h>
#include <app/data/settingsimage.h>
#include <app/device/lpgdevice.h>

#include <cmath>
#include <numeric>

namespace {

constexpr std::size_t kCountsAt = 0x7C;
constexpr std::size_t kTotalAt = 0xBA;
constexpr double kTickMs = 0.025;
constexpr double kBand = 0.15;

uint32_t u32At(const std::array<uint8_t, kChartMapLength>& b, std::size_t at)
{
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 | static_cast<uint32_t>(b[at + 2]) << 16
        | static_cast<uint32_t>(b[at + 3]) << 24;
}

uint16_t u16At(const std::array<uint8_t, kChartMapLength>& b, std::size_t at)
{
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

double meanOf(const std::vector<double>& v)
{
    return v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}

} // namespace

CChartMapRecord CChartMapRecord::decode(const std::array<uint8_t, kChartMapLength>& bytes)
{
    CChartMapRecord r;
    for (std::size_t b = 0; b < kCells; ++b) {
        r.sum[b] = u32At(bytes, 4 * b);
        r.count[b] = u16At(bytes, kCountsAt + 2 * b);
    }
    r.total = u16At(bytes, kTotalAt);
    return r;
}

std::array<unsigned, 4> CChartMapRecord::groupCounts() const
{
    std::array<unsigned, 4> groups {};
    for (std::size_t b = 0; b < 20; ++b)
        groups[b / 5] += count[b];
    return groups;
}

bool CChartMapRecord::covered() const
{
    const auto groups = groupCounts();
    for (std::size_t g = 0; g < groups.size(); ++g)
        if (groups[g] < kGroupMinimum[g])
            return false;
    return true;
}

double CChartMaps::cellPressure(int b, const CSettingsImage& image)
{
    if (b < 2 || b >= CChartMapRecord::kCells)
        return -1;
    if (image.m_advancedSetup.m_advancedFlags & kAdvPressureSensorAbs4Bar) {
        CDiag probe;
        probe.bytes()[10] = static_cast<uint8_t>(b * 156 / 72 + 11);
        return probe.manifoldPressure(CDiagScale(image));
    }
    if (b > 24)
        return -1;
    return roundHalfAway(101 - pressureFromByte(static_cast<uint8_t>(83 - 3 * b)));
}

unsigned CChartMapRecord::missing() const
{
    const auto groups = groupCounts();
    unsigned wanting = 0;
    for (std::size_t g = 0; g < groups.size(); ++g)
        wanting += groups[g] < kGroupMinimum[g] ? kGroupMinimum[g] - groups[g] : 0;
    return wanting;
}

int CChartMaps::progressPosition(const CChartMapRecord& record)
{
    unsigned needed = 0;
    for (const unsigned minimum : CChartMapRecord::kGroupMinimum)
        needed += minimum;
    return static_cast<int>(std::lround(1000.0 * (needed - record.missing()) / needed));
}

void CChartMaps::add(int k, int fuel, double mean)
{
    Bin& bin = m_bins[static_cast<std::size_t>(k)];
    auto& list = bin.samples[static_cast<std::size_t>(fuel)];
    list.insert(list.end(), kCellWeight, mean);
    bin.mean[static_cast<std::size_t>(fuel)] = meanOf(list);
}

void CChartMaps::build(const CChartMapRecord& petrol, const CChartMapRecord& lpg, const CSettingsImage& image)
{
    m_records = { petrol, lpg };
    m_bins = {};
    for (int b = 2; b < CChartMapRecord::kCells; ++b) {
        const double p = cellPressure(b, image);
        if (p < 0)
            continue;
        const int k = static_cast<int>(std::trunc(p)) / 2;
        if (k >= kBins)
            continue;
        for (int fuel = 0; fuel < kFuels; ++fuel) {
            const CChartMapRecord& r = m_records[static_cast<std::size_t>(fuel)];
            const auto cell = static_cast<std::size_t>(b);
            if (r.count[cell] == 0)
                continue;
            const double mean = roundTo001(static_cast<double>(r.sum[cell]) / r.count[cell] * kTickMs);
            if (mean > 0)
                add(k, fuel, mean);
        }
    }
}

bool CChartMaps::read(CLPGDevice& device)
{
    std::array<uint8_t, kChartMapLength> petrol {}, lpg {};
    if (!device.readPetrolMap(petrol) || !device.readLpgMap(lpg))
        return false;
    build(CChartMapRecord::decode(petrol), CChartMapRecord::decode(lpg), device.liveImage());
    return true;
}

std::vector<CChartPoint> CChartMaps::chartPoints() const
{
    std::vector<CChartPoint> points;
    for (int k = 0; k < kBins; ++k)
        for (int fuel = 0; fuel < kFuels; ++fuel) {
            const Bin& b = bin(k);
            const auto f = static_cast<std::size_t>(fuel);
            if (b.samples[f].size() <= 5)
                continue;
            for (double s : b.samples[f])
                if (std::fabs(s - b.mean[f]) <= kBand * b.mean[f])
                    points.push_back({ s, 2.0 * k, fuel == 1 });
        }
    return points;
}

double CChartMaps::filteredMean(int k, int fuel) const
{
    const Bin& b = bin(k);
    const auto f = static_cast<std::size_t>(fuel);
    if (b.samples[f].size() <= 10)
        return 0;
    double sum = 0;
    int n = 0;
    for (double s : b.samples[f])
        if (std::fabs(s - b.mean[f]) <= kBand * b.mean[f]) {
            sum += s;
            ++n;
        }
    return n ? sum / n : 0;
}
