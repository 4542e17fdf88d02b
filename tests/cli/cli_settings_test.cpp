// korvana-cli's settings commands as a fitter uses them against the simulated
// controller: backup to a file, restore it after a change, the refusal to
// restore without --yes, a factory reset that is only done when confirmed,
// and the offline dump of a file.
#include <childprocess.h>
#include <simprocess.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace std::chrono_literals;

std::string scratch(const std::string& name)
{
    static const std::string dir = [] {
        char templ[] = "/tmp/korvana-cli-settings-XXXXXX";
        return std::string(::mkdtemp(templ));
    }();
    return dir + "/" + name;
}

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
