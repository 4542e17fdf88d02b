// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli speaks the program's language: the locale chooses it as it does
// for the program, --lang N overrides it, and a message that comes from the
// program's texts is shown from the language file the build made.
#include "childprocess.h"

#include <cpptokens.h>
#include <langtable.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace std::chrono_literals;

const std::wstring kCannotRead = L"Nie można wczytać ustawień z pliku";

std::string englishOf(const std::wstring& polish)
{
    std::ifstream in(std::filesystem::path(KORVANA_SOURCE_DIR) / "data" / "lang" / "ENGLISH.tsv", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    for (const STableEntry& e : parseLangTable(text.str()).entries)
        if (e.key == polish)
            return wideToUtf8(e.value);
    return {};
}

class CliLanguage : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_bad = (std::filesystem::temp_directory_path() / "korvana-cli-lang-bad.settings").string();
        std::ofstream(m_bad) << "m_timeStamp\tx\r\n";
    }
    void TearDown() override { std::filesystem::remove(m_bad); }
    ProgramResult dump(std::vector<std::string> options, const std::string& locale)
    {
        options.insert(options.end(), { "settings-dump", m_bad });
        return runProgram(KORVANA_CLI, options, 10s, { "LC_ALL=" + locale });
    }
    std::string m_bad;
};

TEST_F(CliLanguage, LocaleAndLangOptionChooseTheMessagesLanguage)
{
    const std::string english = englishOf(kCannotRead);
    ASSERT_FALSE(english.empty()) << "ENGLISH.tsv has no entry for the message";
    const std::string polish = wideToUtf8(kCannotRead);

    ProgramResult r = dump({}, "en_GB.UTF-8");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(english), std::string::npos) << r.err;

    r = dump({ "--lang", "0" }, "en_GB.UTF-8");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(polish), std::string::npos) << r.err;

    r = dump({ "--lang", "1" }, "pl_PL.UTF-8");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(english), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(polish), std::string::npos) << r.err;
}

TEST_F(CliLanguage, LangTakesAMenuIndexOnly)
{
    for (const char* bad : { "20", "-1", "x", "" })
        EXPECT_EQ(dump({ "--lang", bad }, "pl_PL.UTF-8").exitCode, 2) << bad;
    EXPECT_EQ(runProgram(KORVANA_CLI, { "--lang" }, 10s).exitCode, 2);
}

} // namespace
