// SPDX-License-Identifier: GPL-3.0-or-later
// The profile store that stands in for the registry: the exact INI text of the
// connection's values, reading back, absent and malformed values, other keys
// kept when one is written, where the file lives, and refused writes.
#include <app/platform/profilestore.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ProfileStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string templ = (std::filesystem::temp_directory_path() / "korvana-profile-XXXXXX").string();
        m_dir = ::mkdtemp(templ.data());
        setenv("XDG_CONFIG_HOME", (m_dir + "/cfg").c_str(), 1);
        setenv("HOME", (m_dir + "/home").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string file() const { return m_dir + "/cfg/KORVANA/profile.ini"; }
    std::string slurp(const std::string& path) const
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string m_dir;
    CProfileStore store;
};

TEST_F(ProfileStore, StoresThePortAsDecimalTextWithItsPath)
{
    EXPECT_EQ(CProfileStore::filePath(), file());
    store.storeLastPort(12, "/dev/ttyUSB0");
    EXPECT_EQ(slurp(file()), "[Software\\KORVANA]\nLast RS nr=12\nLast RS path=/dev/ttyUSB0\n\n");
    EXPECT_EQ(store.readString("Software\\KORVANA", "Last RS nr"), "12");
    EXPECT_EQ(store.lastPortNumber(), 12u);
    EXPECT_EQ(store.lastPortPath(), "/dev/ttyUSB0");

    // A later connection replaces both.
    store.storeLastPort(3, "/tmp/sim link");
    EXPECT_EQ(store.lastPortNumber(), 3u);
    EXPECT_EQ(store.lastPortPath(), "/tmp/sim link");
}

TEST_F(ProfileStore, AbsentOrMalformedValuesReadAsNone)
{
    EXPECT_EQ(store.lastPortNumber(), 0u);
    EXPECT_EQ(store.lastPortPath(), "");
    EXPECT_FALSE(store.readString("Software\\KORVANA", "Last RS nr"));

    struct Case {
        std::string text;
        uint32_t number;
    };
    const Case cases[] = {
        { "Last RS nr=7", 7 },
        { "Last RS nr = 256 ", 256 },
        { "Last RS nr=0", 0 },
        { "Last RS nr=257", 0 },
        { "Last RS nr=COM3", 0 },
        { "Last RS nr=-1", 0 },
        { "Last RS nr=", 0 },
        { "Last RS nr=4x", 0 },
    };
    fs::create_directories(m_dir + "/cfg/KORVANA");
    for (const auto& c : cases) {
        std::ofstream(file(), std::ios::trunc) << "; note\n[Other]\nLast RS nr=9\n[Software\\KORVANA]\r\n"
                                               << c.text << "\r\n";
        EXPECT_EQ(store.lastPortNumber(), c.number) << c.text;
    }
}

TEST_F(ProfileStore, WritingKeepsOtherKeysAndValues)
{
    fs::create_directories(m_dir + "/cfg/KORVANA");
    std::ofstream(file()) << "[Tarnwolde]\nWindow=1\n[Software\\KORVANA]\nLast RS path=/dev/a\nOther=x\n";
    EXPECT_TRUE(store.writeString("Software\\KORVANA", "Last RS nr", "5"));
    EXPECT_EQ(store.readString("Tarnwolde", "Window"), "1");
    EXPECT_EQ(store.readString("Software\\KORVANA", "Other"), "x");
    EXPECT_EQ(store.lastPortPath(), "/dev/a");
    EXPECT_EQ(store.lastPortNumber(), 5u);
}

TEST_F(ProfileStore, TheSameValueAgainLeavesTheFileAsItIs)
{
    ASSERT_TRUE(store.writeString("Software\\KORVANA", "Last RS nr", "5"));
    struct stat before {};
    ASSERT_EQ(::stat(file().c_str(), &before), 0);
    // Every rewrite replaces the file, so an unchanged inode means no rewrite.
    EXPECT_TRUE(store.writeString("Software\\KORVANA", "Last RS nr", "5"));
    struct stat after {};
    ASSERT_EQ(::stat(file().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_TRUE(store.writeString("Software\\KORVANA", "Last RS nr", "6"));
    ASSERT_EQ(::stat(file().c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(store.lastPortNumber(), 6u);
}

TEST_F(ProfileStore, FallsBackToHomeConfig)
{
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(CProfileStore::filePath(), m_dir + "/home/.config/KORVANA/profile.ini");
    store.storeLastPort(2, "/dev/ttyS1");
    EXPECT_TRUE(fs::exists(m_dir + "/home/.config/KORVANA/profile.ini"));
    // A relative XDG_CONFIG_HOME is not a valid one.
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_EQ(store.lastPortNumber(), 2u);
}

TEST_F(ProfileStore, AProfileKeptAsALinkStaysOne)
{
    fs::create_directories(m_dir + "/cfg/KORVANA");
    fs::create_directories(m_dir + "/dotfiles");
    std::ofstream(m_dir + "/dotfiles/profile.ini") << "[Tarnwolde]\nWindow=1\n";
    fs::create_symlink(m_dir + "/dotfiles/profile.ini", file());
    store.storeLastPort(7, "/dev/ttyUSB7");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(file())));
    EXPECT_NE(slurp(m_dir + "/dotfiles/profile.ini").find("Last RS nr=7"), std::string::npos);
    EXPECT_EQ(store.readString("Tarnwolde", "Window"), "1");
}

TEST_F(ProfileStore, RefusedWritesLeaveTheProfileAlone)
{
    store.storeLastPort(4, "/dev/ttyUSB1");
    const std::string before = slurp(file());
    EXPECT_FALSE(store.writeString("Software\\KORVANA", "Last RS path", "/dev/x\nLast RS nr=9"));
    EXPECT_FALSE(store.writeString("Software\\KORVANA", "Last RS nr", " 9"));
    EXPECT_FALSE(store.writeString("A]B", "v", "1"));
    EXPECT_FALSE(store.writeString("Software\\KORVANA", "a=b", "1"));
    EXPECT_EQ(slurp(file()), before);

    // No place to write: the folder is a file.
    setenv("XDG_CONFIG_HOME", (m_dir + "/blocker").c_str(), 1);
    std::ofstream(m_dir + "/blocker") << "x";
    EXPECT_FALSE(store.writeString("Software\\KORVANA", "Last RS nr", "1"));
    store.storeLastPort(1, "/dev/x"); // ignored without harm
    EXPECT_EQ(store.lastPortNumber(), 0u);
}

} // namespace
