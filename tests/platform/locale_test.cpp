// SPDX-License-Identifier: GPL-3.0-or-later
// The user's language identifier from the locale (names, territories, the
// Latin Serbian modifier, fallbacks, the precedence of LC_ALL, LC_MESSAGES and
// LANG) and the program directory with its test override.
#include <app/platform/locale.h>
#include <app/platform/programdir.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

TEST(Locale, NamesToLanguageIdentifiers)
{
    struct Case {
        const char* locale;
        uint16_t langId;
    };
    const Case cases[] = {
        { "pl_PL.UTF-8", 0x0415 }, { "pl", 0x0415 }, { "PL_pl", 0x0415 }, { "de_DE", 0x0407 },
        { "de_AT.UTF-8", 0x0C07 }, { "fr_FR.UTF-8", 0x040C }, { "fr_CA", 0x0C0C }, { "ru_RU.KOI8-R", 0x0419 },
        { "it_IT@euro", 0x0410 }, { "th_TH", 0x041E }, { "tr_TR", 0x041F }, { "el_GR", 0x0408 },
        { "es_ES.UTF-8", 0x0C0A }, { "es_MX", 0x080A }, { "es_PR", 0x500A }, { "es", 0x0C0A },
        { "pt_BR", 0x0416 }, { "pt_PT", 0x0816 }, { "zh_TW.Big5", 0x0404 }, { "zh_CN.GB2312", 0x0804 },
        { "sr_RS", 0x281A }, { "sr_RS@latin", 0x241A }, { "hr_HR", 0x041A }, { "bs_BA", 0x141A },
        { "en_GB.UTF-8", 0x0809 }, { "en-US", 0x0409 }, { "C", 0x0409 }, { "C.UTF-8", 0x0409 },
        { "POSIX", 0x0409 }, { "", 0x0409 }, { "xx_YY", 0x0409 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(langIdForLocale(c.locale), c.langId) << c.locale;
}

class LocaleEnvironment : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : kNames)
            m_saved.emplace_back(std::getenv(name) ? std::getenv(name) : "");
    }
    void TearDown() override
    {
        for (std::size_t i = 0; i < std::size(kNames); ++i)
            ::setenv(kNames[i], m_saved[i].c_str(), 1);
    }
    static void set(const char* all, const char* messages, const char* lang)
    {
        ::setenv("LC_ALL", all, 1);
        ::setenv("LC_MESSAGES", messages, 1);
        ::setenv("LANG", lang, 1);
    }

    static constexpr const char* kNames[] = { "LC_ALL", "LC_MESSAGES", "LANG", "KORVANA_RUNTIME_DIR" };
    std::vector<std::string> m_saved;
};

TEST_F(LocaleEnvironment, FirstSetVariableWins)
{
    set("el_GR.UTF-8", "ru_RU.UTF-8", "de_DE.UTF-8");
    EXPECT_EQ(userDefaultLangId(), 0x0408);
    set("", "ru_RU.UTF-8", "de_DE.UTF-8");
    EXPECT_EQ(userDefaultLangId(), 0x0419);
    set("", "", "de_DE.UTF-8");
    EXPECT_EQ(userDefaultLangId(), 0x0407);
    set("", "", "");
    EXPECT_EQ(userDefaultLangId(), 0x0409);
}

TEST_F(LocaleEnvironment, ProgramDirectoryAndItsOverride)
{
    ::setenv("KORVANA_RUNTIME_DIR", "/opt/korvana-test", 1);
    EXPECT_EQ(programDir(), std::filesystem::path("/opt/korvana-test"));
    ::setenv("KORVANA_RUNTIME_DIR", "", 1);
    EXPECT_EQ(programDir(), std::filesystem::read_symlink("/proc/self/exe").parent_path());
}

} // namespace
