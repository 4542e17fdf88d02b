// SPDX-License-Identifier: GPL-3.0-or-later
// Where `korvana-cli backup` may put a settings file: through a symbolic link
// into the file it names (the link stays), never over a FIFO, a device node
// or a folder, keeping an existing file's mode and giving a new one the
// umask's. Every refusal is the ordinary failed-save message and exit 1.
#include <childprocess.h>
#include <simprocess.h>
#include <scratchfolder.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const char* const kSaveFailed = "Nie można wpisać ustawień do pliku z danymi samochodu";

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

mode_t modeOf(const std::string& path)
{
    struct stat st { };
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

class CliSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.start()) << m_sim.error();
        m_env = { "XDG_CONFIG_HOME=" + scratch("config"), "HOME=" + scratch("home") };
    }
    ProgramResult backup(const std::string& file)
    {
        return runProgram(KORVANA_CLI, { "--port", m_sim.ptyPath(), "backup", file }, 60s, m_env);
    }
    void expectRefused(const ProgramResult& r)
    {
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find(kSaveFailed), std::string::npos) << r.err;
    }

    CSimProcess m_sim;
    std::vector<std::string> m_env;
};

TEST_F(CliSave, WritesThroughALinkAndKeepsItsMode)
{
    const std::string target = scratch("real.settings");
    std::ofstream(target) << "old\n";
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    // A relative link, as a fitter makes one beside the backups.
    const std::string link = scratch("latest.settings");
    fs::create_symlink("real.settings", link);

    const ProgramResult r = backup(link);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link))) << "the link was replaced by a file";
    EXPECT_EQ(fs::read_symlink(link), "real.settings");
    EXPECT_EQ(readAll(target).rfind("m_timeStamp\t", 0), 0u) << "the linked file did not get the backup";
    EXPECT_EQ(modeOf(target), 0640u);
}

TEST_F(CliSave, NewFileFollowsTheUmask)
{
    const std::string file = scratch("umask.settings");
    const mode_t old = ::umask(027);
    const ProgramResult r = backup(file);
    ::umask(old);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(modeOf(file), 0640u);
}

TEST_F(CliSave, RefusesWhatIsNoRegularFile)
{
    // A FIFO: neither replaced by a file nor opened (which would block).
    const std::string fifo = scratch("pipe.settings");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    expectRefused(backup(fifo));
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));

    const std::string folder = scratch("folder.settings");
    fs::create_directory(folder);
    std::ofstream(folder + "/inside") << "x";
    expectRefused(backup(folder));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(fs::exists(folder + "/inside"));

    // A device node behind a link: the link is followed, the node refused, both stay.
    const std::string toNull = scratch("null.settings");
    fs::create_symlink("/dev/null", toNull);
    expectRefused(backup(toNull));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(toNull)));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    for (const auto& entry : fs::directory_iterator(fs::path(fifo).parent_path()))
        EXPECT_EQ(entry.path().filename().string().find(".settings."), std::string::npos)
            << "temporary file left behind: " << entry.path();
}

} // namespace
