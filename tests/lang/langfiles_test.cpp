// SPDX-License-Identifier: GPL-3.0-or-later
// The language files the build makes from data/lang/*.tsv: each one loads
// through the program's reader and start-up order (SPAIN.txt twice), every
// entry of its table comes back as written, a few English texts checked by
// hand, and the fuel word: with the controller set to CNG a text that says
// "LPG" says "CNG" in every language (so each translation must keep "LPG"),
// and translations keep the edge spaces of texts the program joins.
#include <langtable.h>

#include <app/data/langfile.h>
#include <app/data/languages.h>
#include <app/data/translate.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct SLanguage {
    const char* file;
    int languageIndex; // as in the language menu
};

// Restated here: the menu's language index of each file.
constexpr SLanguage kLanguages[] = { { "ENGLISH", 1 }, { "RUSSIAN", 2 }, { "ITALIAN", 3 }, { "GERMAN", 4 },
    { "THAI", 5 }, { "TURKISH", 6 }, { "SPAIN", 7 }, { "FRENCH", 8 }, { "GREEK", 11 }, { "SERBIAN", 13 },
    { "CROATIAN", 14 }, { "BOSNIAN", 15 }, { "BULGARIAN", 18 }, { "SLOVENIAN", 19 } };

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

fs::path tablePath(const char* file)
{
    return fs::path(KORVANA_SOURCE_DIR) / "data" / "lang" / (std::string(file) + ".tsv");
}

fs::path languageDir()
{
    return fs::path(KORVANA_RUNTIME_DIR) / "KOR_LANG";
}

class LanguageFiles : public ::testing::TestWithParam<SLanguage> {
protected:
    void SetUp() override
    {
        if (!fs::exists(tablePath(GetParam().file)))
            GTEST_SKIP() << GetParam().file << ".tsv is not in data/lang yet";
        m_table = parseLangTable(readFile(tablePath(GetParam().file)));
        openLanguageFiles(languageDir());
    }
    void TearDown() override
    {
        setCurrentLanguage(0);
        setFuelWordFlag(false);
        for (int slot = 0; slot < kLangSlotCount; ++slot)
            langSlot(slot)->close();
    }
    SLangTable m_table;
};

TEST_P(LanguageFiles, EveryEntryComesBackThroughTheProgramsReader)
{
    const fs::path file = languageDir() / (std::string(GetParam().file) + ".txt");
    ASSERT_TRUE(fs::exists(file)) << file << " was not built";
    CLangFile reader;
    ASSERT_TRUE(reader.open(file.string()));
    ASSERT_FALSE(m_table.entries.empty());
    for (const STableEntry& e : m_table.entries)
        EXPECT_EQ(reader.translate(e.key), e.value) << GetParam().file << ".tsv:" << e.line;
    // The same through the start-up order and the menu's language index.
    setCurrentLanguage(GetParam().languageIndex);
    for (const STableEntry& e : m_table.entries)
        EXPECT_EQ(translate(e.key), e.value) << GetParam().file << ".tsv:" << e.line;
}

TEST_P(LanguageFiles, CngShowsWhereLpgWasTranslated)
{
    setCurrentLanguage(GetParam().languageIndex);
    int withLpg = 0;
    for (const STableEntry& e : m_table.entries) {
        if (e.key.find(L"LPG") == std::wstring::npos)
            continue;
        ++withLpg;
        const auto at = e.value.find(L"LPG");
        ASSERT_NE(at, std::wstring::npos) << GetParam().file << ".tsv:" << e.line << ": the translation lost \"LPG\"";
        std::wstring cng = e.value;
        cng.replace(at, 3, L"CNG");
        setFuelWordFlag(true);
        EXPECT_EQ(translate(e.key), cng) << GetParam().file << ".tsv:" << e.line;
        setFuelWordFlag(false);
        EXPECT_EQ(translate(e.key), e.value);
    }
    EXPECT_GT(withLpg, 0) << "no text with LPG in " << GetParam().file << ".tsv";
}

// Texts the program joins to numbers and names (" ms jest za duża.", "Trwa inna
// operacja: ") lose a word gap when their translation drops an edge space.
TEST_P(LanguageFiles, TranslationsKeepTheEdgeSpacesOfJoinedTexts)
{
    for (const STableEntry& e : m_table.entries) {
        EXPECT_EQ(e.key.front() == L' ', e.value.front() == L' ') << GetParam().file << ".tsv:" << e.line;
        EXPECT_EQ(e.key.back() == L' ', e.value.back() == L' ') << GetParam().file << ".tsv:" << e.line;
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, LanguageFiles, ::testing::ValuesIn(kLanguages),
    [](const ::testing::TestParamInfo<SLanguage>& info) { return std::string(info.param.file); });

TEST(EnglishFile, HandCheckedTexts)
{
    openLanguageFiles(languageDir());
    setCurrentLanguage(1);
    EXPECT_EQ(translate(L"Odczyty"), L"Readings");
    EXPECT_EQ(translate(L"Brak połączenia"), L"No connection");
    EXPECT_EQ(translate(L"Ustawienia"), L"Settings");
    EXPECT_EQ(translate(L"Plik"), L"File");
    // Polish shows texts as written; a text no table knows stays as it is.
    setCurrentLanguage(0);
    EXPECT_EQ(translate(L"Odczyty"), L"Odczyty");
    setCurrentLanguage(1);
    EXPECT_EQ(translate(L"Tego tekstu nie ma"), L"Tego tekstu nie ma");
    setCurrentLanguage(0);
    langSlot(0)->close();
}

TEST(SpanishFile, OpenedTwiceInTheStartUpOrderStillTranslates)
{
    if (!fs::exists(tablePath("SPAIN")))
        GTEST_SKIP() << "SPAIN.tsv is not in data/lang yet";
    const SLangTable table = parseLangTable(readFile(tablePath("SPAIN")));
    ASSERT_FALSE(table.entries.empty());
    openLanguageFiles(languageDir());
    EXPECT_TRUE(langSlot(6)->isOpen());
    EXPECT_EQ(langSlot(6)->path(), (languageDir() / "SPAIN.txt").string());
    setCurrentLanguage(7);
    EXPECT_EQ(translate(table.entries.front().key), table.entries.front().value);
    setCurrentLanguage(0);
    langSlot(6)->close();
}

} // namespace
