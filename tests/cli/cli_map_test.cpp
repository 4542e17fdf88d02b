// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli map against korvana-sim: the CSV read, edited and written back
// arrives in the controller; every kind of bad file is refused with its row
// and column and nothing is written; a step edit of a block changes exactly
// that block, and a refused one exits 1 with the message.
#include <childprocess.h>
#include <simprocess.h>
#include <scratchfolder.h>

#include "../e2e/simmap.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace std::chrono_literals;

std::vector<std::vector<std::string>> splitCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string f; std::getline(split, f, ',');)
            fields.push_back(f);
        rows.push_back(fields);
    }
    return rows;
}

std::string joinCsv(const std::vector<std::vector<std::string>>& rows)
{
    std::string text;
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i)
            text += (i ? "," : "") + row[i];
        text += "\n";
    }
    return text;
}

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

class CliMap : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.start()) << m_sim.error();
        m_env = { "XDG_CONFIG_HOME=" + scratch("config"), "HOME=" + scratch("home"), "LANG=pl_PL.UTF-8" };
    }
    ProgramResult cli(std::vector<std::string> args)
    {
        args.insert(args.begin(), { "--port", m_sim.ptyPath() });
        return runProgram(KORVANA_CLI, args, 30s, m_env);
    }

    CSimProcess m_sim;
    std::vector<std::string> m_env;
};

TEST_F(CliMap, CsvRoundTripThroughTheController)
{
    const ProgramResult get = cli({ "map", "get", "--csv" });
    ASSERT_EQ(get.exitCode, 0) << get.err;
    auto rows = splitCsv(get.out);
    ASSERT_EQ(rows.size(), 20u);
    ASSERT_EQ(rows[0].size(), 16u);
    EXPECT_EQ(rows[0][0], "ms");
    const SimMap before = simMap(m_sim);
    EXPECT_EQ(rows[0][1], std::to_string(before.rpmBytes[0] * 100));
    EXPECT_EQ(rows[3][5], std::to_string(before.cells[2][4]));

    rows[3][5] = "-37";
    rows[19][15] = "50";
    rows[0][15] = "8000";
    rows[19][0] = "31.4";
    const std::string file = scratch("edited.csv");
    writeFile(file, joinCsv(rows));
    const ProgramResult set = cli({ "map", "set", file });
    ASSERT_EQ(set.exitCode, 0) << set.err;
    const SimMap after = simMap(m_sim);
    EXPECT_EQ(after.cells[2][4], -37);
    EXPECT_EQ(after.cells[18][14], 50);
    EXPECT_EQ(after.rpmBytes[14], 80);
    EXPECT_EQ(after.timeBytes[18], 157);
    for (int r = 0; r < 19; ++r)
        for (int c = 0; c < 15; ++c) {
            if (!(r == 2 && c == 4) && !(r == 18 && c == 14)) {
                ASSERT_EQ(after.cells[r][c], before.cells[r][c]) << r << "," << c;
            }
        }

    const ProgramResult table = cli({ "map", "get" });
    ASSERT_EQ(table.exitCode, 0) << table.err;
    EXPECT_NE(table.out.find("31.4"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("8000"), std::string::npos);
}

TEST_F(CliMap, BadFilesAreRefusedWithRowAndColumnAndNothingIsWritten)
{
    const ProgramResult get = cli({ "map", "get", "--csv" });
    ASSERT_EQ(get.exitCode, 0) << get.err;
    const auto good = splitCsv(get.out);
    const std::string store = settingsOf(m_sim.send("dump store"));
    struct Bad {
        const char* what;
        int row, column;
        std::string value;
        const char* where;
    };
    const Bad cases[] = {
        { "cell above 50", 5, 7, "51", "row 5, column 7" },
        { "cell not whole", 2, 2, "1.5", "row 2, column 2" },
        { "speed off the 100 grid", 1, 3, "1050", "row 1, column 3" },
        { "speed above 8000", 1, 16, "8100", "row 1, column 16" },
        { "speeds not increasing", 1, 4, good[0][2], "row 1, column 4" },
        { "time off the 0.2 grid", 4, 1, "4.1", "row 4, column 1" },
        { "time above 50", 20, 1, "50.2", "row 20, column 1" },
        { "times not increasing", 6, 1, good[4][1], "row 6, column 1" },
        { "not a number", 9, 9, "abc", "row 9, column 9" },
    };
    for (const auto& k : cases) {
        auto rows = good;
        rows[k.row - 1][k.column - 1] = k.value;
        const std::string file = scratch("bad.csv");
        writeFile(file, joinCsv(rows));
        const ProgramResult set = cli({ "map", "set", file });
        EXPECT_EQ(set.exitCode, 1) << k.what;
        EXPECT_NE(set.err.find(k.where), std::string::npos) << k.what << ": " << set.err;
    }
    auto shortRows = good;
    shortRows.pop_back();
    writeFile(scratch("short.csv"), joinCsv(shortRows));
    const ProgramResult shortSet = cli({ "map", "set", scratch("short.csv") });
    EXPECT_EQ(shortSet.exitCode, 1);
    EXPECT_NE(shortSet.err.find("row 20, column 1"), std::string::npos) << shortSet.err;
    auto narrow = good;
    narrow[7].pop_back();
    writeFile(scratch("narrow.csv"), joinCsv(narrow));
    const ProgramResult narrowSet = cli({ "map", "set", scratch("narrow.csv") });
    EXPECT_EQ(narrowSet.exitCode, 1);
    EXPECT_NE(narrowSet.err.find("row 8, column 16"), std::string::npos) << narrowSet.err;
    EXPECT_EQ(settingsOf(m_sim.send("dump store")), store) << "a refused file changed the controller";
}

TEST_F(CliMap, StepChangesTheBlockAndARefusalFails)
{
    const SimMap before = simMap(m_sim);
    const ProgramResult step = cli({ "map", "step", "3", "4", "2", "3", "2" });
    ASSERT_EQ(step.exitCode, 0) << step.err;
    EXPECT_NE(step.out.find("step 2: record 13 = 3 4 2 3 2 1, acknowledged"), std::string::npos) << step.out;
    const SimMap after = simMap(m_sim);
    for (int r = 0; r < 19; ++r)
        for (int c = 0; c < 15; ++c) {
            const bool inside = r >= 3 && r <= 4 && c >= 4 && c <= 6;
            ASSERT_EQ(after.cells[r][c], std::min(50, before.cells[r][c] + (inside ? 2 : 0))) << r << "," << c;
        }

    EXPECT_EQ(cli({ "map", "step", "18", "14", "2", "1", "1" }).exitCode, 2); // outside the grid
    ASSERT_EQ(m_sim.send("refuse record 13"), "ok refuse record 13");
    const ProgramResult refused = cli({ "map", "step", "0", "0", "1", "1", "1" });
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.out.find("refused"), std::string::npos) << refused.out;
    EXPECT_NE(refused.err.find("Nie powiodło się wpisanie mapy wtrysków do urządzenia!"), std::string::npos)
        << refused.err;
    ASSERT_EQ(m_sim.send("refuse off"), "ok refuse off");
    EXPECT_EQ(simMap(m_sim).cells, after.cells);
}

} // namespace
