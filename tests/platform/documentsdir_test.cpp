// SPDX-License-Identifier: GPL-3.0-or-later
// Where settings files and recordings go: the XDG documents folder from
// user-dirs.dirs, the $HOME/Documents and $HOME fallbacks, and the program's
// folders created inside with a trailing slash.
#include <app/platform/documentsdir.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class DocumentsDir : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string templ = (std::filesystem::temp_directory_path() / "korvana-docs-XXXXXX").string();
        m_home = ::mkdtemp(templ.data());
        setenv("HOME", m_home.c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
    }
    void TearDown() override { fs::remove_all(m_home); }
    std::string m_home;
};

TEST_F(DocumentsDir, FallsBackToHomeThenDocuments)
{
    EXPECT_EQ(documentsDirectory(), m_home);
    fs::create_directory(m_home + "/Documents");
    EXPECT_EQ(documentsDirectory(), m_home + "/Documents");
}

TEST_F(DocumentsDir, ReadsUserDirsWithHomeExpanded)
{
    fs::create_directories(m_home + "/.config");
    std::ofstream(m_home + "/.config/user-dirs.dirs") << "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                                         "XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n";
    EXPECT_EQ(documentsDirectory(), m_home + "/Dokumenty");
    const std::string settings = settingsDirectory();
    EXPECT_EQ(settings, m_home + "/Dokumenty/KORVANA/Settings/");
    EXPECT_TRUE(fs::is_directory(settings));
    EXPECT_EQ(diagDirectory(), m_home + "/Dokumenty/KORVANA/Diag/");
    // Asking again with the folders present is not an error.
    EXPECT_EQ(settingsDirectory(), settings);
}

TEST_F(DocumentsDir, XdgConfigHomeIsRespected)
{
    const std::string cfg = m_home + "/cfg";
    fs::create_directories(cfg);
    std::ofstream(cfg + "/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"/" << m_home.substr(1) << "/abs\"\n";
    setenv("XDG_CONFIG_HOME", cfg.c_str(), 1);
    EXPECT_EQ(documentsDirectory(), m_home + "/abs");
}

} // namespace
