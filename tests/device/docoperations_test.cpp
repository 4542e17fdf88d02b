// SPDX-License-Identifier: GPL-3.0-or-later
// The document's copy rules and the blank-controller test, without a link:
// what a loaded file gives the live image (the inspection bit stays, the axes
// and tables not in the file return to their defaults) and which images count
// as a blank controller. Operations that are offline or cancelled send nothing.
#include <app/tuning/docoperations.h>
#include <app/device/lpgdevice.h>

#include <scriptedinteraction.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

TEST(DocCopyRules, LoadedFileReplacesSettingsButKeepsIdentityAndInspectionBit)
{
    CSettingsImage live;
    live.m_devInfo.m_serial = L"LIVE";
    live.m_carInfo.m_vendor = L"Opel";
    live.m_timeStamp = L"t";
    live.m_advancedSetup.m_advancedFlags = 0x01;
    live.m_advancedSetup.m_inspectionCounter = 77;
    live.m_advancedSetup.m_lubricationShare = 5;
    live.m_automapMode = 2;
    live.m_corrMap.m_injTimeAxis[0] = 2.5;
    live.m_corrMap.m_rpmAxis[14] = 7000;
    live.m_sensorsSetup.m_temprCorr[3] = 4;
    live.m_sensorsSetup.m_pressCorr[3] = 4;
    live.m_advancedSetup.m_minLpgTempr = -10;
    live.m_advancedSetup.m_advancedFlags2 = 0x40;

    CSettingsImage file; // as the reader leaves it: fresh defaults beyond the file's keys
    file.m_devInfo.m_serial = L"FILE";
    file.m_base.m_switchRPM = 2200;
    file.m_adv.m_pwm = 40;
    file.m_mainCorr.m_mainCorr[2] = 1.4;
    file.m_setupTimes2[5] = -3;
    file.m_tableMask = 2;
    file.m_corrMap.m_injMapTable[3][4] = 7;
    file.m_sensorsSetup.m_fuelType = 0;
    file.m_advancedSetup.m_advancedFlags = 0x14; // bit 0x01 clear in the file
    file.m_advancedSetup.m_switchCorr = -3;

    CDocOperations::copyLoadedSettings(file, live);
    EXPECT_EQ(live.m_base.m_switchRPM, 2200);
    EXPECT_EQ(live.m_adv.m_pwm, 40);
    EXPECT_EQ(live.m_mainCorr.m_mainCorr[2], 1.4);
    EXPECT_EQ(live.m_setupTimes2[5], -3);
    EXPECT_EQ(live.m_tableMask, 2);
    EXPECT_EQ(live.m_corrMap.m_injMapTable[3][4], 7);
    EXPECT_EQ(live.m_sensorsSetup.m_fuelType, 0);
    EXPECT_EQ(live.m_advancedSetup.m_switchCorr, -3);
    EXPECT_EQ(live.m_advancedSetup.m_advancedFlags, 0x15) << "the live inspection bit must survive";
    // What the file does not carry stays as the controller holds it: the axes and both correction tables.
    EXPECT_EQ(live.m_corrMap.m_injTimeAxis[0], 2.5);
    EXPECT_EQ(live.m_corrMap.m_rpmAxis[14], 7000);
    EXPECT_EQ(live.m_sensorsSetup.m_temprCorr[3], 4);
    EXPECT_EQ(live.m_sensorsSetup.m_pressCorr[3], 4);
    // The reader does not read these four: the file's are defaults, not the car's.
    EXPECT_EQ(live.m_advancedSetup.m_minLpgTempr, -10);
    EXPECT_EQ(live.m_advancedSetup.m_advancedFlags2, 0x40);
    // What the file does not own stays.
    EXPECT_EQ(live.m_devInfo.m_serial, L"LIVE");
    EXPECT_EQ(live.m_carInfo.m_vendor, L"Opel");
    EXPECT_EQ(live.m_timeStamp, L"t");
    EXPECT_EQ(live.m_advancedSetup.m_inspectionCounter, 77u);
    EXPECT_EQ(live.m_advancedSetup.m_lubricationShare, 5);
    EXPECT_EQ(live.m_automapMode, 2);

    file.m_advancedSetup.m_advancedFlags = 0x01;
    live.m_advancedSetup.m_advancedFlags = 0x00;
    CDocOperations::copyLoadedSettings(file, live);
    EXPECT_EQ(live.m_advancedSetup.m_advancedFlags, 0x00) << "the file's inspection bit must not arrive";
}

TEST(DocCopyRules, BlankControllerTest)
{
    EXPECT_TRUE(CDocOperations::isBlank(CSettingsImage()));
    const std::function<void(CSettingsImage&)> changes[] = {
        [](CSettingsImage& i) { i.m_mainCorr.m_mainCorr[7] = 1.01; },
        [](CSettingsImage& i) { i.m_setupTimes1[38] = 1; },
        [](CSettingsImage& i) { i.m_corrMap.m_injMapTable[18][14] = -1; },
        [](CSettingsImage& i) { i.m_base.m_switchDelay = 20; },
        [](CSettingsImage& i) { i.m_sensorsSetup.m_fuelFull = 91; },
        [](CSettingsImage& i) { i.m_sensorsSetup.m_fuelQuarter = 1; },
        [](CSettingsImage& i) { i.m_sensorsSetup.m_fuelType = 0; },
    };
    for (std::size_t k = 0; k < std::size(changes); ++k) {
        CSettingsImage im;
        changes[k](im);
        EXPECT_FALSE(CDocOperations::isBlank(im)) << "change " << k;
    }
    // Members outside the test do not matter.
    CSettingsImage other;
    other.m_setupTimes2[0] = 5;
    other.m_sensorsSetup.m_lambdaType = 3;
    other.m_base.m_switchRPM = 3000;
    EXPECT_TRUE(CDocOperations::isBlank(other));
}

TEST(DocOperationsOffline, NothingHappensWithoutAConnection)
{
    CScriptedInteraction ui;
    CInteractionScope scope(ui);
    CLPGDevice device;
    CDocOperations ops(device);
    EXPECT_FALSE(ops.saveToFile("/tmp/never-written.settings"));
    EXPECT_FALSE(ops.loadIntoController(std::string(KORVANA_TEST_DATA_DIR) + "/golden/known.settings"));
    EXPECT_TRUE(ui.shown().empty());
    EXPECT_TRUE(ui.fileRequests().empty());
}

TEST(DocOperationsOffline, CancelledOrUnreadableFileSaysSoAndChangesNothing)
{
    CScriptedInteraction ui;
    CInteractionScope scope(ui);
    CLPGDevice device;
    device.m_connected = true;
    device.m_demo = true;
    const CSettingsImage before = device.image();
    CDocOperations ops(device);
    EXPECT_FALSE(ops.loadIntoController()); // the dialog is cancelled: no file queued
    ui.queueFile("/tmp/korvana-no-such-file.settings");
    EXPECT_FALSE(ops.loadIntoController());
    ASSERT_EQ(ui.shown().size(), 2u);
    for (const auto& s : ui.shown()) {
        EXPECT_EQ(s.text, L"Nie można wczytać ustawień z pliku");
        EXPECT_EQ(s.caption, L"KORVANA");
        EXPECT_EQ(s.icon, MsgIcon::Error);
    }
    EXPECT_TRUE(device.image() == before);
}

TEST(DocOperationsOffline, SaveFailureIsReported)
{
    CScriptedInteraction ui;
    CInteractionScope scope(ui);
    CLPGDevice device;
    device.session().startDemoMode(); // the demo's data is whole: no question before saving
    CDocOperations ops(device);
    EXPECT_FALSE(ops.saveToFile("/tmp/korvana-no-such-dir/x/y.settings"));
    ASSERT_EQ(ui.texts().size(), 1u);
    EXPECT_EQ(ui.texts()[0], L"Nie można wpisać ustawień do pliku z danymi samochodu");
    // The time stamp has the form dd-mm-yyyy-hh:mm:ss.
    const std::wstring& stamp = device.image().m_timeStamp;
    ASSERT_EQ(stamp.size(), 19u);
    EXPECT_EQ(stamp[2], L'-');
    EXPECT_EQ(stamp[5], L'-');
    EXPECT_EQ(stamp[10], L'-');
    EXPECT_EQ(stamp[13], L':');
}

// A settings file refused unread says why: past its limit, with the limit
// named, or no regular file at all; the device stays as it was.
TEST(DocOperationsOffline, FileRefusedForItsSizeOrKindNamesTheLimit)
{
    CScriptedInteraction ui;
    CInteractionScope scope(ui);
    CLPGDevice device;
    device.m_connected = true;
    device.m_demo = true;
    const CSettingsImage before = device.image();
    std::string dir = (std::filesystem::temp_directory_path() / "korvana-docops-XXXXXX").string();
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    std::ofstream(dir + "/big.settings", std::ios::binary) << std::string((1u << 20) + 1, '7');
    ASSERT_EQ(::mkfifo((dir + "/pipe.settings").c_str(), 0600), 0);
    CDocOperations ops(device);
    EXPECT_FALSE(ops.loadIntoController(dir + "/big.settings"));
    EXPECT_FALSE(ops.loadIntoController(dir + "/pipe.settings"));
    std::filesystem::remove_all(dir);
    ASSERT_EQ(ui.shown().size(), 2u);
    EXPECT_EQ(ui.shown()[0].text, L"Nie można wczytać ustawień z pliku\nPlik jest większy niż 1 MB.");
    EXPECT_EQ(ui.shown()[1].text, L"Nie można wczytać ustawień z pliku\nTo nie jest zwykły plik.");
    EXPECT_TRUE(device.image() == before);
}

} // namespace
