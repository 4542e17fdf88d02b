// SPDX-License-Identifier: GPL-3.0-or-later
// Single settings from korvana-cli against the simulated controller: a set of
// three keys in three blocks changes exactly their bytes; a value outside the
// pages' range, an unknown key, or a refused value after a valid one writes
// nothing; a setting that needs the controller restart runs the restart
// sequence and leaves the car in the fuel mode it was in; diff names exactly
// the key that changed; a damaged settings file is refused by restore unless
// --clamp is given.
#include <childprocess.h>
#include <simprocess.h>
#include <scratchfolder.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

namespace {

using namespace std::chrono_literals;

// "dump store" as name → hex, without the running counters.
std::map<std::string, std::string> store(CSimProcess& sim)
{
    return settingsStore(sim);
}

// Byte offsets that differ between two hex strings of one record.
std::vector<std::pair<std::size_t, std::string>> changedBytes(const std::string& before, const std::string& after)
{
    std::vector<std::pair<std::size_t, std::string>> changed;
    for (std::size_t i = 0; i + 1 < after.size(); i += 2)
        if (before.substr(i, 2) != after.substr(i, 2))
            changed.emplace_back(i / 2, after.substr(i, 2));
    return changed;
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void replaceValue(const std::string& path, const std::string& key, const std::string& value)
{
    std::string content = slurp(path);
    const std::size_t at = content.find(key + "\t");
    ASSERT_NE(at, std::string::npos) << key;
    const std::size_t end = content.find("\r\n", at);
    content.replace(at, end - at, key + "\t" + value);
    std::ofstream(path, std::ios::binary) << content;
}

class CliSetting : public ::testing::Test {
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
    std::string fuelState()
    {
        const std::string line = m_sim.send("status");
        const auto at = line.find(" fuel=");
        return at == std::string::npos ? std::string() : line.substr(at + 6, line.find(' ', at + 6) - at - 6);
    }
    void runOnLpg()
    {
        ASSERT_EQ(m_sim.send("fuel lpg"), "ok fuel lpg");
        for (int i = 0; i < 100 && fuelState() != "3"; ++i)
            m_sim.send("advance 0.5");
        ASSERT_EQ(fuelState(), "3") << m_sim.send("status");
    }

    CSimProcess m_sim;
    std::vector<std::string> m_env;
};

TEST_F(CliSetting, ThreeKeysInThreeBlocksChangeExactlyTheirBytes)
{
    // A first base write stamps this PC's identifier into the base block.
    ASSERT_EQ(cli({ "set", "m_base.m_switchDelay", "10" }).exitCode, 0);
    const auto before = store(m_sim);
    const ProgramResult r
        = cli({ "set", "m_base.m_switchDelay", "40", "m_adv.m_pwm", "40", "m_advancedSetup.m_switchCorr", "-10" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "m_base.m_switchDelay\t40 s\nm_adv.m_pwm\t40 %\nm_advancedSetup.m_switchCorr\t-10 %\n");
    const auto after = store(m_sim);
    for (const auto& [name, hex] : after) {
        const auto changed = changedBytes(before.at(name), hex);
        if (name == "record31") {
            EXPECT_EQ(changed, (decltype(changed) { { 7, "50" } })) << "switch delay 40 s travels doubled";
        } else if (name == "record4") {
            EXPECT_EQ(changed, (decltype(changed) { { 2, "28" } }));
        } else if (name == "record26") {
            EXPECT_EQ(changed, (decltype(changed) { { 10, "f6" } }));
        } else if (name != "statistics" && name != "memory") {
            EXPECT_TRUE(changed.empty()) << name;
        }
    }
    const ProgramResult get = cli({ "get", "m_base.m_switchDelay" });
    EXPECT_EQ(get.out, "40 s\n");
}

// 1250 rpm travels as the period 3840, which a read gives back as 1300 rpm:
// what is written is the value that reads back as itself, and get, set and
// the controller agree on it.
TEST_F(CliSetting, ValueIsWrittenAsOneTheControllerReadsBackAsItself)
{
    ProgramResult r = cli({ "set", "m_base.m_switchRPM", "1250" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("1300 rpm"), std::string::npos) << r.out;
    const std::string base = store(m_sim).at("record31");
    const unsigned long period = std::stoul(base.substr(2, 2), nullptr, 16) << 8 | std::stoul(base.substr(0, 2), nullptr, 16);
    EXPECT_EQ(period, 3692u) << "4 800 000 / 1300, not the 3840 of 1250 rpm";
    EXPECT_EQ(cli({ "get", "m_base.m_switchRPM" }).out, "1300 rpm\n");
    r = cli({ "set", "m_base.m_switchRPM", "1300" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "nothing to change\n");
}

TEST_F(CliSetting, RefusedValuesAndKeysWriteNothing)
{
    const auto before = store(m_sim);
    ProgramResult r = cli({ "set", "m_base.m_switchRPM", "4020" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("m_base.m_switchRPM"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("500 … 4000"), std::string::npos) << r.err;

    r = cli({ "set", "m_base.m_noSuchThing", "1" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("unknown key m_base.m_noSuchThing"), std::string::npos) << r.err;

    r = cli({ "set", "m_base.m_switchDelay", "40", "m_adv.m_pwm", "51" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("m_adv.m_pwm: 51 is outside 15 … 50 %"), std::string::npos) << r.err;

    // The paired limits: low cannot come within 100 rpm of high, unless high moves in the same call.
    r = cli({ "set", "m_base.m_maxRPMLow", "7950" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("m_base.m_maxRPMLow: 7950 is outside 3000 … "), std::string::npos) << r.err;
    EXPECT_EQ(store(m_sim), before);

    r = cli({ "set", "m_base.m_maxRPMHigh", "5100", "m_base.m_maxRPMLow", "5000" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(cli({ "set", "m_base.m_maxRPMHigh", "5050" }).exitCode, 1);
    EXPECT_EQ(cli({ "get", "m_base.m_maxRPMHigh" }).out, "5100 rpm\n");
}

// The signal source sets and locks the divider, as the page's list does.
TEST_F(CliSetting, SignalSourceSetsAndLocksTheDivider)
{
    ASSERT_EQ(cli({ "set", "m_base.m_sparkDivider:source", "Z wału korbowego" }).exitCode, 0);
    EXPECT_EQ(cli({ "get", "m_base.m_sparkDivider" }).out, "62\n");
    const ProgramResult locked = cli({ "set", "m_base.m_sparkDivider", "4" });
    EXPECT_EQ(locked.exitCode, 1);
    EXPECT_NE(locked.err.find("m_base.m_sparkDivider:source"), std::string::npos) << locked.err;
    ASSERT_EQ(cli({ "set", "m_base.m_sparkDivider:source", "4" }).exitCode, 0);
    EXPECT_EQ(cli({ "set", "m_base.m_sparkDivider", "3" }).exitCode, 0);
    EXPECT_EQ(cli({ "get", "m_base.m_sparkDivider:source" }).out, "1 cewka na 3 cylindry\n");
}

TEST_F(CliSetting, RestartSettingOnLpgReturnsToAutomaticMode)
{
    runOnLpg();
    const ProgramResult r = cli({ "--verbose", "set", "m_adv.m_engineSignalBehavior:0x02", "1" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::size_t petrol = r.err.find("petrol and wait");
    const std::size_t write = r.err.find("write m_adv acknowledged");
    const std::size_t restart = r.err.find("restart on petrol");
    const std::size_t back = r.err.find("back to automatic mode");
    ASSERT_NE(back, std::string::npos) << r.err;
    EXPECT_LT(petrol, write);
    EXPECT_LT(write, restart);
    EXPECT_LT(restart, back);
    EXPECT_NE(m_sim.send("status").find(" fuelmode=auto "), std::string::npos);
    // The controller switches over to LPG again after its delay.
    for (int i = 0; i < 200 && fuelState() != "3"; ++i)
        m_sim.send("advance 0.5");
    EXPECT_EQ(fuelState(), "3");
    EXPECT_EQ(cli({ "get", "m_adv.m_engineSignalBehavior:0x02" }).out, "1\n");
}

TEST_F(CliSetting, RestartSettingOnPetrolStaysOnPetrol)
{
    ASSERT_EQ(m_sim.send("fuel petrol"), "ok fuel petrol");
    m_sim.send("advance 1");
    const ProgramResult r = cli({ "--verbose", "set", "m_advancedSetup.m_advancedFlags:0x08", "CNG" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("stays on petrol"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("back to automatic mode"), std::string::npos) << r.err;
    EXPECT_NE(m_sim.send("status").find(" fuelmode=petrol "), std::string::npos);
}

TEST_F(CliSetting, DiffNamesExactlyTheChangedKey)
{
    const std::string file = scratch("before.settings");
    ASSERT_EQ(cli({ "backup", file }).exitCode, 0);
    const ProgramResult same = cli({ "diff", file });
    EXPECT_EQ(same.exitCode, 0) << same.out << same.err;
    EXPECT_EQ(same.out, "");

    ASSERT_EQ(cli({ "set", "m_base.m_pressureRef", "1.37" }).exitCode, 0);
    const ProgramResult r = cli({ "diff", file });
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const std::string prefix = "m_base.m_pressureRef\t";
    ASSERT_EQ(r.out.rfind(prefix, 0), 0u) << r.out;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << "one line only: " << r.out;
    EXPECT_NE(r.out.find("\t1.37 bar\n"), std::string::npos) << r.out;

    const ProgramResult files = runProgram(KORVANA_CLI, { "diff", file, file }, 10s, m_env);
    EXPECT_EQ(files.exitCode, 0);
    EXPECT_EQ(files.out, "");
}

TEST_F(CliSetting, RestoreRefusesADamagedFileUnlessClamped)
{
    const std::string file = scratch("damaged.settings");
    ASSERT_EQ(cli({ "backup", file }).exitCode, 0);
    replaceValue(file, "m_base.m_switchRPM", "99999");
    replaceValue(file, "m_mainCorr.m_mainCorr[0]", "1e308");
    replaceValue(file, "m_injMapTable[2][1000]", "155");
    const auto before = store(m_sim);

    const ProgramResult refused = cli({ "restore", file, "--yes" });
    EXPECT_EQ(refused.exitCode, 1);
    for (const char* key : { "m_base.m_switchRPM (wiersz 19): 99999", "m_mainCorr.m_mainCorr[0] (wiersz 59): 1e+308",
                             "m_injMapTable[2][1000] (wiersz 156): 155" })
        EXPECT_NE(refused.err.find(key), std::string::npos) << key << " not named in: " << refused.err;
    EXPECT_NE(refused.err.find("500 … 4000 rpm"), std::string::npos) << refused.err;
    EXPECT_EQ(store(m_sim), before);

    const ProgramResult clamped = cli({ "restore", file, "--yes", "--clamp" });
    ASSERT_EQ(clamped.exitCode, 0) << clamped.err;
    EXPECT_EQ(cli({ "get", "m_base.m_switchRPM" }).out, "4000 rpm\n");
    EXPECT_EQ(cli({ "get", "m_mainCorr.m_mainCorr[0]" }).out, "6\n");
    EXPECT_EQ(cli({ "get", "m_injMapTable[2][1000]" }).out, "50\n");
}

// Two paired limits set together so that one leaves the other no room: the
// refusal names the conflicting key and its value, never "8050 … 8000".
TEST_F(CliSetting, AnEmptyPairedRangeNamesWhatItConflictsWith)
{
    const auto before = store(m_sim);
    const ProgramResult r = cli({ "--lang", "0", "set", "m_base.m_maxRPMHigh", "8000", "m_base.m_maxRPMLow", "7950" });
    EXPECT_EQ(r.exitCode, 1);
    // Whichever of the two is named, every range printed is a real one.
    EXPECT_NE(r.err.find("m_base.m_maxRPM"), std::string::npos) << r.err;
    const std::regex range("([0-9]+) … ([0-9]+)");
    for (std::sregex_iterator it(r.err.begin(), r.err.end(), range), end; it != end; ++it)
        EXPECT_LE(std::stoi((*it)[1]), std::stoi((*it)[2])) << r.err;
    EXPECT_EQ(store(m_sim), before);
}

} // namespace
