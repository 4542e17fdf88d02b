// SPDX-License-Identifier: GPL-3.0-or-later
// The map from fuel trims: the sample of the four trims, the cell of an
// operating point, averaging and 3 × 3 smoothing, the engine-stopped sample,
// the redraw every twelfth tick, Start refused on petrol, and "Oblicz
// korekty" adding the result to the map within its range.
#include <app/data/diag.h>
#include <app/device/lpgdevice.h>
#include <app/tuning/mapfromobd.h>
#include <app/tuning/deviceobd.h>

#include "scriptedinteraction.h"

#include <gtest/gtest.h>

TEST(MapFromObd, SamplesAndCells)
{
    // Bank 2 silent: bank 1 alone; otherwise half the sum of all four.
    EXPECT_DOUBLE_EQ(CMapFromOBD::trimSample(4.5, -1.5, 0, 0), 3.0);
    EXPECT_DOUBLE_EQ(CMapFromOBD::trimSample(4.5, -1.5, 2, 0), 2.5);
    EXPECT_DOUBLE_EQ(CMapFromOBD::trimSample(4, 2, -1, 1), 3.0);

    const CCorrMap map; // 2 … 20 ms, 500 … 7500 rpm
    EXPECT_EQ(CMapFromOBD::cellOf(map, 400, 1.5), 0);
    EXPECT_EQ(CMapFromOBD::cellOf(map, 500, 2.0), 1 * 15 + 1) << "a breakpoint bounds its cell from above";
    EXPECT_EQ(CMapFromOBD::cellOf(map, 2999, 4.9), 3 * 15 + 5);
    EXPECT_EQ(CMapFromOBD::cellOf(map, 9000, 25), 18 * 15 + 14);

    CMapFromOBD obd(map);
    obd.addSample(800, 3.5, 4.5, -1.5, 0, 0);
    obd.addSample(800, 3.5, 4.5, 0, 0, 0);
    obd.addSample(0, 3.5, 30, 30, 0, 0); // engine stopped
    obd.addSample(800, 0, 30, 30, 0, 0);
    const int cell = 2 * 15 + 1;
    EXPECT_EQ(obd.sampleCount(cell), 2u);
    EXPECT_EQ(obd.cellMean()[cell], 4) << "3.75 rounded";
    obd.addSample(800, 3.5, -20, 0, 0, 0);
    EXPECT_EQ(obd.cellMean()[cell], -4) << "-4.33 rounded";
    obd.clearSamples();
    EXPECT_EQ(obd.sampleCount(cell), 0u);
    EXPECT_EQ(obd.cellMean()[cell], 0);
}

TEST(MapFromObd, SmoothingOverTheNeighbourhoodInsideTheGrid)
{
    const CCorrMap map;
    CMapFromOBD obd(map);
    obd.addSample(100, 1, 8, 0, 0, 0); // corner (0, 0)
    obd.addSample(3200, 10.5, 9, 0, 0, 0); // inside (9, 6)
    obd.addSample(7700, 12.5, 5.5, 0, 0, 0); // right edge (11, 14), 5.5 → 6
    const auto& result = obd.averageAndSmooth();
    EXPECT_DOUBLE_EQ(result[0], 2.0) << "8 / 4";
    EXPECT_DOUBLE_EQ(result[1], 8.0 / 6) << "on the edge";
    EXPECT_DOUBLE_EQ(result[15 + 1], 8.0 / 9);
    EXPECT_DOUBLE_EQ(result[2], 0.0);
    EXPECT_DOUBLE_EQ(result[9 * 15 + 6], 1.0) << "9 / 9";
    EXPECT_DOUBLE_EQ(result[8 * 15 + 5], 1.0);
    EXPECT_DOUBLE_EQ(result[11 * 15 + 14], 1.0) << "6 / 6";
    EXPECT_DOUBLE_EQ(result[12 * 15 + 13], 6.0 / 9);
}

TEST(MapFromObd, StartRefusedOnPetrolAndRedrawEveryTwelfthTick)
{
    CScriptedInteraction ui;
    CInteractionScope scope(ui);
    CLPGDevice device;
    device.session().startDemoMode();
    CMapFromOBD obd(device.image().m_corrMap);
    EXPECT_FALSE(obd.start(device)) << "no live record yet";
    EXPECT_TRUE(ui.shown().empty());

    CDiag record;
    record.setFuelState(2);
    device.diagData().push(record);
    EXPECT_FALSE(obd.start(device));
    EXPECT_FALSE(obd.running());
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, L"Mapowanie z OBD tylko przy pracy na gazie!");
    EXPECT_EQ(ui.shown()[0].icon, MsgIcon::Information);
    EXPECT_EQ(ui.shown()[0].caption, L"KORVANA");
    EXPECT_FALSE(obd.tick(obdOf(device), 800, 3.5));
    EXPECT_EQ(obd.sampleCount(2 * 15 + 1), 0u) << "nothing collected";

    record.setFuelState(3);
    device.diagData().push(record);
    ASSERT_TRUE(obd.start(device));
    obdOf(device).setReadingText(0, L"2.00");
    obdOf(device).setReadingText(1, L"1.00");
    std::vector<int> redraws;
    for (int t = 1; t <= 30; ++t)
        if (obd.tick(obdOf(device), 800, 3.5))
            redraws.push_back(t);
    EXPECT_EQ(redraws, (std::vector<int> { 12, 24 }));
    EXPECT_EQ(obd.sampleCount(2 * 15 + 1), 30u);
    EXPECT_EQ(obd.cellMean()[2 * 15 + 1], 3);
}

TEST(MapFromObd, CalculateAddsTheResultWithinTheMapRange)
{
    CScriptedInteraction ui;
    CInteractionScope scope(ui);
    CLPGDevice device;
    device.session().startDemoMode();
    auto& table = device.liveImage().m_corrMap.m_injMapTable;
    table[0][0] = 49;
    table[18][14] = -45;
    table[9][6] = 10;
    CMapFromOBD obd(device.image().m_corrMap);
    CDiag record;
    record.setFuelState(3);
    device.diagData().push(record);
    ASSERT_TRUE(obd.start(device));
    obd.addSample(100, 1, 20, 20, 0, 0); // corner +40 → +10 on (0, 0)
    obd.addSample(9000, 30, -40, -40, 0, 0); // corner −80 → −20 on (18, 14)
    obd.addSample(3200, 10.5, 9, 0, 0, 0);
    ASSERT_TRUE(obd.calculate(device));
    EXPECT_EQ(table[0][0], 50) << "59 clamped";
    EXPECT_EQ(table[18][14], -50) << "-65 clamped";
    EXPECT_EQ(table[9][6], 11);
    EXPECT_EQ(table[9][7], 1);
    EXPECT_EQ(table[0][1], 7) << "40 / 6 rounded to whole percent";
    EXPECT_EQ(table[17][14], -13) << "-80 / 6 rounded";
    EXPECT_EQ(table[5][5], 0);
    EXPECT_FALSE(obd.running());
    EXPECT_EQ(obd.sampleCount(0), 0u);
    EXPECT_TRUE(ui.shown().empty());
}
