// SPDX-License-Identifier: GPL-3.0-or-later
// The correction pages and the 2D chart page on a demo controller: the curve
// from the image in whole percent, keys that write after every step, the
// whole-curve shift, clearing, nothing done without a controller, the live
// markers, the map points and progress bars, the refusals while automapping
// is on, the schedule combo and "Oblicz korekty" with its proposal. Saves
// the screenshots of "Mapa" and "Korekty temperatury".
#include <app/data/diag.h>
#include <app/device/lpgdevice.h>
#include <app/shell/chart2ddlg.h>
#include <app/shell/corpressdlg.h>
#include <app/shell/cortempdlg.h>
#include <app/shell/korvanadoc.h>
#include <gradctrls/charts/timecorrchart.h>

#include "guitest.h"
#include "scriptedinteraction.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace guitest;

// A map record like the simulated car's: petrol time rising with pressure.
CChartMapRecord mapRecord(double lean, uint16_t perCell)
{
    CSettingsImage image;
    image.m_advancedSetup.m_advancedFlags = 0;
    CChartMapRecord r;
    for (int b = 2; b <= 24; ++b) {
        const double p = CChartMaps::cellPressure(b, image);
        const double ms = (0.5 + 0.0714 * p) * (1 + lean * (1 - p / 100));
        r.count[static_cast<std::size_t>(b)] = perCell;
        r.sum[static_cast<std::size_t>(b)] = static_cast<uint32_t>(perCell * ms / 0.025);
    }
    for (int b = 0; b < 2; ++b)
        r.count[static_cast<std::size_t>(b)] = perCell;
    unsigned total = 0;
    for (auto c : r.count)
        total += c;
    r.total = static_cast<uint16_t>(total);
    return r;
}

class Pages : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc.device().session().startDemoMode();
        doc.device().liveImage().m_advancedSetup.m_advancedFlags = 0;
        host.resize(900, 700);
    }
    template <class Page> Page* make()
    {
        auto* page = new Page(context);
        page->Create(&host);
        page->setGeometry(0, 0, host.width(), host.height());
        showAndSettle(&host);
        return page;
    }

    CScriptedInteraction ui;
    CInteractionScope scope { ui };
    CkorvanaDoc doc;
    CPageContext context { doc, doc.device(), doc.relay() };
    QWidget host;
};

TEST_F(Pages, TemperatureCurveEditsWriteEveryStep)
{
    const auto& table = doc.device().liveImage().m_sensorsSetup.m_temprCorr;
    doc.device().changeImage([](CSettingsImage& image) {
        auto& t = image.m_sensorsSetup.m_temprCorr;
        t.fill(0);
        t[0] = 7.8;
        t[5] = -3.6;
    });
    auto* page = make<CCorTempDlg>();
    CCorrChart* chart = page->chart();
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->model().point(0).y, 7) << "whole percent";
    EXPECT_EQ(chart->model().point(5).y, -3);

    // Right to point 5, Up twice: the image follows each step.
    for (int i = 0; i < 5; ++i)
        pressKey(chart, Qt::Key_Right);
    pressKey(chart, Qt::Key_Up);
    pressKey(chart, Qt::Key_Up);
    EXPECT_EQ(table[5], -1);
    EXPECT_EQ(table[0], 7);

    doc.device().changeImage([](CSettingsImage& image) { image.m_sensorsSetup.m_temprCorr[10] = 50; });
    page->refresh();
    pressKey(chart, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(table[10], 50) << "kept at the limit";
    EXPECT_EQ(table[5], 0);
    EXPECT_EQ(chart->model().point(5).y, 0);

    // Live marker at the LPG temperature of the newest record.
    CDiag record;
    record.setU8(3, 120);
    doc.device().diagData().push(record);
    page->onTimer();
    ASSERT_TRUE(chart->liveValue().has_value());
    EXPECT_EQ(*chart->liveValue(), record.lpgTempr(CDiagScale(doc.device().image())));
    saveScreenshot(&host, QStringLiteral("korekty_temperatury"));

    page->OnBnClickedBtnClearCorr();
    for (double v : table)
        EXPECT_EQ(v, 0);
    for (std::size_t i = 0; i < chart->model().size(); ++i)
        EXPECT_EQ(chart->model().point(i).node, i == 0 || i + 1 == chart->model().size()) << i;

    // Without a controller nothing changes, in the image or on the chart.
    doc.device().session().runWithoutConnection();
    pressKey(chart, Qt::Key_Up);
    page->onIncrementAll(1);
    EXPECT_EQ(table[chart->model().current()], 0);
    EXPECT_EQ(chart->model().point(chart->model().current()).y, 0);
    EXPECT_TRUE(ui.shown().empty());
}

TEST_F(Pages, PressureCurveShiftsAndClamps)
{
    auto& table = doc.device().liveImage().m_sensorsSetup.m_pressCorr;
    table.fill(-50);
    table[3] = 12;
    auto* page = make<CCorPressDlg>();
    page->onIncrementAll(-1);
    EXPECT_EQ(table[0], -50);
    EXPECT_EQ(table[3], 11);
    EXPECT_EQ(page->chart()->model().point(3).y, 11);
    EXPECT_EQ(page->chart()->model().size(), 26u);

    // The chart grows with the page.
    const int before = page->chart()->plotRect().width();
    page->resize(1350, 1050);
    settle();
    EXPECT_GT(page->chart()->plotRect().width(), before * 4 / 3);
}

TEST_F(Pages, MapPageShowsMapsRefusesWhileAutomappingAndComputes)
{
    auto& image = doc.device().liveImage();
    image.m_setupTimes1.fill(0);
    image.m_setupTimes1[20] = 4;
    auto* page = make<CChart2DDlg>();
    page->showMaps(mapRecord(0, 150), mapRecord(0.08, 150));
    EXPECT_TRUE(page->maps().covered());
    EXPECT_FALSE(page->chart()->mapPoints().empty());
    EXPECT_EQ(page->progressBar(false)->value(), CChartMaps::progressPosition(page->maps().petrol()));
    EXPECT_GT(page->progressBar(true)->value(), 0);

    // Refusals while automapping is on.
    image.m_automapMode = 2;
    page->OnBnClickedBtnClearCorr();
    page->OnBtnClrMap();
    page->OnBtnClrMapLpg();
    page->OnBtnCreate();
    ASSERT_EQ(ui.shown().size(), 4u);
    EXPECT_EQ(ui.shown()[0].text, L"Nie można kasować korekt podczas automapowania. Wyłącz automapowanie.");
    EXPECT_EQ(ui.shown()[1].text, L"Nie można kasować map podczas automapowania. Wyłącz automapowanie.");
    EXPECT_EQ(ui.shown()[3].text, L"Nie można ręcznie liczyć korekt podczas automapowania. Wyłącz automapowanie.");
    EXPECT_EQ(image.m_setupTimes1[20], 4);

    // The combo: off, then every 5000 km.
    QComboBox* combo = page->automapCombo();
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 8);
    EXPECT_EQ(combo->itemText(2), QStringLiteral("Włączone co 1000 km"));
    combo->setCurrentIndex(0);
    page->OnSelendokCmbAutomap();
    EXPECT_EQ(image.m_automapMode, 0);
    combo->setCurrentIndex(4);
    page->OnSelendokCmbAutomap();
    EXPECT_EQ(image.m_automapMode, 2);
    EXPECT_EQ(image.m_automapKm, 5000);
    EXPECT_EQ(page->kmLeftEdit()->text(), QStringLiteral("5000"));
    combo->setCurrentIndex(0);
    page->OnSelendokCmbAutomap();
    EXPECT_EQ(page->kmLeftEdit()->text(), QStringLiteral("5000")) << "the distance stays shown with automapping off";

    // The proposal beside the current curve, as shown while the question waits
    // (the refused command above read the demo controller's maps again).
    page->showMaps(mapRecord(0, 150), mapRecord(0.08, 150));
    const CAutomapProposal proposal = CAutomapping::propose(page->maps(), image.m_setupTimes1);
    page->chart()->setProposal(std::vector<double>(proposal.newCurve.begin(), proposal.newCurve.end()));
    CDiag record;
    record.setU16(CDiag::kPetrolAt, 200); // 5 ms
    record.setU8(10, 60);
    doc.device().diagData().push(record);
    page->onTimer();
    saveScreenshot(&host, QStringLiteral("mapa_2d_chart"));

    // Apply, keep the LPG map; then undo.
    ui.clearShown();
    ui.queueAnswer(true);
    ui.queueAnswer(false);
    page->OnBtnCreate();
    EXPECT_EQ(ui.unexpectedQuestions(), 0u);
    EXPECT_EQ(image.m_setupTimes1, proposal.newCurve);
    EXPECT_GT(proposal.newCurve[5], 0) << "the LPG map lies above the petrol map";
    EXPECT_TRUE(page->chart()->proposal().empty());
    EXPECT_EQ(page->chart()->model().point(10).y, proposal.newCurve[10]);
    ASSERT_TRUE(page->automapping().canUndo());
    page->OnBtnUndo();
    EXPECT_EQ(image.m_setupTimes1[20], 4);
    EXPECT_EQ(image.m_setupTimes1[10], 0);
}

} // namespace
