// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli automap and maps against korvana-sim: with empty maps the
// report still lists every slot and --write is refused for the coverage;
// after a sweep on petrol the bins appear in both formats; bad arguments are
// bad usage.
#include <childprocess.h>
#include <simprocess.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <cstdio>
#include <sstream>

namespace {

using namespace std::chrono_literals;

ProgramResult cli(const std::vector<std::string>& args)
{
    return runProgram(KORVANA_CLI, args, 20000ms, { "LANG=C", "LC_MESSAGES=pl_PL.UTF-8", "XDG_CONFIG_HOME=" + (std::filesystem::temp_directory_path() / "korvana-cli-automap").string() });
}

int countLines(const std::string& text, const std::string& prefix)
{
    std::istringstream in(text);
    int n = 0;
    for (std::string line; std::getline(in, line);)
        n += line.rfind(prefix, 0) == 0;
    return n;
}

TEST(CliAutomap, EmptyMapsAreReportedAndRefused)
{
    CSimProcess sim({ "--engine", "off" });
    ASSERT_TRUE(sim.start()) << sim.error();
    auto r = cli({ "--port", sim.ptyPath(), "automap" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("petrol map: 0 samples, too few"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  cells 5-9         0 of 300 short"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  38      20.0"), std::string::npos) << "every slot listed";
    EXPECT_NE(r.out.find("automapping: off"), std::string::npos);

    r = cli({ "--port", sim.ptyPath(), "automap", "--write" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("not written: Zbierz mapę benzynową i gazową podczas jazdy."), std::string::npos) << r.err;

    r = cli({ "--port", sim.ptyPath(), "maps", "--csv" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "pressure_kpa,petrol_ms,petrol_count,lpg_ms,lpg_count\n");

    EXPECT_EQ(cli({ "automap", "--now" }).exitCode, 2);
    EXPECT_EQ(cli({ "maps", "extra" }).exitCode, 2);
}

TEST(CliAutomap, PetrolSweepFillsBins)
{
    CSimProcess sim({ "--engine", "sweep", "--fuel", "petrol" });
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_EQ(sim.send("advance 120").rfind("ok", 0), 0u);
    auto r = cli({ "--port", sim.ptyPath(), "maps", "--csv" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const int rows = countLines(r.out, "") - 1;
    EXPECT_GE(rows, 10) << r.out;
    // Each row: pressure, petrol mean with its count (a multiple of 11), no LPG yet.
    std::istringstream in(r.out);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        int kpa = 0, pc = 0, lc = 0;
        double pm = 0, lm = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d,%lf,%d,%lf,%d", &kpa, &pm, &pc, &lm, &lc), 5) << line;
        EXPECT_EQ(kpa % 2, 0);
        EXPECT_GT(pm, 1.0);
        EXPECT_EQ(pc % 11, 0);
        EXPECT_EQ(lc, 0);
    }
    r = cli({ "--port", sim.ptyPath(), "maps" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(countLines(r.out, "pressure[kPa]"), 1);
    EXPECT_EQ(countLines(r.out, ""), rows + 1);
}

} // namespace
