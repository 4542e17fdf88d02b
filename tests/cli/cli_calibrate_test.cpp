// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli calibrate against korvana-sim: bad usage, the refusal without
// --yes, a cold reducer, and Ctrl+C or a hang-up of the terminal in the middle
// of a run, which must stop it like the Stop button and leave the controller
// in automatic mode with its own cylinder switching time; a link that goes
// while the car is forced on LPG, after which the command names what the
// controller holds and prints the commands that put it back. (A whole run
// takes a minute at the car's pace; the closed-loop tests run the same
// procedure against a time-scaled simulator.)
#include <childprocess.h>
#include <simprocess.h>
#include <scratchfolder.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

using namespace std::chrono_literals;

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

// This process's child that runs program, or -1.
pid_t childRunning(const std::string& program)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path target = fs::canonical(program, error);
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // pid (comm) state ppid …; comm may hold spaces and parentheses.
        const auto close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 1));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == ::getpid() && fs::read_symlink(entry.path() / "exe", error) == target)
            return static_cast<pid_t>(std::stol(name));
    }
    return -1;
}

// While a command runs on the test's thread: once the simulator says the car
// is forced on LPG (the calibration's measurement on LPG), act runs once.
class CWhenOnLpg {
public:
    CWhenOnLpg(CSimProcess& sim, std::function<void()> act)
        : m_thread([this, &sim, act = std::move(act)] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(50);
            while (!m_done && std::chrono::steady_clock::now() < deadline) {
                if (statusValue(sim, "fuelmode") == "lpg") {
                    act();
                    m_acted = true;
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        })
    {
    }
    ~CWhenOnLpg() { finish(); }
    // Ends the watch; true when act ran.
    bool finish()
    {
        m_done = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_acted;
    }

private:
    std::atomic<bool> m_done { false };
    std::atomic<bool> m_acted { false };
    std::thread m_thread;
};

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
    ProgramResult cli(std::vector<std::string> args)
    {
        return runProgram(KORVANA_CLI, cliArgs(std::move(args)), 30s, m_env);
    }

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
    EXPECT_NE(r.err.find('%'), std::string::npos) << "progress on stderr";
    EXPECT_EQ(storedByte(m_sim, 31, 20), 12);
    EXPECT_EQ(statusValue(m_sim, "fuelmode"), "auto");
    // One restore point before the run and one after it, none from the writes inside.
    const ProgramResult h = runProgram(KORVANA_CLI, { "history", "--json" }, 10s, m_env);
    const std::string calibration = h.out.substr(h.out.find("\"before calibration\""));
    EXPECT_NE(calibration.find("\"after calibration\""), std::string::npos) << h.out;
    EXPECT_EQ(calibration.find("before set"), std::string::npos) << h.out;
}

TEST_F(CliCalibrate, HangUpWhileOnLpgPutsTheControllerBack)
{
    ASSERT_EQ(m_sim.send("advance 300").rfind("ok", 0), 0u);
    ASSERT_EQ(statusValue(m_sim, "fuelmode"), "auto");
    CWhenOnLpg hangUp(m_sim, [] {
        const pid_t cli = childRunning(KORVANA_CLI);
        ASSERT_GT(cli, 0);
        ::kill(cli, SIGHUP);
    });
    const ProgramResult r = runProgram(KORVANA_CLI, cliArgs({ "--yes" }), 60s, m_env);
    ASSERT_TRUE(hangUp.finish()) << "the car was never forced on LPG: " << r.out << r.err;
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.out.find("Autokalibracja przerwana\nPrzywrócono ustawienia sprzed autokalibracji.\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find("calibration stopped"), std::string::npos) << r.err;
    EXPECT_EQ(storedByte(m_sim, 31, 20), 12) << "cylinder switching time as before";
    EXPECT_EQ(statusValue(m_sim, "fuelmode"), "auto");
}

TEST_F(CliCalibrate, LostLinkNamesWhatWasLeftAndTheCommandsThatPutItBack)
{
    const std::string link = scratch("sim-link");
    CSimProcess sim { { "--main-corr", "0.5", "--link", link } };
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_EQ(sim.send("advance 300").rfind("ok", 0), 0u);
    CWhenOnLpg vanish(sim, [&sim] { EXPECT_EQ(sim.send("vanish"), "ok vanished"); });
    const ProgramResult r = runProgram(KORVANA_CLI, { "--port", link, "calibrate", "--yes" }, 60s, m_env);
    ASSERT_TRUE(vanish.finish()) << "the car was never forced on LPG: " << r.out << r.err;
    EXPECT_EQ(r.exitCode, 3) << r.err;
    const std::string delay = "Przełączanie cylindrów: 0 s (przed autokalibracją 0.3 s)";
    const std::string fuel = "Tryb paliwa: LPG (przed autokalibracją AUTO)";
    EXPECT_NE(r.out.find(delay + "\n" + fuel + "\n"), std::string::npos) << "in the log: " << r.out;
    EXPECT_NE(r.err.find("  " + delay + "\n  " + fuel + "\n"), std::string::npos) << r.err;
    std::vector<std::string> commands;
    std::istringstream lines(r.err);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("  korvana-cli ", 0) == 0)
            commands.push_back(line.substr(2));
    EXPECT_EQ(commands, (std::vector<std::string> { "korvana-cli --port " + link + " set m_base.m_emulatorDelay 0.3",
                                                    "korvana-cli --port " + link + " switch auto" }))
        << r.err;

    // The cable is back: the controller holds what was said, until the commands run.
    ASSERT_EQ(sim.send("appear").rfind("ok", 0), 0u);
    EXPECT_EQ(statusValue(sim, "fuelmode"), "lpg");
    EXPECT_EQ(storedByte(sim, 31, 20), 0);
    for (const auto& command : commands) {
        std::istringstream words(command);
        std::vector<std::string> args;
        for (std::string word; words >> word;)
            args.push_back(word);
        const ProgramResult run = runProgram(KORVANA_CLI, { args.begin() + 1, args.end() }, 30s, m_env);
        EXPECT_EQ(run.exitCode, 0) << command << ": " << run.err;
    }
    EXPECT_EQ(storedByte(sim, 31, 20), 12);
    EXPECT_EQ(statusValue(sim, "fuelmode"), "auto");
}
