// SPDX-License-Identifier: GPL-3.0-or-later
// The OBD page of the program against korvana-sim: "Włącz OBD" finds the bus
// on CAN and on the K-line, the page's readings follow the simulated car's
// trims, the car's trouble codes are listed with their texts and cleared, the
// view's background poll keeps away while an operation holds the device, and
// the page's controls write the configuration record. Screenshots of the page
// and of "Zaawansowane" are saved with the artefacts.
#include "guitest.h"
#include "shelltest.h"

#include <app/data/conversions.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mainframe.h>
#include <app/shell/obdadvanceddlg.h>
#include <app/shell/obddlg.h>
#include <app/shell/obdshellsteps.h>
#include <app/shell/spinbutton.h>
#include <app/tuning/deviceobd.h>
#include <basectrls/ctrlid.h>

#include <simprocess.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

using shelltest::CShellRun;

namespace {

using guitest::waitFor;


class ObdPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
    }
    void TearDown() override
    {
        m_run.reset();
        m_sim.reset();
        qunsetenv("XDG_CONFIG_HOME");
    }

    // The simulator with these options and the program connected to it.
    bool start(std::vector<std::string> simOptions, std::optional<int> page = std::nullopt)
    {
        const std::string link = m_dir.filePath(QStringLiteral("controller")).toStdString();
        simOptions.insert(simOptions.begin(), { "--link", link });
        m_sim = std::make_unique<CSimProcess>(simOptions);
        if (!m_sim->start())
            return false;
        m_sim->send("engine idle");
        SAppOptions options;
        options.ports = { link };
        options.page = page;
        m_run = std::make_unique<CShellRun>(options, false);
        // The core's waits (the K-line initialisation) move the car's clock instead of sleeping.
        m_run->ui.onSleep = [this](unsigned ms) { m_sim->send("advance " + std::to_string(ms / 1000.0)); };
        return m_run->start() && doc().device().m_connected;
    }

    CkorvanaDoc& doc() { return *m_run->app().document(); }
    // Until the polling thread has queued n more records, with the events they bring handled.
    void waitRecords(uint64_t n)
    {
        const uint64_t from = device().diagData().newestSequence();
        EXPECT_TRUE(waitFor([&] { return device().diagData().newestSequence() >= from + n; })) << "no readings";
        guitest::settle();
    }
    CLPGDevice& device() { return doc().device(); }
    CkorvanaView& view() { return *m_run->app().view(); }

    CObdDlg* showObdPage()
    {
        view().showPage(5);
        return dynamic_cast<CObdDlg*>(view().multiPage()->getActivePage());
    }

    QString text(QWidget* page, int id)
    {
        auto* edit = qobject_cast<QLineEdit*>(findChildCtrl(page, id));
        return edit ? edit->text() : QStringLiteral("<none>");
    }

    // "Włącz OBD" set to an item as the fitter picks it.
    void chooseEnable(CObdDlg* page, uint8_t value)
    {
        auto* combo = qobject_cast<QComboBox*>(findChildCtrl(page, CObdDlg::kComboEnable));
        ASSERT_TRUE(combo);
        combo->setCurrentIndex(CObdDlg::enableItem(value));
        emit combo->activated(combo->currentIndex());
    }

    double simTrim(const char* key)
    {
        const std::string status = m_sim->send("status");
        const auto at = status.find(std::string(" ") + key + "=");
        return at == std::string::npos ? 1e9 : std::stod(status.substr(at + std::strlen(key) + 2));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<CSimProcess> m_sim;
    std::unique_ptr<CShellRun> m_run;
};

struct BusCase {
    const char* name;
    std::vector<std::string> options;
    uint8_t protocol;
    const char* protocolText;
};

class ObdPageBus : public ObdPage, public ::testing::WithParamInterface<BusCase> {};

const BusCase kBuses[] = {
    // Unpaced: the detection's order of attempts is what counts here; how long it
    // takes at the wire's pace is a figure for bench/run, and a paced
    // connection under load only risks the link's real time-outs.
    { "can11_500", { "--obd", "can11" }, 3, "CAN 11-bit 500kb/s" },
    { "can29_250", { "--obd", "can29", "--obd-speed", "250" }, 3, "CAN 29-bit 250kb/s" },
    { "iso9141", { "--obd", "iso9141" }, 1, "ISO 9141-2 & ISO 14230-4 Slow Init" },
    { "iso14230", { "--obd", "iso14230" }, 2, "ISO 14230-4 Fast Init" },
};

} // namespace

TEST_P(ObdPageBus, EnableFindsTheBusAndTheReadingsFollowTheTrims)
{
    const BusCase& bus = GetParam();
    ASSERT_TRUE(start(bus.options));
    CObdDlg* page = showObdPage();
    ASSERT_TRUE(page);
    // Off first, so that the detection below starts from nothing.
    chooseEnable(page, 0);
    EXPECT_FALSE(obdOf(device()).established());
    EXPECT_EQ(text(page, CObdDlg::kEditProtocol), QString());

    // As the car was fitted (CAN 11-bit at 500 kbit/s), so that the search walks the attempts table.
    CObdSettingsRecord& record = obdOf(device()).settingsRecord();
    record.requestAddress = 0x7DF;
    record.speed = 2;
    record.protocol = 3;
    chooseEnable(page, 4);
    ASSERT_TRUE(obdOf(device()).established()) << bus.name;
    auto* combo = qobject_cast<QComboBox*>(findChildCtrl(page, CObdDlg::kComboEnable));
    EXPECT_EQ(combo->currentIndex(), CObdDlg::enableItem(bus.protocol)) << "the combo shows the bus found";
    EXPECT_EQ(text(page, CObdDlg::kEditProtocol), QString::fromLatin1(bus.protocolText));
    EXPECT_EQ(text(page, CObdDlg::kEditStandard), QStringLiteral("OBD Europe (EOBD)"));
    // The page polls on its own refresh; STFT and LTFT of bank 1 follow the car.
    ASSERT_TRUE(waitFor([&] { return !text(page, CObdDlg::kEditReadingFirst + 1).isEmpty(); }));
    const double stft = simTrim("stft");
    const double ltft = simTrim("ltft");
    ASSERT_TRUE(waitFor(
        [&] {
            return std::abs(text(page, CObdDlg::kEditReadingFirst + 0).toDouble() - simTrim("stft")) < 1.6
                && std::abs(text(page, CObdDlg::kEditReadingFirst + 1).toDouble() - simTrim("ltft")) < 1.6;
        }))
        << "page " << text(page, CObdDlg::kEditReadingFirst).toStdString() << " / "
        << text(page, CObdDlg::kEditReadingFirst + 1).toStdString() << ", car " << stft << " / " << ltft;
    EXPECT_TRUE(page->pageTimer().ltft1Seen());
    // The panel's OBD tiles show the same readings.
    for (int reading : { 0, 1 }) {
        QLabel* tile = nullptr;
        for (int id : CWspolneOdczytyExMultiPageDlg::kTileIds)
            if (CWspolneOdczytyExMultiPageDlg::readingOfTile(id) == reading)
                tile = qobject_cast<QLabel*>(findChildCtrl(page, id));
        ASSERT_TRUE(tile) << reading;
        EXPECT_TRUE(waitFor(
            [&] {
                const QString value = text(page, CObdDlg::kEditReadingFirst + reading);
                return !value.isEmpty() && tile->text().contains(value);
            }))
            << tile->text().toStdString();
    }
    EXPECT_TRUE(m_run->ui.shown().empty()) << "no message on a good link";
}

INSTANTIATE_TEST_SUITE_P(Buses, ObdPageBus, ::testing::ValuesIn(kBuses),
    [](const ::testing::TestParamInfo<BusCase>& info) { return std::string(info.param.name); });

TEST_F(ObdPage, TroubleCodesAreListedWithTheirTextsAndCleared)
{
    ASSERT_TRUE(start({ "--obd", "can11" }));
    CObdDlg* page = showObdPage();
    ASSERT_TRUE(page);
    ASSERT_TRUE(obdOf(device()).established());
    ASSERT_EQ(m_sim->send("dtc P0171 P0300 P0420 P0133"), "ok dtc P0171 P0300 P0420 P0133");

    page->OnBnClickedButtonread();
    EXPECT_EQ(page->listedCodes(),
        (QStringList { QStringLiteral("P0171   System too Lean (Bank 1)"), QString::fromStdWString(page->description(0x0300)),
            QString::fromStdWString(page->description(0x0420)), QString::fromStdWString(page->description(0x0133)) }));
    EXPECT_TRUE(page->listedCodes().at(1).startsWith(QStringLiteral("P0300   ")));

    // No: nothing is cleared.
    m_run->ui.queueAnswer(false);
    page->OnBnClickedButtonclear();
    EXPECT_EQ(page->listedCodes().size(), 4);
    page->OnBnClickedButtonread();
    EXPECT_EQ(page->listedCodes().size(), 4);

    m_run->ui.queueAnswer(true);
    page->OnBnClickedButtonclear();
    EXPECT_TRUE(page->listedCodes().isEmpty());
    page->OnBnClickedButtonread();
    EXPECT_EQ(page->listedCodes(), QStringList { QStringLiteral("Brak zapisanych kodów") })
        << "the car holds no codes any more, and the page says so";
    EXPECT_EQ(m_sim->send("dtc"), "ok dtc");

    // Codes outside the powertrain: the letter from the top two bits, then four digits.
    ASSERT_EQ(m_sim->send("dtc U0100 C0035 B1000"), "ok dtc U0100 C0035 B1000");
    page->OnBnClickedButtonread();
    const QStringList listed = page->listedCodes();
    ASSERT_EQ(listed.size(), 3);
    EXPECT_TRUE(listed[0].startsWith(QStringLiteral("U0100 "))) << listed[0].toStdString();
    EXPECT_TRUE(listed[1].startsWith(QStringLiteral("C0035 "))) << listed[1].toStdString();
    EXPECT_TRUE(listed[2].startsWith(QStringLiteral("B1000 "))) << listed[2].toStdString();

    // While another operation runs, reading is refused with the running one's name.
    m_run->ui.clearShown();
    ASSERT_TRUE(device().operation().tryBegin(L"Test"));
    page->OnBnClickedButtonread();
    device().operation().end();
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_NE(m_run->ui.shown().front().text.find(L"Test"), std::wstring::npos);
}

TEST_F(ObdPage, BackgroundPollKeepsAwayWhileAnOperationRuns)
{
    ASSERT_TRUE(start({ "--obd", "can11" }));
    CObdShellSteps* steps = view().obdSteps();
    ASSERT_TRUE(steps);
    // The view's setup step after connecting found the car.
    EXPECT_GE(steps->setupRuns(), 1u);
    ASSERT_TRUE(obdOf(device()).established());
    view().showPage(0);
    ASSERT_TRUE(waitFor([&] { return steps->backgroundPolls() >= 4 && !obdOf(device()).readingText(1).empty(); }));

    ASSERT_TRUE(device().operation().tryBegin(L"Test"));
    const unsigned held = steps->backgroundPolls();
    const int index = obdOf(device()).readingIndex();
    // Eight records, each a refresh that would have polled.
    waitRecords(8);
    EXPECT_EQ(steps->backgroundPolls(), held);
    EXPECT_EQ(obdOf(device()).readingIndex(), index);
    device().operation().end();
    EXPECT_TRUE(waitFor([&] { return steps->backgroundPolls() > held; }));

    // A reconnection runs the setup again once the device is free.
    const unsigned setups = steps->setupRuns();
    ASSERT_TRUE(device().operation().tryBegin(L"Test"));
    emit doc().relay().linkConnected();
    waitRecords(4);
    EXPECT_EQ(steps->setupRuns(), setups) << "not while the device is held";
    EXPECT_TRUE(steps->setupPending());
    device().operation().end();
    EXPECT_TRUE(waitFor([&] { return steps->setupRuns() == setups + 1; }));
    EXPECT_TRUE(obdOf(device()).established());
}

TEST_F(ObdPage, ControlsWriteTheConfigurationRecord)
{
    ASSERT_TRUE(start({ "--obd", "can11", "--injectors", "6" }));
    CObdDlg* page = showObdPage();
    ASSERT_TRUE(page);
    auto readBack = [&] {
        std::array<uint8_t, 18> bytes {};
        EXPECT_TRUE(device().readObdMapConfig(bytes));
        return CObdMapConfig::fromBytes(bytes);
    };
    // The averaging spin up from the shown value; values outside 2 … 25 s are ignored.
    auto* averaging = qobject_cast<QLineEdit*>(findChildCtrl(page, COBD2Page::kEditAverageCorr));
    ASSERT_TRUE(averaging);
    auto* spin = qobject_cast<CSpinButton*>(findChildCtrl(page, COBD2Page::kSpinAverageCorr));
    ASSERT_TRUE(spin);
    const int shown = averaging->text().toInt();
    const int up = std::clamp(shown + 1, 2, 25);
    guitest::click(spin->upButton());
    EXPECT_EQ(readBack().averagingTime, shown + 1 <= 25 && shown + 1 >= 2 ? up * 2 : obdOf(device()).mapConfig().averagingTime);
    averaging->setText(QStringLiteral("25"));
    const uint8_t before = readBack().averagingTime;
    page->OnDeltaposSpinAverageCorr(-1); // 26 s: refused
    EXPECT_EQ(readBack().averagingTime, before);

    // The bank-2 box of injector 3 clears its bank-1 box and sets bit 2.
    auto* bank2 = qobject_cast<QCheckBox*>(findChildCtrl(page, COBD2Page::kChkBank2First + 2));
    auto* bank1 = qobject_cast<QCheckBox*>(findChildCtrl(page, COBD2Page::kChkBank1First + 2));
    ASSERT_TRUE(bank1 && bank2);
    guitest::click(bank2);
    EXPECT_TRUE(bank2->isChecked());
    EXPECT_FALSE(bank1->isChecked());
    EXPECT_TRUE(readBack().injectorBanks & 0x04);

    // "Włączone - średnia z Bank1 i Bank2" before any LTFT reading writes 0.
    chooseEnable(page, 0);
    auto* corrOn = qobject_cast<QComboBox*>(findChildCtrl(page, COBD2Page::kComboCorrOn));
    ASSERT_TRUE(corrOn);
    corrOn->setCurrentIndex(1);
    emit corrOn->activated(1);
    EXPECT_EQ(readBack().corrections, 0);
    EXPECT_TRUE(m_run->ui.shown().empty());
}

TEST_F(ObdPage, ScreenshotsOfThePageAndTheAdvancedDialog)
{
    ASSERT_TRUE(start({ "--obd", "can11" }));
    ASSERT_EQ(m_sim->send("dtc P0171 P0300 P0420"), "ok dtc P0171 P0300 P0420");
    CObdDlg* page = showObdPage();
    ASSERT_TRUE(page);
    page->OnBnClickedButtonread();
    ASSERT_TRUE(waitFor([&] { return !text(page, CObdDlg::kEditReadingFirst + 4).isEmpty(); }));
    QWidget* button = findChildCtrl(page, COBD2Page::kButtonAdvanced);
    ASSERT_TRUE(button);
    EXPECT_TRUE(button->isVisible()) << "version 0x0306 has the advanced options";
    QWidget* frame = m_run->app().mainFrame();
    for (const QSize size : { QSize(1280, 800), QSize(1920, 1080) }) {
        guitest::resizeTo(frame, size);
        const QString suffix = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        EXPECT_FALSE(guitest::saveScreenshot(frame, QStringLiteral("obd_page_") + suffix).isEmpty());
        bool opened = false;
        shelltest::onNextModal([&](QWidget* dialog) {
            opened = dialog != nullptr;
            if (!dialog)
                return;
            dialog->resize(dialog->size() * size.height() / 800);
            guitest::saveScreenshot(dialog, QStringLiteral("obd_advanced_") + suffix);
            if (auto* d = qobject_cast<QDialog*>(dialog))
                d->accept();
        });
        guitest::click(button);
        EXPECT_TRUE(opened);
    }
}

TEST_F(ObdPage, AdvancedOptionsExcludeEachOtherAndAreWritten)
{
    ASSERT_TRUE(start({ "--obd", "can11" }));
    COBDAdvancedDlg dialog(doc().pageContext());
    ASSERT_TRUE(dialog.Create());
    guitest::showAndSettle(&dialog);
    auto box = [&](int id) { return qobject_cast<QCheckBox*>(findChildCtrl(&dialog, id)); };
    // On the mark: the wide boxes take clicks only on their mark and text.
    auto tick = [&](int id) { guitest::click(box(id), QPoint(6, box(id)->height() / 2)); };
    auto readBack = [&] {
        std::array<uint8_t, 18> bytes {};
        EXPECT_TRUE(device().readObdMapConfig(bytes));
        return CObdMapConfig::fromBytes(bytes);
    };
    ASSERT_TRUE(box(COBDAdvancedDlg::kChkClearErrSet) && box(COBDAdvancedDlg::kChkClearAllErr));
    tick(COBDAdvancedDlg::kChkClearAllErr);
    EXPECT_TRUE(readBack().advancedFlags & CObdMapConfig::kClearAll);
    tick(COBDAdvancedDlg::kChkClearErrSet);
    EXPECT_TRUE(box(COBDAdvancedDlg::kChkClearErrSet)->isChecked());
    EXPECT_FALSE(box(COBDAdvancedDlg::kChkClearAllErr)->isChecked());
    EXPECT_EQ(readBack().advancedFlags & (CObdMapConfig::kClearAll | CObdMapConfig::kClearSelected),
        CObdMapConfig::kClearSelected);

    auto* combo = qobject_cast<QComboBox*>(findChildCtrl(&dialog, COBDAdvancedDlg::kCmbClearErrFirst + 2));
    ASSERT_TRUE(combo && combo->isEnabled());
    combo->setCurrentIndex(combo->findText(QStringLiteral("P 0171")));
    emit combo->activated(combo->currentIndex());
    EXPECT_EQ(readBack().selectedCodes[2], 0x0171);

    // The threshold spin: up 20 rpm, within 500 … 2000.
    const int rpm = obdOf(device()).mapConfig().rpmThreshold();
    dialog.OnDeltaposSpinRpmForCorr(-1);
    EXPECT_EQ(obdOf(device()).mapConfig().rpmThreshold(), std::clamp(rpm + 20, 500, 2000));
    EXPECT_EQ(readBack().rpmPeriod, periodFromRpm(std::clamp(rpm + 20, 500, 2000))) << "a period on the wire";
    EXPECT_TRUE(m_run->ui.shown().empty());
}

// Bytes 6–7 of the configuration record are the controller's period: a change
// of another field sends them back as they were read, not through a rounded
// speed.
TEST_F(ObdPage, ConfigurationRewriteKeepsTheSpeedThresholdPeriod)
{
    ASSERT_TRUE(start({ "--obd", "can11" }));
    const auto record = [&](int n) {
        const std::string dump = m_sim->send("dump store");
        const std::string key = " record" + std::to_string(n) + "=";
        const auto at = dump.find(key);
        return at == std::string::npos ? std::string() : dump.substr(at + key.size(), (n == 18 ? 12 : 18) * 2);
    };
    // Period 4801 (999.8 rpm, shown as 1000, which would travel as 4800), planted as the controller's own.
    std::string config = record(27);
    ASSERT_EQ(config.size(), 36u);
    config.replace(12, 4, "c112");
    ExchangeBuffer buffer {};
    for (std::size_t i = 0; i < 18; ++i)
        buffer[i] = static_cast<uint8_t>(std::stoi(config.substr(2 * i, 2), nullptr, 16));
    uint8_t length = 18;
    uint8_t type = kRecObdMapConfig;
    ASSERT_TRUE(device().link().exchange(buffer, length, type));
    ASSERT_EQ(record(27), config);
    ASSERT_TRUE(obdOf(device()).setupStep());
    CObdDlg* page = showObdPage();
    ASSERT_TRUE(page);
    EXPECT_EQ(obdOf(device()).mapConfig().rpmThreshold(), 1000);

    // "Zakres korekt OBD" one up: byte 2 changes, bytes 6–7 stay.
    auto* spin = qobject_cast<CSpinButton*>(findChildCtrl(page, COBD2Page::kSpinMaxCorr));
    ASSERT_TRUE(spin);
    guitest::click(spin->upButton());
    const std::string after = record(27);
    EXPECT_NE(after.substr(4, 2), config.substr(4, 2)) << "the change was written";
    EXPECT_EQ(after.substr(12, 4), "c112");
    EXPECT_TRUE(m_run->ui.shown().empty());
}

// No engine computer on any bus: the detection the page runs when shown, and
// the one chosen in "Włącz OBD", leave the controller on the bus it was fitted with.
TEST_F(ObdPage, FailedDetectionLeavesTheConnectionRecordAsItWas)
{
    ASSERT_TRUE(start({ "--obd", "none" }));
    const auto connection = [&] {
        const std::string dump = m_sim->send("dump store");
        const auto at = dump.find(" record18=");
        return at == std::string::npos ? std::string() : dump.substr(at + 10, 24);
    };
    const std::string fitted = connection();
    ASSERT_EQ(fitted.substr(16, 2), "01") << "OBD on as fitted: the page detects when shown";
    CObdDlg* page = showObdPage();
    ASSERT_TRUE(page);
    EXPECT_GE(page->lastDetectionUs(), 0);
    EXPECT_FALSE(obdOf(device()).established());
    EXPECT_EQ(connection(), fitted) << "not the last bus tried";
    chooseEnable(page, 1);
    EXPECT_FALSE(obdOf(device()).established());
    EXPECT_EQ(connection(), fitted);
    EXPECT_TRUE(m_run->ui.shown().empty());
}

TEST_F(ObdPage, PageShownDuringAnOperationReadsTheRecordsLater)
{
    ASSERT_TRUE(start({ "--obd", "can29" }));
    // The fitted record names CAN 11-bit; the car answers on 29-bit only.
    ASSERT_TRUE(device().operation().tryBegin(L"Test"));
    CObdDlg* page = showObdPage();
    ASSERT_TRUE(page);
    EXPECT_TRUE(m_run->ui.shown().empty()) << "no refusal box for merely showing the page";
    EXPECT_EQ(page->lastDetectionUs(), -1);
    device().operation().end();
    view().showPage(0);
    showObdPage();
    EXPECT_GE(page->lastDetectionUs(), 0) << "the page's detection ran on the next showing";
    EXPECT_TRUE(obdOf(device()).established());
    EXPECT_EQ(text(page, CObdDlg::kEditProtocol), QStringLiteral("CAN 29-bit 500kb/s"));
}

// The program started on the OBD page shows the page before the view's setup
// step has read the records: the page fills itself once the step ran, as it
// does when shown later, and again after the setup of a reconnection.
TEST_F(ObdPage, PageShownBeforeTheSetupFillsItselfWhenTheSetupRan)
{
    ASSERT_TRUE(start({ "--obd", "can11" }, 5));
    auto* page = dynamic_cast<CObdDlg*>(view().multiPage()->getActivePage());
    ASSERT_TRUE(page);
    auto* enable = qobject_cast<QComboBox*>(findChildCtrl(page, CObdDlg::kComboEnable));
    ASSERT_TRUE(enable);
    // The fitted car: OBD on over CAN 11-bit at 500 kbit/s, 10 s averaging, 10 % range.
    const auto filled = [&] {
        return enable->currentIndex() == CObdDlg::enableItem(3)
            && text(page, CObdDlg::kEditProtocol) == QStringLiteral("CAN 11-bit 500kb/s")
            && text(page, CObdDlg::kEditStandard) == QStringLiteral("OBD Europe (EOBD)")
            && text(page, COBD2Page::kEditAverageCorr) == QStringLiteral("10")
            && text(page, COBD2Page::kEditMaxCorr) == QStringLiteral("10");
    };
    m_run->app().mainFrame()->resize(1280, 800);
    ASSERT_TRUE(waitFor(filled)) << "combo " << enable->currentText().toStdString() << ", protocol "
                                         << text(page, CObdDlg::kEditProtocol).toStdString() << ", averaging "
                                         << text(page, COBD2Page::kEditAverageCorr).toStdString();
    EXPECT_TRUE(obdOf(device()).established());
    EXPECT_TRUE(waitFor([&] { return !text(page, CObdDlg::kEditReadingFirst + 1).isEmpty(); }));
    guitest::saveScreenshot(m_run->app().mainFrame(), QStringLiteral("obd_page_started_on"));

    // Switched off meanwhile in the controller (another tool): the setup of the
    // next connection reads that, and the shown page follows without being shown again.
    CObdSettingsRecord off = obdOf(device()).settingsRecord();
    off.enabled = 0;
    ASSERT_TRUE(device().writeObdSettings(off.toBytes()));
    emit m_run->app().document()->pageContext().relay.linkConnected();
    EXPECT_TRUE(waitFor([&] { return enable->currentIndex() == CObdDlg::enableItem(0); }))
        << enable->currentText().toStdString();
    EXPECT_FALSE(obdOf(device()).established());
    EXPECT_EQ(text(page, CObdDlg::kEditProtocol), QString());
    EXPECT_TRUE(m_run->ui.shown().empty());
}
