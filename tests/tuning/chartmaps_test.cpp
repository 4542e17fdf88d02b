// SPDX-License-Identifier: GPL-3.0-or-later
// The map records: decoding, the coverage check at each group's limit, the
// cell pressures of both characteristics, the bins, the points shown near a
// bin's mean, and the progress bars.
#include <app/data/settingsimage.h>
#include <app/tuning/chartmaps.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::array<uint8_t, kChartMapLength> record(const std::array<uint16_t, 31>& counts, double meanMs)
{
    std::array<uint8_t, kChartMapLength> bytes {};
    unsigned total = 0;
    for (std::size_t b = 0; b < counts.size(); ++b) {
        const auto sum = static_cast<uint32_t>(counts[b] * meanMs / 0.025 + 0.5);
        for (std::size_t i = 0; i < 4; ++i)
            bytes[4 * b + i] = static_cast<uint8_t>(sum >> (8 * i));
        bytes[0x7C + 2 * b] = static_cast<uint8_t>(counts[b]);
        bytes[0x7C + 2 * b + 1] = static_cast<uint8_t>(counts[b] >> 8);
        total += counts[b];
    }
    bytes[0xBA] = static_cast<uint8_t>(total);
    bytes[0xBB] = static_cast<uint8_t>(total >> 8);
    return bytes;
}

} // namespace

TEST(ChartMaps, DecodesAndChecksCoverageAtEachGroupLimit)
{
    std::array<uint16_t, 31> counts {};
    // Groups 0–4, 5–9, 10–14, 15–19 exactly at their minimum.
    counts[0] = 200;
    counts[7] = 300;
    counts[14] = 300;
    counts[19] = 200;
    CChartMapRecord r = CChartMapRecord::decode(record(counts, 4.0));
    EXPECT_EQ(r.count[7], 300);
    EXPECT_EQ(r.sum[7], 300u * 160u);
    EXPECT_EQ(r.total, 1000);
    EXPECT_TRUE(r.covered());
    for (std::size_t cell : { 0u, 7u, 14u, 19u }) {
        CChartMapRecord less = r;
        --less.count[cell];
        EXPECT_FALSE(less.covered()) << "one sample short in cell " << cell;
    }
    CChartMapRecord beyond = r;
    beyond.count[0] = 199;
    beyond.count[20] = 5000; // cells past 19 do not count
    EXPECT_FALSE(beyond.covered());
    beyond.count[4] = 1;
    EXPECT_TRUE(beyond.covered()) << "the group sums, not one cell";
}

TEST(ChartMaps, CellPressureOfBothCharacteristics)
{
    CSettingsImage image;
    image.m_advancedSetup.m_advancedFlags = 0;
    EXPECT_LT(CChartMaps::cellPressure(1, image), 0) << "cells 0 and 1 have no pressure";
    EXPECT_LT(CChartMaps::cellPressure(25, image), 0) << "the relative sensor ends at cell 24";
    double last = -1;
    for (int b = 2; b <= 24; ++b) {
        const double p = CChartMaps::cellPressure(b, image);
        EXPECT_EQ(p, std::round(p)) << "whole kPa";
        EXPECT_GE(p, last) << "pressure rises with the cell";
        last = p;
    }
    image.m_advancedSetup.m_advancedFlags = kAdvPressureSensorAbs4Bar;
    image.m_devInfo.m_version = 0x260;
    EXPECT_GT(CChartMaps::cellPressure(30, image), 0) << "the absolute sensor uses every cell";
}

TEST(ChartMaps, BinsPointsAndProgress)
{
    CSettingsImage image;
    image.m_advancedSetup.m_advancedFlags = 0;
    std::array<uint16_t, 31> counts {};
    counts[10] = 40;
    CChartMaps maps;
    maps.build(CChartMapRecord::decode(record(counts, 5.0)), CChartMapRecord::decode(record({}, 0)), image);
    const int k = static_cast<int>(CChartMaps::cellPressure(10, image)) / 2;
    EXPECT_EQ(maps.bin(k).count(0), 11u) << "a cell's mean enters its bin eleven times";
    EXPECT_DOUBLE_EQ(maps.bin(k).mean[0], 5.0);
    EXPECT_EQ(maps.bin(k).count(1), 0u);
    EXPECT_DOUBLE_EQ(maps.filteredMean(k, 0), 5.0);
    EXPECT_EQ(maps.filteredMean(k, 1), 0);
    const auto points = maps.chartPoints();
    ASSERT_EQ(points.size(), 11u);
    EXPECT_EQ(points[0].pressureKPa, 2.0 * k);
    EXPECT_FALSE(points[0].lpg);

}

// The bar counts what "Oblicz korekty" needs: each group up to its minimum,
// full exactly when the record is covered; samples beyond a group's minimum
// do not stand in for another group's.
TEST(ChartMaps, ProgressCountsTheSamplesNeeded)
{
    EXPECT_EQ(CChartMaps::progressPosition(CChartMapRecord {}), 0);
    EXPECT_EQ(CChartMapRecord {}.missing(), 1000u);
    std::array<uint16_t, 31> counts {};
    counts[7] = 5000;
    const CChartMapRecord one = CChartMapRecord::decode(record(counts, 4.0));
    EXPECT_EQ(one.missing(), 700u);
    EXPECT_EQ(CChartMaps::progressPosition(one), 300);
    counts[0] = 200;
    counts[14] = 150;
    counts[19] = 200;
    const CChartMapRecord most = CChartMapRecord::decode(record(counts, 4.0));
    EXPECT_EQ(most.missing(), 150u);
    EXPECT_EQ(CChartMaps::progressPosition(most), 850);
    counts[14] = 300;
    const CChartMapRecord full = CChartMapRecord::decode(record(counts, 4.0));
    ASSERT_TRUE(full.covered());
    EXPECT_EQ(full.missing(), 0u);
    EXPECT_EQ(CChartMaps::progressPosition(full), 1000);
}
