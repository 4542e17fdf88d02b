// SPDX-License-Identifier: GPL-3.0-or-later
// The map grid's edits against korvana-sim: a step edit of a block reaches
// exactly those cells of the controller and the grid, the image and the
// controller agree; a refused step or axis write leaves grid and image as
// they were and says so; axis edits, pasted blocks and interpolation reach
// the controller's memory; malformed paste text sends nothing.
#include "simmap.h"

#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/log.h>
#include <app/platform/textcodec.h>
#include <app/tuning/mapmodel.h>

#include <scriptedinteraction.h>
#include <simprocess.h>

#include <gtest/gtest.h>

namespace {

class MapE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.start()) << m_sim.error();
        m_device.link().configurePort(m_device.link().ports().addPath(m_sim.ptyPath(), "test"));
        m_device.m_connected = true;
        // The fake clock's waits pass on the simulator's clock too (the wait for petrol).
        m_ui.onSleep = [this](unsigned ms) { m_sim.send("advance " + std::to_string(ms / 1000.0)); };
        ASSERT_TRUE(m_device.readBlock(CReadBlocks::DevInfo));
        ASSERT_TRUE(m_device.readBlock(CReadBlocks::Base));
        ASSERT_TRUE(m_device.readBlock(CReadBlocks::InjMap));
        ASSERT_TRUE(m_device.readBlock(CReadBlocks::MapAxes));
        m_model.refresh();
    }

    // Grid, image and controller hold the same cells.
    void expectAllAgree()
    {
        const SimMap sim = simMap(m_sim);
        ASSERT_TRUE(sim.ok);
        const auto& image = m_device.image().m_corrMap.m_injMapTable;
        for (int r = 0; r < kMapRows; ++r)
            for (int c = 0; c < kMapCols; ++c) {
                ASSERT_EQ(m_model.cellValue(c, r), sim.cells[r][c]) << "grid, row " << r << " column " << c;
                ASSERT_EQ(image[r][c], sim.cells[r][c]) << "image, row " << r << " column " << c;
            }
    }

    // How many answers the simulator has sent.
    std::string answers()
    {
        const std::string status = m_sim.send("status");
        const auto at = status.find("answers=");
        return at == std::string::npos ? "?" : status.substr(at, status.find(' ', at) - at);
    }

    CSimProcess m_sim;
    CScriptedInteraction m_ui;
    CInteractionScope m_scope { m_ui };
    CLPGDevice m_device;
    CMapModel m_model { &m_device };
};

TEST_F(MapE2E, StepOfAThreeByTwoBlockChangesExactlyThoseCells)
{
    const SimMap before = simMap(m_sim);
    ASSERT_TRUE(before.ok);
    EXPECT_FALSE(m_model.incrementSelected(+1).sent); // nothing selected
    EXPECT_EQ(simMap(m_sim).cells, before.cells);

    // Three columns (RPM 4 … 6) by two rows (time 3 … 4).
    m_model.selectRect({ 4, 3, 6, 4 });
    const auto result = m_model.incrementSelected(+1);
    ASSERT_TRUE(result.acknowledged);
    EXPECT_EQ(result.region, (MapRegionRecord { 3, 4, 2, 3, 2, 1 }));
    const SimMap after = simMap(m_sim);
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapCols; ++c) {
            const bool inside = c >= 4 && c <= 6 && r >= 3 && r <= 4;
            EXPECT_EQ(after.cells[r][c], before.cells[r][c] + (inside ? 1 : 0)) << "row " << r << " column " << c;
        }
    expectAllAgree();

    // Down twice with neighbours: the second step takes the ring of one along.
    m_model.setChangeNeighbours(true);
    ASSERT_TRUE(m_model.incrementSelected(-1).acknowledged);
    const auto ring = m_model.incrementSelected(-1);
    ASSERT_TRUE(ring.acknowledged);
    EXPECT_EQ(ring.region, (MapRegionRecord { 2, 3, 4, 5, 3, 1 }));
    EXPECT_EQ(simMap(m_sim).cells[2][3], before.cells[2][3] - 1);
    expectAllAgree();
    EXPECT_TRUE(m_ui.shown().empty());
    EXPECT_EQ(m_ui.waitCursorsBegun(), 3u);
    EXPECT_EQ(m_ui.waitCursorDepth(), 0);
}

TEST_F(MapE2E, StepAtTheCornerIsCutToTheGrid)
{
    m_model.setChangeNeighbours(true);
    m_model.selectRect({ 14, 18, 14, 18 });
    m_model.incrementSelected(+1);
    const auto second = m_model.incrementSelected(+1); // ring of one
    const auto third = m_model.incrementSelected(+1);  // ring of two
    ASSERT_TRUE(third.acknowledged);
    EXPECT_EQ(second.region, (MapRegionRecord { 17, 13, 2, 2, 2, 1 }));
    EXPECT_EQ(third.region, (MapRegionRecord { 16, 12, 3, 3, 2, 1 }));
    expectAllAgree();
}

TEST_F(MapE2E, RefusedStepLeavesGridAndImageAndSaysSo)
{
    const auto imageBefore = m_device.image().m_corrMap.m_injMapTable;
    const SimMap before = simMap(m_sim);
    m_model.selectRect({ 2, 2, 3, 3 });
    const int gridBefore = m_model.cellValue(2, 2);
    ASSERT_EQ(m_sim.send("refuse record 13"), "ok refuse record 13");
    const auto result = m_model.incrementSelected(+1);
    ASSERT_EQ(m_sim.send("refuse off"), "ok refuse off");
    EXPECT_TRUE(result.sent);
    EXPECT_FALSE(result.acknowledged);
    EXPECT_EQ(m_model.cellValue(2, 2), gridBefore);
    EXPECT_EQ(m_device.image().m_corrMap.m_injMapTable, imageBefore);
    EXPECT_EQ(simMap(m_sim).cells, before.cells);
    ASSERT_EQ(m_ui.shown().size(), 1u);
    EXPECT_EQ(m_ui.shown()[0].text, L"Nie powiodło się wpisanie mapy wtrysków do urządzenia!");
    EXPECT_EQ(m_ui.shown()[0].caption, L"KORVANA");
    EXPECT_EQ(m_ui.shown()[0].icon, MsgIcon::Error);
    expectAllAgree();

    // Answers that never come right fail the same way.
    m_ui.clearShown();
    ASSERT_EQ(m_sim.send("fault type 1"), "ok fault type 1.000000");
    EXPECT_FALSE(m_model.incrementSelected(-1).acknowledged);
    ASSERT_EQ(m_sim.send("fault off"), "ok fault off 0.000000");
    EXPECT_EQ(m_model.cellValue(2, 2), gridBefore);
    EXPECT_EQ(m_ui.texts(), std::vector<std::wstring> { L"Nie powiodło się wpisanie mapy wtrysków do urządzenia!" });
    expectAllAgree();
}

TEST_F(MapE2E, PortErrorDuringAStepIsShownWithItsPlace)
{
    m_model.selectRect({ 0, 0, 0, 0 });
    const int before = m_model.cellValue(0, 0);
    const auto image = m_device.image().m_corrMap.m_injMapTable;
    m_sim.stop(); // the pseudo-terminal goes with it
    const auto result = m_model.incrementSelected(+1);
    EXPECT_FALSE(result.acknowledged);
    EXPECT_EQ(m_model.cellValue(0, 0), before);
    EXPECT_EQ(m_device.image().m_corrMap.m_injMapTable, image);
    ASSERT_EQ(m_ui.shown().size(), 1u);
    EXPECT_EQ(m_ui.shown()[0].text.rfind(L"CMapArray::incrementSelected()\n", 0), 0u);
    EXPECT_GT(m_ui.shown()[0].text.size(), std::wstring(L"CMapArray::incrementSelected()\n").size());
}

TEST_F(MapE2E, AxisEditsReachTheController)
{
    const SimMap before = simMap(m_sim);
    const auto& map = m_device.image().m_corrMap;
    const double rpm3 = map.m_rpmAxis[3];
    const std::string typed = rpmText(rpm3 + 100);
    EXPECT_EQ(m_model.commitHeaderEdit(false, 3, typed), typed);
    const double time2 = map.m_injTimeAxis[2];
    const std::string time = timeText(time2 + 0.4);
    std::string comma = time;
    comma[comma.find('.')] = ',';
    EXPECT_EQ(m_model.commitHeaderEdit(true, 2, comma), time);
    const SimMap after = simMap(m_sim);
    EXPECT_EQ(after.rpmBytes[3], before.rpmBytes[3] + 1);
    EXPECT_EQ(after.timeBytes[2], before.timeBytes[2] + 2);
    EXPECT_DOUBLE_EQ(map.m_rpmAxis[3], rpm3 + 100);

    // A write whose answers never come right keeps the old breakpoint in the
    // image and on the header (the disturbed answers say nothing of whether
    // the controller took the record).
    ASSERT_EQ(m_sim.send("fault type 1"), "ok fault type 1.000000");
    EXPECT_EQ(m_model.commitHeaderEdit(false, 3, rpmText(rpm3 + 200)), typed);
    ASSERT_EQ(m_sim.send("fault off"), "ok fault off 0.000000");
    EXPECT_DOUBLE_EQ(map.m_rpmAxis[3], rpm3 + 100);
    ASSERT_EQ(m_ui.texts(), std::vector<std::wstring> { L"Nie powiodło się wpisanie ustawień do urządzenia!" });
}

TEST_F(MapE2E, PastedBlockReachesTheControllerAndBadTextSendsNothing)
{
    m_model.selectRect({ 2, 5, 2, 5 });
    // Four columns by three rows as a spreadsheet copies them, axis labels included.
    const std::string text = "ms\t1500\t2000\t2500\t3000\r\n"
                             "7.0\t1\t2\t3\t4\r\n"
                             "8.0\t-5\t-6\t-7\t-8\r\n"
                             "9.0\t10\t20\t30\t60\r\n";
    ASSERT_TRUE(m_model.paste(text));
    const SimMap after = simMap(m_sim);
    const int expected[3][4] = { { 1, 2, 3, 4 }, { -5, -6, -7, -8 }, { 10, 20, 30, 50 } };
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(after.cells[5 + r][2 + c], expected[r][c]) << r << "," << c;
    EXPECT_EQ(m_model.selectionRect(), (MapRect { 2, 5, 5, 7 }));
    expectAllAgree();
    EXPECT_TRUE(m_ui.shown().empty());

    const auto status = answers();
    for (const char* bad : { "1\t2\n3\n", "1\tx\n", "", "ms\t1000\n" }) {
        EXPECT_FALSE(m_model.paste(bad)) << bad;
    }
    EXPECT_EQ(answers(), status) << "something was sent";
    m_model.selectRect({ 13, 17, 13, 17 });
    EXPECT_FALSE(m_model.paste("1\t2\t3\n"));
    EXPECT_EQ(answers(), status);
    const auto texts = m_ui.texts();
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0], L"Schowek nie zawiera bloku liczb, który można wkleić do mapy!");
    EXPECT_EQ(texts[4], L"Wklejany blok nie mieści się w mapie!");
    expectAllAgree();
}

TEST_F(MapE2E, InterpolationOfAFiveByFiveSelection)
{
    m_model.selectRect({ 3, 3, 3, 3 });
    ASSERT_TRUE(m_model.paste("0\t\t\t\t10\n\t\t\t\t\n\t\t\t\t\n\t\t\t\t\n-10\t\t\t\t20\n") == false); // blanks are no numbers
    ASSERT_TRUE(m_model.paste("0\t0\t0\t0\t10\n0\t0\t0\t0\t0\n0\t0\t0\t0\t0\n0\t0\t0\t0\t0\n-10\t0\t0\t0\t20\n"));
    m_model.selectRect({ 3, 3, 7, 7 });
    ASSERT_TRUE(m_model.interpolateSelection());
    // 10·fx − 10·fy + 20·fx·fy over the quarters, halves away from zero.
    const int expected[5][5] = {
        { 0, 3, 5, 8, 10 }, { -3, 1, 5, 9, 13 }, { -5, 0, 5, 10, 15 }, { -8, -1, 5, 11, 18 }, { -10, -3, 5, 13, 20 },
    };
    const SimMap after = simMap(m_sim);
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(after.cells[3 + r][3 + c], expected[r][c]) << "row " << r << " column " << c;
    expectAllAgree();
}

} // namespace

namespace {

std::string statusField(CSimProcess& sim, const std::string& name)
{
    const std::string status = sim.send("status");
    const auto at = status.find(" " + name + "=");
    if (at == std::string::npos)
        return {};
    const auto from = at + name.size() + 2;
    return status.substr(from, status.find(' ', from) - from);
}

} // namespace

// A pasted block and an interpolation write the whole page as every map write
// does: on petrol, read back, restarted, then the car back in automatic mode.
TEST_F(MapE2E, WholePageWritesAreWrappedOnPetrolWithTheRestart)
{
    // The wait for petrol needs the injectors and the emulator delay: refused without them.
    const SimMap untouched = simMap(m_sim);
    m_device.readBlocks().forget(CReadBlocks::DevInfo | CReadBlocks::Base);
    m_model.selectRect({ 2, 2, 3, 3 });
    EXPECT_FALSE(m_model.paste("5\t6\n7\t8\n"));
    ASSERT_FALSE(m_ui.texts().empty());
    EXPECT_NE(m_ui.texts().back().find(L"m_devInfo, m_base"), std::wstring::npos) << toUtf8(m_ui.texts().back());
    EXPECT_EQ(simMap(m_sim).cells, untouched.cells);
    ASSERT_TRUE(m_device.readBlock(CReadBlocks::DevInfo));
    ASSERT_TRUE(m_device.readBlock(CReadBlocks::Base));

    ASSERT_EQ(m_sim.send("fuel lpg"), "ok fuel lpg");
    for (int i = 0; i < 100 && statusField(m_sim, "fuel") != "3"; ++i)
        m_sim.send("advance 0.5");
    ASSERT_EQ(statusField(m_sim, "fuel"), "3");
    std::vector<std::string> lines;
    const int sink = addLogSink([&lines](LogLevel, const std::string& line) { lines.push_back(line); });
    m_model.selectRect({ 2, 2, 3, 3 });
    const bool pasted = m_model.paste("5\t6\n7\t8\n");
    removeLogSink(sink);
    std::string log;
    for (const auto& line : lines)
        log += line + "\n";
    ASSERT_TRUE(pasted) << log;
    const auto petrol = log.find("petrol and wait");
    const auto written = log.find("write m_injMapTable acknowledged");
    const auto restart = log.find("restart on petrol");
    const auto back = log.find("back to automatic mode");
    ASSERT_NE(back, std::string::npos) << log;
    EXPECT_LT(petrol, written);
    EXPECT_LT(written, restart);
    EXPECT_LT(restart, back);
    EXPECT_EQ(statusField(m_sim, "fuelmode"), "auto");
    expectAllAgree();
}

// The link lost after 4 of the 9 memory blocks of a page: the page is named
// invalid and nothing more is sent; once the controller answers again the
// page from before and the fuel mode are put back in one step.
TEST_F(MapE2E, APageCutOffIsPutBackWhenTheLinkReturns)
{
    ASSERT_EQ(m_sim.send("fuel lpg"), "ok fuel lpg");
    for (int i = 0; i < 100 && statusField(m_sim, "fuel") != "3"; ++i)
        m_sim.send("advance 0.5");
    ASSERT_EQ(statusField(m_sim, "fuel"), "3");
    const SimMap before = simMap(m_sim);
    ASSERT_TRUE(before.ok);
    ASSERT_EQ(m_sim.send("cut record 5 after 4"), "ok cut record 5 after 4");
    m_model.selectRect({ 0, 0, 1, 1 });
    EXPECT_FALSE(m_model.paste("9\t9\n9\t9\n"));
    const CLeftChanged& left = m_device.leftChanged();
    EXPECT_TRUE(left.mapInvalid);
    EXPECT_TRUE(left.fuelForced);
    EXPECT_EQ(statusField(m_sim, "fuelmode"), "petrol") << "nothing is switched while the link is gone";

    ASSERT_EQ(m_sim.send("cut off"), "ok cut off");
    const CWriteReport report = CWriteSession::putBackLeftChanged(m_device);
    EXPECT_TRUE(report.ok()) << toUtf8(report.text());
    EXPECT_TRUE(m_device.leftChanged().empty());
    EXPECT_EQ(simMap(m_sim).cells, before.cells);
    EXPECT_EQ(statusField(m_sim, "fuelmode"), "auto");
}
