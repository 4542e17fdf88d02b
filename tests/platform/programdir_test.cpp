// SPDX-License-Identifier: GPL-3.0-or-later
// Where the data folders are looked for: beside the program when a data folder
// lies there (build tree, portable copy), else ../share/korvana of an installed
// program, else beside the program again; KORVANA_RUNTIME_DIR overrides both.
#include <app/platform/programdir.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class DataFolders : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string templ = (fs::temp_directory_path() / "korvana-progdir-XXXXXX").string();
        ASSERT_NE(::mkdtemp(templ.data()), nullptr);
        m_root = templ;
        m_bin = m_root / "bin";
        m_share = m_root / "share" / "korvana";
        fs::create_directories(m_bin);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    fs::path m_root;
    fs::path m_bin;
    fs::path m_share;
};

TEST_F(DataFolders, InstalledProgramUsesShareKorvana)
{
    // /usr/bin/korvana with /usr/share/korvana/Skins …
    fs::create_directories(m_share / "Skins");
    fs::create_directories(m_share / "KOR_LANG");
    EXPECT_EQ(dataDirFor(m_bin), m_share);
}

TEST_F(DataFolders, DataBesideTheProgramWinsOverAnInstalledCopy)
{
    // A portable copy unpacked under a prefix that also holds an installed one
    // uses its own pictures; a language folder alone (a build without the GUI)
    // marks the place as well.
    fs::create_directories(m_share / "Skins");
    fs::create_directories(m_bin / "Skins");
    EXPECT_EQ(dataDirFor(m_bin), m_bin);
    fs::remove(m_bin / "Skins");
    fs::create_directories(m_bin / "KOR_LANG");
    EXPECT_EQ(dataDirFor(m_bin), m_bin);
}

TEST_F(DataFolders, OnlyFoldersMarkThePlace)
{
    // A stray file called Skins beside the program is not its data.
    std::ofstream(m_bin / "Skins") << "x";
    fs::create_directories(m_share / "Skins");
    EXPECT_EQ(dataDirFor(m_bin), m_share);
}

TEST_F(DataFolders, NothingFoundLooksBesideTheProgram)
{
    // Missing pictures and files are then reported where a portable copy keeps them.
    EXPECT_EQ(dataDirFor(m_bin), m_bin);
    // A share folder of another program does not count.
    fs::create_directories(m_root / "share" / "other" / "Skins");
    EXPECT_EQ(dataDirFor(m_bin), m_bin);
}

TEST_F(DataFolders, RuntimeDirOverridesTheSearch)
{
    const char* saved = std::getenv("KORVANA_RUNTIME_DIR");
    const std::string restore = saved ? saved : "";
    ::setenv("KORVANA_RUNTIME_DIR", m_share.c_str(), 1);
    EXPECT_EQ(programDir(), m_share);
    ::unsetenv("KORVANA_RUNTIME_DIR");
    EXPECT_EQ(programDir(), dataDirFor(executableDir()));
    EXPECT_EQ(executableDir(), fs::read_symlink("/proc/self/exe").parent_path());
    if (saved)
        ::setenv("KORVANA_RUNTIME_DIR", restore.c_str(), 1);
}

} // namespace
