// SPDX-License-Identifier: GPL-3.0-or-later
// The main view of the program built in this process: the twelve buttons in
// order with their titles and layout shares, the empty pages and the page the
// program starts on, the two grey panels, the view font, the console pictures
// (a missing one ends the loading), an offline start (the dialog says it, no
// box after it; fuel buttons inert), the choices of the no-connection dialog
// ("Ponów" bringing it back while nothing answers), and the
// screenshots of the main window in demo mode.
#include "guitest.h"
#include "shelltest.h"

#include <app/data/diag.h>
#include <app/data/languages.h>
#include <app/data/settingsimage.h>
#include <app/device/demostate.h>
#include <app/shell/consolebtn.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mainframe.h>
#include <app/shell/noconnectiondlg.h>
#include <app/shell/sensorsdlg.h>
#include <app/shell/wspolneodczytymultipagedlg.h>
#include <gradctrls/dialogs/gdipstatic.h>
#include <gradctrls/displays/gdipinjectorstatedisplay.h>
#include <gradctrls/multipage/gdipmultipagedialog.h>
#include <gradctrls/multipage/imultipagebutton.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

using shelltest::CShellRun;

namespace {

SAppOptions demoOptions()
{
    SAppOptions o;
    o.demo = true;
    return o;
}

QString titleOf(IMultiPageButton* button)
{
    return dynamic_cast<QAbstractButton*>(button->getWindow())->text();
}

class View : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_run.start());
        m_frame = m_run.app().mainFrame();
        m_view = m_run.app().view();
        ASSERT_NE(m_view, nullptr);
        m_mpc = m_view->multiPage();
        ASSERT_NE(m_mpc, nullptr);
        guitest::settle();
    }
    CShellRun m_run { demoOptions() };
    CMainFrame* m_frame = nullptr;
    CkorvanaView* m_view = nullptr;
    CKorMultiPageCtrl* m_mpc = nullptr;
};

TEST_F(View, TwelveButtonsInOrderStartingOnTheReadingsPage)
{
    const QStringList titles = { "AUTO", "GAZ", "BENZYNA", "Konsolka", "Wskazanie", "Odczyty", "Ustawienia",
        "Zaawansowane", "Kalibracja", "Mapa", "OBD", "Info" };
    ASSERT_EQ(m_mpc->getPageCount(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(titleOf(m_mpc->getButton(i)), titles[i]);
    EXPECT_EQ(m_mpc->getActiveIndex(), 5);
    EXPECT_TRUE(m_mpc->getButton(5)->isSelected());
    // Action buttons carry the empty page 335; the seven pages their own dialogs.
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(m_mpc->getPage(i)->getResourceId(), i < 5 ? 335 : 313 + i - 5) << i;
    EXPECT_EQ(m_mpc->getButton(3)->getWindow(), m_view->consoleButton());
}

TEST_F(View, ButtonSpansFollowTheirShares)
{
    guitest::resizeTo(m_frame, QSize(1280, 800));
    const int h = m_mpc->height();
    // AUTO starts at 0.10 of the height and "Odczyty" at 0.51; every other
    // button follows the one before it; "Konsolka" is 0.15 high, the rest 0.05.
    const double leads[12] = { 0.10, 0, 0, 0, 0, 0.51, 0, 0, 0, 0, 0, 0 };
    int expectedTop = 0;
    for (int i = 0; i < 12; ++i) {
        const QRect r = m_mpc->getButton(i)->getWindow()->geometry();
        if (leads[i] != 0)
            expectedTop = static_cast<int>(leads[i] * h);
        EXPECT_EQ(r.top(), expectedTop) << i;
        EXPECT_EQ(r.height(), static_cast<int>((i == 3 ? 0.15 : 0.05) * h)) << i;
        expectedTop = r.top() + r.height();
    }
    // The upper group ends near 0.45, the lower near 0.86 (heights are whole pixels).
    EXPECT_NEAR(m_mpc->getButton(4)->getWindow()->geometry().bottom(), 0.45 * h, 8);
    EXPECT_NEAR(m_mpc->getButton(11)->getWindow()->geometry().bottom(), 0.86 * h, 8);
}

TEST_F(View, TwoGreyPanelsBehindTheColumn)
{
    guitest::resizeTo(m_frame, QSize(1280, 800));
    const int w = m_mpc->width();
    const int h = m_mpc->height();
    const auto& background = m_mpc->getBackground();
    ASSERT_EQ(background.size(), 3u);
    // Whole pixels: the control divides in integers.
    const int mx = w / 300;
    const int my = h / 200;
    const int half = h / 2;
    EXPECT_EQ(background[1].rect, QRectF(QPointF(mx, my), QPointF(w - mx, half - my)));
    EXPECT_EQ(background[2].rect, QRectF(QPointF(mx, half + my), QPointF(w - mx, h - my)));
}

TEST_F(View, FontIsASixtiethOfTheViewHeight)
{
    guitest::resizeTo(m_frame, QSize(1280, 800));
    EXPECT_EQ(m_view->viewFont().pixelSize(), m_view->height() / 60);
    guitest::resizeTo(m_frame, QSize(1920, 1080));
    EXPECT_EQ(m_view->viewFont().pixelSize(), m_view->height() / 60);
    EXPECT_EQ(m_mpc->getButton(6)->getWindow()->font().pixelSize(), m_view->height() / 60);
}

TEST_F(View, ActionButtonsKeepThePageAndPageButtonsSwitchIt)
{
    guitest::click(m_mpc->getButton(2)->getWindow()); // BENZYNA
    // Wskazanie opens the level-sensor dialog over the page.
    bool sensors = false;
    shelltest::onNextModal([&](QWidget* modal) {
        sensors = qobject_cast<CSensorsDlg*>(modal) != nullptr;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    });
    guitest::click(m_mpc->getButton(4)->getWindow()); // Wskazanie
    EXPECT_TRUE(sensors);
    EXPECT_EQ(m_mpc->getActiveIndex(), 5);
    guitest::click(m_mpc->getButton(9)->getWindow()); // Mapa
    EXPECT_EQ(m_mpc->getActiveIndex(), 9);
    EXPECT_TRUE(m_mpc->getPage(9)->isVisible());
    EXPECT_FALSE(m_mpc->getPage(5)->isVisible());
}

TEST_F(View, AllSevenConsolePicturesLoadInOrder)
{
    ASSERT_EQ(m_view->consoleButton()->imageCount(), 7);
    EXPECT_EQ(m_view->consoleButton()->selectedImage(), 0);
}

// The newest record says fuel state, switch mode and raw tank level; one refresh follows.
void refreshWith(CkorvanaView* view, CkorvanaDoc* doc, uint8_t fuel, uint8_t mode, uint8_t level)
{
    CDiag record;
    record.setFuelState(fuel);
    record.bytes()[1] = mode;
    record.bytes()[14] = level;
    doc->device().diagData().push(record);
    view->onTimer();
}

TEST_F(View, FuelButtonFollowsTheReportedState)
{
    CkorvanaDoc* doc = m_run.app().document();
    doc->stopPolling();
    struct Case {
        uint8_t fuel;
        uint8_t mode;
        int lit; // button index
    };
    const Case cases[] = { { 2, 1, 0 }, { 2, 0, 2 }, { 3, 0, 1 }, { 3, 1, 1 }, { 2, 1, 0 } };
    for (const Case& c : cases) {
        refreshWith(m_view, doc, c.fuel, c.mode, 0);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(m_mpc->getButton(i)->isSelected(), i == c.lit) << int(c.fuel) << "/" << int(c.mode);
    }
    // A click asks for the mode but lights nothing by itself.
    guitest::click(m_mpc->getButton(1)->getWindow());
    EXPECT_TRUE(m_mpc->getButton(0)->isSelected());
    EXPECT_FALSE(m_mpc->getButton(1)->isSelected());
    EXPECT_TRUE(m_run.ui.shown().empty());
    // The page stays where it was.
    EXPECT_EQ(m_mpc->getActiveIndex(), 5);
}

TEST_F(View, ConsolePictureFollowsTheTankEveryFourthRefresh)
{
    CkorvanaDoc* doc = m_run.app().document();
    doc->stopPolling();
    doc->device().changeImage([](CSettingsImage& image) {
        CSensorsSetup& s = image.m_sensorsSetup;
        s.m_fuelFull = 200;
        s.m_fuelHgw = 150;
        s.m_fuelHalf = 100;
        s.m_fuelQuarter = 50;
    });
    CConsoleBtn* console = m_view->consoleButton();
    std::vector<int> seen;
    for (int i = 0; i < 8; ++i) {
        refreshWith(m_view, doc, 3, 0, 201);
        seen.push_back(console->selectedImage());
    }
    // The picture changes on the 4th refresh of the view's count, which the
    // demo polling may have advanced before: at most 3 refreshes show the old one.
    EXPECT_EQ(seen.back(), 6);
    EXPECT_LE(std::count(seen.begin(), seen.end(), 0), 3);
    for (uint8_t level : { 200, 51, 50 }) {
        for (int i = 0; i < 4; ++i)
            refreshWith(m_view, doc, 3, 0, level);
        EXPECT_EQ(console->selectedImage(), level == 200 ? 5 : level == 51 ? 3 : 2) << int(level);
    }
    // A pending automatic switch alternates petrol and AUTO, one change per four refreshes.
    std::vector<int> blink { console->selectedImage() };
    for (int i = 0; i < 16; ++i) {
        refreshWith(m_view, doc, 2, 1, 0);
        blink.push_back(console->selectedImage());
    }
    int changes = 0;
    for (std::size_t i = 1; i < blink.size(); ++i)
        changes += blink[i] != blink[i - 1];
    EXPECT_EQ(changes, 4);
    EXPECT_LE(std::count(blink.begin(), blink.end(), 2), 4); // the reserve picture until the first change
    EXPECT_TRUE(blink.back() == 0 || blink.back() == 1);
}

TEST_F(View, ScreenshotsInDemoMode)
{
    // Demo mode starts on petrol (the fuel state of demo mode is program-wide,
    // and an earlier test may have switched it); its readings light BENZYNA.
    setDemoFuelState(2);
    EXPECT_TRUE(guitest::waitFor([&] { return m_mpc->getButton(2)->isSelected(); }));
    for (const QSize size : { QSize(1280, 800), QSize(1920, 1080) }) {
        guitest::resizeTo(m_frame, size);
        ASSERT_EQ(m_frame->size(), size);
        const QString name = QStringLiteral("korvana_demo_%1x%2").arg(size.width()).arg(size.height());
        const QString path = guitest::saveScreenshot(m_frame, name);
        ASSERT_FALSE(path.isEmpty());
        const QImage shot(path);
        EXPECT_EQ(shot.size(), size);
    }
}

// A runtime folder whose Skins hold only the named console pictures.
class PartialSkins {
public:
    explicit PartialSkins(const QStringList& keep)
    {
        QDir().mkpath(m_dir.filePath(QStringLiteral("Skins")));
        for (const QString& name : keep)
            QFile::copy(
                QStringLiteral(KORVANA_RUNTIME_DIR "/Skins/") + name, m_dir.filePath(QStringLiteral("Skins/") + name));
        qputenv("KORVANA_RUNTIME_DIR", m_dir.path().toLocal8Bit());
    }
    ~PartialSkins() { qputenv("KORVANA_RUNTIME_DIR", KORVANA_RUNTIME_DIR); }
    PartialSkins(const PartialSkins&) = delete;
    PartialSkins& operator=(const PartialSkins&) = delete;

private:
    QTemporaryDir m_dir;
};

// Started in English, every button and the petrol cells are English from the
// first moment, not only after a change of language; the level-sensor button
// names what it opens.
TEST(ViewStart, TextsAreInTheStartLanguageAtOnce)
{
    SAppOptions options = demoOptions();
    options.language = 1;
    {
        CShellRun run(options);
        ASSERT_TRUE(run.start());
        CKorMultiPageCtrl* mpc = run.app().view()->multiPage();
        EXPECT_EQ(titleOf(mpc->getButton(3)), QStringLiteral("Switch"));
        EXPECT_EQ(titleOf(mpc->getButton(4)), QStringLiteral("Tank level"));
        auto* panel = dynamic_cast<CWspolneOdczytyMultiPageDlg*>(mpc->getPage(CkorvanaView::kFirstPage));
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->petrolDisplay(0)->titleText()->text(), QStringLiteral("P1"));
        EXPECT_EQ(panel->petrolDisplay(7)->titleText()->text(), QStringLiteral("P8"));
        EXPECT_EQ(panel->lpgDisplay(0)->titleText()->text(), QStringLiteral("G1"));
        run.app().document()->stopPolling();
    }
    setCurrentLanguage(0);
}

TEST(ViewConsole, AMissingPictureEndsTheLoading)
{
    // Without "KR CON R.tif" the later pictures are not tried even though they exist.
    PartialSkins skins({ "KR CON PETROL.tif", "KR CON AUTO.tif", "KR CON 14.tif", "KR CON 12.tif", "KR CON 34.tif",
        "KR CON FULL.tif" });
    CShellRun run(demoOptions());
    ASSERT_TRUE(run.start());
    CConsoleBtn* console = run.app().view()->consoleButton();
    EXPECT_EQ(console->imageCount(), 2);
    EXPECT_EQ(console->selectedImage(), 0);
    console->selectImage(5); // beyond the list: ignored
    EXPECT_EQ(console->selectedImage(), 0);
}

TEST(ViewConsole, NoFirstPictureLeavesTheButtonEmpty)
{
    PartialSkins skins({});
    CShellRun run(demoOptions());
    ASSERT_TRUE(run.start());
    EXPECT_EQ(run.app().view()->consoleButton()->imageCount(), 0);
    EXPECT_EQ(run.app().view()->consoleButton()->selectedImage(), -1);
}

TEST(ViewStart, OfflineStartShowsNoBoxAfterTheDialogAndFuelButtonsDoNothing)
{
    CShellRun run({}, false);
    ASSERT_TRUE(run.start());
    CkorvanaDoc* doc = run.app().document();
    EXPECT_EQ(run.noConnectionDialogs, 1);
    EXPECT_FALSE(doc->device().m_connected);
    EXPECT_FALSE(doc->device().m_demo);
    EXPECT_TRUE(run.ui.shown().empty()) << "the dialog has said it; no box stacks on it";
    EXPECT_FALSE(doc->isPolling());

    CKorMultiPageCtrl* mpc = run.app().view()->multiPage();
    for (int i = 0; i < 3; ++i)
        guitest::click(mpc->getButton(i)->getWindow());
    EXPECT_TRUE(run.ui.shown().empty());
    EXPECT_EQ(run.ui.waitCursorsBegun(), 0u);
    EXPECT_FALSE(doc->device().m_connected);
    // Nothing is refreshed without a connection: no fuel button is lit.
    run.app().view()->onTimer();
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(mpc->getButton(i)->isSelected());
}

TEST(ViewStart, TheDialogsChoicesSetBothFlagsOrNeither)
{
    struct Case {
        const char* name;
        int buttonId; // 0: close the dialog
        bool demo;
        int dialogs;
    };
    const Case cases[] = {
        { "demo", CNoConnectionDlg::kDemoId, true, 1 },
        { "offline", CNoConnectionDlg::kOfflineId, false, 1 },
        { "closed", 0, false, 1 },
        // Nothing answers the new search either: the dialog comes again, then demo.
        { "retry", CNoConnectionDlg::kRetryId, true, 2 },
    };
    for (const Case& c : cases) {
        CShellRun run;
        run.realDialog = true;
        int dialogs = 0;
        int looks = 0;
        std::function<void(QWidget*)> answer = [&](QWidget* modal) {
            // The search before the dialog may let this run early: look again a little later.
            if (!qobject_cast<CNoConnectionDlg*>(modal)) {
                if (++looks < 600)
                    QTimer::singleShot(50, qApp, [&] { answer(QApplication::activeModalWidget()); });
                return;
            }
            ++dialogs;
            if (c.buttonId == CNoConnectionDlg::kRetryId && dialogs == 1) {
                shelltest::onNextModal(answer);
                guitest::click(guitest::findById(modal, c.buttonId));
            } else if (c.buttonId == CNoConnectionDlg::kRetryId) {
                guitest::click(guitest::findById(modal, CNoConnectionDlg::kDemoId));
            } else if (c.buttonId) {
                guitest::click(guitest::findById(modal, c.buttonId));
            } else {
                modal->close();
            }
        };
        shelltest::onNextModal(answer);
        ASSERT_TRUE(run.start()) << c.name;
        EXPECT_EQ(dialogs, c.dialogs) << c.name;
        CLPGDevice& device = run.app().document()->device();
        EXPECT_EQ(device.m_demo.load(), c.demo) << c.name;
        EXPECT_EQ(device.m_connected.load(), c.demo) << c.name;
        EXPECT_TRUE(run.ui.shown().empty()) << c.name;
        run.app().document()->stopPolling();
    }
}

} // namespace
