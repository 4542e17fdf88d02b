// Whole-settings operations against the simulated controller on its
// pseudo-terminal: a settings file loaded into the controller and read back
// block by block, the controller's inspection bit kept, a controller that
// never acknowledges the switch to petrol left untouched, factory restore
// ending in automatic mode, and the initial preset written only when blank.
#include <app/data/settingsio.h>
#include <app/device/docoperations.h>
#include <app/device/lpgdevice.h>
#include <app/platform/porttable.h>

#include <scriptedinteraction.h>
#include <simprocess.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

namespace {

// Every block of the settings, in the order a connection reads them.
bool readAll(CLPGDevice& d)
{
    const std::function<bool()> reads[] = {
        [&] { return d.readSensorsSetup(); }, [&] { return d.readBase(); },
        [&] { return d.readAdv(); }, [&] { return d.readMainCorr(); },
        [&] { return d.readSetupTimes1(); }, [&] { return d.readSetupTimes2(); },
        [&] { return d.readInjMap(); }, [&] { return d.readAdvancedSetup(); },
        [&] { return d.readPressCorr(); }, [&] { return d.readAutomapSchedule(); },
        [&] { return d.readMapAxes(); },
    };
    for (const auto& read : reads)
        if (!read())
            return false;
    return true;
}

std::string scratch(const std::string& name)
{
    static const std::string dir = [] {
        char templ[] = "/tmp/korvana-docops-XXXXXX";
        return std::string(::mkdtemp(templ));
    }();
    return dir + "/" + name;
}

// The simulator's store without its running counters.
std::string settingsOf(const std::string& dump)
{
    const std::size_t at = dump.find(" statistics=");
    if (at == std::string::npos)
        return dump;
    return dump.substr(0, at) + dump.substr(dump.find(' ', at + 1));
}

class DocOperationsE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.start()) << m_sim.error();
        ASSERT_EQ(m_sim.send("engine idle"), "ok engine idle");
        // The core's waits do not sleep here; they move the simulated car's clock instead.
        m_ui.onSleep = [this](unsigned ms) { m_sim.send("advance " + std::to_string(ms / 1000.0)); };
        m_device.configurePort(portTable().addPath(m_sim.ptyPath(), "test"));
        m_device.m_connected = true;
        ASSERT_TRUE(readAll(m_device));
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

    // Read everything back into a fresh image: the controller holds what was sent.
    m_device.image() = CSettingsImage();
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

TEST_F(DocOperationsE2E, InspectionBitOfTheControllerIsKept)
{
    m_device.image().m_advancedSetup.m_advancedFlags |= 0x01;
    ASSERT_TRUE(m_device.writeAdvancedSetup());
    CSettingsImage file = m_device.image();
    file.m_advancedSetup.m_advancedFlags &= static_cast<uint8_t>(~0x01);
    const std::string path = scratch("no-inspection.settings");
    ASSERT_TRUE(writeSettings(path, file));

    CDocOperations ops(m_device);
    ASSERT_TRUE(ops.loadIntoController(path));
    m_device.image().m_advancedSetup.m_advancedFlags = 0;
    ASSERT_TRUE(m_device.readAdvancedSetup());
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
    EXPECT_EQ(m_ui.texts()[0], L"Nie powiodło się ustawienie urządzenia!");
    EXPECT_EQ(settingsOf(m_sim.send("dump store")), before) << "a block was written although petrol was never reached";
}

TEST_F(DocOperationsE2E, FactoryRestoreOnLpgEndsInAutoWithThePreset)
{
    CDocOperations ops(m_device);
    EXPECT_FALSE(ops.writeInitialSetup()) << "the fitted car is not blank";

    // The car runs on LPG, as the newest reading says.
    ASSERT_EQ(m_sim.send("fuel lpg"), "ok fuel lpg");
    CDiag reading;
    for (int i = 0; i < 50 && reading.fuelState() != 3; ++i) {
        ASSERT_EQ(m_device.readLiveData(reading), CLPGDevice::kLiveOk);
        m_sim.send("advance 1");
    }
    ASSERT_EQ(reading.fuelState(), 3);
    m_device.diagData().push(reading);

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
    EXPECT_NE(m_sim.send("status").find("fuelmode=auto"), std::string::npos) << m_sim.send("status");

    // The controller went blank, so the shipped preset followed: its 20 s delay.
    m_device.image() = CSettingsImage();
    ASSERT_TRUE(readAll(m_device));
    EXPECT_EQ(m_device.image().m_base.m_switchDelay, 20);
    EXPECT_EQ(m_device.image().m_mainCorr.m_mainCorr[0], 1.3);
    EXPECT_EQ(m_device.image().m_setupTimes1, CSettingsImage().m_setupTimes1);
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
