// SPDX-License-Identifier: GPL-3.0-or-later
// The map as text: the CSV file of the command line read back from what it
// writes, every kind of bad file refused with the row and column of the
// fault, and the clipboard blocks of the grid.
#include <app/tuning/mapcsv.h>

#include <gtest/gtest.h>

#include <sstream>

namespace {

MapFile sampleMap()
{
    MapFile map = mapFileOf(CSettingsImage());
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapCols; ++c)
            map.table[r][c] = (r * 7 + c * 3) % 101 - 50;
    map.time[0] = 1.4;
    map.rpm[14] = 8000;
    return map;
}

// The sample's CSV with one field replaced (row and column counted from 1).
std::string withField(int row, int column, const std::string& value)
{
    std::istringstream in(formatMapCsv(sampleMap()));
    std::string line, out;
    for (int r = 1; std::getline(in, line); ++r) {
        if (r == row) {
            std::vector<std::string> fields;
            std::stringstream split(line);
            for (std::string f; std::getline(split, f, ',');)
                fields.push_back(f);
            fields[column - 1] = value;
            line.clear();
            for (std::size_t i = 0; i < fields.size(); ++i)
                line += (i ? "," : "") + fields[i];
        }
        out += line + "\n";
    }
    return out;
}

TEST(MapCsv, WrittenMapReadsBackTheSame)
{
    const MapFile map = sampleMap();
    const std::string text = formatMapCsv(map);
    EXPECT_EQ(text.substr(0, 12), "ms,500,1000,");
    EXPECT_NE(text.find("\n1.4,"), std::string::npos);
    MapFile read;
    MapTextError error;
    ASSERT_TRUE(parseMapCsv(text, read, error)) << error.describe();
    EXPECT_EQ(read.table, map.table);
    EXPECT_EQ(read.rpm, map.rpm);
    for (int r = 0; r < kMapRows; ++r)
        EXPECT_NEAR(read.time[r], map.time[r], 1e-9);

    // A spreadsheet's semicolons with decimal commas and CRLF line ends.
    std::string semicolons = text;
    for (char& ch : semicolons)
        if (ch == ',')
            ch = ';';
    std::string crlf;
    for (char ch : semicolons)
        crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch == '.' ? ',' : ch);
    ASSERT_TRUE(parseMapCsv(crlf, read, error)) << error.describe();
    EXPECT_EQ(read.table, map.table);
}

struct BadCsv {
    const char* what;
    std::string text;
    int row, column;
};

TEST(MapCsv, EachFaultIsNamedByRowAndColumn)
{
    const std::string good = formatMapCsv(sampleMap());
    std::string shortLine = withField(6, 16, "#");
    shortLine.erase(shortLine.find(",#"), 2);
    std::string shortFile = good.substr(0, good.rfind('\n', good.size() - 2) + 1);
    const BadCsv cases[] = {
        { "cell above +50", withField(4, 6, "51"), 4, 6 },
        { "cell below -50", withField(20, 16, "-50.5"), 20, 16 },
        { "cell not whole", withField(3, 2, "1.5"), 3, 2 },
        { "cell not a number", withField(5, 5, "x"), 5, 5 },
        { "empty cell", withField(5, 7, ""), 5, 7 },
        { "speed not a multiple of 100", withField(1, 4, "1550"), 1, 4 },
        { "speed above 8000", withField(1, 16, "8100"), 1, 16 },
        { "speed below 500", withField(1, 2, "400"), 1, 2 },
        { "speeds not increasing", withField(1, 5, "1500"), 1, 5 },
        { "time not a multiple of 0.2", withField(7, 1, "7.3"), 7, 1 },
        { "time above 50", withField(20, 1, "50.2"), 20, 1 },
        { "time below 0.2", withField(2, 1, "0"), 2, 1 },
        { "times not increasing", withField(9, 1, "6"), 9, 1 },
        { "short line", shortLine, 6, 16 },
        { "19 lines", shortFile, 20, 1 },
        { "21 lines", good + good.substr(good.find('\n') + 1, good.find('\n', good.find('\n') + 1) - good.find('\n')), 21,
          1 },
        { "empty", "", 1, 1 },
    };
    for (const auto& k : cases) {
        MapFile read;
        MapTextError error;
        EXPECT_FALSE(parseMapCsv(k.text, read, error)) << k.what;
        EXPECT_EQ(error.row, k.row) << k.what << ": " << error.describe();
        EXPECT_EQ(error.column, k.column) << k.what << ": " << error.describe();
        EXPECT_FALSE(error.reason.empty()) << k.what;
    }
}

TEST(MapCsv, ClipboardBlocksWithAndWithoutLabels)
{
    std::vector<std::vector<int>> block;
    MapTextError error;
    ASSERT_TRUE(parseMapBlock("ms\t1000\t1500\n2.0\t1\t-2\n2,4\t3\t4\n", block, error)) << error.describe();
    EXPECT_EQ(block, (std::vector<std::vector<int>> { { 1, -2 }, { 3, 4 } }));
    ASSERT_TRUE(parseMapBlock("1\t2,5\t-2.5\r\n60\t-70\t0\r\n", block, error)) << error.describe();
    EXPECT_EQ(block, (std::vector<std::vector<int>> { { 1, 3, -3 }, { 50, -50, 0 } }));
    ASSERT_TRUE(parseMapBlock("7", block, error));
    EXPECT_EQ(block, (std::vector<std::vector<int>> { { 7 } }));

    EXPECT_FALSE(parseMapBlock("", block, error));
    EXPECT_FALSE(parseMapBlock("1\t2\n3\n", block, error));
    EXPECT_EQ(error.row, 2);
    EXPECT_FALSE(parseMapBlock("1\t2\n3\tabc\n", block, error));
    EXPECT_EQ(error.row, 2);
    EXPECT_EQ(error.column, 2);
    EXPECT_FALSE(parseMapBlock("ms\t1000\n", block, error));
    EXPECT_FALSE(parseMapBlock("Dear fitter,\nhello\n", block, error));
}

} // namespace
