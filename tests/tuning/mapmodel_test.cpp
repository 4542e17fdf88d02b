// SPDX-License-Identifier: GPL-3.0-or-later
// The map grid's rules without a device: keyboard selection, the step edit
// with its neighbour rings and clamping, the region record at the grid's
// edges, the axis header rules, the operating point and the colours.
#include <app/data/diag.h>
#include <app/tuning/mapmodel.h>

#include <gtest/gtest.h>

namespace {

// A grid of zeros on the default axes.
CMapModel zeroGrid()
{
    CMapModel model;
    CSettingsImage image;
    model.load(image.m_corrMap.m_injMapTable, image.m_corrMap.m_injTimeAxis, image.m_corrMap.m_rpmAxis);
    return model;
}

TEST(MapModel, StepWithNothingSelectedChangesNothing)
{
    CMapModel model = zeroGrid();
    const auto result = model.incrementSelected(+1);
    EXPECT_FALSE(result.changed);
    EXPECT_FALSE(result.sent);
    EXPECT_EQ(model.repeatCount(), 0);
    for (int c = 0; c < kMapCols; ++c)
        for (int r = 0; r < kMapRows; ++r)
            ASSERT_EQ(model.cellValue(c, r), 0);
}

// Steps 1 … 9 up with neighbours on: the 2nd, 4th, 6th, 8th change a ring of
// one, the 3rd and 9th a ring of two, the others the selection only.
TEST(MapModel, NeighbourRingsFollowTheRepeatCountAndRestartOnReversal)
{
    CMapModel model = zeroGrid();
    model.setChangeNeighbours(true);
    model.selectRect({ 7, 9, 7, 9 });
    const int expectedMargin[] = { 0, 1, 2, 1, 0, 1, 0, 1, 2 };
    for (int step = 0; step < 9; ++step) {
        const int centre = model.cellValue(7, 9);
        const int ring1 = model.cellValue(8, 10);
        const int ring2 = model.cellValue(5, 11);
        const int outside = model.cellValue(10, 9);
        model.incrementSelected(+1);
        EXPECT_EQ(model.repeatCount(), step + 1);
        const int margin = expectedMargin[step];
        EXPECT_EQ(model.cellValue(7, 9), centre + 1) << "step " << step + 1;
        EXPECT_EQ(model.cellValue(8, 10), ring1 + (margin >= 1 ? 1 : 0)) << "step " << step + 1;
        EXPECT_EQ(model.cellValue(5, 11), ring2 + (margin == 2 ? 1 : 0)) << "step " << step + 1;
        EXPECT_EQ(model.cellValue(10, 9), outside) << "step " << step + 1;
    }
    // Reversing restarts the count: the first step down touches the selection only.
    model.incrementSelected(-1);
    EXPECT_EQ(model.repeatCount(), 1);
    EXPECT_FALSE(model.lastStepUp());
    EXPECT_EQ(model.cellValue(7, 9), 8);
    EXPECT_EQ(model.cellValue(8, 10), 6);
    model.incrementSelected(-1);
    EXPECT_EQ(model.cellValue(8, 10), 5);
    EXPECT_EQ(model.cellValue(5, 11), 2);
    // Toggling the box restarts it as well.
    model.setChangeNeighbours(true);
    EXPECT_EQ(model.repeatCount(), 0);
}

TEST(MapModel, StepsClampAtTheCellLimits)
{
    CMapModel model = zeroGrid();
    model.setCellValue(3, 3, 50);
    model.setCellValue(4, 3, 49);
    model.setCellValue(3, 4, -50);
    model.selectRect({ 3, 3, 4, 3 });
    model.incrementSelected(+1);
    EXPECT_EQ(model.cellValue(3, 3), 50);
    EXPECT_EQ(model.cellValue(4, 3), 50);
    model.selectRect({ 3, 4, 3, 4 });
    model.incrementSelected(-1);
    EXPECT_EQ(model.cellValue(3, 4), -50);
}

struct RegionCase {
    MapCell first;
    int rows, columns, margin, delta;
    MapRegionRecord expected;
};

TEST(MapModel, RegionRecordStaysInsideTheGrid)
{
    const RegionCase cases[] = {
        { { 0, 0 }, 1, 1, 2, +1, { 0, 0, 3, 3, 2, 1 } },
        { { 14, 0 }, 1, 1, 2, +1, { 0, 12, 3, 3, 2, 1 } },
        { { 0, 18 }, 1, 1, 2, -1, { 16, 0, 3, 3, 3, 1 } },
        { { 14, 18 }, 1, 1, 1, -1, { 17, 13, 2, 2, 3, 1 } },
        { { 13, 17 }, 2, 2, 2, +1, { 15, 11, 4, 4, 2, 1 } },
        { { 4, 6 }, 2, 3, 0, +1, { 6, 4, 2, 3, 2, 1 } },
        { { 4, 6 }, 2, 3, 1, -1, { 5, 3, 4, 5, 3, 1 } },
    };
    for (const auto& k : cases)
        EXPECT_EQ(mapEditRegion(k.first, k.rows, k.columns, k.margin, k.delta), k.expected)
            << k.first.column << "," << k.first.row << " margin " << k.margin;
    // Every block, every margin: never outside 19 × 15.
    for (int c = 0; c < kMapCols; ++c)
        for (int r = 0; r < kMapRows; ++r)
            for (int margin = 0; margin <= 2; ++margin) {
                const auto region = mapEditRegion({ c, r }, kMapRows - r, kMapCols - c, margin, +1);
                ASSERT_LE(region[0] + region[2], kMapRows);
                ASSERT_LE(region[1] + region[3], kMapCols);
                ASSERT_GT(region[2], 0);
                ASSERT_GT(region[3], 0);
            }
}

TEST(MapModel, KeyboardSelectionMovesAndExtendsFromTheAnchor)
{
    CMapModel model = zeroGrid();
    model.selectMove(MapKey::Right); // nothing selected: nothing happens
    EXPECT_FALSE(model.selectionRect());

    model.selectRect({ 5, 5, 5, 5 });
    model.selectExtend(MapKey::Right);
    model.selectExtend(MapKey::Right);
    EXPECT_EQ(model.selectionRect(), (MapRect { 5, 5, 7, 5 }));
    model.selectExtend(MapKey::Down);
    EXPECT_EQ(model.selectionRect(), (MapRect { 5, 5, 7, 6 }));
    model.selectExtend(MapKey::Left); // shrinks towards the anchor
    EXPECT_EQ(model.selectionRect(), (MapRect { 5, 5, 6, 6 }));
    model.selectExtend(MapKey::Left);
    model.selectExtend(MapKey::Left); // past the anchor: grows to the left
    EXPECT_EQ(model.selectionRect(), (MapRect { 4, 5, 5, 6 }));
    EXPECT_TRUE(model.isSelected(4, 6));
    model.selectExtend(MapKey::Up);
    model.selectExtend(MapKey::Up);
    EXPECT_EQ(model.selectionRect(), (MapRect { 4, 4, 5, 5 }));

    model.incrementSelected(+1);
    model.selectMove(MapKey::Up); // from the first selected cell, resets the count
    EXPECT_EQ(model.repeatCount(), 0);
    EXPECT_EQ(model.selectionRect(), (MapRect { 4, 3, 4, 3 }));
    EXPECT_EQ(model.anchor(), (MapCell { 4, 3 }));
    model.selectRect({ 0, 0, 0, 0 });
    model.selectMove(MapKey::Left);
    model.selectMove(MapKey::Up);
    EXPECT_EQ(model.selectionRect(), (MapRect { 0, 0, 0, 0 }));
    model.selectRect({ 14, 18, 14, 18 });
    model.selectExtend(MapKey::Right);
    model.selectExtend(MapKey::Down);
    EXPECT_EQ(model.selectionRect(), (MapRect { 14, 18, 14, 18 }));
}

TEST(MapModel, HeaderEditsFollowTheAxisRules)
{
    CMapModel model;
    TimeAxis time { 3.0, 3.4, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20 };
    RpmAxis rpm { 700, 1000, 1500, 2000, 2500, 3000, 3500, 4000, 4500, 5000, 5500, 6000, 6500, 7000, 7500 };
    model.load({}, time, rpm);
    EXPECT_EQ(model.commitHeaderEdit(true, 0, "3,5"), "3.2");
    EXPECT_EQ(model.commitHeaderEdit(true, 18, "60"), "50.0");
    EXPECT_EQ(model.commitHeaderEdit(true, 18, "19"), "19.2"); // not below its neighbour
    EXPECT_EQ(model.commitHeaderEdit(true, 5, "6,31"), "6.4");  // to 0.2 ms
    EXPECT_EQ(model.commitHeaderEdit(true, 5, "6,3"), "6.4");   // half away from zero
    EXPECT_EQ(model.commitHeaderEdit(true, 5, "9"), "7.8");     // below the next breakpoint
    EXPECT_EQ(model.commitHeaderEdit(true, 5, "5"), "6.2");     // above the previous one
    EXPECT_EQ(model.commitHeaderEdit(true, 0, "-4"), "0.2");    // a byte cannot hold less
    EXPECT_EQ(model.commitHeaderEdit(false, 14, "8400"), "8000");
    EXPECT_EQ(model.commitHeaderEdit(false, 13, "8400"), "7400"); // the neighbour forces it
    EXPECT_EQ(model.commitHeaderEdit(false, 0, "250"), "500");
    EXPECT_EQ(model.commitHeaderEdit(false, 1, "250"), "800");
    EXPECT_EQ(model.commitHeaderEdit(false, 4, "2749"), "2700");
    EXPECT_EQ(model.commitHeaderEdit(false, 4, "2750"), "2800");
    // Within half a step of a neighbour: rounded onto it first, then kept off it.
    EXPECT_EQ(model.commitHeaderEdit(true, 1, "3,95"), "3.8");
    EXPECT_EQ(model.commitHeaderEdit(true, 1, "3,05"), "3.2");
    EXPECT_EQ(model.commitHeaderEdit(false, 4, "2960"), "2900");
    EXPECT_EQ(model.commitHeaderEdit(false, 4, "2040"), "2100");
    EXPECT_EQ(model.commitHeaderEdit(false, 0, "960"), "900");
    EXPECT_EQ(model.commitHeaderEdit(false, 4, ""), "");
    EXPECT_EQ(model.commitHeaderEdit(false, 4, "abc"), "2500");
    EXPECT_EQ(CMapModel::bodyCellText("12,6"), "13");
}

TEST(MapModel, OperatingPointCellTakesBreakpointsAsUpperBounds)
{
    const CSettingsImage image;
    const auto& time = image.m_corrMap.m_injTimeAxis; // 2 … 20
    const auto& rpm = image.m_corrMap.m_rpmAxis;      // 500 … 7500? see the image
    EXPECT_EQ(operatingPointCell(time, rpm, 99999, 99), (MapCell { 14, 18 }));
    EXPECT_EQ(operatingPointCell(time, rpm, 0, 0), (MapCell { 0, 0 }));
    EXPECT_EQ(operatingPointCell(time, rpm, rpm[3], time[4]), (MapCell { 4, 5 }));
    EXPECT_EQ(operatingPointCell(time, rpm, rpm[3] - 1, time[4] - 0.01), (MapCell { 3, 4 }));

    CMapModel model = zeroGrid();
    model.markOperatingPoint(99999, 99);
    EXPECT_EQ(model.currentCell(), (MapCell { 14, 18 }));
}

TEST(MapModel, OperatingPointOfALiveRecordTakesTheLargestPetrolTime)
{
    CDiag record;
    record.setU16(16, 1600); // 4 800 000 / 1600 = 3000 rpm
    record.setU16(18 + 4 * 0, 200);  // 5.000 ms
    record.setU16(18 + 4 * 5, 213);  // 5.325 ms, slot 5 of 4 injectors' 8
    record.setU16(18 + 4 * 8, 400);  // slot 8: beyond 2 × 4, not counted
    const OperatingPoint point = operatingPointOf(record, 4);
    EXPECT_DOUBLE_EQ(point.rpm, 3000);
    EXPECT_NEAR(point.timeMs, 5.33, 1e-9);
    EXPECT_NEAR(operatingPointOf(record, 2).timeMs, 5.0, 1e-9);
}

TEST(MapModel, ColoursOfValuesAndOfTheGreyMode)
{
    EXPECT_EQ(valueColour(0), 0xFFFFFFu);
    EXPECT_EQ(valueColour(50), 0x0505FFu); // 255 − 5·50 leaves 5
    EXPECT_EQ(valueColour(-50), 0x05FFFFu);
    EXPECT_EQ(valueColour(10), 0xCDCDFFu);
    EXPECT_EQ(valueColour(-1), 0xFAFFFFu);
    EXPECT_EQ(darkenColour(0xDEDEDE, 5), 0xD9DEDEu);
    EXPECT_EQ(darkenColour(0x03DEDE, 5), 0x00D9DEu);
    EXPECT_EQ(darkenColour(0x0002DE, 5), 0x0000DEu); // green has no further to go
    EXPECT_EQ(darkenColour(0xDEDEDE, 2.5), 0xDCDEDEu); // 219.5 rounds up

    CMapModel model = zeroGrid();
    model.setCellValue(2, 2, 20);
    EXPECT_EQ(model.background(2, 2), valueColour(20));
    model.setColourMode(0);
    EXPECT_EQ(model.background(2, 2), kMapGrey);
    const CSettingsImage image;
    const double rpm = image.m_corrMap.m_rpmAxis[1] + 1;
    const double ms = image.m_corrMap.m_injTimeAxis[1] + 0.1;
    // Three ticks on the same cell, then away: three darkenings.
    for (int i = 0; i < 3; ++i)
        model.markOperatingPoint(rpm, ms);
    model.markOperatingPoint(0, 0);
    EXPECT_EQ(model.background(2, 2), 0xCFDEDEu);
    model.setColourMode(1);
    EXPECT_EQ(model.background(2, 2), valueColour(20));
    model.setDarkenStep(3);
    EXPECT_EQ(model.background(2, 2), kMapGrey);
}

TEST(MapModel, TrailKeepsTheLastTenCellsNewestFirst)
{
    CMapModel model = zeroGrid();
    const auto& rpm = model.rpmAxis();
    for (int c = 0; c < 12; ++c) {
        model.markOperatingPoint(rpm[c] - 1, 0);
        model.markOperatingPoint(rpm[c] - 1, 0); // standing still adds nothing
    }
    ASSERT_EQ(model.trail().size(), 10u);
    EXPECT_EQ(model.trail().front(), (MapCell { 11, 0 }));
    EXPECT_EQ(model.trail().back(), (MapCell { 2, 0 }));
}

TEST(MapModel, CopyGivesAxesInTheFirstRowAndColumnAndPasteTakesItBack)
{
    CMapModel model = zeroGrid();
    model.setCellValue(1, 2, 5);
    model.setCellValue(2, 2, -7);
    model.setCellValue(1, 3, 12);
    model.selectRect({ 1, 2, 2, 3 });
    const std::string text = model.copySelection();
    EXPECT_EQ(text, "ms\t" + rpmText(model.rpmAxis()[1]) + "\t" + rpmText(model.rpmAxis()[2]) + "\n"
                        + timeText(model.timeAxis()[2]) + "\t5\t-7\n" + timeText(model.timeAxis()[3]) + "\t12\t0\n");
    model.selectRect({ 10, 15, 10, 15 });
    ASSERT_TRUE(model.paste(text)); // not connected: the grid only
    EXPECT_EQ(model.cellValue(10, 15), 5);
    EXPECT_EQ(model.cellValue(11, 15), -7);
    EXPECT_EQ(model.cellValue(10, 16), 12);
    EXPECT_EQ(model.selectionRect(), (MapRect { 10, 15, 11, 16 }));
}

TEST(MapModel, InterpolationOfAFiveByFiveBlockWithoutDevice)
{
    CMapModel model = zeroGrid();
    model.setCellValue(2, 3, 0);
    model.setCellValue(6, 3, 10);
    model.setCellValue(2, 7, -10);
    model.setCellValue(6, 7, 20);
    model.selectRect({ 2, 3, 6, 7 });
    ASSERT_TRUE(model.interpolateSelection());
    // 10·fx − 10·fy + 20·fx·fy, rounded half away from zero.
    const int expected[5][5] = {
        { 0, 3, 5, 8, 10 }, { -3, 1, 5, 9, 13 }, { -5, 0, 5, 10, 15 }, { -8, -1, 5, 11, 18 }, { -10, -3, 5, 13, 20 },
    };
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(model.cellValue(2 + c, 3 + r), expected[r][c]) << "row " << r << " column " << c;
}

} // namespace
