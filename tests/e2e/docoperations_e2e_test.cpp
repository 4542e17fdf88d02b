// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-settings operations against the simulated controller on its
// pseudo-terminal: a settings file loaded into the controller and read back
// block by block, the controller's inspection bit kept, a controller that
// never acknowledges the switch to petrol left untouched, factory restore on
// LPG ending in automatic mode (with nothing polled, and with the polling
// thread running) and on petrol staying there, and the initial preset written
// only when blank, and a save after an incomplete read asked for first.
#include <app/data/settingsio.h>
#include <app/tuning/docoperations.h>
#include <app/device/lpgdevice.h>
#include <app/tuning/settingscheck.h>
#include <app/platform/log.h>
#include <syncmsg/multithread.h>

#include <scriptedinteraction.h>
#include <simprocess.h>
#include <scratchfolder.h>
#include <steppedclock.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <functional>
#include <mutex>
#include <memory>
#include <sstream>
#include <thread>

namespace {

// Every block of the settings, in the order a connection reads them.
bool readAll(CLPGDevice& d)
{
    const std::function<bool()> reads[] = {
        [&] { return d.readBlock(CReadBlocks::DevInfo); }, [&] { return d.readBlock(CReadBlocks::SensorsSetup); }, [&] { return d.readBlock(CReadBlocks::Base); },
        [&] { return d.readBlock(CReadBlocks::Adv); }, [&] { return d.readBlock(CReadBlocks::MainCorr); },
        [&] { return d.readBlock(CReadBlocks::SetupTimes1); }, [&] { return d.readBlock(CReadBlocks::SetupTimes2); },
        [&] { return d.readBlock(CReadBlocks::InjMap); }, [&] { return d.readBlock(CReadBlocks::AdvancedSetup); },
        [&] { return d.readBlock(CReadBlocks::PressCorr); }, [&] { return d.readBlock(CReadBlocks::AutomapSchedule); },
        [&] { return d.readBlock(CReadBlocks::MapAxes); },
    };
    for (const auto& read : reads)
        if (!read())
            return false;
    return true;
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class DocOperationsE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.start()) << m_sim.error();
        ASSERT_EQ(m_sim.send("engine idle"), "ok engine idle");
        // The core's waits do not sleep here; they move the simulated car's clock instead.
        m_ui.onSleep = [this](unsigned ms) { m_sim.send("advance " + std::to_string(ms / 1000.0)); };
        m_device.link().configurePort(m_device.link().ports().addPath(m_sim.ptyPath(), "test"));
        m_device.m_connected = true;
        ASSERT_TRUE(readAll(m_device));
    }

    // Forced LPG, then automatic mode once the car is on it, as a fitter leaves it.
    void driveOnLpg()
    {
        ASSERT_EQ(m_sim.send("fuel lpg"), "ok fuel lpg");
        CDiag reading;
        for (int i = 0; i < 50 && reading.fuelState() != 3; ++i) {
            ASSERT_EQ(m_device.readLiveData(reading), CLPGDevice::kLiveOk);
            m_sim.send("advance 1");
        }
        ASSERT_EQ(reading.fuelState(), 3);
    }
    std::string fuelMode()
    {
        const std::string line = m_sim.send("status");
        const auto at = line.find(" fuelmode=");
        return at == std::string::npos ? line : line.substr(at + 10, line.find(' ', at + 10) - at - 10);
    }

    CSimProcess m_sim;
    CScriptedInteraction m_ui;
    CInteractionScope m_scope { m_ui };
    CLPGDevice m_device;
};

TEST_F(DocOperationsE2E, LoadedFileReadsBackBlockByBlock)
{
    // The fitter's file: the controller's own settings with changes that the
    // controller's encodings hold exactly.
    CSettingsImage file = m_device.image();
    file.m_mainCorr.m_mainCorr = { 1.2, 1.3, 1.25, 1.4, 1, 1, 1, 1 };
    file.m_setupTimes1[4] = 7;
    file.m_setupTimes2[10] = -12;
    file.m_tableMask = 1;
    file.m_corrMap.m_injMapTable[2][3] = 9;
    file.m_corrMap.m_injMapTable[18][14] = -20;
    file.m_base.m_switchTempr = 45;
    file.m_advancedSetup.m_switchCorr = -7;
    const std::string path = scratch("fitter.settings");
    ASSERT_TRUE(writeSettings(path, file));

    CDocOperations ops(m_device);
    ASSERT_TRUE(ops.loadIntoController(path));
    EXPECT_TRUE(m_ui.shown().empty()) << (m_ui.shown().empty() ? "" : "message shown");
    const CSettingsImage written = m_device.image();
    // Written and read back: the controller's. The axes were not in the file and stay the controller's.
    EXPECT_TRUE(m_device.readBlocks().has(CReadBlocks::Base));
    EXPECT_TRUE(m_device.readBlocks().has(CReadBlocks::InjMap));
    EXPECT_TRUE(m_device.readBlocks().has(CReadBlocks::MapAxes));

    // Read everything back into a fresh image: the controller holds what was sent.
    m_device.liveImage() = CSettingsImage();
    ASSERT_TRUE(readAll(m_device));
    const CSettingsImage& back = m_device.image();
    EXPECT_TRUE(back.m_base == written.m_base);
    EXPECT_TRUE(back.m_adv == written.m_adv);
    EXPECT_TRUE(back.m_mainCorr == written.m_mainCorr);
    EXPECT_EQ(back.m_setupTimes1, written.m_setupTimes1);
    EXPECT_EQ(back.m_setupTimes2, written.m_setupTimes2);
    EXPECT_EQ(back.m_tableMask, written.m_tableMask);
    EXPECT_EQ(back.m_corrMap.m_injMapTable, written.m_corrMap.m_injMapTable);
    EXPECT_EQ(back.m_corrMap.m_flags, written.m_corrMap.m_flags);
    EXPECT_TRUE(back.m_advancedSetup == written.m_advancedSetup);
    EXPECT_EQ(back.m_sensorsSetup.m_fuelType, written.m_sensorsSetup.m_fuelType);
    EXPECT_EQ(back.m_sensorsSetup.m_temprCorr, written.m_sensorsSetup.m_temprCorr);
    EXPECT_EQ(back.m_mainCorr.m_mainCorr[3], 1.4);
    EXPECT_EQ(back.m_corrMap.m_injMapTable[18][14], -20);
    EXPECT_EQ(back.m_advancedSetup.m_switchCorr, -7);
}

// A damaged file through the menu: the values outside the pages' ranges are
// listed and the fitter asked (default No) whether to load them clamped.
TEST_F(DocOperationsE2E, OutOfRangeFileIsLoadedOnlyClampedAndOnlyWhenConfirmed)
{
    CSettingsImage file = m_device.image();
    file.m_base.m_switchRPM = 99999;
    file.m_corrMap.m_injMapTable[0][0] = 155;
    const std::string path = scratch("damaged.settings");
    ASSERT_TRUE(writeSettings(path, file));
    const std::string before = settingsOf(m_sim.send("dump store"));

    CDocOperations ops(m_device);
    m_ui.queueAnswer(false);
    EXPECT_FALSE(ops.loadIntoController(path));
    ASSERT_EQ(m_ui.shown().size(), 1u);
    const auto& asked = m_ui.shown().front();
    EXPECT_TRUE(asked.question);
    EXPECT_FALSE(asked.defaultYes);
    EXPECT_NE(asked.text.find(L"m_base.m_switchRPM (wiersz 19): 99999 rpm (500 … 4000 rpm, step 20)"),
              std::wstring::npos);
    EXPECT_NE(asked.text.find(L"m_injMapTable[2][1000] (wiersz 156): 155 %"), std::wstring::npos);
    EXPECT_EQ(settingsOf(m_sim.send("dump store")), before);

    // "Load them clamped": every value moved goes into the log, one line each.
    m_ui.queueAnswer(true);
    auto logged = std::make_shared<std::vector<std::string>>();
    auto loggedLock = std::make_shared<std::mutex>();
    const int sink = addLogSink([logged, loggedLock](LogLevel, const std::string& line) {
        std::lock_guard<std::mutex> lock(*loggedLock);
        logged->push_back(line);
    });
    EXPECT_TRUE(ops.loadIntoController(path));
    removeLogSink(sink);
    {
        std::lock_guard<std::mutex> lock(*loggedLock);
        for (const std::string move : { "m_base.m_switchRPM: 99999 rpm → 4000 rpm", "m_injMapTable[2][1000]: 155 % → 50 %" })
            EXPECT_EQ(std::count_if(logged->begin(), logged->end(),
                                    [&](const std::string& line) {
                                        return line.size() >= move.size()
                                            && line.compare(line.size() - move.size(), move.size(), move) == 0;
                                    }),
                      1)
                << move;
    }
    m_device.liveImage() = CSettingsImage();
    ASSERT_TRUE(readAll(m_device));
    EXPECT_EQ(m_device.image().m_base.m_switchRPM, 4000);
    EXPECT_EQ(m_device.image().m_corrMap.m_injMapTable[0][0], 50);
}

// A line that is no number is not offered for clamping: the fitter is told,
// not asked, and nothing is written.
TEST_F(DocOperationsE2E, LineThatIsNoNumberIsRefusedWithoutAQuestion)
{
    const std::string path = scratch("nan.settings");
    ASSERT_TRUE(writeSettings(path, m_device.image()));
    std::string text = slurp(path);
    const std::string key = "\nm_injMapTable[3][1500]\t";
    const std::size_t at = text.find(key);
    ASSERT_NE(at, std::string::npos);
    text.replace(at + key.size(), text.find("\r\n", at + 1) - at - key.size(), "nan");
    // Out of range as well, on a line of its own before the file's own (the first one counts): one line more.
    text.replace(text.find("\nm_base.m_switchRPM\t"), 0, "\nm_base.m_switchRPM\t99999\r");
    std::ofstream(path, std::ios::binary) << text;
    const std::string before = settingsOf(m_sim.send("dump store"));

    CDocOperations ops(m_device);
    m_ui.queueAnswer(true); // would clamp, were it asked
    EXPECT_FALSE(ops.loadIntoController(path));
    ASSERT_EQ(m_ui.shown().size(), 1u);
    EXPECT_FALSE(m_ui.shown()[0].question);
    EXPECT_EQ(m_ui.shown()[0].icon, MsgIcon::Error);
    EXPECT_NE(m_ui.shown()[0].text.find(L"m_injMapTable[3][1500] (wiersz 173): nan (to nie jest liczba)"),
              std::wstring::npos)
        << m_ui.shown()[0].text;
    EXPECT_NE(m_ui.shown()[0].text.find(L"m_base.m_switchRPM (wiersz 19): 99999 rpm"), std::wstring::npos);
    EXPECT_EQ(settingsOf(m_sim.send("dump store")), before);
}

TEST_F(DocOperationsE2E, InspectionBitOfTheControllerIsKept)
{
    m_device.liveImage().m_advancedSetup.m_advancedFlags |= 0x01;
    ASSERT_TRUE(m_device.writeBlock(CReadBlocks::AdvancedSetup));
    CSettingsImage file = m_device.image();
    file.m_advancedSetup.m_advancedFlags &= static_cast<uint8_t>(~0x01);
    const std::string path = scratch("no-inspection.settings");
    ASSERT_TRUE(writeSettings(path, file));

    CDocOperations ops(m_device);
    ASSERT_TRUE(ops.loadIntoController(path));
    m_device.liveImage().m_advancedSetup.m_advancedFlags = 0;
    ASSERT_TRUE(m_device.readBlock(CReadBlocks::AdvancedSetup));
    EXPECT_EQ(m_device.image().m_advancedSetup.m_advancedFlags & 0x01, 0x01);
}

TEST_F(DocOperationsE2E, NoPetrolMeansNothingIsWritten)
{
    const std::string path = scratch("unused.settings");
    CSettingsImage file = m_device.image();
    file.m_base.m_switchTempr = 55;
    ASSERT_TRUE(writeSettings(path, file));
    const std::string before = settingsOf(m_sim.send("dump store"));
    // Every answer of the wrong type: the switch to petrol is never acknowledged.
    ASSERT_EQ(m_sim.send("fault type"), "ok fault type 1.000000");

    CDocOperations ops(m_device);
    EXPECT_FALSE(ops.loadIntoController(path));
    ASSERT_EQ(m_sim.send("fault off"), "ok fault off 0.000000");
    ASSERT_EQ(m_ui.texts().size(), 1u);
    // The failure, then what the controller holds: nothing was written.
    EXPECT_EQ(m_ui.texts()[0].rfind(L"Nie powiodło się ustawienie urządzenia!\n", 0), 0u);
    EXPECT_NE(m_ui.texts()[0].find(L"Nic nie zostało wpisane do urządzenia."), std::wstring::npos);
    EXPECT_EQ(settingsOf(m_sim.send("dump store")), before) << "a block was written although petrol was never reached";
    // The image shows what the controller holds, not the file's values.
    EXPECT_TRUE(m_device.readBlocks().has(CReadBlocks::Base));
    EXPECT_NE(m_device.image().m_base.m_switchTempr, 55);
}

TEST_F(DocOperationsE2E, FactoryRestoreOnLpgEndsInAutoWithThePreset)
{
    CDocOperations ops(m_device);
    EXPECT_FALSE(ops.writeInitialSetup()) << "the fitted car is not blank";

    // The car runs on LPG; nothing is polled, so the readings queue is empty
    // (as in the CLI, or right after connecting).
    driveOnLpg();
    ASSERT_EQ(m_device.diagData().count(), 0);

    m_ui.queueAnswer(true);
    auto refreshed = std::make_shared<int>(0); // shared with the listener, which outlives this scope
    m_device.events().add([refreshed](const DeviceEventData& e) {
        *refreshed += e.kind == DeviceEvent::ImageChanged && e.block == ImageBlock::All ? 1 : 0;
    });
    EXPECT_TRUE(ops.restoreFactorySettings());
    ASSERT_FALSE(m_ui.shown().empty());
    EXPECT_EQ(m_ui.shown()[0].text, L"Czy chcesz przywrócić ustawienia fabryczne?");
    EXPECT_TRUE(m_ui.shown()[0].question);
    EXPECT_EQ(m_ui.shown().size(), 1u) << "no failure expected";
    EXPECT_GE(*refreshed, 1);
    EXPECT_EQ(fuelMode(), "auto") << m_sim.send("status");

    // The controller went blank, so the shipped preset followed: its 20 s delay.
    m_device.liveImage() = CSettingsImage();
    ASSERT_TRUE(readAll(m_device));
    EXPECT_EQ(m_device.image().m_base.m_switchDelay, 20);
    EXPECT_EQ(m_device.image().m_mainCorr.m_mainCorr[0], 1.3);
    EXPECT_EQ(m_device.image().m_setupTimes1, CSettingsImage().m_setupTimes1);
}

// The preset that goes into every blank controller is checked as a loaded
// file is: the shipped one passes; one with a curve value of 100 % and a
// byte of 99999 is refused by key and line, and nothing is written.
TEST_F(DocOperationsE2E, DamagedPresetIsRefusedAndNothingWritten)
{
    CSettingsImage shipped;
    CSettingsReadReport report;
    ASSERT_TRUE(readSettings(CDocOperations::presetPath(), shipped, &report));
    EXPECT_TRUE(checkLoadedSettings(shipped, &report).empty()) << describeProblems(checkLoadedSettings(shipped, &report));

    std::string text = slurp(CDocOperations::presetPath());
    for (const auto& [key, value] : { std::pair<std::string, std::string> { "m_setupTimes1[5]", "100" },
                                      { "m_base.m_flags", "99999" } }) {
        const std::size_t at = text.find("\n" + key + "\t");
        ASSERT_NE(at, std::string::npos) << key;
        text.replace(at + 1, text.find("\r\n", at + 1) - at - 1, key + "\t" + value);
    }
    const std::filesystem::path runtime = scratch("runtime");
    std::filesystem::create_directories(runtime / "KORVANA PRESET");
    std::ofstream(runtime / "KORVANA PRESET" / "Initial settings.settings", std::ios::binary) << text;
    ::setenv("KORVANA_RUNTIME_DIR", runtime.c_str(), 1);
    struct Unset {
        ~Unset() { ::unsetenv("KORVANA_RUNTIME_DIR"); }
    } unset;

    m_device.liveImage() = CSettingsImage(); // as blank as a controller after the factory defaults
    const std::string before = settingsOf(m_sim.send("dump store"));
    CDocOperations ops(m_device);
    EXPECT_FALSE(ops.writeInitialSetup());
    ASSERT_EQ(m_ui.shown().size(), 1u);
    EXPECT_EQ(m_ui.shown()[0].icon, MsgIcon::Error);
    const std::wstring& message = m_ui.shown()[0].text;
    EXPECT_NE(message.find(L"m_base.m_flags (wiersz 25): 99999"), std::wstring::npos) << message;
    EXPECT_NE(message.find(L"m_setupTimes1[5] (wiersz 81): 100 %"), std::wstring::npos) << message;
    EXPECT_NE(message.find(L"Nic nie zostało wpisane do urządzenia."), std::wstring::npos) << message;
    EXPECT_EQ(settingsOf(m_sim.send("dump store")), before);
    EXPECT_TRUE(m_device.liveImage() == CSettingsImage()) << "the live image took nothing of the preset";
}

// The program's way: the polling thread runs throughout, and its newest
// readings say petrol from the first switch on, while the restore still has
// the preset to write.
TEST_F(DocOperationsE2E, FactoryRestoreWithPollingRunningEndsInAuto)
{
    driveOnLpg();
    // The polling thread's waits pass on a clock the restore's waits step.
    CSteppedClock clock([this] { return m_device.session().pollingThreadRunning() ? 1 : 0; },
                        [this] { return !m_device.session().m_polling; });
    m_device.link().port().setWaiter([&clock](unsigned ms) { clock.wait(ms); });
    CMultiThread manager;
    m_device.session().setThreadManager(&manager);
    struct StopAtEnd {
        CLPGDevice& device;
        ~StopAtEnd() { device.session().stopPolling(); }
    } stopAtEnd { m_device };
    ASSERT_TRUE(m_device.session().startPolling("\\"));
    const auto newestFuel = [this] {
        CDiag r;
        return m_device.diagData().latest(r) ? int { r.fuelState() } : -1;
    };
    for (int i = 0; i < 50 && newestFuel() != 3; ++i)
        clock.advance(100);
    ASSERT_EQ(newestFuel(), 3);

    // Each wait of the restore also lets the polling thread see the car's new state.
    m_ui.onSleep = [this, &clock](unsigned ms) {
        m_sim.send("advance " + std::to_string(ms / 1000.0));
        clock.advance(ms);
    };
    m_ui.queueAnswer(true);
    CDocOperations ops(m_device);
    EXPECT_TRUE(ops.restoreFactorySettings());
    EXPECT_EQ(m_ui.shown().size(), 1u) << "no failure expected";
    m_device.session().stopPolling();
    EXPECT_EQ(fuelMode(), "auto") << m_sim.send("status");
    // The preset was written too (the controller had gone blank).
    m_device.liveImage() = CSettingsImage();
    ASSERT_TRUE(readAll(m_device));
    EXPECT_EQ(m_device.image().m_base.m_switchDelay, 20);
}

// A car on petrol stays on petrol: the restore forces petrol and nothing sends it back to LPG.
TEST_F(DocOperationsE2E, FactoryRestoreOnPetrolStaysOnPetrol)
{
    ASSERT_EQ(m_sim.send("fuel petrol"), "ok fuel petrol");
    m_sim.send("advance 10");
    m_ui.queueAnswer(true);
    CDocOperations ops(m_device);
    EXPECT_TRUE(ops.restoreFactorySettings());
    EXPECT_EQ(fuelMode(), "petrol") << m_sim.send("status");
}

// The controller answers its identification and identity, then every settings
// block comes back disturbed: connected all the same (the link is not lost),
// but the document's save names the blocks and asks, No by default, and a No
// leaves the earlier file as it was.
TEST_F(DocOperationsE2E, SaveOfAnIncompleteReadAsksAndKeepsTheEarlierFile)
{
    const std::string path = scratch("incomplete.settings");
    std::ofstream(path, std::ios::binary) << "earlier backup\r\n";
    ASSERT_EQ(m_sim.send("fault type 1 after 2"), "ok fault type 1.000000 after 2");
    EXPECT_TRUE(m_device.session().openConnection());
    ASSERT_EQ(m_sim.send("fault off"), "ok fault off 0.000000");
    EXPECT_TRUE(m_device.readBlocks().has(CReadBlocks::DevInfo));
    EXPECT_FALSE(m_device.readBlocks().has(CReadBlocks::Base));

    CDocOperations ops(m_device);
    m_ui.clearShown();
    m_ui.queueAnswer(false);
    EXPECT_FALSE(ops.saveToFile(path));
    ASSERT_EQ(m_ui.shown().size(), 1u);
    const auto& asked = m_ui.shown()[0];
    EXPECT_TRUE(asked.question);
    EXPECT_FALSE(asked.defaultYes);
    for (const wchar_t* block : { L"m_sensorsSetup", L"m_base", L"m_adv", L"m_mainCorr", L"m_setupTimes1",
             L"m_setupTimes2", L"m_injMapTable", L"m_advancedSetup" })
        EXPECT_NE(asked.text.find(block), std::wstring::npos) << block;
    EXPECT_EQ(asked.text.find(L"m_devInfo"), std::wstring::npos) << "the identity was read";
    EXPECT_EQ(slurp(path), "earlier backup\r\n");

    // Yes saves what there is.
    m_ui.queueAnswer(true);
    EXPECT_TRUE(ops.saveToFile(path));
    EXPECT_NE(slurp(path), "earlier backup\r\n");

    // Read whole again: saved without a question.
    const std::string whole = scratch("whole.settings");
    ASSERT_TRUE(m_device.session().openConnection());
    m_ui.clearShown();
    EXPECT_TRUE(ops.saveToFile(whole));
    EXPECT_TRUE(m_ui.shown().empty());
    CSettingsImage saved;
    ASSERT_TRUE(readSettings(whole, saved));
    EXPECT_EQ(saved.m_corrMap.m_injMapTable, m_device.image().m_corrMap.m_injMapTable);
}

TEST_F(DocOperationsE2E, DeclinedFactoryRestoreWritesNothing)
{
    const std::string before = settingsOf(m_sim.send("dump store"));
    m_ui.queueAnswer(false);
    CDocOperations ops(m_device);
    EXPECT_FALSE(ops.restoreFactorySettings());
    EXPECT_EQ(settingsOf(m_sim.send("dump store")), before);
}

} // namespace
