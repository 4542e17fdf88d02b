// korvana-cli calibrate against korvana-sim: bad usage, the refusal without
// --yes, a cold reducer, and Ctrl+C in the middle of a run, which must stop it
// like the Stop button and leave the controller in automatic mode with its own
// cylinder switching time. (A whole run takes a minute at the car's pace; the
// closed-loop tests run the same procedure against a time-scaled simulator.)
#include <childprocess.h>
#include <simprocess.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace {

using namespace std::chrono_literals;

std::string scratch(const std::string& name)
{
    static const std::string dir = [] {
        std::string templ = (std::filesystem::temp_directory_path() / "korvana-cli-calibrate-XXXXXX").string();
        return std::string(::mkdtemp(templ.data()));
    }();
    return dir + "/" + name;
}

// Byte at of the simulator's stored record, from its "dump store" line.
int storedByte(CSimProcess& sim, int record, std::size_t at)
{
    const std::string dump = sim.send("dump store");
    const std::string key = " record" + std::to_string(record) + "=";
    const auto begin = dump.find(key);
    if (begin == std::string::npos)
        return -1;
    const std::string hex = dump.substr(begin + key.size(), 2 * (at + 1));
    return std::stoi(hex.substr(2 * at, 2), nullptr, 16);
}

std::string statusValue(CSimProcess& sim, const std::string& key)
{
    std::istringstream words(sim.send("status"));
    std::string word;
    while (words >> word)
        if (word.rfind(key + "=", 0) == 0)
            return word.substr(key.size() + 1);
    return {};
}

class CliCalibrate : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.start()) << m_sim.error();
        m_env = { "XDG_CONFIG_HOME=" + scratch("config"), "HOME=" + scratch("home") };
    }
    std::vector<std::string> cliArgs(std::vector<std::string> args)
    {
        args.insert(args.begin(), { "--port", m_sim.ptyPath(), "calibrate" });
        return args;
    }
    ProgramResult cli(std::vector<std::string> args) { return runProgram(KORVANA_CLI, cliArgs(args), 30s, m_env); }

    CSimProcess m_sim { { "--main-corr", "0.5" } };
    std::vector<std::string> m_env;
};

} // namespace

TEST_F(CliCalibrate, RefusesBadUsageAndRunsNothingWithoutYes)
{
    EXPECT_EQ(cli({ "--fast" }).exitCode, 2);
    ASSERT_EQ(m_sim.send("advance 300").rfind("ok", 0), 0u);
    const ProgramResult r = cli({});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(storedByte(m_sim, 31, 20), 12) << "cylinder switching untouched";
}

TEST_F(CliCalibrate, ColdReducerIsRefused)
{
    const ProgramResult r = cli({ "--yes" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Temperatura reduktora za niska!\n");
    EXPECT_EQ(storedByte(m_sim, 15, 0), 125) << "main corrections untouched";
}

TEST_F(CliCalibrate, InterruptStopsTheRunAndPutsTheControllerBack)
{
    ASSERT_EQ(m_sim.send("advance 300").rfind("ok", 0), 0u);
    // SIGINT four seconds in: past the wait on petrol, inside the pause before LPG.
    std::vector<std::string> args = { "--preserve-status", "-s", "INT", "4", KORVANA_CLI };
    for (auto& a : cliArgs({ "--yes" }))
        args.push_back(a);
    const ProgramResult r = runProgram("/usr/bin/timeout", args, 30s, m_env);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out.rfind("Ustal wolne obroty\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("Autokalibracja przerwana\nPrzywrócono ustawienia sprzed autokalibracji.\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Błąd"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("calibration stopped"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("%"), std::string::npos) << "progress on stderr";
    EXPECT_EQ(storedByte(m_sim, 31, 20), 12);
    EXPECT_EQ(statusValue(m_sim, "fuelmode"), "auto");
}
