// SPDX-License-Identifier: GPL-3.0-or-later
// What korvana-cli reads: a settings file or a map CSV that is no regular
// file (a FIFO, which would block or never end) or larger than its 1 MB
// limit is refused unread, with a message that says why and names the limit.
#include <childprocess.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class CliInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string templ = (fs::temp_directory_path() / "korvana-cli-input-XXXXXX").string();
        m_dir = ::mkdtemp(templ.data());
        m_env = { "XDG_CONFIG_HOME=" + m_dir + "/config", "HOME=" + m_dir, "LANG=C", "LC_MESSAGES=C" };
        ASSERT_EQ(::mkfifo((m_dir + "/pipe").c_str(), 0666), 0);
        // Past the limit by a little: what a runaway source leaves behind.
        std::ofstream(m_dir + "/big", std::ios::binary) << std::string((1u << 20) + 1, '7');
    }
    void TearDown() override { fs::remove_all(m_dir); }
    void expectRefused(const std::vector<std::string>& args, const std::string& why)
    {
        const ProgramResult r = runProgram(KORVANA_CLI, args, 10s, m_env);
        EXPECT_FALSE(r.timedOut) << args[0];
        EXPECT_EQ(r.exitCode, 1) << args[0] << "\n" << r.err;
        EXPECT_NE(r.err.find(why), std::string::npos) << args[0] << "\n" << r.err;
    }

    std::string m_dir;
    std::vector<std::string> m_env;
};

TEST_F(CliInput, SettingsFilesThatAreNoFileOrTooLargeAreRefusedUnread)
{
    expectRefused({ "settings-dump", m_dir + "/pipe" }, "/pipe (not a regular file)");
    expectRefused({ "settings-dump", m_dir + "/big" }, "/big (larger than 1 MB)");
    expectRefused({ "diff", m_dir + "/big", m_dir + "/big" }, "/big (larger than 1 MB)");
}

TEST_F(CliInput, MapCsvThatIsNoFileOrTooLargeIsRefusedUnread)
{
    expectRefused({ "map", "set", m_dir + "/pipe", "--demo" }, "/pipe: not a regular file; nothing written");
    expectRefused({ "map", "set", m_dir + "/big", "--demo" }, "/big: larger than 1 MB; nothing written");
}

} // namespace
