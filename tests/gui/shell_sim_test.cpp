// SPDX-License-Identifier: GPL-3.0-or-later
// The program against korvana-sim on a pseudo-terminal: the controller found
// and polled, the remembered port tried first, a pulled cable (the link falls,
// the readings marked stale, the first search 11 ticks later with the one
// dialog that says the port went, silent ones every 11 ticks after it, polling
// back and said in the caption when the controller answers again; "Ponów" in
// that dialog searching again at once), and fuel switches the controller refuses.
#include "guitest.h"
#include "shelltest.h"

#include <app/data/settingsio.h>
#include <app/device/lpgdevice.h>
#include <app/platform/log.h>
#include <app/platform/porttable.h>
#include <app/platform/profilestore.h>
#include <app/shell/gdipcaptionbar.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mainframe.h>
#include <app/shell/wspolneodczytymultipagedlg.h>
#include <gradctrls/dialogs/gdipstatic.h>
#include <gradctrls/displays/gdipgaugedisplay.h>
#include <gradctrls/displays/gdipinjectorstatedisplay.h>
#include <gradctrls/multipage/imultipagebutton.h>

#include <simprocess.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>

using shelltest::CShellRun;

namespace {

using guitest::waitFor;


class SimShell : public ::testing::Test {
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
        qunsetenv("XDG_CONFIG_HOME");
    }

    std::string link(const char* name = "controller") const { return m_dir.filePath(name).toStdString(); }

    std::unique_ptr<CSimProcess> startSim(const std::string& linkPath)
    {
        auto sim = std::make_unique<CSimProcess>(std::vector<std::string> { "--link", linkPath });
        EXPECT_TRUE(sim->start()) << sim->error();
        return sim;
    }

    // The program with these ports; the no-connection dialog answers "without a connection".
    CShellRun& startProgram(std::vector<std::string> ports)
    {
        SAppOptions options;
        options.ports = std::move(ports);
        m_run = std::make_unique<CShellRun>(options, false);
        EXPECT_TRUE(m_run->start());
        return *m_run;
    }

    int newestSequence()
    {
        CDiag record;
        return m_run->app().document()->device().diagData().latest(record) ? static_cast<int>(record.sequence()) : 0;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<CShellRun> m_run;
};

TEST_F(SimShell, ControllerFoundAndPolled)
{
    auto sim = startSim(link());
    CShellRun& run = startProgram({ link() });
    CkorvanaDoc* doc = run.app().document();
    EXPECT_EQ(run.noConnectionDialogs, 0);
    EXPECT_TRUE(doc->device().m_connected);
    EXPECT_FALSE(doc->device().m_demo);
    EXPECT_TRUE(doc->isPolling());
    EXPECT_TRUE(run.app().mainFrame()->isTimerRunning());
    EXPECT_EQ(profileStore().lastPortPath(), link());

    CKorMultiPageCtrl* mpc = run.app().view()->multiPage();
    auto lit = [&] {
        int n = 0;
        for (int i = 0; i < 3; ++i)
            n += mpc->getButton(i)->isSelected();
        return n;
    };
    EXPECT_TRUE(waitFor([&] { return newestSequence() >= 3 && lit() == 1; }));
    ASSERT_EQ(sim->send("fuel lpg"), "ok fuel lpg");
    EXPECT_TRUE(waitFor([&] { return mpc->getButton(1)->isSelected(); })) << "GAZ follows the controller";
    EXPECT_EQ(lit(), 1);
    EXPECT_TRUE(run.ui.shown().empty());
}

TEST_F(SimShell, RememberedPortIsTriedFirst)
{
    auto first = startSim(link("first"));
    auto second = startSim(link("second"));
    // Both present, "first" with the lower number; "second" answered last time.
    // The program numbers its --port paths in the order given, as this table does.
    CPortTable numbering;
    const uint32_t a = numbering.addPath(link("first"), "test");
    const uint32_t b = numbering.addPath(link("second"), "test");
    ASSERT_LT(a, b);
    profileStore().storeLastPort(b, link("second"));
    CShellRun& run = startProgram({ link("first"), link("second") });
    EXPECT_TRUE(run.app().document()->device().m_connected);
    EXPECT_EQ(profileStore().lastPortPath(), link("second"));
}

TEST_F(SimShell, PulledCableSearchesAgainAndPollsWhenTheControllerIsBack)
{
    auto sim = startSim(link());
    CShellRun& run = startProgram({ link() });
    CkorvanaDoc* doc = run.app().document();
    CMainFrame* frame = run.app().mainFrame();
    ASSERT_TRUE(doc->device().m_connected);
    ASSERT_TRUE(waitFor([&] { return newestSequence() >= 2; }));
    // The timer is ticked by hand from here on, so the ticks can be counted.
    frame->stopTimer();
    for (int i = 0; i < 3; ++i)
        frame->OnTimer();

    ASSERT_EQ(sim->send("vanish"), "ok vanished");
    ASSERT_TRUE(waitFor([&] { return !doc->device().m_connected; })) << "the polling thread gives up";
    auto ticksToSearch = [&] {
        const unsigned before = doc->searchCount();
        for (int i = 1; i <= 40; ++i) {
            frame->OnTimer();
            if (doc->searchCount() != before)
                return i;
        }
        return -1;
    };
    auto caption = [&] { return frame->captionBar()->captionText(); };
    auto* panel = dynamic_cast<CWspolneOdczytyMultiPageDlg*>(run.app().view()->multiPage()->getActivePage());
    ASSERT_NE(panel, nullptr);
    const QString rpmShown = panel->gauge(0)->valueText()->text();
    ASSERT_NE(rpmShown, QStringLiteral("—"));
    EXPECT_FALSE(panel->stale());
    EXPECT_EQ(ticksToSearch(), 12) << "the tick that sees the loss, then 11";
    EXPECT_EQ(run.noConnectionDialogs, 1) << "the dialog comes once after the loss";
    EXPECT_TRUE(run.ui.shown().empty()) << "no box stacks on the dialog: "
                                        << QString::fromStdWString(run.ui.shown()[0].text).toStdString();
    // The cause first; what else the machine's ports show follows it.
    EXPECT_TRUE(QString::fromStdWString(doc->searchDiagnosis())
                    .startsWith(QString::fromStdString(link()) + QStringLiteral(": port zniknął")))
        << QString::fromStdWString(doc->searchDiagnosis()).toStdString();
    // The last values are not passed off as live ones.
    EXPECT_TRUE(panel->stale());
    EXPECT_EQ(panel->gauge(0)->valueText()->text(), QStringLiteral("—"));
    EXPECT_EQ(panel->petrolDisplay(0)->valueText()->text(), QStringLiteral("—"));
    EXPECT_NE(panel->gauge(0)->graphicsEffect(), nullptr) << "greyed";
    EXPECT_TRUE(caption().endsWith(QStringLiteral("BRAK POŁĄCZENIA"))) << caption().toStdString();

    // The searches after it are silent, and the caption says while one runs.
    QStringList captionsWhileSearching;
    const int sink = addLogSink([&](LogLevel, const std::string& line) {
        if (line.find("controller search") != std::string::npos)
            captionsWhileSearching << caption();
    });
    EXPECT_EQ(ticksToSearch(), 11);
    EXPECT_EQ(ticksToSearch(), 11);
    removeLogSink(sink);
    EXPECT_EQ(run.noConnectionDialogs, 1) << "no dialog every 1.1 s";
    ASSERT_EQ(captionsWhileSearching.size(), 2);
    EXPECT_TRUE(captionsWhileSearching[0].endsWith(QStringLiteral("Szukanie sterownika…")))
        << captionsWhileSearching[0].toStdString();
    EXPECT_FALSE(doc->device().m_connected);
    guitest::saveScreenshot(frame, QStringLiteral("shell_link_lost"));

    ASSERT_EQ(sim->send("appear").rfind("ok ", 0), 0u);
    int ticks = 0;
    while (!doc->device().m_connected && ticks < 40) {
        frame->OnTimer();
        ++ticks;
    }
    EXPECT_EQ(ticks, 11);
    EXPECT_EQ(run.noConnectionDialogs, 1);
    EXPECT_TRUE(doc->isPolling());
    EXPECT_TRUE(frame->isTimerRunning()) << "polling restarts the frame timer";
    EXPECT_TRUE(caption().endsWith(QStringLiteral("Połączono ze sterownikiem"))) << caption().toStdString();
    guitest::saveScreenshot(frame, QStringLiteral("shell_link_back"));
    const int before = newestSequence();
    EXPECT_TRUE(waitFor([&] { return newestSequence() > before + 2; }));
    frame->OnTimer();
    EXPECT_FALSE(panel->stale()) << "a record shown again ends the marking";
    EXPECT_NE(panel->gauge(0)->valueText()->text(), QStringLiteral("—"));
    EXPECT_EQ(panel->gauge(0)->graphicsEffect(), nullptr);
    EXPECT_TRUE(waitFor([&] { return !caption().contains(QStringLiteral("Połączono")); }))
        << "the notice goes after a few seconds: " << caption().toStdString();
}

// "Ponów" searches again at once; once the controller is back that search finds it.
TEST_F(SimShell, RetryInTheDialogReconnects)
{
    auto sim = startSim(link());
    CShellRun& run = startProgram({ link() });
    CkorvanaDoc* doc = run.app().document();
    CMainFrame* frame = run.app().mainFrame();
    ASSERT_TRUE(doc->device().m_connected);
    frame->stopTimer();
    frame->OnTimer();
    std::vector<std::wstring> causes;
    doc->askNoConnection = [&](QWidget*) {
        causes.push_back(doc->searchDiagnosis());
        if (causes.size() == 1)
            return ENoConnectionChoice::Retry; // still gone: the dialog comes again
        EXPECT_EQ(sim->send("appear").rfind("ok ", 0), 0u);
        return ENoConnectionChoice::Retry;
    };
    ASSERT_EQ(sim->send("vanish"), "ok vanished");
    ASSERT_TRUE(waitFor([&] { return !doc->device().m_connected; }));
    for (int i = 0; i < 12 && !doc->device().m_connected; ++i)
        frame->OnTimer();
    EXPECT_TRUE(doc->device().m_connected);
    EXPECT_FALSE(doc->device().m_demo);
    ASSERT_EQ(causes.size(), 2u);
    EXPECT_NE(causes[1].find(L"port zniknął"), std::wstring::npos);
    EXPECT_EQ(doc->searchCount(), 1u + 1u) << "the start, then one search that retried within itself";
    EXPECT_TRUE(doc->isPolling());
    EXPECT_TRUE(run.ui.shown().empty());
}

TEST_F(SimShell, RefusedSwitchShowsItsMessage)
{
    auto sim = startSim(link());
    CShellRun& run = startProgram({ link() });
    ASSERT_TRUE(run.app().document()->device().m_connected);
    // Every answer comes with another type: no switch is acknowledged.
    ASSERT_EQ(sim->send("fault type").rfind("ok fault type", 0), 0u);
    CKorMultiPageCtrl* mpc = run.app().view()->multiPage();
    const wchar_t* expected[3] = { L"Nie powiodło się przełączenie w tryb AUTO!",
        L"Nie powiodło się przełączenie na LPG!", L"Nie powiodło się przełączenie na benzynę!" };
    for (int i = 0; i < 3; ++i) {
        run.ui.clearShown();
        const unsigned cursors = run.ui.waitCursorsBegun();
        guitest::click(mpc->getButton(i)->getWindow());
        ASSERT_EQ(run.ui.shown().size(), 1u) << i;
        EXPECT_EQ(run.ui.shown()[0].text, expected[i]);
        EXPECT_EQ(run.ui.shown()[0].caption, L"KORVANA");
        EXPECT_EQ(run.ui.shown()[0].icon, MsgIcon::Error);
        EXPECT_GT(run.ui.waitCursorsBegun(), cursors);
        EXPECT_EQ(run.ui.waitCursorDepth(), 0);
    }
    EXPECT_EQ(mpc->getActiveIndex(), 5);
}

} // namespace

// Files dropped on the window, and named at start: a settings file is offered
// for the controller (No writes nothing, Yes writes it); a firmware file asks
// before anything (No leaves the controller as it was).
TEST_F(SimShell, DroppedSettingsAndFirmwareFilesAskFirst)
{
    auto sim = startSim(link());
    CShellRun& run = startProgram({ link() });
    CLPGDevice& device = run.app().document()->device();
    ASSERT_TRUE(device.m_connected);
    const double held = device.image().m_base.m_switchTempr;
    CSettingsImage file = device.image();
    file.m_base.m_switchTempr = held == 35 ? 40 : 35;
    const std::string settings = m_dir.filePath(QStringLiteral("car.settings")).toStdString();
    ASSERT_TRUE(writeSettings(settings, file));
    const std::string firmware = m_dir.filePath(QStringLiteral("new.afm")).toStdString();
    {
        std::ofstream out(firmware);
        out << "not opened before the question\n";
    }
    const auto drop = [&](const std::string& path) {
        QMimeData data;
        data.setUrls({ QUrl::fromLocalFile(QString::fromStdString(path)) });
        QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(run.app().mainFrame(), &enter);
        EXPECT_TRUE(enter.isAccepted()) << path;
        QDropEvent event(QPointF(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(run.app().mainFrame(), &event);
        guitest::settle();
    };

    run.ui.queueAnswer(false);
    drop(settings);
    ASSERT_EQ(run.ui.shown().size(), 1u);
    EXPECT_EQ(run.ui.shown()[0].text, L"Wpisać do sterownika ustawienia z pliku?\ncar.settings");
    ASSERT_TRUE(device.readBlock(CReadBlocks::Base));
    EXPECT_EQ(device.image().m_base.m_switchTempr, held) << "No writes nothing";

    run.ui.queueAnswer(true);
    drop(settings);
    EXPECT_EQ(run.ui.unexpectedQuestions(), 0u);
    ASSERT_TRUE(device.readBlock(CReadBlocks::Base));
    EXPECT_EQ(device.image().m_base.m_switchTempr, file.m_base.m_switchTempr) << "Yes writes the file";

    run.ui.clearShown();
    run.ui.queueAnswer(false);
    drop(firmware);
    ASSERT_EQ(run.ui.shown().size(), 1u);
    EXPECT_EQ(run.ui.shown()[0].text, L"Zaprogramować sterownik oprogramowaniem z pliku?\nnew.afm");
    EXPECT_TRUE(device.m_connected);
    EXPECT_TRUE(run.ui.fileRequests().empty()) << "a dropped file needs no file dialog";

    // A file of no known kind is not taken.
    const std::string other = m_dir.filePath(QStringLiteral("notes.txt")).toStdString();
    QMimeData data;
    data.setUrls({ QUrl::fromLocalFile(QString::fromStdString(other)) });
    QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(run.app().mainFrame(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST_F(SimShell, SettingsFileNamedAtStartIsOfferedForTheController)
{
    auto sim = startSim(link());
    {
        CShellRun& first = startProgram({ link() });
        ASSERT_TRUE(first.app().document()->device().m_connected);
        ASSERT_TRUE(writeSettings(m_dir.filePath(QStringLiteral("start.settings")).toStdString(),
                                  first.app().document()->device().image()));
        m_run.reset();
    }
    SAppOptions options;
    options.ports = { link() };
    options.files = { m_dir.filePath(QStringLiteral("start.settings")).toStdString() };
    m_run = std::make_unique<CShellRun>(options, false);
    m_run->ui.queueAnswer(false);
    ASSERT_TRUE(m_run->start());
    ASSERT_TRUE(guitest::waitFor([&] { return !m_run->ui.shown().empty(); }));
    EXPECT_EQ(m_run->ui.shown()[0].text, L"Wpisać do sterownika ustawienia z pliku?\nstart.settings");
}
