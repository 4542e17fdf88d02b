// SPDX-License-Identifier: GPL-3.0-or-later
// The "Kalibracja" page in the program against korvana-sim. The simulator runs
// twenty times faster than real time; the program's polling thread waits on a
// clock that the scripted sleeps step (each sleeps a twentieth for real), so a
// minute of idle calibration takes seconds and the thread still reads one
// record per 100 ms of that clock. The page, the view, the document's operation and
// the procedure are the program's own. Covered: a run from the Start button
// to the green lines and the car's correction, a fuel button refused inside the
// run, Stop putting back the delay and automatic mode, a cold reducer refused
// with the yellow line, and the spins' rule on the controller.
#include "guitest.h"
#include "shelltest.h"

#include <app/data/diagdata.h>
#include <app/data/translate.h>
#include <app/device/operationlock.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mainframe.h>
#include <app/shell/correctionspin.h>
#include <app/shell/kalibracjadlg.h>
#include <gradctrls/multipage/imultipagebutton.h>
#include <tools/sim/fittedcar.h>

#include <simprocess.h>
#include <steppedclock.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>

#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

using shelltest::CShellRun;

namespace {

constexpr double kScale = 20;
constexpr uint32_t kYellow = 0xB4FFFF;
constexpr uint32_t kGreen = 0x76F0B4;

class KalibracjaPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
        CDeviceSession::resetRefusalNotice();
    }
    void TearDown() override
    {
        if (m_clock)
            m_clock->release();
        m_run.reset();
        qunsetenv("XDG_CONFIG_HOME");
    }

    // The program on a time-scaled simulator whose main corrections are all 0.50 ms;
    // warm: the reducer warmed and the car idling before the program starts.
    bool start(bool warm)
    {
        const std::string link = m_dir.filePath(QStringLiteral("controller")).toStdString();
        m_sim = std::make_unique<CSimProcess>(
            std::vector<std::string> { "--link", link, "--time-scale", std::to_string(kScale), "--main-corr", "0.50" });
        if (!m_sim->start()) {
            ADD_FAILURE() << m_sim->error();
            return false;
        }
        // A cold car stays cold however long a loaded machine takes to reach the click.
        if (m_sim->send(warm ? "advance 300" : "reducer 20").rfind("ok", 0) != 0)
            return false;
        SAppOptions options;
        options.ports = { link };
        m_run = std::make_unique<CShellRun>(options, false);
        if (!m_run->start() || !doc().device().m_connected)
            return false;
        // The program's own polling thread again, its waits on the stepped clock.
        CLPGDevice& device = doc().device();
        doc().stopPolling();
        m_clock = std::make_unique<CSteppedClock>([&device] { return device.session().pollingThreadRunning() ? 1 : 0; },
                                                  [&device] { return !device.session().m_polling; });
        device.link().port().setWaiter([this](unsigned ms) { m_clock->wait(ms); });
        doc().startPolling();
        // The first record, which the page and the procedure look at.
        m_clock->advance(100);
        m_run->ui.onSleep = [this](unsigned ms) {
            std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(ms * 1000 / kScale)));
            m_clock->advance(ms);
        };
        m_run->ui.onPump = [this] {
            QCoreApplication::processEvents();
            if (duringRun)
                duringRun();
        };
        view().showPage(3);
        m_page = dynamic_cast<CKalibracjaDlg*>(view().multiPage()->getActivePage());
        return m_page != nullptr;
    }

    std::string simValue(const std::string& key)
    {
        std::istringstream words(m_sim->send("status"));
        std::string word;
        while (words >> word)
            if (word.rfind(key + "=", 0) == 0)
                return word.substr(key.size() + 1);
        return {};
    }

    bool logged(const std::wstring& text, uint32_t colour) const
    {
        for (const auto& line : m_page->logLines())
            if (line.text == text && line.colour == colour)
                return true;
        return false;
    }

    bool anyErrorLine() const
    {
        for (const auto& line : m_page->logLines())
            if (line.text.rfind(L"Błąd", 0) == 0)
                return true;
        return false;
    }

    template <class T = QWidget> T* ctrl(int id) const { return guitest::findById<T>(m_page, id); }

    void clickStart() { guitest::click(ctrl(CKalibracjaDlg::kStartId)); }

    void screenshots(const QString& name)
    {
        CMainFrame* frame = m_run->app().mainFrame();
        for (const QSize size : { QSize(1280, 800), QSize(1920, 1080) }) {
            guitest::resizeTo(frame, size);
            guitest::saveScreenshot(frame, QStringLiteral("%1_%2x%3").arg(name).arg(size.width()).arg(size.height()));
        }
    }

    CkorvanaDoc& doc() { return *m_run->app().document(); }
    CkorvanaView& view() { return *m_run->app().view(); }

    std::function<void()> duringRun;
    QTemporaryDir m_dir;
    std::unique_ptr<CSimProcess> m_sim;
    // Declared before the program, so it outlives the polling thread that waits on it.
    std::unique_ptr<CSteppedClock> m_clock;
    std::unique_ptr<CShellRun> m_run;
    CKalibracjaDlg* m_page = nullptr;
};

double carNeed(int injectors)
{
    double sum = 0;
    for (int k = 0; k < injectors; ++k)
        sum += physicalOffsetMs(k);
    return sum / injectors;
}

} // namespace

TEST_F(KalibracjaPage, StartRunsToTheCarsCorrectionAndRefusesAFuelButtonMeanwhile)
{
    const bool started = start(true);
    ASSERT_TRUE(started);
    CLPGDevice& device = doc().device();
    const int n = device.image().m_devInfo.m_injCount;
    ASSERT_EQ(m_page->correctionText(0), QStringLiteral("0.50"));

    bool pressed = false;
    bool startDisabled = false;
    duringRun = [&] {
        if (pressed || m_run->ui.clockMs() < 15000)
            return;
        pressed = true;
        startDisabled = !ctrl(CKalibracjaDlg::kStartId)->isEnabled();
        guitest::click(view().multiPage()->getButton(1)->getWindow());
    };
    clickStart();
    ASSERT_TRUE(pressed);
    EXPECT_TRUE(startDisabled);
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_EQ(m_run->ui.shown()[0].text, L"Trwa inna operacja: Autokalibracja");
    EXPECT_EQ(m_run->ui.shown()[0].icon, MsgIcon::Warning);

    EXPECT_TRUE(logged(L"Autokalibracja zakończona pomyślnie.", kGreen));
    EXPECT_TRUE(logged(L"Zbierz mapę benzynową i gazową podczas jazdy.", kGreen));
    EXPECT_FALSE(anyErrorLine());
    EXPECT_EQ(m_page->progressPosition(), 1000);
    EXPECT_FALSE(doc().operationRunning());
    EXPECT_TRUE(ctrl(CKalibracjaDlg::kStartId)->isEnabled());

    // What the page shows is what the controller now holds, and what the car needs.
    ASSERT_TRUE(device.readBlock(CReadBlocks::MainCorr));
    const double found = device.image().m_mainCorr.m_mainCorr[0];
    EXPECT_NEAR(found, carNeed(n), 0.05);
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(m_page->correctionText(i).toStdWString(), CMainCorrEdits::format(found)) << i;
    ASSERT_TRUE(device.readBlock(CReadBlocks::Base));
    EXPECT_DOUBLE_EQ(device.image().m_base.m_emulatorDelay, 0.3);
    EXPECT_EQ(simValue("fuelmode"), "auto");
    // The length of the run on the car's own clock (the scripted one).
    RecordProperty("run_ms", std::to_string(m_run->ui.clockMs()));
    screenshots(QStringLiteral("kalibracja_success"));
}

TEST_F(KalibracjaPage, StopEndsTheRunAndPutsBackTheDelayAndAutomaticMode)
{
    const bool started = start(true);
    ASSERT_TRUE(started);
    std::string modeAtStop;
    duringRun = [&] {
        if (!modeAtStop.empty() || m_run->ui.clockMs() < 20000)
            return;
        modeAtStop = simValue("fuelmode");
        guitest::click(ctrl(CKalibracjaDlg::kStopId));
    };
    clickStart();
    ASSERT_FALSE(modeAtStop.empty());
    EXPECT_NE(modeAtStop, "auto") << "stopped while forced onto a fuel";
    EXPECT_TRUE(m_run->ui.shown().empty()) << "Stop is no other operation";
    EXPECT_TRUE(logged(L"Autokalibracja przerwana", kYellow));
    EXPECT_TRUE(logged(L"Przywrócono ustawienia sprzed autokalibracji.", kYellow));
    EXPECT_FALSE(anyErrorLine());
    EXPECT_FALSE(logged(L"Autokalibracja zakończona pomyślnie.", kGreen));
    EXPECT_EQ(m_page->progressPosition(), 0);
    EXPECT_FALSE(m_page->running());
    EXPECT_FALSE(doc().operationRunning());
    EXPECT_TRUE(ctrl(CKalibracjaDlg::kStartId)->isEnabled());
    ASSERT_TRUE(doc().device().readBlock(CReadBlocks::Base));
    EXPECT_DOUBLE_EQ(doc().device().image().m_base.m_emulatorDelay, 0.3);
    EXPECT_EQ(simValue("fuelmode"), "auto");
}

// The link goes while the run has the car forced on LPG: nothing is switched
// then, the log names what the controller was left holding, and once a search
// finds the controller again the page asks; Yes writes the delay from before
// and puts automatic mode back.
TEST_F(KalibracjaPage, LostLinkIsNamedAndPutBackWhenTheFitterSaysYesAfterTheReconnection)
{
    const bool started = start(true);
    ASSERT_TRUE(started);
    bool vanished = false;
    duringRun = [&] {
        if (!vanished && m_run->ui.clockMs() > 12000 && simValue("fuelmode") == "lpg")
            vanished = m_sim->send("vanish") == "ok vanished";
    };
    clickStart();
    ASSERT_TRUE(vanished);
    duringRun = nullptr;
    const std::wstring heading
        = L"Po przerwanej autokalibracji w sterowniku pozostało zmienione:";
    const std::wstring delay = L"Przełączanie cylindrów: 0 s (przed autokalibracją 0.3 s)";
    const std::wstring fuel = L"Tryb paliwa: LPG (przed autokalibracją AUTO)";
    EXPECT_TRUE(logged(heading, kYellow));
    EXPECT_TRUE(logged(delay, kYellow));
    EXPECT_TRUE(logged(fuel, kYellow));
    EXPECT_FALSE(logged(L"Przywrócono ustawienia sprzed autokalibracji.", kYellow));
    EXPECT_FALSE(doc().operationRunning());
    const std::size_t shownBefore = m_run->ui.shown().size();

    ASSERT_EQ(m_sim->send("appear").rfind("ok", 0), 0u);
    EXPECT_EQ(simValue("fuelmode"), "lpg") << "nothing was switched while the link was away";
    m_run->ui.queueAnswer(true);
    // What the frame timer's watchdog runs once polling has noticed the loss (the polling thread's
    // clock stands still between the test's steps).
    ASSERT_TRUE(doc().searchController(false));
    // The question comes as an operation of its own once the search has ended.
    guitest::waitFor([&] { return m_run->ui.shown().size() > shownBefore && !doc().operationRunning(); });
    ASSERT_GT(m_run->ui.shown().size(), shownBefore) << "no question after the reconnection";
    const auto& question = m_run->ui.shown().back();
    EXPECT_TRUE(question.question);
    EXPECT_EQ(question.text,
              heading + L"\n" + delay + L"\n" + fuel + L"\n\nPrzywrócić ustawienia sprzed autokalibracji?");
    EXPECT_TRUE(logged(L"Przywrócono ustawienia sprzed autokalibracji.", kYellow));
    EXPECT_EQ(simValue("fuelmode"), "auto");
    ASSERT_TRUE(doc().device().readBlock(CReadBlocks::Base));
    EXPECT_DOUBLE_EQ(doc().device().image().m_base.m_emulatorDelay, 0.3);
}

TEST_F(KalibracjaPage, ColdReducerIsRefusedWithTheYellowLineOnly)
{
    const bool started = start(false);
    ASSERT_TRUE(started);
    const std::string modeBefore = simValue("fuelmode");
    clickStart();
    const auto lines = m_page->logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, L"Temperatura reduktora za niska!");
    EXPECT_EQ(lines[0].colour, kYellow);
    EXPECT_EQ(m_page->progressPosition(), 0);
    EXPECT_EQ(m_page->correctionText(0), QStringLiteral("0.50"));
    EXPECT_EQ(simValue("fuelmode"), modeBefore);
    EXPECT_FALSE(doc().operationRunning());
    screenshots(QStringLiteral("kalibracja_refused"));
}

TEST_F(KalibracjaPage, SpinsFollowTheRuleAndWriteTheController)
{
    const bool started = start(false);
    ASSERT_TRUE(started);
    CLPGDevice& device = doc().device();
    const int n = device.image().m_devInfo.m_injCount;
    ASSERT_GE(n, 2);
    ASSERT_LT(n, 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(ctrl(CKalibracjaDlg::kFirstEditId + i)->isVisible(), i < n) << i;
        EXPECT_EQ(ctrl(CKalibracjaDlg::kFirstSpinId + i)->isVisible(), i < n) << i;
        EXPECT_EQ(ctrl(CKalibracjaDlg::kFirstSpinId + i)->isEnabled(), i == 0) << "one correction: only the first";
    }
    auto* spin0 = ctrl<CCorrectionSpin>(CKalibracjaDlg::kFirstSpinId);
    auto* spin1 = ctrl<CCorrectionSpin>(CKalibracjaDlg::kFirstSpinId + 1);
    ASSERT_TRUE(spin0 && spin1);

    // With "Jedna poprawka" the upper arrow raises all eight by 0.01 ms.
    guitest::click(spin0->upButton());
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(m_page->correctionText(i), QStringLiteral("0.51")) << i;
    ASSERT_TRUE(device.readBlock(CReadBlocks::MainCorr));
    EXPECT_NEAR(device.image().m_mainCorr.m_mainCorr[7], 0.51, 0.005);

    // Without it each cylinder has its own; the lower arrow lowers.
    ctrl<QAbstractButton>(CKalibracjaDlg::kOneCorrectionId)->click();
    EXPECT_TRUE(spin1->isEnabled());
    guitest::click(spin1->downButton());
    EXPECT_EQ(m_page->correctionText(0), QStringLiteral("0.51"));
    EXPECT_EQ(m_page->correctionText(1), QStringLiteral("0.50"));
    ASSERT_TRUE(device.readBlock(CReadBlocks::MainCorr));
    EXPECT_NEAR(device.image().m_mainCorr.m_mainCorr[0], 0.51, 0.005);
    EXPECT_NEAR(device.image().m_mainCorr.m_mainCorr[1], 0.50, 0.005);
    EXPECT_TRUE(m_run->ui.shown().empty());
    EXPECT_TRUE(ctrl(CKalibracjaDlg::kFirstEditId + 1)->isEnabled());

    // Ticked again, the other fields show the common value and take none of their own.
    auto editText = [&](int i) { return ctrl<QLineEdit>(CKalibracjaDlg::kFirstEditId + i)->text(); };
    ctrl<QAbstractButton>(CKalibracjaDlg::kOneCorrectionId)->click();
    EXPECT_EQ(editText(1), QStringLiteral("0.51"));
    EXPECT_FALSE(ctrl(CKalibracjaDlg::kFirstEditId + 1)->isEnabled());
    EXPECT_TRUE(ctrl(CKalibracjaDlg::kFirstEditId)->isEnabled());
    ctrl<QAbstractButton>(CKalibracjaDlg::kOneCorrectionId)->click();
    EXPECT_EQ(editText(1), QStringLiteral("0.50")) << "its own value back";
    EXPECT_TRUE(ctrl(CKalibracjaDlg::kFirstEditId + 1)->isEnabled());

    // Inside another operation a spin writes nothing.
    {
        COperationGuard other(doc().operation(), L"Wyszukiwanie sterownika");
        ASSERT_TRUE(other);
        guitest::click(spin1->upButton());
    }
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_EQ(m_run->ui.shown()[0].text, L"Trwa inna operacja: Wyszukiwanie sterownika");
    EXPECT_EQ(m_page->correctionText(1), QStringLiteral("0.50"));
    m_run->ui.clearShown();

    // A controller that acknowledges nothing: the failure box.
    ASSERT_EQ(m_sim->send("fault type").rfind("ok fault type", 0), 0u);
    guitest::click(spin1->upButton());
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    // The failure, then what the controller holds now.
    EXPECT_EQ(m_run->ui.shown()[0].text.rfind(L"Nie powiodło się ustawienie urządzenia!\n", 0), 0u);
    EXPECT_NE(m_run->ui.shown()[0].text.find(L"m_mainCorr"), std::wstring::npos);
    EXPECT_EQ(m_run->ui.shown()[0].icon, MsgIcon::Error);
}

// Edit → Cofnij / Przywróć with the keys after a spin: the corrections go back
// into the controller and again; once another program changed them the undo is
// refused, naming the correction the controller holds.
TEST_F(KalibracjaPage, SpinChangeIsUndoneInTheControllerAndRefusedOnceItChanged)
{
    const bool started = start(false);
    ASSERT_TRUE(started);
    CLPGDevice& device = doc().device();
    CMainFrame* frame = m_run->app().mainFrame();
    const auto held = [&](int i) {
        EXPECT_TRUE(device.readBlock(CReadBlocks::MainCorr));
        return device.image().m_mainCorr.m_mainCorr[static_cast<std::size_t>(i)];
    };
    guitest::click(ctrl<CCorrectionSpin>(CKalibracjaDlg::kFirstSpinId)->upButton());
    ASSERT_NEAR(held(7), 0.51, 0.005);
    ASSERT_TRUE(m_page->canUndo());

    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NEAR(held(0), 0.50, 0.005);
    EXPECT_NEAR(held(7), 0.50, 0.005);
    EXPECT_EQ(m_page->correctionText(3), QStringLiteral("0.50"));
    QTest::keyClick(frame, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_NEAR(held(7), 0.51, 0.005);
    EXPECT_EQ(m_page->correctionText(3), QStringLiteral("0.51"));
    EXPECT_TRUE(m_run->ui.shown().empty());

    // Another program writes the first correction: nothing is written and the box says what it holds.
    ASSERT_EQ(m_sim->send("recordbyte 15 0 0"), "ok recordbyte");
    ASSERT_EQ(m_sim->send("recordbyte 15 1 0"), "ok recordbyte");
    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_EQ(m_run->ui.shown()[0].text,
              L"Nie można cofnąć tej zmiany: sterownik ma już inną wartość:\nKorekty główne 1: 0.00 ms");
    EXPECT_NEAR(held(0), 0.0, 0.005);
    EXPECT_NEAR(held(7), 0.51, 0.005);
    EXPECT_EQ(m_page->correctionText(0), QStringLiteral("0.00"));
    EXPECT_FALSE(m_page->canUndo());
}

TEST_F(KalibracjaPage, PerCylinderBoxRunsTheCylinderByCylinderProcedure)
{
    const bool started = start(true);
    ASSERT_TRUE(started);
    ctrl<QAbstractButton>(CKalibracjaDlg::kPerCylinderId)->click();
    double delayDuringRun = -1;
    bool boxLocked = false;
    duringRun = [&] {
        if (delayDuringRun >= 0 || m_run->ui.clockMs() < 2000)
            return;
        // The per-cylinder run idles with a switching delay of 1.0 (the normal one with 0).
        delayDuringRun = doc().device().image().m_base.m_emulatorDelay;
        boxLocked = !ctrl(CKalibracjaDlg::kPerCylinderId)->isEnabled();
        m_page->OnBnClickedStop();
    };
    clickStart();
    EXPECT_DOUBLE_EQ(delayDuringRun, 1.0);
    EXPECT_TRUE(boxLocked);
    EXPECT_TRUE(ctrl(CKalibracjaDlg::kPerCylinderId)->isEnabled());
    EXPECT_TRUE(logged(L"Autokalibracja przerwana", kYellow));
    ASSERT_TRUE(doc().device().readBlock(CReadBlocks::Base));
    EXPECT_DOUBLE_EQ(doc().device().image().m_base.m_emulatorDelay, 0.3);
}

TEST_F(KalibracjaPage, TextsAndTheProceduresLinesGoThroughTheLanguage)
{
    const bool started = start(true);
    ASSERT_TRUE(started);
    shelltest::EnglishScope english({
        { QStringLiteral("Autokalibracja"), QStringLiteral("Autocalibration") },
        { QStringLiteral("Zatrzymaj"), QStringLiteral("Stop") },
        { QStringLiteral("Jedna poprawka"), QStringLiteral("One correction") },
        { QStringLiteral("Autokalibracja przerwana"), QStringLiteral("Autocalibration aborted") },
        { QStringLiteral("Przywrócono ustawienia sprzed autokalibracji."),
            QStringLiteral("Settings from before the autocalibration restored.") },
        { QStringLiteral("Błąd - Brak odczytów ze sterownika!"),
            QStringLiteral("Error - No readings from the controller!") },
    });
    m_page->updateTexts();
    EXPECT_EQ(ctrl<QAbstractButton>(CKalibracjaDlg::kStartId)->text(), QStringLiteral("Autocalibration"));
    EXPECT_EQ(ctrl<QAbstractButton>(CKalibracjaDlg::kStopId)->text(), QStringLiteral("Stop"));
    EXPECT_EQ(ctrl<QAbstractButton>(CKalibracjaDlg::kOneCorrectionId)->text(), QStringLiteral("One correction"));

    duringRun = [&] {
        if (m_run->ui.clockMs() >= 3000)
            m_page->OnBnClickedStop();
    };
    clickStart();
    EXPECT_TRUE(logged(L"Autocalibration aborted", kYellow));
    EXPECT_TRUE(logged(L"Settings from before the autocalibration restored.", kYellow));

    // No record to judge the reducer by.
    duringRun = nullptr;
    doc().device().diagData().clear();
    clickStart();
    const auto lines = m_page->logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, L"Error - No readings from the controller!");
}
