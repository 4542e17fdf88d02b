// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file's line format: number formatting and parsing as the files
// hold them, the key search (first occurrence, 511-character reads, the dropped
// last character), 8-bit text, a save that cannot complete leaving the old
// file in place, and what a save may replace: never a file the user may not
// write, and in place only when the folder takes no temporary file.
#include <app/data/settingsfile.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string tempDir()
{
    static const fs::path dir = [] {
        std::string templ = (std::filesystem::temp_directory_path() / "korvana-settingsfile-XXXXXX").string();
        return fs::path(::mkdtemp(templ.data()));
    }();
    return dir.string();
}

void writeRaw(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readRaw(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(SettingsFileNumbers, FormatsLikeTheRuntimeDefault)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {
        { 0, "0" },
        { 1, "1" },
        { -12, "-12" },
        { 0.5, "0.5" },
        { 2.35, "2.35" },
        { 1.0 / 3.0, "0.333333" },
        { 123456, "123456" },
        { 999999, "999999" },
        { 1234567, "1.23457e+006" },
        { 1000000, "1e+006" },
        { 4294967295.0, "4.29497e+009" },
        { 0.0001, "0.0001" },
        { 0.00001234, "1.234e-005" },
        { -0.000012345678, "-1.23457e-005" },
        { 1e100, "1e+100" },
        { 65535, "65535" },
        { 12.5, "12.5" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(CSettingsFile::formatNumber(c.value), c.text) << c.value;
}

TEST(SettingsFileNumbers, ParsesLongestPrefixAfterBlanks)
{
    const struct {
        const wchar_t* text;
        double value;
    } cases[] = {
        { L"12", 12 },
        { L"  -3.5", -3.5 },
        { L"\t7", 7 },
        { L"1.23457e+006", 1234570 },
        { L"4.29497e+009", 4294970000.0 },
        { L"12abc", 12 },
        { L"1e", 1 },
        { L"+8", 8 },
        { L".5", 0.5 },
        { L"abc", 0 },
        { L"", 0 },
        { L"-", 0 },
        { L"--1", 0 },
        { L"x12", 0 },
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(CSettingsFile::parseNumber(c.text), c.value) << std::string(c.text, c.text + wcslen(c.text));
}

// What the reader reports as "no number": anything but one whole decimal
// number, blanks around it aside.
TEST(SettingsFileNumbers, WholeNumbersOnly)
{
    for (const wchar_t* text : { L"12", L"  -3.5", L"7 ", L"1.23457e+006", L"+8", L".5", L"1.", L"1e400" })
        EXPECT_TRUE(CSettingsFile::isNumber(text)) << std::string(text, text + wcslen(text));
    for (const wchar_t* text : { L"nan", L"inf", L"-inf", L"0,3", L"12abc", L"abc", L"", L" ", L"-", L"1e", L"0x10",
                                 L"1 2", L"\u00bd" })
        EXPECT_FALSE(CSettingsFile::isNumber(text)) << std::string(text, text + wcslen(text));
}

TEST(SettingsFileLines, WritesKeyTabValueCrLfInEightBits)
{
    const std::string path = tempDir() + "/write.settings";
    CSettingsFile f;
    ASSERT_TRUE(f.open(path, true));
    EXPECT_TRUE(f.writeDouble(L"m_base.m_switchRPM", 1800));
    EXPECT_TRUE(f.writeString(L"m_carInfo.m_vendor", L"Škoda \u00e9"));
    EXPECT_TRUE(f.writeString(L"m_carInfo.m_model", L""));
    EXPECT_TRUE(f.writeString(L"m_carInfo.m_engine", L"\u0141\u00f3d\u017a"));
    EXPECT_TRUE(f.commit());
    // Š (U+0160) and Ł/ź lie above U+00FF and become '?'; é stays one byte 0xE9.
    EXPECT_EQ(readRaw(path),
              "m_base.m_switchRPM\t1800\r\n"
              "m_carInfo.m_vendor\t?koda \xE9\r\n"
              "m_carInfo.m_model\t\r\n"
              "m_carInfo.m_engine\t?\xF3""d?\r\n");
}

TEST(SettingsFileLines, KeySearchRules)
{
    const std::string path = tempDir() + "/read.settings";
    writeRaw(path,
             "no tab here\r\n"
             "b\tfirst\r\n"
             "a\t 42.5xyz\r\n"
             "b\tsecond\r\n"
             "empty\t\r\n"
             "tabbed\tx\ty\r\n"
             "latin\t\xB3\xF3\r\n"
             "last\tvalue");
    CSettingsFile f;
    ASSERT_TRUE(f.open(path, false));
    std::wstring text;
    double d = -1;
    EXPECT_TRUE(f.readString(L"b", text));
    EXPECT_EQ(text, L"first");
    EXPECT_TRUE(f.readDouble(L"a", d));
    EXPECT_DOUBLE_EQ(d, 42.5);
    EXPECT_TRUE(f.readString(L"empty", text));
    EXPECT_EQ(text, L"");
    EXPECT_TRUE(f.readString(L"tabbed", text));
    EXPECT_EQ(text, L"x\ty");
    EXPECT_TRUE(f.readString(L"latin", text));
    EXPECT_EQ(text, L"\u00b3\u00f3");
    EXPECT_TRUE(f.readString(L"last", text));
    EXPECT_EQ(text, L"valu");
    EXPECT_FALSE(f.readString(L"missing", text));
    EXPECT_FALSE(f.readString(L"B", text));
    EXPECT_FALSE(f.readString(L"no tab here", text));
}

TEST(SettingsFileLines, KeyAndTabAloneAtTheEndIsMissing)
{
    const std::string path = tempDir() + "/keyonly.settings";
    writeRaw(path, "a\t1\r\nk\t");
    CSettingsFile f;
    ASSERT_TRUE(f.open(path, false));
    std::wstring text;
    EXPECT_FALSE(f.readString(L"k", text));
}

TEST(SettingsFileLines, LongLinesAreReadIn511CharacterPieces)
{
    const std::string path = tempDir() + "/long.settings";
    // A 600-character value: the first read ends after 511 characters without a
    // line feed, so the value loses its 509th character; the rest is a second
    // "line" that holds a TAB and so can match a key of its own.
    std::string value(600, 'v');
    value[520] = '\t';
    std::string line = "k\t" + value + "\r\n";
    writeRaw(path, line + "z\t1\r\n");
    CSettingsFile f;
    ASSERT_TRUE(f.open(path, false));
    std::wstring text;
    ASSERT_TRUE(f.readString(L"k", text));
    EXPECT_EQ(text.size(), 508u);
    ASSERT_TRUE(f.readString(std::wstring(11, L'v'), text));
    EXPECT_EQ(text, std::wstring(79, L'v'));
    ASSERT_TRUE(f.readString(L"z", text));
    EXPECT_EQ(text, L"1");
}

TEST(SettingsFileSave, FailedWriteKeepsTheOldFile)
{
    const std::string path = tempDir() + "/full.settings";
    writeRaw(path, "old\tcontent\r\n");
    fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The "disk" takes 4 KiB: every write past it fails.
        signal(SIGXFSZ, SIG_IGN);
        rlimit lim { 4096, 4096 };
        setrlimit(RLIMIT_FSIZE, &lim);
        CSettingsFile f;
        if (!f.open(path, true))
            _exit(3);
        for (int i = 0; i < 1000; ++i)
            f.writeDouble(L"m_injMapTable[" + std::to_wstring(i) + L"]", i);
        _exit(f.commit() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "a save that could not write every line reported success";
    EXPECT_EQ(readRaw(path), "old\tcontent\r\n");
    for (const auto& entry : fs::directory_iterator(tempDir()))
        EXPECT_EQ(entry.path().string().find("full.settings."), std::string::npos) << "temporary file left behind";
}

TEST(SettingsFileSave, UncommittedWriteLeavesTargetAlone)
{
    const std::string path = tempDir() + "/abandon.settings";
    writeRaw(path, "keep\t1\r\n");
    {
        CSettingsFile f;
        ASSERT_TRUE(f.open(path, true));
        f.writeDouble(L"x", 1);
    }
    EXPECT_EQ(readRaw(path), "keep\t1\r\n");
    CSettingsFile bad;
    EXPECT_FALSE(bad.open(tempDir() + "/no/such/dir/x.settings", true));
    EXPECT_FALSE(bad.open(tempDir() + "/missing.settings", false));
}

// Runs body in a child process as a user without privileges (nobody when the
// tests run as root, who may write anything); returns its exit code.
int asUnprivilegedUser(const std::function<int()>& body)
{
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            _exit(99);
        _exit(body());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// A folder every user can reach and write.
std::string sharedFolder(const std::string& name)
{
    static const std::string root = [] {
        std::string templ = (std::filesystem::temp_directory_path() / "korvana-settingsfile-shared-XXXXXX").string();
        const std::string dir = ::mkdtemp(templ.data());
        ::chmod(dir.c_str(), 0755);
        return dir;
    }();
    const std::string dir = root + "/" + name;
    fs::create_directory(dir);
    ::chmod(dir.c_str(), 0777);
    return dir;
}

int saveOneLine(const std::string& path)
{
    CSettingsFile f;
    if (!f.open(path, true))
        return 3;
    f.writeDouble(L"m_base.m_switchRPM", 1600);
    return f.commit() ? 0 : 1;
}

TEST(SettingsFileSave, ReadOnlyFileIsNotReplaced)
{
    const std::string dir = sharedFolder("readonly-file");
    const std::string path = dir + "/locked.settings";
    writeRaw(path, "old\tcontent\r\n");
    ::chmod(path.c_str(), 0444);
    // The folder would let a rename through; the file's own mode must decide.
    EXPECT_EQ(asUnprivilegedUser([&] { return saveOneLine(path); }), 1) << "a read-only file was replaced";
    EXPECT_EQ(readRaw(path), "old\tcontent\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename(), "locked.settings") << "left behind: " << entry.path();
}

TEST(SettingsFileSave, WritableFileInAReadOnlyFolderIsWrittenInPlace)
{
    const std::string dir = sharedFolder("readonly-folder");
    const std::string path = dir + "/open.settings";
    // Longer than what replaces it: the rest must go.
    writeRaw(path, "old\tcontent that is longer than the new line\r\n");
    ::chmod(path.c_str(), 0666);
    ::chmod(dir.c_str(), 0555);
    EXPECT_EQ(asUnprivilegedUser([&] { return saveOneLine(path); }), 0);
    EXPECT_EQ(readRaw(path), "m_base.m_switchRPM\t1600\r\n");

    // A new file cannot be made there at all.
    EXPECT_EQ(asUnprivilegedUser([&] { return saveOneLine(dir + "/new.settings"); }), 1);
    EXPECT_FALSE(fs::exists(dir + "/new.settings"));
    ::chmod(dir.c_str(), 0755);
}

} // namespace
