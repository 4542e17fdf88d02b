// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli's connection commands run as a program against korvana-sim:
// info as text and JSON (demo identity written out by hand), live lines and
// recordings (a write that fails, targets that are no regular file), the
// stored errors, fuel switching as the simulator sees it, the search through
// KORVANA_PORTS with the last port stored, and exit codes.
#include "childprocess.h"
#include "simprocess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using std::chrono::milliseconds;

class CliConnection : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string templ = (std::filesystem::temp_directory_path() / "korvana-cli-XXXXXX").string();
        m_dir = ::mkdtemp(templ.data());
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    ProgramResult cli(const std::vector<std::string>& args, std::vector<std::string> env = {})
    {
        env.push_back("XDG_CONFIG_HOME=" + m_dir + "/cfg");
        env.push_back("HOME=" + m_dir);
        env.push_back("LANG=C");
        env.push_back("LC_MESSAGES=pl_PL.UTF-8");
        return runProgram(KORVANA_CLI, args, milliseconds(20000), env);
    }

    std::string slurp(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string m_dir;
};

TEST_F(CliConnection, InfoInDemoMode)
{
    auto r = cli({ "info", "--demo" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "m_modelName: OREM 33F MOLEX\nm_version: 3.6\nm_injCount: 8\nm_serial: XZ0001\n"
                     "m_prodDate: 21/06/2012\nm_deviceID: 0\nm_flags1: 5\nm_flags2: 0\nm_statistic.gas: 30\n"
                     "m_statistic.lpg: 45\nm_statistic.modify: 1\nNa benzynie:    0 h: 00 min\n"
                     "Na gazie:    0 h: 00 min\nkm do inspekcji: \n");
    r = cli({ "info", "--json", "--demo" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "{\"m_modelName\":\"OREM 33F MOLEX\",\"m_version\":774,\"m_injCount\":8,\"m_serial\":\"XZ0001\","
                     "\"m_prodDate\":\"21/06/2012\",\"m_deviceID\":0,\"m_flags1\":5,\"m_flags2\":0,"
                     "\"m_statistic\":{\"gas\":30,\"lpg\":45,\"modify\":1},\"petrolTime\":\"   0 h: 00 min\","
                     "\"lpgTime\":\"   0 h: 00 min\",\"kmToInspection\":null}\n");
}

TEST_F(CliConnection, InfoFromTheSimulator)
{
    CSimProcess sim({ "--model", "16", "--injectors", "8", "--serial", "ABC1234", "--version", "3.7" });
    ASSERT_TRUE(sim.start()) << sim.error();
    auto r = cli({ "--port", sim.ptyPath(), "info", "--json" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"m_modelName\":\"OREM K410 33EP FCI\",\"m_version\":775,\"m_injCount\":8,"
                          "\"m_serial\":\"ABC1234\",",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find(",\"m_deviceID\":16,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(",\"m_statistic\":{\"gas\":"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.back(), '\n');

    r = cli({ "--port", sim.ptyPath(), "info" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("m_modelName: OREM K410 33EP FCI\nm_version: 3.7\nm_injCount: 8\nm_serial: ABC1234\n"),
              std::string::npos)
        << r.out;
}

TEST_F(CliConnection, SearchFindsThePortsOfTheEnvironmentAndRemembersIt)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.error();
    const auto r = cli({ "info" }, { "KORVANA_PORTS=/nonexistent/a:" + sim.ptyPath() });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("m_deviceID: 5\n"), std::string::npos) << r.out;
    const std::string profile = slurp(m_dir + "/cfg/KORVANA/profile.ini");
    EXPECT_NE(profile.find("Last RS path=" + sim.ptyPath() + "\n"), std::string::npos) << profile;
}

TEST_F(CliConnection, LiveLinesAndRecordings)
{
    CSimProcess sim({ "--injectors", "4" });
    ASSERT_TRUE(sim.start()) << sim.error();
    auto r = cli({ "--port", sim.ptyPath(), "live", "--count", "5" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    int n = 0;
    while (std::getline(lines, line)) {
        ++n;
        EXPECT_EQ(line.rfind("seq=" + std::to_string(n) + " fuel=", 0), 0u) << line;
        EXPECT_NE(line.find(" inj4="), std::string::npos) << line;
        EXPECT_EQ(line.find(" inj5="), std::string::npos) << line;
        EXPECT_NE(line.find(" supply="), std::string::npos) << line;
    }
    EXPECT_EQ(n, 5);

    const std::string osc = m_dir + "/run.osc";
    r = cli({ "--port", sim.ptyPath(), "live", "--count", "5", "--osc", osc });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    const std::string text = slurp(osc);
    std::size_t crlf = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
        ++crlf;
    EXPECT_GE(crlf, 5u); // the thread may write one more before it stops
    EXPECT_EQ(text.substr(0, text.find("\r\n")).find('\n'), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.begin() + static_cast<long>(text.find("\r\n")), '\t'), 31);

    r = cli({ "--port", sim.ptyPath(), "live", "--osc", m_dir + "/run.txt" });
    EXPECT_EQ(r.exitCode, 2);
    r = cli({ "--port", sim.ptyPath(), "live", "--count", "0" });
    EXPECT_EQ(r.exitCode, 2);
}

// A recording that runs out of room: files limited to a few hundred bytes
// (SIGXFSZ ignored, so the write fails instead of killing the tool). The
// recording stops at the first line that cannot be written, the tool exits 1
// and reports the records the file really holds.
TEST_F(CliConnection, RecordingThatCannotBeWrittenFailsWithTheCountWritten)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.error();
    const std::string osc = m_dir + "/limited.osc";
    const ProgramResult r = runProgram("/bin/sh",
        { "-c", "trap '' XFSZ; ulimit -f 2 && exec \"$0\" \"$@\"", KORVANA_CLI, "--port", sim.ptyPath(), "live",
            "--count", "40", "--osc", osc },
        milliseconds(20000), { "XDG_CONFIG_HOME=" + m_dir + "/cfg", "HOME=" + m_dir, "LANG=C", "LC_MESSAGES=pl_PL.UTF-8" });
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const std::string text = slurp(osc);
    std::size_t whole = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
        ++whole;
    EXPECT_GT(whole, 0u);
    EXPECT_LT(whole, 40u);
    EXPECT_NE(r.err.find(": " + std::to_string(whole) + " records written"), std::string::npos)
        << r.err << " (the file holds " << whole << " whole lines)";
}

// Only a regular file takes a recording: a FIFO would hold the tool (nobody
// reads it), a device node swallows or refuses the lines, a folder is no file.
TEST_F(CliConnection, RecordingIntoSomethingButARegularFileIsRefused)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.error();
    const std::string fifo = m_dir + "/pipe.osc";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string device = m_dir + "/full.osc";
    std::filesystem::create_symlink("/dev/full", device);
    const std::string folder = m_dir + "/folder.osc";
    std::filesystem::create_directory(folder);
    for (const std::string& target : { fifo, device, folder }) {
        const auto r = cli({ "--port", sim.ptyPath(), "live", "--count", "3", "--osc", target });
        EXPECT_FALSE(r.timedOut) << target;
        EXPECT_EQ(r.exitCode, 1) << target << ": " << r.err;
        EXPECT_NE(r.err.find("cannot write " + target), std::string::npos) << r.err;
        if (target != folder) {
            EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
        }
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST_F(CliConnection, ErrorsAreListedOnePerLine)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_EQ(sim.send("errors 00 00 03 00"), "ok errors 00 00 03 00");
    auto r = cli({ "--port", sim.ptyPath(), "errors" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Brak sygnału RPM\nBłąd - za niskie ciśnienie\n");
    r = cli({ "errors", "--clear", "--demo" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Brak sygnału RPM\nBłąd - za niskie ciśnienie\n");
    r = cli({ "--port", sim.ptyPath(), "errors", "--clear" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST_F(CliConnection, SwitchAsTheSimulatorSeesIt)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.error();
    for (const char* mode : { "lpg", "petrol", "auto" }) {
        const auto r = cli({ "--port", sim.ptyPath(), "switch", mode });
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(sim.send("status").find(std::string(" fuelmode=") + mode + " "), std::string::npos) << mode;
    }
    EXPECT_EQ(cli({ "switch", "diesel", "--demo" }).exitCode, 2);
    EXPECT_EQ(cli({ "switch", "lpg", "--demo" }).exitCode, 0);
}

TEST_F(CliConnection, NoControllerExitsOne)
{
    auto r = cli({ "--port", "/nonexistent/ttyUSB7", "info" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("/nonexistent/ttyUSB7 does not exist"), std::string::npos) << r.err;
    EXPECT_EQ(cli({ "info", "--bogus" }).exitCode, 2);
}

} // namespace
