// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli's settings commands as a fitter uses them against the simulated
// controller: backup to a file, restore it after a change, the refusal to
// restore without --yes, a factory reset that is only done when confirmed
// and that puts a car found on LPG back into automatic mode, a backup of a
// controller that fell silent or whose blocks could not be read refused with
// the earlier file kept, and the offline dump of a file.
#include <childprocess.h>
#include <simprocess.h>
#include <scratchfolder.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace std::chrono_literals;

std::string valueOf(const std::string& dump, const std::string& key)
{
    std::istringstream in(dump);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + "\t", 0) == 0)
            return line.substr(key.size() + 1);
    return "<missing>";
}

class CliSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.start()) << m_sim.error();
        ASSERT_EQ(m_sim.send("engine idle"), "ok engine idle");
        m_env = { "XDG_CONFIG_HOME=" + scratch("config"), "HOME=" + scratch("home") };
    }
    ProgramResult cli(std::vector<std::string> args)
    {
        args.insert(args.begin(), { "--port", m_sim.ptyPath() });
        return runProgram(KORVANA_CLI, args, 60s, m_env);
    }

    CSimProcess m_sim;
    std::vector<std::string> m_env;
};

TEST_F(CliSettings, BackupRestoreRoundTrip)
{
    const std::string file = scratch("car.settings");
    const ProgramResult backup = cli({ "backup", file });
    ASSERT_EQ(backup.exitCode, 0) << backup.err;
    const ProgramResult dump = runProgram(KORVANA_CLI, { "settings-dump", file }, 10s);
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(valueOf(dump.out, "m_devInfo.m_deviceID"), "5");
    const std::string rpm = valueOf(dump.out, "m_base.m_switchRPM");
    ASSERT_NE(rpm, "<missing>");

    // Change the car in the file, restore it, back it up again: the change arrived.
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string content = text.str();
    const std::string from = "m_mainCorr.m_mainCorr[1]\t" + valueOf(dump.out, "m_mainCorr.m_mainCorr[1]") + "\r\n";
    const std::size_t at = content.find(from);
    ASSERT_NE(at, std::string::npos);
    content.replace(at, from.size(), "m_mainCorr.m_mainCorr[1]\t1.44\r\n");
    std::ofstream(file, std::ios::binary) << content;

    const ProgramResult refused = cli({ "restore", file });
    EXPECT_EQ(refused.exitCode, 1);
    const ProgramResult restore = cli({ "restore", file, "--yes" });
    ASSERT_EQ(restore.exitCode, 0) << restore.err;
    const std::string again = scratch("again.settings");
    ASSERT_EQ(cli({ "backup", again }).exitCode, 0);
    const ProgramResult after = runProgram(KORVANA_CLI, { "settings-dump", again }, 10s);
    EXPECT_EQ(valueOf(after.out, "m_mainCorr.m_mainCorr[1]"), "1.44");
    EXPECT_EQ(valueOf(after.out, "m_base.m_switchRPM"), rpm);
}

TEST_F(CliSettings, FactoryResetOnlyWhenConfirmed)
{
    const ProgramResult declined = cli({ "factory-reset" });
    EXPECT_EQ(declined.exitCode, 1);
    EXPECT_NE(declined.err.find("Czy chcesz przywrócić ustawienia fabryczne?"), std::string::npos) << declined.err;
    const ProgramResult reset = cli({ "factory-reset", "--yes" });
    ASSERT_EQ(reset.exitCode, 0) << reset.err;
    const std::string file = scratch("after-reset.settings");
    ASSERT_EQ(cli({ "backup", file }).exitCode, 0);
    const ProgramResult dump = runProgram(KORVANA_CLI, { "settings-dump", file }, 10s);
    // The factory defaults, then the shipped preset for the now blank controller.
    EXPECT_EQ(valueOf(dump.out, "m_base.m_switchDelay"), "20");
    EXPECT_EQ(valueOf(dump.out, "m_injMapTable[2][1000]"), "0");
}

// The car runs on LPG and nothing has been polled: the restore asks the
// controller once before it forces petrol and ends in automatic mode.
TEST_F(CliSettings, FactoryResetOnLpgEndsInAutomaticMode)
{
    ASSERT_EQ(m_sim.send("fuel lpg"), "ok fuel lpg");
    const auto fuelState = [this] {
        const std::string line = m_sim.send("status");
        const auto at = line.find(" fuel=");
        return at == std::string::npos ? std::string() : line.substr(at + 6, line.find(' ', at + 6) - at - 6);
    };
    for (int i = 0; i < 100 && fuelState() != "3"; ++i)
        m_sim.send("advance 0.5");
    ASSERT_EQ(fuelState(), "3") << m_sim.send("status");

    const ProgramResult reset = cli({ "factory-reset", "--yes" });
    ASSERT_EQ(reset.exitCode, 0) << reset.err;
    const std::string status = m_sim.send("status");
    EXPECT_NE(status.find(" fuelmode=auto "), std::string::npos) << status;
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The controller answers its identification and identity, then falls silent:
// the backup gives up at the first silent block instead of trying every
// block for half a minute, names what was not read, exits 1 and leaves the
// earlier good backup as it was.
TEST_F(CliSettings, BackupOfAControllerThatFellSilentFailsFast)
{
    const std::string file = scratch("silent.settings");
    ASSERT_EQ(cli({ "backup", file }).exitCode, 0);
    const std::string good = slurp(file);
    ASSERT_EQ(m_sim.send("fault silence 1 after 2"), "ok fault silence 1.000000 after 2");

    const ProgramResult r = cli({ "backup", file });
    EXPECT_EQ(r.exitCode, 1) << r.err;
    for (const char* block : { "m_sensorsSetup", "m_base", "m_injMapTable", "m_advancedSetup" })
        EXPECT_NE(r.err.find(block), std::string::npos) << block << " not named in: " << r.err;
    EXPECT_EQ(slurp(file), good);
}

// Every settings block disturbed (not silent): the connection stands, but the
// backup is refused with the blocks named and the earlier file kept.
TEST_F(CliSettings, BackupWithBlocksNotReadIsRefused)
{
    const std::string file = scratch("disturbed.settings");
    ASSERT_EQ(cli({ "backup", file }).exitCode, 0);
    const std::string good = slurp(file);
    ASSERT_EQ(m_sim.send("fault type 1 after 2"), "ok fault type 1.000000 after 2");
    const ProgramResult r = cli({ "backup", file });
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("m_injMapTable"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("m_devInfo"), std::string::npos) << r.err;
    EXPECT_EQ(slurp(file), good);
}

// The file with value replaced for key, as a fitter would edit it.
void editValue(const std::string& file, const std::string& key, const std::string& value)
{
    std::string content = slurp(file);
    const std::size_t at = content.find("\n" + key + "\t");
    ASSERT_NE(at, std::string::npos) << key;
    const std::size_t end = content.find("\r\n", at + 1);
    content.replace(at + 1, end - at - 1, key + "\t" + value);
    std::ofstream(file, std::ios::binary) << content;
}

// The line (from 1) that holds key in file.
int lineOf(const std::string& file, const std::string& key)
{
    std::istringstream in(slurp(file));
    std::string line;
    for (int n = 1; std::getline(in, line); ++n)
        if (line.rfind(key + "\t", 0) == 0)
            return n;
    return 0;
}

bool hasLine(const std::string& text, const std::string& line)
{
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

// A file with a curve value outside −50 … +50 %, one beyond every range,
// numbers that do not parse and a byte of 99999: refused by key and line, with
// --clamp as well, and the controller holds what it held.
TEST_F(CliSettings, RestoreRefusesLinesThatAreNoNumbersOrDoNotFit)
{
    const std::string file = scratch("unreadable.settings");
    ASSERT_EQ(cli({ "backup", file }).exitCode, 0);
    editValue(file, "m_setupTimes1[5]", "100");
    editValue(file, "m_setupTimes1[6]", "1e300");
    editValue(file, "m_setupTimes1[7]", "nan");
    editValue(file, "m_base.m_temprGain", "0,3");
    editValue(file, "m_base.m_flags", "99999");
    const std::string before = settingsOf(m_sim.send("dump store"));

    for (const bool clamp : { false, true }) {
        std::vector<std::string> args { "--lang", "0", "restore", file, "--yes" };
        if (clamp)
            args.push_back("--clamp");
        const ProgramResult r = cli(args);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        const auto named = [&](const std::string& key, const std::string& value) {
            const std::string text = key + " (wiersz " + std::to_string(lineOf(file, key)) + "): " + value + " (";
            EXPECT_NE(r.err.find("\n" + text), std::string::npos) << text << " not named in:\n" << r.err;
        };
        named("m_setupTimes1[5]", "100 %");
        named("m_setupTimes1[6]", "1e+300 %");
        named("m_setupTimes1[7]", "nan");
        named("m_base.m_temprGain", "0,3");
        named("m_base.m_flags", "99999");
        EXPECT_NE(r.err.find("Nic nie zostało wpisane do urządzenia."), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("→"), std::string::npos) << "nothing is clamped: " << r.err;
        EXPECT_EQ(settingsOf(m_sim.send("dump store")), before) << (clamp ? "--clamp " : "") << "changed the controller";
    }
    // The dump still shows the file as it loads, and says what a restore refuses.
    const ProgramResult dump = runProgram(KORVANA_CLI, { "--lang", "0", "settings-dump", file }, 10s, m_env);
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_EQ(valueOf(dump.out, "m_base.m_flags"), "159");
    EXPECT_NE(dump.err.find("m_base.m_flags (wiersz 25): 99999"), std::string::npos) << dump.err;
}

// Values outside the pages' ranges, among them a pair whose limits leave no
// room: without --clamp the refusal names what conflicts (no "3000 … 400");
// with --clamp each moved value is printed as "KEY: FROM → TO" and written.
TEST_F(CliSettings, ClampPrintsEveryValueItMoved)
{
    const std::string file = scratch("clamp.settings");
    ASSERT_EQ(cli({ "backup", file }).exitCode, 0);
    editValue(file, "m_setupTimes1[5]", "100");
    editValue(file, "m_setupTimes1[6]", "1e300");
    editValue(file, "m_base.m_switchRPM", "99999");
    editValue(file, "m_base.m_maxRPMHigh", "500");
    editValue(file, "m_base.m_maxRPMLow", "400");
    const std::string before = settingsOf(m_sim.send("dump store"));

    const ProgramResult refused = cli({ "--lang", "0", "restore", file, "--yes" });
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(settingsOf(m_sim.send("dump store")), before);
    EXPECT_NE(refused.err.find("m_base.m_maxRPMLow (wiersz 37): 400 rpm (3000 … 7900 rpm, step 50; sprzeczne z "
                               "m_base.m_maxRPMHigh = 500 rpm, które musi wynosić co najmniej 3100 rpm)"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.err.find("3000 … 400"), std::string::npos) << refused.err;

    const ProgramResult clamped = cli({ "--lang", "0", "restore", file, "--yes", "--clamp" });
    ASSERT_EQ(clamped.exitCode, 0) << clamped.err;
    for (const char* line : { "m_base.m_switchRPM: 99999 rpm → 4000 rpm", "m_base.m_maxRPMHigh: 500 rpm → 3100 rpm",
                              "m_base.m_maxRPMLow: 400 rpm → 3000 rpm", "m_setupTimes1[5]: 100 % → 50 %",
                              "m_setupTimes1[6]: 1e+300 % → 50 %" })
        EXPECT_TRUE(hasLine(clamped.err, line)) << line << " not printed in:\n" << clamped.err;
    EXPECT_EQ(std::count(clamped.err.begin(), clamped.err.end(), '\n'), 7) << "a heading and the five moves: "
                                                                           << clamped.err;
    const std::string after = scratch("clamped.settings");
    ASSERT_EQ(cli({ "backup", after }).exitCode, 0);
    const ProgramResult dump = runProgram(KORVANA_CLI, { "settings-dump", after }, 10s);
    EXPECT_EQ(valueOf(dump.out, "m_setupTimes1[5]"), "50");
    EXPECT_EQ(valueOf(dump.out, "m_setupTimes1[6]"), "50");
    EXPECT_EQ(valueOf(dump.out, "m_base.m_maxRPMLow"), "3000");
}

TEST(CliSettingsOffline, DumpOfABadFileFails)
{
    const std::string bad = scratch("bad.settings");
    std::ofstream(bad) << "m_timeStamp\tx\r\n";
    const ProgramResult r = runProgram(KORVANA_CLI, { "settings-dump", bad }, 10s);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Nie można wczytać ustawień z pliku"), std::string::npos);
    EXPECT_EQ(runProgram(KORVANA_CLI, { "settings-dump" }, 10s).exitCode, 2);
}

} // namespace
