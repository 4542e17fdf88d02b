// SPDX-License-Identifier: GPL-3.0-or-later
// Language files and the program-wide translation: escapes, first entry wins,
// surrogate pairs, long lines, bad files (no BOM, odd length, truncated, no
// TAB, missing), the slots and start-up order of the fifteen files, the
// language identifier table, the LPG → CNG substitution and concurrent lookups.
#include <app/data/langfile.h>
#include <app/data/languages.h>
#include <app/data/translate.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

// UTF-16LE bytes of text (one wchar_t per code point), with or without a BOM.
std::string utf16(const std::wstring& text, bool bom = true)
{
    std::string bytes = bom ? std::string("\xFF\xFE", 2) : std::string();
    auto unit = [&bytes](unsigned u) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    };
    for (wchar_t c : text) {
        const auto code = static_cast<unsigned>(c);
        if (code > 0xFFFF) {
            unit(0xD800 + ((code - 0x10000) >> 10));
            unit(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            unit(code);
        }
    }
    return bytes;
}

class TempDir {
public:
    TempDir()
        : m_path(fs::temp_directory_path() / ("langfile_test_" + std::to_string(::getpid())))
    {
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~TempDir() { fs::remove_all(m_path); }
    const fs::path& path() const { return m_path; }

    std::string write(const std::string& name, const std::string& bytes) const
    {
        const fs::path file = m_path / name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file.string();
    }

private:
    fs::path m_path;
};

CLangFile& fileWith(CLangFile& file, const std::wstring& text, bool bom = true)
{
    file.openBytes(utf16(text, bom));
    return file;
}

TEST(LangFile, EscapesInBothTexts)
{
    CLangFile file;
    fileWith(file, L"Błąd\\nportu\tPort\\nerror\r\nA\\tB\tx\\ty\\rz\r\nC:\\\\nazwa\tC:\\\\name\r\n");
    EXPECT_EQ(file.translate(L"Błąd\nportu"), L"Port\nerror");
    EXPECT_EQ(file.translate(L"A\tB"), L"x\ty\rz");
    // A backslash before the escape letter stays a backslash.
    EXPECT_EQ(file.translate(L"C:\\\nazwa"), L"C:\\\name");
    EXPECT_EQ(file.translate(L"Błąd\\nportu"), L"Błąd\\nportu");
}

TEST(LangFile, FirstEntryOfAKeyWinsAndCaseMatters)
{
    CLangFile file;
    fileWith(file, L"Tak\tYes\r\nTak\tSure\r\ntak\tyes, small\r\n");
    EXPECT_EQ(file.translate(L"Tak"), L"Yes");
    EXPECT_EQ(file.translate(L"tak"), L"yes, small");
    EXPECT_EQ(file.translate(L"TAK"), L"TAK");
}

TEST(LangFile, SurrogatePairsAreDecoded)
{
    CLangFile file;
    fileWith(file, L"Uśmiech\t\U0001F600 smile\r\nZnak 𝄞\tClef\r\n");
    EXPECT_EQ(file.translate(L"Uśmiech"), L"\U0001F600 smile");
    EXPECT_EQ(file.translate(L"Znak 𝄞"), L"Clef");

    // A lone high surrogate becomes U+FFFD.
    std::string bytes = utf16(L"Zły\t");
    bytes += std::string("\x3D\xD8", 2) + utf16(L"!\r\n", false);
    file.openBytes(bytes);
    EXPECT_EQ(file.translate(L"Zły"), L"\uFFFD!");
}

TEST(LangFile, MissingFileTranslatesNothing)
{
    CLangFile file;
    EXPECT_FALSE(file.open("/nonexistent/KOR_LANG/ENGLISH.txt"));
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.translate(L"Tak"), L"Tak");

    // Opening again replaces what an earlier open read; a failed open closes.
    TempDir dir;
    EXPECT_TRUE(file.open(dir.write("a.txt", utf16(L"Tak\tYes\r\n"))));
    EXPECT_EQ(file.translate(L"Tak"), L"Yes");
    EXPECT_TRUE(file.open(dir.write("b.txt", utf16(L"Tak\tJa\r\n"))));
    EXPECT_EQ(file.translate(L"Tak"), L"Ja");
    EXPECT_FALSE(file.open(dir.path().string()));
    EXPECT_EQ(file.translate(L"Tak"), L"Tak");
}

// The start opens every language for later: a file is read at its first
// look-up, as it then is, and one that is not there then stays closed.
TEST(LangFile, OpenedForLaterIsReadAtTheFirstLookUp)
{
    TempDir dir;
    CLangFile file;
    const std::string path = (dir.path() / "later.txt").string();
    file.openLater(path);
    EXPECT_EQ(file.path(), path);
    dir.write("later.txt", utf16(L"Tak\tYes\r\n"));
    EXPECT_EQ(file.translate(L"Tak"), L"Yes");
    // Read once: a later change of the file is not seen.
    dir.write("later.txt", utf16(L"Tak\tJa\r\n"));
    EXPECT_EQ(file.translate(L"Tak"), L"Yes");

    file.openLater((dir.path() / "missing.txt").string());
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.translate(L"Tak"), L"Tak");
    dir.write("missing.txt", utf16(L"Tak\tYes\r\n"));
    EXPECT_EQ(file.translate(L"Tak"), L"Tak");
}

TEST(LangFile, WhatIsNoFileOrPastFourMegabytesIsRefusedUnread)
{
    TempDir dir;
    CLangFile file;
    // A good table with filler after it: over the limit, none of it is taken.
    std::string big = utf16(L"Tak\tYes\r\n");
    big.resize((4u << 20) + 2, 'x');
    EXPECT_FALSE(file.open(dir.write("big.txt", big)));
    EXPECT_EQ(file.translate(L"Tak"), L"Tak");
    big.resize(4u << 20);
    EXPECT_TRUE(file.open(dir.write("limit.txt", big)));
    EXPECT_EQ(file.translate(L"Tak"), L"Yes");
    // A FIFO without a writer: refused at once instead of waiting for one.
    const std::string fifo = (dir.path() / "fifo.txt").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    EXPECT_FALSE(file.open(fifo));
    EXPECT_FALSE(file.isOpen());
}

struct BadFile {
    const char* what;
    std::string bytes;
    std::optional<std::wstring> tak; // translation of "Tak"; nothing: stays "Tak"
    std::optional<std::wstring> nie; // translation of "Nie"
};

TEST(LangFile, BadFilesAreReadAsFarAsTheyGo)
{
    const BadFile cases[] = {
        { "no BOM", utf16(L"Tak\tYes\r\nNie\tNo\r\n", false), L"Yes", L"No" },
        { "odd byte count", utf16(L"Tak\tYes\r\nNie\tNo\r\n") + "\x41", L"Yes", L"No" },
        { "truncated in a line", utf16(L"Tak\tYes\r\nNie\tN"), L"Yes", L"N" },
        { "truncated in a character", utf16(L"Tak\tYes\r\nNie\tNo").substr(0, 31), L"Yes", L"N" },
        { "last line without line end", utf16(L"Tak\tYes\r\nNie\tNo"), L"Yes", L"No" },
        { "LF line ends", utf16(L"Tak\tYes\nNie\tNo\n"), L"Yes", L"No" },
        { "lines without TAB", utf16(L"Tak Yes\r\n\r\nNie\tNo\r\n"), std::nullopt, L"No" },
        { "NUL ends a line's text", utf16(std::wstring(L"Tak\0\tYes\r\nNie\tNo\r\n", 18)), std::nullopt, L"No" },
        { "empty", std::string(), std::nullopt, std::nullopt },
        { "BOM only", std::string("\xFF\xFE", 2), std::nullopt, std::nullopt },
        { "one byte", std::string("\xFF", 1), std::nullopt, std::nullopt },
        { "big-endian", std::string("\xFE\xFF\0T\0a\0k\0\t\0Y", 12), std::nullopt, std::nullopt },
        { "UTF-8", std::string("Tak\tYes\r\nNie\tNo\r\n"), std::nullopt, std::nullopt },
    };
    for (const auto& c : cases) {
        CLangFile file;
        file.openBytes(c.bytes);
        EXPECT_EQ(file.translate(L"Tak"), c.tak.value_or(L"Tak")) << c.what;
        EXPECT_EQ(file.translate(L"Nie"), c.nie.value_or(L"Nie")) << c.what;
    }
}

TEST(LangFile, LinesAreReadInPiecesOf2047Characters)
{
    CLangFile file;
    const std::wstring fits(2044, L'y'); // "K" TAB value CR: 2047 characters, LF in the next piece
    const std::wstring tooLong(2100, L'z');
    fileWith(file, L"K\t" + fits + L"\r\nL\t" + tooLong + L"\r\n" + std::wstring(3000, L'k') + L"\tx\r\nTak\tYes\r\n");
    EXPECT_EQ(file.translate(L"K"), fits);
    EXPECT_EQ(file.translate(L"L"), tooLong.substr(0, 2045));
    EXPECT_EQ(file.translate(std::wstring(3000, L'k')), std::wstring(3000, L'k'));
    EXPECT_EQ(file.translate(L"Tak"), L"Yes");
}

// Resets the program-wide language state around each test.
class Languages : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset()
    {
        setCurrentLanguage(0);
        setFuelWordFlag(false);
        for (int slot = 0; slot < kLangSlotCount; ++slot)
            langSlot(slot)->close();
    }
};

TEST_F(Languages, StartUpOpensTheFifteenFilesIntoTheirSlots)
{
    const char* names[] = { "ENGLISH", "RUSSIAN", "ITALIAN", "GERMAN", "FRENCH", "CROATIAN", "SERBIAN",
        "BOSNIAN", "GREEK", "BULGARIAN", "SLOVENIAN", "TURKISH" };
    TempDir dir;
    for (const char* name : names) {
        const std::wstring wide(name, name + std::strlen(name));
        dir.write(std::string(name) + ".txt", utf16(L"Tak\t" + wide + L"\r\n"));
    }
    dir.write("SPAIN.txt", utf16(L"Tak\tSPAIN\r\n"));
    // THAI.txt is missing: its slot stays closed.
    openLanguageFiles(dir.path());

    const wchar_t* expected[] = { L"Tak", L"ENGLISH", L"RUSSIAN", L"ITALIAN", L"GERMAN", L"Tak", L"TURKISH",
        L"SPAIN", L"FRENCH", L"Tak", L"Tak", L"GREEK", L"Tak", L"SERBIAN", L"CROATIAN", L"BOSNIAN", L"Tak", L"Tak",
        L"BULGARIAN", L"SLOVENIAN" };
    for (int index = 0; index < 20; ++index) {
        setCurrentLanguage(index);
        EXPECT_EQ(translate(L"Tak"), expected[index]) << "language index " << index;
    }
    setCurrentLanguage(20);
    EXPECT_EQ(translate(L"Tak"), L"Tak");
    setCurrentLanguage(-1);
    EXPECT_EQ(translate(L"Tak"), L"Tak");
    EXPECT_EQ(langSlot(6)->path(), (dir.path() / "SPAIN.txt").string());
    EXPECT_EQ(langSlot(20), nullptr);
}

TEST_F(Languages, InitialIndexFromTheLanguageIdentifier)
{
    struct Case {
        uint16_t langId;
        int index;
    };
    const Case cases[] = {
        { 0x0415, 0 }, { 0x0419, 2 }, { 0x0410, 3 }, { 0x0407, 4 }, { 0x041E, 5 }, { 0x041F, 6 },
        { 0x040A, 7 }, { 0x0C0A, 7 }, { 0x2C0A, 7 }, { 0x500A, 7 }, { 0x540A, 1 },
        { 0x0416, 9 }, { 0x0816, 9 }, { 0x0404, 10 }, { 0x0804, 10 }, { 0x1404, 10 }, { 0x0408, 11 },
        { 0x040C, 1 }, { 0x0409, 1 }, { 0x0810, 1 }, { 0x0C07, 1 }, { 0x041A, 1 }, { 0x0000, 1 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(languageIndexForLangId(c.langId), c.index) << std::hex << c.langId;
}

TEST_F(Languages, InitLanguagesReadsBesideTheProgramAndTheLocale)
{
    TempDir dir;
    fs::create_directories(dir.path() / "KOR_LANG");
    dir.write("KOR_LANG/GERMAN.txt", utf16(L"Tak\tJa\r\n"));
    const std::string oldDir = std::getenv("KORVANA_RUNTIME_DIR") ? std::getenv("KORVANA_RUNTIME_DIR") : "";
    const std::string oldAll = std::getenv("LC_ALL") ? std::getenv("LC_ALL") : "";
    ::setenv("KORVANA_RUNTIME_DIR", dir.path().c_str(), 1);
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    initLanguages();
    ::setenv("KORVANA_RUNTIME_DIR", oldDir.c_str(), 1);
    ::setenv("LC_ALL", oldAll.c_str(), 1);

    EXPECT_EQ(currentLanguage(), 4);
    EXPECT_EQ(translate(L"Tak"), L"Ja");
}

TEST_F(Languages, FirstLpgBecomesCngWhileTheFlagIsSet)
{
    langSlot(0)->openBytes(utf16(L"Zbiornik LPG\tLPG tank, LPG level\r\n"));
    EXPECT_EQ(translate(L"LPG i LPG"), L"LPG i LPG");
    mirrorFuelWordFlag(0x18);
    EXPECT_TRUE(fuelWordFlag());
    EXPECT_EQ(translate(L"LPG i LPG"), L"CNG i LPG"); // Polish mode too
    EXPECT_EQ(translate(L"Benzyna"), L"Benzyna");
    setCurrentLanguage(1);
    EXPECT_EQ(translate(L"Zbiornik LPG"), L"CNG tank, LPG level");
    mirrorFuelWordFlag(0x10);
    EXPECT_FALSE(fuelWordFlag());
    EXPECT_EQ(translate(L"Zbiornik LPG"), L"LPG tank, LPG level");
}

TEST_F(Languages, ConcurrentLookupsGiveTheSingleThreadResults)
{
    std::wstring content;
    std::vector<std::wstring> keys;
    for (int i = 0; i < 300; ++i) {
        keys.push_back(L"Tekst " + std::to_wstring(i));
        if (i % 3 != 0)
            content += keys.back() + L"\tText LPG " + std::to_wstring(i) + L"\r\n";
    }
    const std::string bytes = utf16(content);
    langSlot(0)->openBytes(bytes);
    setCurrentLanguage(1);
    setFuelWordFlag(true);

    std::vector<std::wstring> expected;
    for (const auto& key : keys)
        expected.push_back(translate(key));
    EXPECT_EQ(expected[1], L"Text CNG 1");
    EXPECT_EQ(expected[3], L"Tekst 3");

    std::vector<int> mismatches(6, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round)
                for (std::size_t i = 0; i < keys.size(); ++i)
                    if (translate(keys[(i + t * 50) % keys.size()]) != expected[(i + t * 50) % keys.size()])
                        ++mismatches[t];
        });
    }
    // The slot is opened again with the same content while the lookups run.
    for (int i = 0; i < 20; ++i)
        langSlot(0)->openBytes(bytes);
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < 6; ++t)
        EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

} // namespace
