// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli and the history of restore points, against korvana-sim: every
// connection and every write leaves its points; a point put back brings the
// controller's store back byte for byte, what a settings file lacks included
// (axes, correction tables); what another PC changed is said on connecting;
// points of another controller are refused unless forced; and a history that
// does not work never blocks a connection, while a write then needs --no-history.
#include <childprocess.h>
#include <scratchfolder.h>
#include <simprocess.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>


namespace {

using namespace std::chrono_literals;

class CliHistory : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = scratch(::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(std::filesystem::create_directories(m_dir));
        ASSERT_TRUE(m_sim.start()) << m_sim.error();
        m_env = { "XDG_CONFIG_HOME=" + m_dir + "/config", "XDG_DATA_HOME=" + m_dir + "/data",
                  "XDG_STATE_HOME=" + m_dir + "/state" };
    }
    ProgramResult cli(std::vector<std::string> args, const std::vector<std::string>& extraEnv = {})
    {
        args.insert(args.begin(), { "--lang", "1", "--port", m_sim.ptyPath() });
        std::vector<std::string> env = m_env;
        for (const auto& extra : extraEnv) {
            const std::string name = extra.substr(0, extra.find('=') + 1);
            std::erase_if(env, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
            env.push_back(extra);
        }
        return runProgram(KORVANA_CLI, args, 90s, env);
    }
    // The operations of the points, oldest first.
    std::vector<std::string> operations()
    {
        const ProgramResult r = cli({ "history", "--json" });
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::vector<std::string> ops;
        const std::regex op("\"operation\":\"([^\"]*)\"");
        for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), op); it != std::sregex_iterator(); ++it)
            ops.push_back((*it)[1]);
        return ops;
    }
    std::string historyPath() const { return m_dir + "/data/korvana/history.sqlite3"; }

    std::string m_dir;
    CSimProcess m_sim;
    std::vector<std::string> m_env;
};

std::string join(const std::vector<std::string>& items)
{
    std::string text;
    for (const auto& i : items)
        text += i + "; ";
    return text;
}

} // namespace

TEST_F(CliHistory, EveryOperationLeavesItsPointsAndAPointPutBackRestoresTheStore)
{
    ASSERT_EQ(cli({ "info" }).exitCode, 0);
    const auto before = settingsStore(m_sim, false);
    ASSERT_EQ(cli({ "set", "m_base.m_switchRPM", "1500" }).exitCode, 0);
    const std::string file = m_dir + "/car.settings";
    ASSERT_EQ(cli({ "backup", file }).exitCode, 0);
    ASSERT_EQ(cli({ "restore", file, "--yes" }).exitCode, 0);
    // What no settings file carries: the axes, through the map's CSV.
    ProgramResult r = cli({ "map", "get", "--csv" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string csv = r.out;
    ASSERT_EQ(csv.rfind("ms,500,", 0), 0u) << csv;
    csv.replace(csv.find(",7500\n"), 6, ",7400\n");
    csv.replace(csv.find("\n2.0,"), 5, "\n2.2,");
    {
        std::ofstream(m_dir + "/map.csv") << csv;
    }
    r = cli({ "map", "set", m_dir + "/map.csv" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_NE(settingsStore(m_sim, false).at("record34"), before.at("record34"));
    r = cli({ "factory-reset", "--yes" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto reset = settingsStore(m_sim, false);

    EXPECT_EQ(join(operations()),
              join({ "connected", "connected", "before set", "after set", "connected", "connected",
                     "before restore", "after restore", "connected", "connected", "before map", "after map",
                     "connected", "before factory settings", "after factory settings" }));

    // Without --yes: what would change is listed, nothing is written.
    r = cli({ "history", "restore", "1" });
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.out.find("m_base.m_switchRPM"), std::string::npos) << r.out;
    EXPECT_EQ(settingsStore(m_sim, false), reset);

    r = cli({ "history", "restore", "1", "--yes" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Byte for byte, but for the counters: the inspection counter (record 26, bytes 0…3) stays the controller's.
    auto withoutCounter = [](std::map<std::string, std::string> store) {
        store.at("record26").replace(0, 8, "........");
        return store;
    };
    EXPECT_EQ(withoutCounter(settingsStore(m_sim, false)), withoutCounter(before));
    EXPECT_EQ(cli({ "history", "diff", "1" }).exitCode, 0);
    // The restore's own points, then the diff's connection.
    const auto ops = operations();
    ASSERT_GE(ops.size(), 3u);
    EXPECT_EQ(join({ ops.end() - 3, ops.end() }), join({ "before restore", "after restore", "connected" }));

    // Two points that differ, shown key by key; an unknown point is an error.
    r = cli({ "history", "diff", "1", "4" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "m_base.m_switchRPM\t1200 rpm\t1500 rpm\n");
    EXPECT_EQ(cli({ "history", "diff", "999" }).exitCode, 2);
}

TEST_F(CliHistory, WhatAnotherPcChangedIsSaidOnceOnConnecting)
{
    ProgramResult r = cli({ "info" });
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.find("Changed since"), std::string::npos) << r.out;
    // Another PC (another history) changes two settings.
    r = cli({ "set", "m_base.m_switchTempr", "40", "m_base.m_switchDelay", "25" },
            { "XDG_DATA_HOME=" + m_dir + "/other" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = cli({ "info" });
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(std::regex_search(
        r.out, std::regex("\nChanged since \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d: 2 settings, 0 map cells\n$")))
        << r.out;
    r = cli({ "info", "--json" });
    EXPECT_EQ(r.out.find("changedSince"), std::string::npos) << "said twice: " << r.out;

    // The change, by the points: the first connection against the second.
    r = cli({ "history", "diff", "1", "2" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("m_base.m_switchTempr"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("m_base.m_switchDelay"), std::string::npos) << r.out;
}

TEST_F(CliHistory, RestoreByGroupExportAndNotesAndAnotherControllersPointRefused)
{
    ASSERT_EQ(cli({ "info" }).exitCode, 0);
    const std::string tempr = cli({ "get", "m_base.m_switchTempr" }).out;
    ASSERT_NE(tempr, "40 °C\n");
    ASSERT_EQ(cli({ "set", "m_base.m_switchTempr", "40" }).exitCode, 0);
    ASSERT_EQ(cli({ "map", "step", "3", "3", "2", "2", "4" }).exitCode, 0);

    // Only the map goes back; the base block keeps its new value.
    ProgramResult r = cli({ "history", "restore", "1", "--only", "map", "--yes" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find("m_switchTempr"), std::string::npos) << r.out;
    r = cli({ "get", "m_base.m_switchTempr" });
    EXPECT_EQ(r.out, "40 °C\n");
    EXPECT_EQ(cli({ "history", "restore", "1", "--only", "wheels", "--yes" }).exitCode, 2);

    r = cli({ "history", "export", "1", m_dir + "/one.settings" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::ifstream exported(m_dir + "/one.settings");
    const std::string text((std::istreambuf_iterator<char>(exported)), {});
    EXPECT_NE(text.find("m_base.m_switchTempr\t" + tempr.substr(0, tempr.find(' '))), std::string::npos) << text;

    ASSERT_EQ(cli({ "history", "note", "1", "przed wizytą" }).exitCode, 0);
    r = cli({ "history", "show", "1" });
    EXPECT_NE(r.out.find("note: przed wizytą\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("m_corrMap.m_rpmAxis[15]\t"), std::string::npos) << "what the file lacks is shown too";

    // A controller with another serial: refused unless forced.
    CSimProcess other({ "--serial", "OTHER0001" });
    ASSERT_TRUE(other.start()) << other.error();
    const auto otherBefore = settingsStore(other, false);
    r = runProgram(KORVANA_CLI, { "--port", other.ptyPath(), "history", "restore", "1", "--yes" }, 60s, m_env);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("another controller"), std::string::npos) << r.err;
    EXPECT_EQ(settingsStore(other, false), otherBefore);
}

// A history that does not work never blocks connecting; a write then needs --no-history.
TEST_F(CliHistory, AHistoryThatDoesNotWorkIsSaidAndWritesNeedNoHistory)
{
    std::filesystem::create_directories(historyPath());
    ProgramResult r = cli({ "info" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("history"), std::string::npos) << r.err;
    r = cli({ "set", "m_base.m_switchTempr", "41" });
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("restore point"), std::string::npos) << r.err;
    EXPECT_NE(cli({ "get", "m_base.m_switchTempr" }).out, "41 °C\n");
    r = cli({ "--no-history", "set", "m_base.m_switchTempr", "41" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::filesystem::remove(historyPath());

    // Garbage in its place: moved aside, never deleted, and a new history started.
    {
        std::ofstream(historyPath()) << std::string(3000, 'x');
    }
    r = cli({ "info" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("damaged"), std::string::npos) << r.err;
    int aside = 0;
    for (const auto& e : std::filesystem::directory_iterator(m_dir + "/data/korvana"))
        aside += e.path().filename().string().find(".damaged-") != std::string::npos;
    EXPECT_EQ(aside, 1);
    EXPECT_EQ(operations().size(), 1u);
    EXPECT_EQ(cli({ "set", "m_base.m_switchTempr", "42" }).exitCode, 0);
}
