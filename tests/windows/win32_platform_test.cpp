// SPDX-License-Identifier: GPL-3.0-or-later
// The Win32 side of the platform: COM names to numbers and paths, the port
// that is not there, whole-file saves through ReplaceFileW, the log folder.
#include <app/device/historyrecorder.h>
#include <app/device/serialport.h>
#include <app/platform/documentsdir.h>
#include <app/platform/filereplace.h>
#include <app/platform/log.h>
#include <app/platform/pcid.h>
#include <app/platform/profilestore.h>
#include <app/platform/programdir.h>
#include <app/platform/porttable.h>
#include <app/platform/serialdiagnosis.h>
#include <errkit/ierror.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

fs::path freshFolder(const char* name)
{
    const fs::path folder = fs::temp_directory_path() / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

} // namespace

TEST(WindowsPortTable, ComNamesKeepTheirNumbersAndOtherPathsTakeFreeOnes)
{
    CPortTable table;
    EXPECT_EQ(table.addPath("COM5", "--port"), 5u);
    EXPECT_EQ(table.addPath("\\\\.\\com5", "--port"), 5u);
    EXPECT_EQ(table.addPath("com256", "--port"), 256u);
    EXPECT_EQ(table.numberOf("COM17"), 17u);
    EXPECT_EQ(table.pathOf(5), "\\\\.\\COM5");
    EXPECT_EQ(table.pathOf(12), "\\\\.\\COM12");
    EXPECT_EQ(table.pathOf(0), "");
    EXPECT_EQ(table.pathOf(257), "");

    // Not COM names: COM0, COM257, COM5X, a pipe.
    for (const char* other : { "COM0", "COM257", "COM5X", "\\\\.\\pipe\\sim" }) {
        SCOPED_TRACE(other);
        const uint32_t n = table.addPath(other, "--port");
        ASSERT_NE(n, 0u);
        EXPECT_NE(n, 5u);
        EXPECT_EQ(table.pathOf(n), other);
        EXPECT_EQ(table.addPath(other, "again"), n);
    }

    // Windows lists are split at ';', so a drive's ':' stays in its path.
    CPortTable listed;
    listed.addPathList("COM7;C:\\ports\\one;;COM9", "KORVANA_PORTS");
    EXPECT_EQ(listed.numberOf("COM7"), 7u);
    EXPECT_NE(listed.numberOf("C:\\ports\\one"), 0u);
    EXPECT_EQ(listed.numberOf("C"), 0u);
}

TEST(WindowsSerialPort, APortWithNothingBehindItFailsAsMissing)
{
    CPortTable table;
    CSerialPort port(table);
    bool raised = false;
    try {
        port.open(231);
    } catch (IError* e) {
        EXPECT_EQ(e->getCode(), 5u);
        delete e;
        raised = true;
    }
    EXPECT_TRUE(raised);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.openError(), ENOENT);
    // A closed port reports the failed query: ERROR_INVALID_HANDLE.
    EXPECT_EQ(port.clearCommError(), 6u);

    const PortDiagnosis d = CSerialDiagnosis().probe(table.pathOf(231));
    EXPECT_EQ(d.access, PortAccess::Missing);
    ASSERT_FALSE(CSerialDiagnosis::advice(d).empty());
    EXPECT_NE(CSerialDiagnosis::advice(d)[0].find("COM231 does not exist"), std::string::npos);
}

TEST(WindowsFileReplace, ReplacesWholeFilesAndRefusesFolders)
{
    const fs::path folder = freshFolder("korvana-replace-test");
    const std::string file = (folder / "ustawienia.settings").string();

    ASSERT_EQ(replaceFile(file, "first\n"), FileReplaceResult::Saved);
    EXPECT_EQ(readAll(file), "first\n"); // binary: no carriage return added
    ASSERT_EQ(replaceFile(file, "second, longer\r\n"), FileReplaceResult::Saved);
    EXPECT_EQ(readAll(file), "second, longer\r\n");

    // A producer that gives up leaves the old content.
    EXPECT_EQ(replaceFileStreamed(file, [](const FileWriter& write) { return write("half") && false; }),
        FileReplaceResult::Failed);
    EXPECT_EQ(readAll(file), "second, longer\r\n");
    // Only the file itself is left: no temporary beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator {}), 1);

    EXPECT_TRUE(isRegularFileOrAbsent(file));
    EXPECT_TRUE(isRegularFileOrAbsent((folder / "absent").string()));
    EXPECT_FALSE(isRegularFileOrAbsent(folder.string()));
    EXPECT_EQ(replaceFile(folder.string(), "x"), FileReplaceResult::NotRegularFile);
    EXPECT_EQ(replaceFile((folder / "no such folder" / "f").string(), "x"), FileReplaceResult::Failed);
    fs::remove_all(folder);
}

TEST(WindowsLog, LivesUnderLocalAppData)
{
    const char* local = std::getenv("LOCALAPPDATA");
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(defaultLogPath(), std::string(local) + "\\korvana\\korvana.log");
}

TEST(HistoryTimes, ReadOnlyWholeUtcStamps)
{
    const std::string local = CHistoryRecorder::localTime("2026-12-08T19:45:12Z");
    ASSERT_EQ(local.size(), 16u);
    EXPECT_EQ(local.substr(0, 8), "2026-12-");
    for (const char* bad : { "2026-12-08 19:45:12", "2026-12-08T19:45", "wczoraj", "" })
        EXPECT_EQ(CHistoryRecorder::localTime(bad), bad);
}

TEST(WindowsProfile, TheLastPortLivesInTheUsersRegistry)
{
    CProfileStore store;
    const std::string key = "Software\\KORVANA test";
    EXPECT_FALSE(store.readString(key, "absent"));
    ASSERT_TRUE(store.writeString(key, "Last RS nr", "7"));
    EXPECT_EQ(store.readString(key, "Last RS nr"), "7");
    ASSERT_TRUE(store.writeString(key, "Last RS nr", "12"));
    EXPECT_EQ(store.readString(key, "Last RS nr"), "12");
    ASSERT_TRUE(store.writeString(key, "opis", "Złącze ż"));
    EXPECT_EQ(store.readString(key, "opis"), "Złącze ż");

    store.storeLastPort(5, "\\\\.\\COM5");
    EXPECT_EQ(store.lastPortNumber(), 5u);
    EXPECT_EQ(store.lastPortPath(), "\\\\.\\COM5");
}

TEST(WindowsFolders, TheProgramAndThePcAreFoundWithoutProc)
{
    EXPECT_TRUE(fs::exists(executableDir() / "win32_platform_tests.exe"));
    const auto id = pcIdentifier();
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(pcIdentifier(), id);
}

TEST(WindowsFolders, SettingsLiveInThePersonalShellFolder)
{
    const fs::path personal = fs::temp_directory_path() / "korvana-personal";
    fs::remove_all(personal);
    fs::create_directories(personal);
    const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    const auto before = profileStore().readString(key, "Personal");
    ASSERT_TRUE(profileStore().writeString(key, "Personal", personal.string()));
    EXPECT_EQ(documentsDirectory(), personal.string());
    EXPECT_EQ(settingsDirectory(), (personal / "KORVANA" / "Settings").string() + "\\");
    EXPECT_EQ(diagDirectory(), (personal / "KORVANA" / "Diag").string() + "\\");
    EXPECT_TRUE(fs::is_directory(personal / "KORVANA" / "Settings"));
    if (before)
        profileStore().writeString(key, "Personal", *before);
    fs::remove_all(personal);
}
