// SPDX-License-Identifier: GPL-3.0-or-later
// The strict reader of recordings and the CSV rows made from them: whole
// lines with TABs or blanks and CR LF or LF ends, blank lines, and the first
// bad line reported by number (a cut-off last line, too few or too many
// numbers, a word, an infinity); the header's columns and a row's values in
// the header's order, with pressures in bar and the time from the index.
#include <app/data/osccsv.h>
#include <app/data/oscparser.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A recorded line: field i holds i + 0.5, the fuel state 3.
std::string line(const char* end = "\r\n", int fields = 32, const char* sep = "\t")
{
    std::string text = "3";
    for (int i = 1; i < fields; ++i)
        text += sep + std::to_string(i) + ".5";
    return text + end;
}

TEST(OscParser, ReadsWholeLinesWhateverTheirBlanksAndEnds)
{
    const std::string text = line() + line("\n", 32, "  ") + "\r\n" + line();
    std::vector<CDiagFile::Record> records;
    COscParser::SError error;
    ASSERT_TRUE(COscParser::parse(text, records, error)) << error.line << " " << error.message;
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1][0], 3.0);
    EXPECT_EQ(records[1][31], 31.5);
    records.clear();
    EXPECT_TRUE(COscParser::parse("", records, error));
    EXPECT_TRUE(records.empty());
}

TEST(OscParser, StopsAtTheFirstBadLineWithItsNumber)
{
    struct Case {
        const char* name;
        std::string text;
        int line;
        const char* says;
    } const cases[] = {
        {"cut off at the end", line() + line() + line().substr(0, 40), 3, "truncated"},
        {"last line without its end", line() + line(""), 2, "truncated"},
        {"too few numbers", line() + line("\r\n", 31), 2, "31 numbers, 32 expected"},
        {"too many numbers", line("\r\n", 33), 1, "more than 32"},
        {"a word", line() + "3\tabc" + line().substr(1), 2, "not a number"},
        {"a decimal comma", "3,5" + line().substr(1), 1, "not a number"},
        {"an infinity", line() + line() + "inf" + line().substr(1), 3, "not a number"},
        {"not a recording at all", "[settings]\nkey=1\n", 1, "not a number"},
    };
    for (const Case& c : cases) {
        std::vector<CDiagFile::Record> records;
        COscParser::SError error;
        EXPECT_FALSE(COscParser::parse(c.text, records, error)) << c.name;
        EXPECT_EQ(error.line, c.line) << c.name;
        EXPECT_NE(error.message.find(c.says), std::string::npos) << c.name << ": " << error.message;
        EXPECT_EQ(records.size(), static_cast<std::size_t>(c.line - 1)) << c.name;
    }
}

TEST(OscCsv, HeaderNamesEveryColumnWithItsUnit)
{
    const std::string h = COscCsv::header();
    EXPECT_EQ(h.rfind("t_s,fuel_state,rpm,petrol_ms_1,petrol_ms_2,", 0), 0u);
    EXPECT_NE(h.find(",petrol_ms_8,lpg_ms_1,"), std::string::npos);
    EXPECT_NE(h.find(",lpg_ms_8,p_lpg_bar,p_map_bar,t_lpg_c,t_reducer_c,lambda1_v,lambda2_v,stft1_pct,"),
              std::string::npos);
    EXPECT_EQ(h.substr(h.size() - 20), "o2_b2s1_v,o2_b2s2_v\n");
    EXPECT_EQ(std::count(h.begin(), h.end(), ','), 32);
}

TEST(OscCsv, RowInHeaderOrderWithBarsAndTime)
{
    // 2450 rpm; injector k petrol 3.k, LPG 4.k; 112 and 45 kPa; 31 and 72 °C.
    CDiagFile::Record r {};
    r[0] = 3;
    r[1] = 2450;
    for (int k = 0; k < 8; ++k) {
        r[2 + 2 * k] = 3 + k / 10.0;
        r[3 + 2 * k] = 4 + k / 10.0;
    }
    r[18] = 112;
    r[19] = 45;
    r[20] = 31;
    r[21] = 72;
    r[22] = 0.4;
    r[23] = 0.6;
    r[24] = -2.3;
    r[31] = 0.7;
    EXPECT_EQ(COscCsv::row(0, r), "0.0,3,2450,3,3.1,3.2,3.3,3.4,3.5,3.6,3.7,4,4.1,4.2,4.3,4.4,4.5,4.6,4.7,"
                                  "1.12,0.45,31,72,0.4,0.6,-2.3,0,0,0,0,0,0,0.7\n");
    EXPECT_EQ(COscCsv::row(1234, r).substr(0, 6), "123.4,");
}

} // namespace

// Fed in pieces of any size, the reader gives what it gives for the whole
// text; a line longer than any recording holds stops it at that line, so a
// runaway file cannot fill the memory one line at a time.
TEST(OscParser, PiecesOfAnySizeReadAsTheWholeAndALineIsBounded)
{
    const std::string text = line() + line("\n", 32, "  ") + "\r\n" + line() + line("\r\n", 31);
    std::vector<CDiagFile::Record> whole;
    COscParser::SError wholeError;
    ASSERT_FALSE(COscParser::parse(text, whole, wholeError));
    ASSERT_EQ(whole.size(), 3u);
    for (std::size_t size : { std::size_t { 1 }, std::size_t { 7 }, std::size_t { 150 }, text.size() }) {
        std::vector<CDiagFile::Record> records;
        COscParser parser([&records](const CDiagFile::Record& r) { records.push_back(r); });
        bool ok = true;
        for (std::size_t at = 0; ok && at < text.size(); at += size)
            ok = parser.feed(std::string_view(text).substr(at, size));
        ok = ok && parser.finish();
        EXPECT_FALSE(ok) << size;
        EXPECT_EQ(records, whole) << size;
        EXPECT_EQ(parser.records(), 3u) << size;
        EXPECT_EQ(parser.error().line, 5) << size;
        EXPECT_EQ(parser.error().message, wholeError.message) << size;
    }

    std::vector<CDiagFile::Record> records;
    COscParser::SError error;
    EXPECT_FALSE(COscParser::parse(line() + std::string(5000, '1') + "\n", records, error));
    EXPECT_EQ(error.line, 2);
    EXPECT_EQ(error.message, "line longer than 4096 bytes");
    EXPECT_EQ(records.size(), 1u);
    // No line end at all: refused as soon as the piece passes the bound.
    COscParser endless([](const CDiagFile::Record&) {});
    EXPECT_TRUE(endless.feed(std::string(4000, '0')));
    EXPECT_FALSE(endless.feed(std::string(4000, '0')));
    EXPECT_EQ(endless.error().message, "line longer than 4096 bytes");
}
