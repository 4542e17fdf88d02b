// SPDX-License-Identifier: GPL-3.0-or-later
// Faults a user meets in korvana-cli, each the way they meet it: a recording
// of N records holds N; a --port that is no serial port (a device that is no
// terminal, a file, the program's own terminal, a number with no port) is
// called what it is, without a list of everyone who has /dev/null open; set
// refuses a key given twice and numbers that are no plain decimal; obd and
// dtc on a disturbed link say so instead of printing an empty standard or
// blaming the engine computer.
#include <childprocess.h>
#include <simprocess.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <fstream>
#include <sstream>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class CliFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string templ = (fs::temp_directory_path() / "korvana-cli-faults-XXXXXX").string();
        m_dir = ::mkdtemp(templ.data());
        m_env = { "XDG_CONFIG_HOME=" + m_dir + "/config", "HOME=" + m_dir, "LANG=C", "LC_MESSAGES=C",
            "KORVANA_PORTS=" };
    }
    void TearDown() override { fs::remove_all(m_dir); }
    void startSim(const std::vector<std::string>& options = {})
    {
        m_sim = std::make_unique<CSimProcess>(options);
        ASSERT_TRUE(m_sim->start()) << m_sim->error();
    }
    ProgramResult run(const std::vector<std::string>& args) { return runProgram(KORVANA_CLI, args, 30s, m_env); }
    ProgramResult cli(std::vector<std::string> args)
    {
        args.insert(args.begin(), { "--port", m_sim->ptyPath() });
        return run(args);
    }

    std::unique_ptr<CSimProcess> m_sim;
    std::string m_dir;
    std::vector<std::string> m_env;
};

std::size_t lineCount(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    std::size_t n = 0;
    for (std::size_t at = s.find("\r\n"); at != std::string::npos; at = s.find("\r\n", at + 2))
        ++n;
    return n;
}

TEST_F(CliFaults, RecordingOfACountHoldsExactlyThatMany)
{
    startSim();
    for (const char* count : { "1", "5" }) {
        const std::string osc = m_dir + "/run" + count + ".osc";
        const ProgramResult r = cli({ "live", "--count", count, "--osc", osc });
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(lineCount(osc), std::stoul(count)) << count;
        EXPECT_NE(r.err.find(std::string(count) + " records written to " + osc), std::string::npos) << r.err;
    }
}

TEST_F(CliFaults, PortThatIsNoSerialPortIsCalledWhatItIs)
{
    const std::string file = m_dir + "/notes.txt";
    std::ofstream(file) << "x\n";
    struct Case {
        std::string port;
        std::string said;
    };
    for (const Case& c : std::vector<Case> {
             { "/dev/null", "/dev/null is a device that is no terminal, not a serial port" },
             { file, file + " is a regular file, not a serial port" },
             // Never opened: from a terminal, it would be the user's own.
             { "/dev/tty", "/dev/tty is the terminal of the program that opens it, not a serial port" },
             { "COM256", "COM256 is not present; korvana-cli ports lists the present ports" },
         }) {
        const ProgramResult r = run({ "--port", c.port, "info" });
        EXPECT_FALSE(r.timedOut) << c.port;
        EXPECT_EQ(r.exitCode, 1) << c.port << "\n" << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        // Everyone has /dev/null open; nobody is in the way, least of all the tool.
        EXPECT_EQ(r.err.find("also open in"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("korvana-cli (pid"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("does not exist"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("\n   "), std::string::npos) << "a line about an empty path\n" << r.err;
    }
}

TEST_F(CliFaults, SetRefusesAKeyGivenTwiceAndNumbersThatAreNoPlainDecimal)
{
    startSim();
    const auto before = settingsStore(*m_sim);
    ProgramResult r = cli({ "set", "m_base.m_switchRPM", "1000", "m_base.m_switchRPM", "2000" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("m_base.m_switchRPM is given twice; nothing written"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    // 0x500 is 1280, inside the range: taken, it would write a value nobody typed in decimal.
    for (const char* value : { "0x500", "1e3", "inf", "nan", " 1500", "1500 ", "1,500" }) {
        r = cli({ "set", "m_base.m_switchRPM", value });
        EXPECT_EQ(r.exitCode, 1) << value;
        EXPECT_NE(r.err.find("is not a value"), std::string::npos) << value << "\n" << r.err;
    }
    EXPECT_EQ(settingsStore(*m_sim), before);
    r = cli({ "set", "m_base.m_switchRPM", "+1500.0" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "m_base.m_switchRPM\t1500 rpm\n");
}

// Answers of the wrong type from the Nth on, for every N through an obd run:
// whatever the fault kept back, the result is whole or a failure that says
// why, never a line left empty with exit 0.
TEST_F(CliFaults, ObdOnAFaultyLinkIsWholeOrFails)
{
    startSim();
    ASSERT_EQ(m_sim->send("engine idle"), "ok engine idle");
    int failures = 0;
    for (int after = 18; after <= 50; ++after) {
        SCOPED_TRACE(after);
        ASSERT_EQ(m_sim->send("fault type 1 after " + std::to_string(after)),
            "ok fault type 1.000000 after " + std::to_string(after));
        const ProgramResult r = cli({ "obd" });
        ASSERT_EQ(m_sim->send("fault off"), "ok fault off 0.000000");
        if (r.exitCode == 0) {
            EXPECT_EQ(r.out.find("standard: \n"), std::string::npos) << r.out;
            // A number, whatever the simulated engine's trim has drifted to by now.
            EXPECT_TRUE(std::regex_search(r.out, std::regex("STFT Bank 1: -?[0-9]+\\.[0-9]+ %"))) << r.out;
            continue;
        }
        ++failures;
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("korvana-cli: "), std::string::npos) << r.err;
    }
    EXPECT_GT(failures, 0) << "the fault never hit the run";
}

// A link that garbles three answers in ten: the trouble codes come through
// or the tool says the link was disturbed; the engine computer, which
// answers every request that reaches it, is never blamed.
TEST_F(CliFaults, TroubleCodesOnADisturbedLinkBlameTheLink)
{
    int disturbed = 0;
    for (int seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        startSim({ "--seed", std::to_string(seed) });
        ASSERT_EQ(m_sim->send("dtc P0300"), "ok dtc P0300");
        ASSERT_EQ(m_sim->send("fault checksum 0.3"), "ok fault checksum 0.300000");
        const ProgramResult r = cli({ "dtc" });
        EXPECT_EQ(r.err.find("does not answer"), std::string::npos) << r.err;
        if (r.exitCode == 0) {
            EXPECT_EQ(r.out.rfind("P0300", 0), 0u) << r.out;
            continue;
        }
        ++disturbed;
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("the link to the controller was disturbed"), std::string::npos) << r.err;
    }
    EXPECT_GT(disturbed, 0) << "no run met the disturbance";
    // A car with no engine computer on the bus still is one that does not answer.
    startSim({ "--obd", "none" });
    const ProgramResult r = cli({ "dtc" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.find("disturbed"), std::string::npos) << r.err;
}

} // namespace
