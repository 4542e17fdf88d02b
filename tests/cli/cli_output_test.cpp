// SPDX-License-Identifier: GPL-3.0-or-later
// What korvana-cli prints: when it does not arrive, every printing command
// against the simulated controller with its standard output on a full disk,
// and live readings into a pipe whose reader has gone, fail with exit 1 and
// say why instead of passing for a success with nothing written; and text
// quoted from a file (a firmware's model name, a bad token of a recording, a
// map CSV or a settings file) shows its control characters escaped, so the
// file cannot drive the terminal.
#include <afmbuilder.h>
#include <childprocess.h>
#include <simprocess.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

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

TEST_F(CliOutput, TextQuotedFromAFileCannotDriveTheTerminal)
{
    const auto expectEscaped = [](const ProgramResult& r, const std::string& quoted) {
        EXPECT_EQ((r.out + r.err).find('\x1b'), std::string::npos) << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(quoted), std::string::npos) << r.out << r.err;
    };

    // A firmware whose model name retitles the terminal.
    AfmContent afm;
    afm.image = syntheticImage(*afmModel(5), afm.version);
    afm.modelName = "\x1b]0;owned\x07";
    const auto bytes = buildAfm(afm);
    std::ofstream(m_dir + "/fw.afm", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ProgramResult r = cli({ "afm-info", m_dir + "/fw.afm" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    expectEscaped(r, "model: \\x1b]0;owned\\x07\n");

    // A recording and a map whose bad token recolours it, with a byte that is no UTF-8.
    std::ofstream(m_dir + "/bad.osc", std::ios::binary) << "3\t\x1b[31mred\xff\n";
    r = cli({ "osc2csv", m_dir + "/bad.osc" });
    EXPECT_EQ(r.exitCode, 1);
    expectEscaped(r, "not a number: \"\\x1b[31mred\\xff\"");
    ASSERT_EQ(cli({ "map", "get", "--csv" }).exitCode, 0);
    std::string csv = cli({ "map", "get", "--csv" }).out;
    csv.replace(csv.find('\n') + 1, 0, "\x1b[2J");
    std::ofstream(m_dir + "/bad.csv", std::ios::binary) << csv;
    r = cli({ "map", "set", m_dir + "/bad.csv" });
    EXPECT_EQ(r.exitCode, 1);
    expectEscaped(r, "\\x1b[2J");

    // A settings file whose refused value clears the screen.
    const std::string settings = m_dir + "/car.settings";
    ASSERT_EQ(cli({ "backup", settings }).exitCode, 0);
    std::ifstream in(settings, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string edited = text.str();
    const std::string key = "m_base.m_switchRPM\t";
    const auto at = edited.find(key);
    ASSERT_NE(at, std::string::npos);
    edited.replace(at + key.size(), edited.find('\n', at) - at - key.size(), "\x1b[2J");
    std::ofstream(settings, std::ios::binary | std::ios::trunc) << edited;
    r = cli({ "settings-dump", settings });
    expectEscaped(r, "\\x1b[2J");
}

} // namespace
