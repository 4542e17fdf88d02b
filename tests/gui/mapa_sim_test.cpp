// SPDX-License-Identifier: GPL-3.0-or-later
// The "Mapa" page of the running program against korvana-sim: steps, a
// refused step, clearing, an axis edit and a pasted block reach the controller
// through the real page (keys through the page's pre-translation), and the
// operating point follows the engine. The demo screenshots and the figures
// (step round trip against the paced simulator, repaint of the whole grid).
#include "guitest.h"
#include "shelltest.h"

#include <tests/e2e/simmap.h>

#include <app/device/lpgdevice.h>
#include <app/shell/checkboximages.h>
#include <app/shell/chart2ddlg.h>
#include <app/shell/corpressdlg.h>
#include <app/shell/corrpmdlg.h>
#include <app/shell/cortempdlg.h>
#include <gradctrls/charts/corrchart.h>
#include <gradctrls/charts/timecorrchart.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mainframe.h>
#include <app/shell/mapadlg.h>
#include <app/shell/maparray.h>
#include <app/tuning/mapcsv.h>
#include <app/tuning/mapfromobd.h>
#include <app/tuning/deviceobd.h>
#include <gradctrls/cellarray/cellarrayedit.h>
#include <gradctrls/multipage/gdipmultipagectrl.h>
#include <gradctrls/multipage/imultipagebutton.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

using shelltest::CShellRun;

namespace {

using guitest::waitFor;

constexpr int kMapaPage = 4;


class MapaPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
        CDeviceSession::resetRefusalNotice();
    }
    void TearDown() override
    {
        m_run.reset();
        m_sim.reset();
        qunsetenv("XDG_CONFIG_HOME");
    }

    // The program on the simulator's link with the "Mapa" page shown.
    void startWithSim(std::vector<std::string> simOptions = {})
    {
        const std::string link = m_dir.filePath(QStringLiteral("controller")).toStdString();
        simOptions.insert(simOptions.begin(), { "--link", link });
        m_sim = std::make_unique<CSimProcess>(simOptions);
        ASSERT_TRUE(m_sim->start()) << m_sim->error();
        SAppOptions options;
        options.ports = { link };
        options.page = kMapaPage;
        startProgram(options);
        ASSERT_TRUE(m_run->app().document()->device().m_connected);
    }

    void startProgram(const SAppOptions& options)
    {
        m_run = std::make_unique<CShellRun>(options, false);
        ASSERT_TRUE(m_run->start());
        CkorvanaView* view = m_run->app().view();
        ASSERT_TRUE(view->showPage(kMapaPage));
        m_page = dynamic_cast<CMapaDlg*>(view->multiPage()->getActivePage());
        ASSERT_NE(m_page, nullptr);
        m_corRpm = dynamic_cast<CCorRpmDlg*>(m_page->multiPage()->getActivePage());
        ASSERT_NE(m_corRpm, nullptr) << "\"Mapa 2D\" is the page shown first";
        m_grid = m_corRpm->grid();
        ASSERT_NE(m_grid, nullptr);
        guitest::settle();
    }

    CLPGDevice& device() { return m_run->app().document()->device(); }
    // Until the polling thread has queued n more records, with the events they bring handled.
    void waitRecords(uint64_t n)
    {
        const uint64_t from = device().diagData().newestSequence();
        EXPECT_TRUE(waitFor([&] { return device().diagData().newestSequence() >= from + n; })) << "no readings";
        guitest::settle();
    }
    const auto& image() { return device().image().m_corrMap.m_injMapTable; }

    // Selects columns c1 … c2 × rows r1 … r2 with a click and Shift+arrows, through the page.
    void selectBlock(int c1, int r1, int c2, int r2)
    {
        guitest::click(m_grid, m_grid->cellAt(r1, c1)->rect().center());
        for (int c = c1; c < c2; ++c)
            guitest::pressKey(m_grid, Qt::Key_Right, Qt::ShiftModifier);
        for (int r = r1; r < r2; ++r)
            guitest::pressKey(m_grid, Qt::Key_Down, Qt::ShiftModifier);
        ASSERT_EQ(m_grid->model().selectionRect(), (MapRect { c1, r1, c2, r2 }));
    }

    // Grid texts, the image and the controller hold the same cells.
    void expectAllAgree()
    {
        const SimMap sim = simMap(*m_sim);
        ASSERT_TRUE(sim.ok);
        for (int r = 0; r < kMapRows; ++r)
            for (int c = 0; c < kMapCols; ++c) {
                ASSERT_EQ(m_grid->cellAt(r, c)->getTxt().toInt(), sim.cells[r][c]) << "grid " << c << "," << r;
                ASSERT_EQ(image()[r][c], sim.cells[r][c]) << "image " << c << "," << r;
            }
    }

    QTemporaryDir m_dir;
    std::unique_ptr<CSimProcess> m_sim;
    std::unique_ptr<CShellRun> m_run;
    CMapaDlg* m_page = nullptr;
    CCorRpmDlg* m_corRpm = nullptr;
    CMapArray* m_grid = nullptr;
};

TEST_F(MapaPage, HasFourTitledPagesAndTheMapGrid)
{
    SAppOptions options;
    options.demo = true;
    startProgram(options);
    CGDIpMultiPageCtrl* pages = m_page->multiPage();
    ASSERT_EQ(pages->getPageCount(), 4);
    const auto title = [&](int i) {
        auto* button = qobject_cast<QAbstractButton*>(pages->getButton(i)->getWindow());
        return button ? button->text() : QString();
    };
    EXPECT_EQ(title(0), QStringLiteral("Mapa"));
    EXPECT_EQ(title(1), QStringLiteral("Mapa 2D"));
    EXPECT_EQ(title(2), QStringLiteral("Korekty temperatury"));
    EXPECT_EQ(title(3), QStringLiteral("Korekty ciśnienia"));
    EXPECT_NE(dynamic_cast<CChart2DDlg*>(pages->getPage(0)), nullptr);
    EXPECT_NE(dynamic_cast<CCorRpmDlg*>(pages->getPage(1)), nullptr);
    EXPECT_NE(dynamic_cast<CCorTempDlg*>(pages->getPage(2)), nullptr);
    EXPECT_NE(dynamic_cast<CCorPressDlg*>(pages->getPage(3)), nullptr);
    EXPECT_EQ(m_grid->getTable().size(), 19u);
    EXPECT_EQ(m_grid->getColHdrs().size(), 15u);
    EXPECT_EQ(m_grid->getFirstCell().getTxt(), QStringLiteral("ms"));
    // The page font follows the page's size, and the cells paint with it.
    EXPECT_EQ(m_page->pageFont().pixelSize(), CMapaDlg::fontPixelHeight(m_page->width(), m_page->height()));
    EXPECT_EQ(m_grid->cellFont().pixelSize(), m_page->pageFont().pixelSize());
    // The readings panel's side of the page stays free.
    EXPECT_LE(pages->geometry().right(), m_page->width() * CMapaDlg::kTuningWidthDu / 800);
    // OBD mapping is offered (the demo car's link is up); its buttons wait for the box.
    auto* obd = guitest::findById<QAbstractButton>(m_corRpm, CCorRpmDlg::kChkObdMap);
    ASSERT_NE(obd, nullptr);
    EXPECT_TRUE(obd->isEnabled());
    EXPECT_FALSE(guitest::findById(m_corRpm, CCorRpmDlg::kBtnObdMapStart)->isVisible());
    // The check boxes carry the skin's pictures.
    const auto* images = m_corRpm->findChild<CCheckBoxImages*>();
    ASSERT_NE(images, nullptr);
    EXPECT_TRUE(images->loaded());
}

// The page with the readings panel's part of the tick watched.
class CWatchedMapaDlg : public CMapaDlg {
public:
    using CMapaDlg::CMapaDlg;
    std::vector<bool> markerPlacedAtPanel;

protected:
    void refreshObdPanel() override
    {
        auto* page = dynamic_cast<CCorRpmDlg*>(subPage(1));
        markerPlacedAtPanel.push_back(page && page->grid()->model().currentCell().has_value());
    }
};

TEST_F(MapaPage, TimerRefreshesThePanelFirstThenTheCurrentPage)
{
    SAppOptions options;
    options.demo = true;
    startProgram(options);
    CkorvanaDoc* doc = m_run->app().document();
    ASSERT_TRUE(waitFor([&] { return doc->device().diagData().newestSequence() > 0; }));
    CWatchedMapaDlg page(doc->pageContext());
    ASSERT_TRUE(page.Create(m_page->parentWidget()));
    auto* grid = dynamic_cast<CCorRpmDlg*>(page.subPage(1))->grid();
    ASSERT_FALSE(grid->model().currentCell().has_value());
    page.onTimer();
    EXPECT_EQ(page.markerPlacedAtPanel, std::vector<bool> { false });
    EXPECT_TRUE(grid->model().currentCell().has_value()) << "then the page's own tick";
    // Another tuning page shown: its tick, not the grid's, follows the panel.
    page.multiPage()->activatePage(2);
    page.onTimer();
    EXPECT_EQ(page.markerPlacedAtPanel.size(), 2u);
}

TEST_F(MapaPage, CtrlUpOnABlockChangesExactlyThoseCellsInTheController)
{
    startWithSim();
    if (IsSkipped())
        return;
    expectAllAgree();
    const SimMap before = simMap(*m_sim);
    selectBlock(4, 3, 6, 4); // three columns, two rows
    guitest::pressKey(m_grid, Qt::Key_Up, Qt::ControlModifier);
    guitest::pressKey(m_grid, Qt::Key_Up, Qt::ControlModifier);
    const SimMap after = simMap(*m_sim);
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapCols; ++c) {
            const bool inside = c >= 4 && c <= 6 && r >= 3 && r <= 4;
            ASSERT_EQ(after.cells[r][c], std::min(50, before.cells[r][c] + (inside ? 2 : 0))) << c << "," << r;
        }
    expectAllAgree();
    EXPECT_TRUE(m_run->ui.shown().empty());
}

// Typing a value over a block: cells of one value go as one region step (no
// question, no restart); Ctrl+Z puts them back the same way. Cells of
// different values need the whole map, so the program asks first: No sends
// nothing, Yes writes exactly the block.
TEST_F(MapaPage, TypedValueOverABlockReachesTheControllerAndUndoPutsItBack)
{
    startWithSim();
    if (IsSkipped())
        return;
    guitest::click(guitest::findById<QAbstractButton>(m_corRpm, CCorRpmDlg::kBtnClearMap));
    guitest::settle();
    const SimMap cleared = simMap(*m_sim);
    ASSERT_TRUE(cleared.ok);
    selectBlock(4, 3, 6, 4); // three columns, two rows, all 0
    guitest::typeText(m_grid, QStringLiteral("7"));
    ASSERT_TRUE(m_grid->valueEditorOpen());
    EXPECT_EQ(m_grid->valueEditor()->text(), QStringLiteral("7"));
    guitest::pressKey(m_grid->valueEditor(), Qt::Key_Return);
    EXPECT_FALSE(m_grid->valueEditorOpen());
    const auto inside = [](int c, int r) { return c >= 4 && c <= 6 && r >= 3 && r <= 4; };
    SimMap after = simMap(*m_sim);
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapCols; ++c)
            ASSERT_EQ(after.cells[r][c], inside(c, r) ? 7 : 0) << c << "," << r;
    expectAllAgree();
    EXPECT_EQ(m_run->ui.unexpectedQuestions(), 0u) << "one value: a region step, nothing to ask";
    EXPECT_TRUE(m_run->ui.shown().empty());

    // Ctrl+Z on the grid: the block is 0 again, in the controller too.
    guitest::pressKey(m_grid, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(simMap(*m_sim).cells, cleared.cells);
    expectAllAgree();
    EXPECT_TRUE(m_grid->canRedo());
    guitest::pressKey(m_grid, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(simMap(*m_sim).cells, after.cells);

    // Different values under the selection: the whole map, asked first. No sends nothing.
    m_grid->clearSelection(true);
    selectBlock(6, 4, 7, 4); // 7 and 0
    m_run->ui.queueAnswer(false);
    guitest::typeText(m_grid, QStringLiteral("-12"));
    guitest::pressKey(m_grid->valueEditor(), Qt::Key_Return);
    EXPECT_EQ(simMap(*m_sim).cells, after.cells);
    m_run->ui.queueAnswer(true);
    guitest::typeText(m_grid, QStringLiteral("-12"));
    guitest::pressKey(m_grid->valueEditor(), Qt::Key_Return);
    const SimMap whole = simMap(*m_sim);
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapCols; ++c) {
            const int expected = r == 4 && (c == 6 || c == 7) ? -12 : after.cells[r][c];
            ASSERT_EQ(whole.cells[r][c], expected) << c << "," << r;
        }
    expectAllAgree();
    EXPECT_EQ(m_run->ui.unexpectedQuestions(), 0u);
    // The two questions, and nothing else: the whole map was read back as written.
    ASSERT_EQ(m_run->ui.shown().size(), 2u);
    for (const auto& shown : m_run->ui.shown())
        EXPECT_NE(shown.text.find(L"cała mapa"), std::wstring::npos);
}

TEST_F(MapaPage, UndoIsRefusedWhenTheControllerNoLongerHoldsTheEdit)
{
    startWithSim();
    if (IsSkipped())
        return;
    selectBlock(2, 2, 3, 3);
    guitest::pressKey(m_grid, Qt::Key_Up, Qt::ControlModifier);
    ASSERT_TRUE(m_grid->canUndo());
    // Another program changes a cell of the block behind the tool's back.
    ASSERT_EQ(m_sim->send("mapcell 2 2 33"), "ok mapcell");
    const SimMap changed = simMap(*m_sim);
    guitest::pressKey(m_grid, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(simMap(*m_sim).cells, changed.cells) << "nothing written";
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_EQ(m_run->ui.shown()[0].text.rfind(
                  L"Nie można cofnąć tej zmiany: mapa w sterowniku nie ma już wartości, które ta zmiana pozostawiła.\n", 0),
              0u);
    EXPECT_NE(m_run->ui.shown()[0].text.find(L" obr/min: 33 %"), std::wstring::npos) << "names what the controller holds";
    // The grid shows what the controller holds now, and the edit is gone from the list.
    expectAllAgree();
    EXPECT_FALSE(m_grid->canUndo());
}

// Edit → Cofnij / Przywróć with the keys on an axis breakpoint and on a
// correction curve: each goes back into the controller and again, and one is
// refused, naming what the controller holds, after another program changed it.
TEST_F(MapaPage, AxisAndCurveEditsAreUndoneInTheControllerAndRefusedOnceItChanged)
{
    startWithSim();
    if (IsSkipped())
        return;
    CMainFrame* frame = m_run->app().mainFrame();
    const SimMap before = simMap(*m_sim);
    const auto& rpm = device().image().m_corrMap.m_rpmAxis;
    const double wanted = rpm[5] + 100 < rpm[6] ? rpm[5] + 100 : rpm[5] - 100;
    CCell* header = m_grid->getColHdrs()[5];
    const QPoint p = header->rect().center();
    QMouseEvent press(QEvent::MouseButtonPress, p, m_grid->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(m_grid, &press);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, p, m_grid->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(m_grid, &dbl);
    QLineEdit* edit = m_grid->editor()->edit();
    ASSERT_TRUE(edit->isVisible());
    edit->setText(QString::number(wanted));
    guitest::pressKey(edit, Qt::Key_Return);
    guitest::settle();
    const SimMap edited = simMap(*m_sim);
    ASSERT_EQ(edited.rpmBytes[5], static_cast<int>(wanted / 100));
    ASSERT_TRUE(m_grid->canUndo());

    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(simMap(*m_sim).rpmBytes, before.rpmBytes);
    EXPECT_EQ(header->getTxt(), QString::fromStdString(rpmText(rpm[5])));
    EXPECT_EQ(simMap(*m_sim).rpmBytes[5] * 100, static_cast<int>(rpm[5]));
    QTest::keyClick(frame, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(simMap(*m_sim).rpmBytes, edited.rpmBytes);
    EXPECT_EQ(header->getTxt(), QString::number(wanted));
    EXPECT_TRUE(m_run->ui.shown().empty());

    // Another program moves the breakpoint: the undo writes nothing and names the value held.
    const int other = edited.rpmBytes[5] + 2;
    ASSERT_EQ(m_sim->send("recordbyte 34 24 " + std::to_string(other)), "ok recordbyte");
    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(simMap(*m_sim).rpmBytes[5], other);
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_EQ(m_run->ui.shown()[0].text, L"Nie można cofnąć tej zmiany: sterownik ma już inną wartość:\nobr/min 6: "
                                             + std::to_wstring(other * 100));
    EXPECT_EQ(header->getTxt(), QString::number(other * 100)) << "the grid shows what the controller holds";
    EXPECT_FALSE(m_grid->canUndo());
    m_run->ui.clearShown();

    // "Korekty temperatury": Up on the first point, then Ctrl+Z and Ctrl+Y.
    m_page->multiPage()->activatePage(2);
    guitest::settle();
    auto* curve = dynamic_cast<CCorTempDlg*>(m_page->multiPage()->getActivePage());
    ASSERT_NE(curve, nullptr);
    const auto temprByte = [&] { return simHexField(m_sim->send("dump store"), "record30").at(10); };
    const int start = temprByte();
    ASSERT_LT(start, 150) << "room for one step up";
    guitest::pressKey(curve->chart(), Qt::Key_Up);
    ASSERT_EQ(temprByte(), start + 1);
    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(temprByte(), start);
    EXPECT_EQ(curve->chart()->values().at(0), start - 100);
    QTest::keyClick(frame, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(temprByte(), start + 1);
    EXPECT_TRUE(m_run->ui.shown().empty());
    ASSERT_EQ(m_sim->send("recordbyte 30 10 " + std::to_string(start + 7)), "ok recordbyte");
    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(temprByte(), start + 7);
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_EQ(m_run->ui.shown()[0].text.rfind(L"Nie można cofnąć tej zmiany: sterownik ma już inną wartość:\n"
                                              L"Korekta temperatury, Temperatura [C] ",
                                              0),
              0u)
        << m_run->ui.shown()[0].text;
    EXPECT_NE(m_run->ui.shown()[0].text.find(L": " + std::to_wstring(start + 7 - 100) + L" %"), std::wstring::npos);
    EXPECT_FALSE(curve->canUndo());
}

// "Mapa": the correction curve over petrol time, edited on its chart and
// cleared by "Kasuj korekty", goes back and again through Edit → Cofnij /
// Przywróć, and an undo is refused, naming the point, once the controller changed.
TEST_F(MapaPage, MapaCurveEditsAndItsClearingAreUndoneInTheController)
{
    startWithSim();
    if (IsSkipped())
        return;
    CMainFrame* frame = m_run->app().mainFrame();
    m_page->multiPage()->activatePage(0);
    guitest::settle();
    auto* chart2d = dynamic_cast<CChart2DDlg*>(m_page->multiPage()->getActivePage());
    ASSERT_NE(chart2d, nullptr);
    const auto curveByte = [&] { return simHexField(m_sim->send("dump store"), "record7").at(0); };
    const int start = curveByte();
    ASSERT_LT(start, 150) << "room for one step up";
    guitest::pressKey(chart2d->chart(), Qt::Key_Up);
    ASSERT_EQ(curveByte(), start + 1);
    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(curveByte(), start);
    EXPECT_EQ(chart2d->chart()->values().at(0), start - 100);
    QTest::keyClick(frame, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(curveByte(), start + 1);

    // "Kasuj korekty" is one edit: one undo puts the whole curve back.
    const std::vector<uint8_t> curve = simHexField(m_sim->send("dump store"), "record7");
    guitest::click(guitest::findById<QAbstractButton>(chart2d, CChart2DDlg::kBtnClearCorr));
    guitest::settle();
    EXPECT_EQ(curveByte(), 100);
    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(simHexField(m_sim->send("dump store"), "record7"), curve);
    EXPECT_TRUE(m_run->ui.shown().empty());

    ASSERT_EQ(m_sim->send("recordbyte 7 0 " + std::to_string(start + 7)), "ok recordbyte");
    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(curveByte(), start + 7) << "nothing written";
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_EQ(m_run->ui.shown()[0].text, L"Nie można cofnąć tej zmiany: sterownik ma już inną wartość:\n"
                                         L"Korekty, Czas [ms] 1: " + std::to_wstring(start + 7 - 100) + L" %");
    EXPECT_EQ(chart2d->chart()->values().at(0), start + 7 - 100) << "the chart shows what the controller holds";
}

TEST_F(MapaPage, OutOfRangeValueIsRefusedWithTheRangeAndWritesNothing)
{
    startWithSim();
    if (IsSkipped())
        return;
    const SimMap before = simMap(*m_sim);
    selectBlock(1, 1, 1, 1);
    guitest::typeText(m_grid, QStringLiteral("75"));
    guitest::pressKey(m_grid->valueEditor(), Qt::Key_Return);
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_EQ(m_run->ui.shown()[0].text, L"Wartość komórki mapy musi leżeć w zakresie od -50 do 50 %.");
    EXPECT_TRUE(m_grid->valueEditorOpen()) << "kept for correcting";
    guitest::pressKey(m_grid->valueEditor(), Qt::Key_Escape);
    EXPECT_FALSE(m_grid->valueEditorOpen());
    EXPECT_EQ(simMap(*m_sim).cells, before.cells);
}

// Ctrl+wheel notches gather into one step; the right-click menu offers the edits.
TEST_F(MapaPage, WheelNotchesGatherIntoOneStepAndTheMenuOffersTheEdits)
{
    startWithSim();
    if (IsSkipped())
        return;
    const SimMap before = simMap(*m_sim);
    selectBlock(5, 5, 5, 6);
    const QPoint p = m_grid->cellAt(5, 5)->rect().center();
    for (int i = 0; i < 3; ++i) {
        QWheelEvent wheel(p, m_grid->mapToGlobal(p), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ControlModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_grid, &wheel);
    }
    EXPECT_EQ(m_grid->pendingWheelSteps(), 3);
    EXPECT_EQ(simMap(*m_sim).cells, before.cells) << "nothing before the notches end";
    ASSERT_TRUE(waitFor([&] { return m_grid->pendingWheelSteps() == 0; }));
    guitest::settle();
    const SimMap after = simMap(*m_sim);
    EXPECT_EQ(after.cells[5][5], std::min(50, before.cells[5][5] + 3));
    EXPECT_EQ(after.cells[6][5], std::min(50, before.cells[6][5] + 3));
    expectAllAgree();
    // One edit: one undo puts all three notches back.
    guitest::pressKey(m_grid, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(simMap(*m_sim).cells, before.cells);

    std::unique_ptr<QMenu> menu(m_grid->contextMenu());
    QStringList texts;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            texts << action->text();
    EXPECT_EQ(texts, (QStringList { QStringLiteral("Ustaw wartość…"), QStringLiteral("Zwiększ o 1"),
                                    QStringLiteral("Zmniejsz o 1"), QStringLiteral("Zwiększ o 5 %"),
                                    QStringLiteral("Zmniejsz o 5 %"), QStringLiteral("Kopiuj"), QStringLiteral("Wklej"),
                                    QStringLiteral("Interpoluj"), QStringLiteral("Cofnij"), QStringLiteral("Przywróć") }));
    menu->actions()[4]->trigger(); // "Zwiększ o 5 %"
    EXPECT_EQ(simMap(*m_sim).cells[5][5], std::min(50, before.cells[5][5] + 5));
    expectAllAgree();
}

TEST_F(MapaPage, RefusedStepLeavesTheGridAndSaysSo)
{
    startWithSim();
    if (IsSkipped())
        return;
    selectBlock(2, 2, 3, 3);
    const SimMap before = simMap(*m_sim);
    const auto imageBefore = image();
    ASSERT_EQ(m_sim->send("refuse record 13"), "ok refuse record 13");
    guitest::pressKey(m_grid, Qt::Key_Up, Qt::ControlModifier);
    ASSERT_EQ(m_sim->send("refuse off"), "ok refuse off");
    EXPECT_EQ(simMap(*m_sim).cells, before.cells);
    EXPECT_EQ(image(), imageBefore);
    expectAllAgree();
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_EQ(m_run->ui.shown()[0].text, L"Nie powiodło się wpisanie mapy wtrysków do urządzenia!");
    EXPECT_EQ(m_run->ui.shown()[0].caption, L"KORVANA");
    EXPECT_EQ(m_run->ui.shown()[0].icon, MsgIcon::Error);
}

TEST_F(MapaPage, ClearingEmptiesGridImageAndController)
{
    startWithSim();
    if (IsSkipped())
        return;
    const SimMap before = simMap(*m_sim);
    selectBlock(0, 0, 2, 1);
    for (int i = 0; i < 3; ++i)
        guitest::pressKey(m_grid, Qt::Key_Down, Qt::ControlModifier);
    const SimMap stepped = simMap(*m_sim);
    ASSERT_NE(stepped.cells, before.cells) << "something to clear";
    auto* clear = guitest::findById<QAbstractButton>(m_corRpm, CCorRpmDlg::kBtnClearMap);
    ASSERT_NE(clear, nullptr);
    guitest::click(clear);
    guitest::settle();
    const SimMap after = simMap(*m_sim);
    ASSERT_TRUE(after.ok);
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapCols; ++c)
            ASSERT_EQ(after.cells[r][c], 0) << c << "," << r;
    expectAllAgree();
    EXPECT_TRUE(m_run->ui.shown().empty());

    // Edit → Cofnij: the cells held different values, so the whole map goes back, asked first.
    CMainFrame* frame = m_run->app().mainFrame();
    ASSERT_TRUE(m_grid->canUndo());
    m_run->ui.queueAnswer(false);
    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(simMap(*m_sim).cells, after.cells) << "No writes nothing";
    EXPECT_TRUE(m_grid->canUndo());
    m_run->ui.queueAnswer(true);
    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
    const SimMap undone = simMap(*m_sim);
    EXPECT_NE(undone.cells, after.cells);
    EXPECT_EQ(undone.cells, stepped.cells);
    expectAllAgree();
    ASSERT_EQ(m_run->ui.shown().size(), 2u);
    for (const auto& shown : m_run->ui.shown())
        EXPECT_NE(shown.text.find(L"cała mapa"), std::wstring::npos) << "the restart is said before it happens";
    m_run->ui.clearShown();
    m_run->ui.queueAnswer(true);
    QTest::keyClick(frame, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(simMap(*m_sim).cells, after.cells);
    expectAllAgree();

    // Another program changes a cell: the undo writes nothing and names the cell and what it holds.
    m_run->ui.clearShown();
    ASSERT_EQ(m_sim->send("mapcell 2 3 21"), "ok mapcell");
    const SimMap changed = simMap(*m_sim);
    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(simMap(*m_sim).cells, changed.cells) << "nothing written";
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_EQ(m_run->ui.shown()[0].text.rfind(L"Nie można cofnąć tej zmiany: mapa w sterowniku", 0), 0u);
    EXPECT_NE(m_run->ui.shown()[0].text.find(L" obr/min: 21 %"), std::wstring::npos) << m_run->ui.shown()[0].text;
    EXPECT_EQ(m_run->ui.unexpectedQuestions(), 0u);
}

TEST_F(MapaPage, AxisEditThroughTheHeaderEditorReachesTheController)
{
    startWithSim();
    if (IsSkipped())
        return;
    const SimMap before = simMap(*m_sim);
    const auto& rpm = device().image().m_corrMap.m_rpmAxis;
    // Halfway to the next breakpoint, typed off the 100 rpm grid.
    const double wanted = std::round((rpm[5] + rpm[6]) / 2 / 100) * 100;
    ASSERT_LT(wanted, rpm[6]);
    ASSERT_GT(wanted, rpm[5]);
    CCell* header = m_grid->getColHdrs()[5];
    const QPoint p = header->rect().center();
    QMouseEvent press(QEvent::MouseButtonPress, p, m_grid->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(m_grid, &press);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, p, m_grid->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(m_grid, &dbl);
    QLineEdit* edit = m_grid->editor()->edit();
    ASSERT_TRUE(edit->isVisible());
    edit->setText(QString::number(wanted + 30));
    guitest::pressKey(edit, Qt::Key_Return);
    guitest::settle();
    EXPECT_EQ(header->getTxt(), QString::number(wanted));
    const SimMap after = simMap(*m_sim);
    EXPECT_EQ(after.rpmBytes[5], static_cast<int>(wanted / 100));
    EXPECT_EQ(after.timeBytes, before.timeBytes);
    EXPECT_DOUBLE_EQ(device().image().m_corrMap.m_rpmAxis[5], wanted);
    EXPECT_TRUE(m_run->ui.shown().empty());

    // A refused axes write keeps the old breakpoint on screen and in the image, and says so.
    ASSERT_EQ(m_sim->send("refuse record 34"), "ok refuse record 34");
    QApplication::sendEvent(m_grid, &press);
    QApplication::sendEvent(m_grid, &dbl);
    ASSERT_TRUE(edit->isVisible());
    edit->setText(QString::number(wanted - 100));
    guitest::pressKey(edit, Qt::Key_Return);
    guitest::settle();
    ASSERT_EQ(m_sim->send("refuse off"), "ok refuse off");
    EXPECT_EQ(header->getTxt(), QString::number(wanted));
    EXPECT_DOUBLE_EQ(device().image().m_corrMap.m_rpmAxis[5], wanted);
    EXPECT_EQ(simMap(*m_sim).rpmBytes, after.rpmBytes);
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_EQ(m_run->ui.shown()[0].text, L"Nie powiodło się wpisanie ustawień do urządzenia!");
}

// A breakpoint typed within half a step of its neighbour is rounded before the
// neighbour rule looks at it: the axis stays strictly increasing, in the
// controller too, and the map's CSV reads back.
TEST_F(MapaPage, HeaderTypedNextToItsNeighbourStaysBelowIt)
{
    startWithSim();
    if (IsSkipped())
        return;
    const auto& axes = device().image().m_corrMap;
    struct Edit {
        bool row;
        int index;
        double typed;
        double kept;
    };
    const Edit edits[] = {
        { false, 5, axes.m_rpmAxis[6] - 40, axes.m_rpmAxis[6] - 100 },
        { true, 3, axes.m_injTimeAxis[4] - 0.06, axes.m_injTimeAxis[4] - 0.2 },
    };
    for (const Edit& e : edits) {
        CCell* header = e.row ? m_grid->getRowHdrs()[e.index] : m_grid->getColHdrs()[e.index];
        const QPoint p = header->rect().center();
        QMouseEvent press(QEvent::MouseButtonPress, p, m_grid->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(m_grid, &press);
        QMouseEvent dbl(QEvent::MouseButtonDblClick, p, m_grid->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(m_grid, &dbl);
        QLineEdit* edit = m_grid->editor()->edit();
        ASSERT_TRUE(edit->isVisible());
        edit->setText(QString::number(e.typed, 'f', 2));
        guitest::pressKey(edit, Qt::Key_Return);
        guitest::settle();
        const double held = e.row ? axes.m_injTimeAxis[e.index] : axes.m_rpmAxis[e.index];
        EXPECT_NEAR(held, e.kept, 1e-9) << (e.row ? "time " : "rpm ") << e.index;
    }
    const SimMap sim = simMap(*m_sim);
    for (int r = 1; r < kMapRows; ++r)
        EXPECT_LT(sim.timeBytes[r - 1], sim.timeBytes[r]) << r;
    for (int c = 1; c < kMapCols; ++c)
        EXPECT_LT(sim.rpmBytes[c - 1], sim.rpmBytes[c]) << c;
    // What `map get --csv` writes of it, `map set` takes.
    MapFile back;
    MapTextError error;
    EXPECT_TRUE(parseMapCsv(formatMapCsv(mapFileOf(device().image())), back, error)) << error.describe();
    EXPECT_TRUE(m_run->ui.shown().empty());
}

TEST_F(MapaPage, PasteOfAFourByThreeBlockReachesTheController)
{
    startWithSim();
    if (IsSkipped())
        return;
    const SimMap before = simMap(*m_sim);
    // A spreadsheet block: four columns, three rows.
    QApplication::clipboard()->setText(QStringLiteral("1\t-2\t3\t4\r\n5\t6\t7\t8\r\n9\t10\t11\t12\r\n"));
    guitest::click(m_grid, m_grid->cellAt(7, 9)->rect().center());
    guitest::pressKey(m_grid, Qt::Key_V, Qt::ControlModifier);
    const SimMap after = simMap(*m_sim);
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapCols; ++c) {
            const bool inside = c >= 9 && c <= 12 && r >= 7 && r <= 9;
            const int expected = inside ? (r - 7) * 4 + (c - 9) + 1 : before.cells[r][c];
            ASSERT_EQ(after.cells[r][c], expected == 2 && inside ? -2 : expected) << c << "," << r;
        }
    expectAllAgree();
    EXPECT_EQ(m_grid->model().selectionRect(), (MapRect { 9, 7, 12, 9 }));

    // Text that is no block is refused and nothing is sent.
    m_run->ui.clearShown();
    QApplication::clipboard()->setText(QStringLiteral("1\tx\n"));
    guitest::pressKey(m_grid, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(simMap(*m_sim).cells, after.cells);
    EXPECT_EQ(m_run->ui.shown().size(), 1u);
}

TEST_F(MapaPage, OperatingPointFollowsTheEngine)
{
    startWithSim();
    if (IsSkipped())
        return;
    const auto& rpm = device().image().m_corrMap.m_rpmAxis;
    const auto columnOf = [&](double speed) {
        for (int c = 0; c < kMapCols; ++c)
            if (speed < rpm[c])
                return c;
        return kMapCols - 1;
    };
    for (double speed : { 2600.0, 5200.0 }) {
        ASSERT_EQ(m_sim->send("engine rpm " + std::to_string(static_cast<int>(speed))).rfind("ok", 0), 0u);
        const int column = columnOf(speed);
        EXPECT_TRUE(waitFor(
            [&] {
                const auto cell = m_grid->model().currentCell();
                return cell && cell->column == column && m_grid->cellAt(cell->row, cell->column)->isCurrent();
            }))
            << "marker in the column of " << speed << " rpm";
    }
    EXPECT_GE(m_grid->model().trail().size(), 2u);
}

TEST_F(MapaPage, StepRoundTripAgainstThePacedController)
{
    startWithSim({ "--pace" });
    if (IsSkipped())
        return;
    selectBlock(7, 7, 7, 7);
    std::vector<double> ms;
    for (int i = 0; i < 6; ++i) {
        QElapsedTimer clock;
        clock.start();
        guitest::pressKey(m_grid, Qt::Key_Up, Qt::ControlModifier);
        ms.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    const double median = (ms[2] + ms[3]) / 2;
    std::printf("[figure] Ctrl+Up to command 0x13 acknowledged, paced: median %.1f ms, min %.1f, max %.1f\n", median,
                ms.front(), ms.back());
    RecordProperty("step_round_trip_ms", static_cast<int>(std::lround(median)));
    expectAllAgree();
}

TEST_F(MapaPage, DemoScreenshotsAndRepaintTime)
{
    for (const QSize size : { QSize(1280, 800), QSize(1920, 1080) }) {
        SAppOptions options;
        options.demo = true;
        options.size = std::make_pair(size.width(), size.height());
        startProgram(options);
        CMainFrame* frame = m_run->app().mainFrame();
        guitest::resizeTo(frame, size);
        // A worked block: five steps with the neighbours on, then the selection the fitter is on.
        auto* neighbours = guitest::findById<QAbstractButton>(m_corRpm, CCorRpmDlg::kChkNeighbours);
        ASSERT_NE(neighbours, nullptr);
        guitest::click(neighbours);
        ASSERT_TRUE(m_grid->model().changeNeighbours());
        m_grid->model().selectRect({ 5, 6, 7, 8 });
        m_grid->syncFromModel();
        for (int i = 0; i < 5; ++i)
            guitest::pressKey(m_grid, Qt::Key_Up, Qt::ControlModifier);
        m_grid->model().selectRect({ 3, 10, 4, 11 });
        m_grid->syncFromModel();
        for (int i = 0; i < 4; ++i)
            guitest::pressKey(m_grid, Qt::Key_Down, Qt::ControlModifier);
        m_grid->model().selectRect({ 6, 7, 8, 9 });
        m_grid->syncFromModel();
        // The demo engine's records place the marker.
        EXPECT_TRUE(waitFor([&] { return m_grid->model().currentCell().has_value(); }))
            << "the operating point is shown";
        waitRecords(3);
        const QString name = QStringLiteral("mapa2d_demo_%1x%2").arg(size.width()).arg(size.height());
        EXPECT_FALSE(guitest::saveScreenshot(frame, name).isEmpty());

        if (size.width() == 1920) {
            QElapsedTimer clock;
            clock.start();
            const int n = 20;
            for (int i = 0; i < n; ++i)
                m_grid->repaint();
            const double each = clock.nsecsElapsed() / 1e6 / n;
            std::printf("[figure] whole grid repaint at 1920x1080 (%dx%d px): %.2f ms\n", m_grid->width(),
                        m_grid->height(), each);
            RecordProperty("grid_repaint_us", static_cast<int>(each * 1000));
        }
        m_run.reset();
    }
}


// ---- "Mapowanie z OBD" ----

class MapaObd : public MapaPage {
protected:
    QAbstractButton* control(int id) { return guitest::findById<QAbstractButton>(m_corRpm, id); }

    // The page on the simulator with the link to the engine computer up.
    void startWithObd(const char* fuel)
    {
        startWithSim({ "--fuel", fuel, "--obd", "can11" });
        if (IsSkipped())
            return;
        m_sim->send("engine idle");
        m_run->ui.onSleep = [this](unsigned ms) { m_sim->send("advance " + std::to_string(ms / 1000.0)); };
        obdOf(device()).setEstablished(true);
        ASSERT_TRUE(waitFor([&] { return control(CCorRpmDlg::kChkObdMap)->isEnabled(); }))
            << "the box follows the link";
        guitest::click(control(CCorRpmDlg::kChkObdMap));
        ASSERT_TRUE(control(CCorRpmDlg::kBtnObdMapStart)->isEnabled());
        ASSERT_TRUE(waitFor([&] { return device().diagData().newestSequence() > 0; }));
    }

    std::size_t samples() const
    {
        std::size_t n = 0;
        for (int i = 0; i < CMapFromOBD::kCells; ++i)
            n += m_corRpm->mapFromObd().sampleCount(i);
        return n;
    }

    uint8_t automaticCorrections()
    {
        std::array<uint8_t, 18> bytes {};
        EXPECT_TRUE(device().readObdMapConfig(bytes));
        return bytes[0];
    }
};

TEST_F(MapaObd, DemoOffersTheControlsAndTheyFollowTheBox)
{
    SAppOptions options;
    options.demo = true;
    startProgram(options);
    auto* box = control(CCorRpmDlg::kChkObdMap);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->isEnabled());
    EXPECT_FALSE(control(CCorRpmDlg::kBtnObdMapStart)->isVisible());
    guitest::click(box);
    EXPECT_TRUE(control(CCorRpmDlg::kBtnObdMapStart)->isVisible());
    EXPECT_TRUE(control(CCorRpmDlg::kBtnObdMapStart)->isEnabled());
    EXPECT_TRUE(control(CCorRpmDlg::kBtnObdMapStop)->isEnabled());
    EXPECT_FALSE(control(CCorRpmDlg::kBtnObdMapCalculate)->isEnabled()) << "only after a Stop";
    EXPECT_FALSE(control(CCorRpmDlg::kBtnClearMap)->isEnabled()) << "no clearing under a collection";
    guitest::click(box);
    EXPECT_FALSE(control(CCorRpmDlg::kBtnObdMapStart)->isVisible());
    EXPECT_TRUE(control(CCorRpmDlg::kBtnClearMap)->isEnabled());
}

TEST_F(MapaObd, StartOnPetrolIsRefused)
{
    startWithObd("petrol");
    if (IsSkipped())
        return;
    m_run->ui.clearShown();
    guitest::click(control(CCorRpmDlg::kBtnObdMapStart));
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_EQ(m_run->ui.shown()[0].text, L"Mapowanie z OBD tylko przy pracy na gazie!");
    EXPECT_EQ(m_run->ui.shown()[0].icon, MsgIcon::Information);
    EXPECT_EQ(m_grid->model().colourMode(), 1);
    EXPECT_TRUE(control(CCorRpmDlg::kBtnObdMapStart)->isEnabled());
    // Four records the page timer could have filed.
    waitRecords(4);
    EXPECT_EQ(samples(), 0u) << "nothing collected";
}

TEST_F(MapaObd, RunOnLpgCollectsGreyStopRestoresCalculateWrites)
{
    startWithObd("lpg");
    if (IsSkipped())
        return;
    // Automatic corrections on, as a fitted car has them.
    std::array<uint8_t, 18> config {};
    ASSERT_TRUE(device().readObdMapConfig(config));
    config[0] = 1;
    ASSERT_TRUE(device().writeObdMapConfig(config));

    m_run->ui.clearShown();
    guitest::click(control(CCorRpmDlg::kBtnObdMapStart));
    ASSERT_TRUE(m_corRpm->mapFromObd().running());
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_EQ(m_run->ui.shown()[0].text, L"Wymagane jest wyłączenie automatycznych korekt z OBD.");
    EXPECT_EQ(automaticCorrections(), 0) << "switched off for the run";
    EXPECT_EQ(m_grid->model().colourMode(), 0);
    EXPECT_EQ(m_grid->model().darkenStep(), 1.0);
    EXPECT_FALSE(control(CCorRpmDlg::kBtnObdMapStart)->isEnabled());
    EXPECT_FALSE(control(CCorRpmDlg::kBtnObdMapCalculate)->isEnabled());
    // Twelve ticks put the cell means into the grid texts.
    EXPECT_TRUE(waitFor([&] { return samples() >= 13; })) << "the page timer files samples";
    const auto cell = m_grid->model().currentCell();
    ASSERT_TRUE(cell.has_value());
    EXPECT_GT(m_corRpm->mapFromObd().sampleCount(cell->row * CMapFromOBD::kCols + cell->column), 0u)
        << "under the marker's cell";
    EXPECT_NE(m_grid->model().background(cell->column, cell->row), kMapGrey) << "the cell the engine is in darkens";
    // The texts are the means as of the last redraw: wait for one that still agrees.
    const auto meansShown = [&] {
        const auto& mean = m_corRpm->mapFromObd().cellMean();
        for (int r = 0; r < kMapRows; ++r)
            for (int c = 0; c < kMapCols; ++c)
                if (m_grid->cellAt(r, c)->getTxt().toInt() != static_cast<int>(mean[r * kMapCols + c]))
                    return false;
        return true;
    };
    EXPECT_TRUE(waitFor(meansShown)) << "the grid shows the cell means";
    guitest::resizeTo(m_run->app().mainFrame(), QSize(1280, 800));
    EXPECT_FALSE(guitest::saveScreenshot(m_run->app().mainFrame(), QStringLiteral("mapa2d_obd_mapping")).isEmpty());

    guitest::click(control(CCorRpmDlg::kBtnObdMapStop));
    EXPECT_FALSE(m_corRpm->mapFromObd().running());
    EXPECT_EQ(automaticCorrections(), 1) << "restored at Stop";
    EXPECT_TRUE(control(CCorRpmDlg::kBtnObdMapStart)->isEnabled());
    ASSERT_TRUE(control(CCorRpmDlg::kBtnObdMapCalculate)->isEnabled());
    const std::size_t kept = samples();
    waitRecords(3);
    EXPECT_EQ(samples(), kept) << "nothing collected after Stop";

    // A cell beyond the map's range in the image shows the write and the clamp in the controller.
    device().liveImage().m_corrMap.m_injMapTable[0][0] = 70;
    m_run->ui.clearShown();
    guitest::click(control(CCorRpmDlg::kBtnObdMapCalculate));
    EXPECT_TRUE(m_run->ui.shown().empty()) << (m_run->ui.shown().empty() ? "" : "shown");
    EXPECT_EQ(samples(), 0u);
    EXPECT_EQ(m_grid->model().colourMode(), 1);
    EXPECT_EQ(image()[0][0], 50);
    expectAllAgree();
}

// "Oblicz korekty" writes the whole map: it goes onto the map's undo list,
// and its undo, asked first like every whole-map write, puts back in the
// controller the map the corrections were added to.
TEST_F(MapaObd, CalculatedCorrectionsAreUndoneInTheControllerAfterAsking)
{
    startWithObd("lpg");
    if (IsSkipped())
        return;
    // A warm engine runs in closed loop. The controller's own map, rich where
    // it idles so the trims move, read back so the image holds what the controller holds.
    ASSERT_EQ(m_sim->send("reducer 70"), "ok reducer 70");
    m_sim->send("advance 3");
    waitRecords(3);
    ASSERT_TRUE(m_grid->model().currentCell().has_value());
    const MapCell idle = *m_grid->model().currentCell();
    for (int r = std::max(0, idle.row - 2); r <= std::min(kMapRows - 1, idle.row + 2); ++r)
        for (int c = std::max(0, idle.column - 2); c <= std::min(kMapCols - 1, idle.column + 2); ++c)
            ASSERT_EQ(m_sim->send("mapcell " + std::to_string(r) + " " + std::to_string(c) + " 30"), "ok mapcell");
    m_sim->send("advance 2");
    ASSERT_TRUE(device().readBlock(CReadBlocks::InjMap));
    m_corRpm->refresh();
    const SimMap before = simMap(*m_sim);
    ASSERT_EQ(before.cells[idle.row][idle.column], 30);
    expectAllAgree();

    guitest::click(control(CCorRpmDlg::kBtnObdMapStart));
    ASSERT_TRUE(m_corRpm->mapFromObd().running());
    ASSERT_TRUE(waitFor([&] { return samples() >= 13; }));
    guitest::click(control(CCorRpmDlg::kBtnObdMapStop));
    ASSERT_TRUE(control(CCorRpmDlg::kBtnObdMapCalculate)->isEnabled());
    m_run->ui.clearShown();
    guitest::click(control(CCorRpmDlg::kBtnObdMapCalculate));
    EXPECT_TRUE(m_run->ui.shown().empty());
    const SimMap calculated = simMap(*m_sim);
    ASSERT_NE(calculated.cells, before.cells) << "the trims changed the map";
    expectAllAgree();
    ASSERT_TRUE(m_grid->canUndo());

    // Edit → Cofnij: No writes nothing and keeps the edit; Yes writes the old map back.
    CMainFrame* frame = m_run->app().mainFrame();
    m_run->ui.queueAnswer(false);
    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(simMap(*m_sim).cells, calculated.cells);
    ASSERT_TRUE(m_grid->canUndo());
    m_run->ui.queueAnswer(true);
    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(simMap(*m_sim).cells, before.cells);
    expectAllAgree();
    EXPECT_TRUE(m_grid->canRedo());
    EXPECT_EQ(m_run->ui.unexpectedQuestions(), 0u);
    ASSERT_EQ(m_run->ui.shown().size(), 2u) << "the two questions, nothing else";
    for (const auto& shown : m_run->ui.shown())
        EXPECT_NE(shown.text.find(L"cała mapa"), std::wstring::npos);
}

// While collecting, the grid shows the cell means: a step edit changes the
// controller's map in the selection only, and the image follows the
// controller, not the grid. After Stop the grid shows the map again, so the
// next step starts from the map.
TEST_F(MapaObd, StepEditDuringAndAfterMappingChangesOnlyTheSelection)
{
    startWithObd("lpg");
    if (IsSkipped())
        return;
    guitest::click(control(CCorRpmDlg::kBtnObdMapStart));
    ASSERT_TRUE(m_corRpm->mapFromObd().running());
    // The grid shows the means (0 where the engine never was), not the fitted map.
    ASSERT_TRUE(waitFor([&] { return samples() >= 13; }));
    ASSERT_TRUE(waitFor(
        [&] {
            for (int r = 0; r < kMapRows; ++r)
                for (int c = 0; c < kMapCols; ++c)
                    if (m_grid->cellAt(r, c)->getTxt().toInt() != image()[r][c])
                        return true;
            return false;
        }))
        << "the means differ from the map somewhere";

    const auto step = [&](int c1, int r1, int c2, int r2) {
        const SimMap before = simMap(*m_sim);
        const auto imageBefore = image();
        selectBlock(c1, r1, c2, r2);
        guitest::pressKey(m_grid, Qt::Key_Up, Qt::ControlModifier);
        const SimMap after = simMap(*m_sim);
        for (int r = 0; r < kMapRows; ++r)
            for (int c = 0; c < kMapCols; ++c) {
                const bool inside = c >= c1 && c <= c2 && r >= r1 && r <= r2;
                ASSERT_EQ(after.cells[r][c], std::min(50, before.cells[r][c] + (inside ? 1 : 0))) << c << "," << r;
                ASSERT_EQ(image()[r][c], after.cells[r][c]) << "image " << c << "," << r;
                if (!inside) {
                    ASSERT_EQ(image()[r][c], imageBefore[r][c]) << c << "," << r;
                }
            }
    };
    step(2, 3, 4, 5);

    guitest::click(control(CCorRpmDlg::kBtnObdMapStop));
    ASSERT_FALSE(m_corRpm->mapFromObd().running());
    EXPECT_EQ(m_grid->model().colourMode(), 1);
    expectAllAgree();
    step(8, 10, 9, 12);
    expectAllAgree();
}

} // namespace
