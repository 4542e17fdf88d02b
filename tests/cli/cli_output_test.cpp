// korvana-cli when what it prints does not arrive: every printing command
// against the simulated controller with its standard output on a full disk,
// and live readings into a pipe whose reader has gone, fail with exit 1 and
// say why instead of passing for a success with nothing written.
#include <childprocess.h>
#include <simprocess.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class CliOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.start()) << m_sim.error();
        std::string templ = (fs::temp_directory_path() / "korvana-cli-output-XXXXXX").string();
        m_dir = ::mkdtemp(templ.data());
        m_env = { "XDG_CONFIG_HOME=" + m_dir + "/config", "HOME=" + m_dir, "LANG=C" };
    }
    void TearDown() override { fs::remove_all(m_dir); }
    ProgramResult cli(std::vector<std::string> args, ProgramStdout output = ProgramStdout::Captured)
    {
        args.insert(args.begin(), { "--port", m_sim.ptyPath() });
        return runProgram(KORVANA_CLI, args, 30s, m_env, output);
    }

    CSimProcess m_sim;
    std::string m_dir;
    std::vector<std::string> m_env;
};

TEST_F(CliOutput, FullDiskFailsEveryPrintingCommand)
{
    ASSERT_EQ(m_sim.send("dtc P0999"), "ok dtc P0999");
    const std::string settings = m_dir + "/car.settings";
    ASSERT_EQ(cli({ "backup", settings }).exitCode, 0);
    const std::vector<std::vector<std::string>> commands {
        { "map", "get", "--csv" }, { "settings-dump", settings }, { "get", "m_base.m_switchRPM" },
        { "maps", "--csv" }, { "info", "--json" }, { "live", "--count", "3" }, { "dtc" },
    };
    for (const auto& command : commands) {
        // What each prints when it can, so the failure below is the output's.
        ASSERT_EQ(cli(command).exitCode, 0) << command[0];
        const ProgramResult r = cli(command, ProgramStdout::Full);
        EXPECT_EQ(r.exitCode, 1) << command[0] << "\n" << r.err;
        EXPECT_NE(r.err.find("korvana-cli: cannot write to standard output"), std::string::npos)
            << command[0] << "\n" << r.err;
    }
}

TEST_F(CliOutput, LiveReadingsStopWhenThePipeIsClosed)
{
    // Without --count it would run until interrupted.
    const ProgramResult r = cli({ "live" }, ProgramStdout::ClosedPipe);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("cannot write to standard output"), std::string::npos) << r.err;
}

} // namespace
