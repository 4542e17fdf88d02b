// SPDX-License-Identifier: GPL-3.0-or-later
// Diagnostic recordings: lines compared with lines written by hand for known
// records (field widths, the injector's slot choice with equal slots, OBD
// values, CR LF), the path "\" and unwritable paths recording nothing, only
// regular files taken, a write that does not fit reported as failed, the
// decimal point under a decimal-comma locale, and playback of a recorded file
// up to the first incomplete record.
#include <app/data/diag.h>
#include <app/data/diagfile.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Fuel 3, 1200 rpm, three injectors with petrol times; equal slots on injector 2.
CDiag knownRecord()
{
    CDiag r;
    r.setU8(0, 3);
    r.setU8(2, 61); // 70 °C with the 10 kΩ sensor
    r.setU8(3, 93); // 52 °C
    r.setU8(6, 51);
    r.setU8(8, 51);
    r.setU8(10, 51);
    r.setU16(16, 4000);
    r.setU16(18, 124); // slot 0: 3.10 ms, + 2.00
    r.setU16(20, 80);
    r.setU16(26, 200); // slot 2: 5.00 ms, + 1.00
    r.setU16(28, 40);
    r.setU16(30, 200); // slot 3: 5.00 ms, − 0.50
    r.setU16(32, 65535 - 20);
    r.setU16(34, 100); // slot 4: 2.50 ms
    r.setU16(38, 160); // slot 5: 4.00 ms, − 1.00
    r.setU16(40, 65535 - 40);
    return r;
}

const std::string kKnownLine = "3\t1200\t3.10\t5.10\t5.00\t6.00\t4.00\t3.00\t0.00\t0.00\t0.00\t0.00\t0.00\t0.00\t0.00\t"
                               "0.00\t0.00\t0.00\t40\t61\t52\t70\t1.0\t0.0\t-3.1\t0.5\t2.5\t0.0\t0.0\t0.0\t0.0\t12.3\r\n";
const std::string kZeroLine = "0\t   0\t0.00\t0.00\t0.00\t0.00\t0.00\t0.00\t0.00\t0.00\t0.00\t0.00\t0.00\t0.00\t0.00\t"
                              "0.00\t0.00\t0.00\t0\t101\t209\t209\t0.0\t0.0\t0.0\t0.0\t0.0\t0.0\t0.0\t0.0\t0.0\t0.0\r\n";
const CDiagFile::ObdValues kObd { -3.12, 0.45, 2.5, 0, 0, 0, 0, 12.34 };

CDiagScale oldController()
{
    CDiagScale scale;
    scale.version = 0x0306;
    scale.advancedFlags = 0; // no 4-bar sensor: 101 − P
    return scale;
}

class DiagFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string templ = (std::filesystem::temp_directory_path() / "korvana-osc-XXXXXX").string();
        m_dir = ::mkdtemp(templ.data());
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string slurp(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string m_dir;
};

TEST_F(DiagFileTest, LinesMatchHandWrittenOnes)
{
    EXPECT_EQ(CDiagFile::formatLine(knownRecord(), oldController(), kObd), kKnownLine);
    EXPECT_EQ(CDiagFile::formatLine(CDiag {}, oldController(), {}), kZeroLine);
}

TEST_F(DiagFileTest, WritesLinesWithCrLfAndTruncates)
{
    const std::string path = m_dir + "/run.osc";
    std::ofstream(path) << "old contents that must go\n";
    CDiagFile file;
    ASSERT_TRUE(file.open(path));
    EXPECT_EQ(file.path(), path);
    file.write(knownRecord(), oldController(), kObd);
    file.write(CDiag {}, oldController(), {});
    file.close();
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(file.path().empty());
    EXPECT_EQ(slurp(path), kKnownLine + kZeroLine);
}

TEST_F(DiagFileTest, UnopenablePathsRecordNothing)
{
    const auto cwd = fs::current_path();
    fs::current_path(m_dir);
    CDiagFile file;
    // The usual polling start: no file, and none named "\" appears either.
    EXPECT_FALSE(file.open("\\"));
    EXPECT_FALSE(fs::exists(m_dir + "/\\"));
    EXPECT_FALSE(file.open(""));
    EXPECT_FALSE(file.open(m_dir + "/missing/folder/x.osc"));
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(file.path().empty());
    EXPECT_FALSE(file.write(knownRecord(), oldController(), kObd)); // harmless
    fs::current_path(cwd);
    EXPECT_TRUE(fs::is_empty(m_dir));
}

// Only a regular file takes a recording; the others are left as they are,
// and a FIFO nobody reads does not hold the opening.
TEST_F(DiagFileTest, SomethingButARegularFileIsRefused)
{
    const std::string fifo = m_dir + "/pipe.osc";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(m_dir + "/folder.osc");
    CDiagFile file;
    EXPECT_FALSE(file.open(fifo));
    EXPECT_EQ(file.error(), EINVAL);
    EXPECT_FALSE(file.open(m_dir + "/folder.osc"));
    EXPECT_EQ(file.error(), EISDIR);
    EXPECT_FALSE(file.open("/dev/null"));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_directory(m_dir + "/folder.osc"));
}

// A line that does not fit (files limited to 1 KiB, SIGXFSZ ignored) is a
// failed write, reported with its errno; the lines before it are whole.
TEST_F(DiagFileTest, WriteThatDoesNotFitFails)
{
    const std::string path = m_dir + "/limited.osc";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim { 1024, 1024 };
        ::setrlimit(RLIMIT_FSIZE, &lim);
        CDiagFile file;
        if (!file.open(path))
            ::_exit(100);
        for (int i = 0; i < 50; ++i)
            if (!file.write(knownRecord(), oldController(), kObd))
                ::_exit(file.error() == EFBIG ? i : 101);
        ::_exit(102);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const int written = WEXITSTATUS(status);
    ASSERT_LT(written, 50) << "exit " << written;
    EXPECT_EQ(written, static_cast<int>(1024 / kKnownLine.size()));
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string whole;
    for (int i = 0; i < written; ++i)
        whole += kKnownLine;
    EXPECT_EQ(text.str().substr(0, whole.size()), whole);
}

TEST_F(DiagFileTest, DecimalPointUnderADecimalCommaLocale)
{
    const char* chosen = nullptr;
    for (const char* name : { "pl_PL.UTF-8", "pl_PL.utf8", "de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8" }) {
        if (std::setlocale(LC_NUMERIC, name)) {
            chosen = name;
            break;
        }
    }
    if (!chosen)
        GTEST_SKIP() << "no decimal-comma locale installed";
    const std::string line = CDiagFile::formatLine(knownRecord(), oldController(), kObd);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(line, kKnownLine) << chosen;
}

TEST_F(DiagFileTest, PlaybackGivesBackTheWrittenValues)
{
    const std::string path = m_dir + "/play.osc";
    {
        CDiagFile file;
        ASSERT_TRUE(file.open(path));
        file.write(knownRecord(), oldController(), kObd);
        file.write(CDiag {}, oldController(), {});
    }
    std::vector<CDiagFile::Record> records;
    ASSERT_TRUE(CDiagFile::readRecords(path, records));
    ASSERT_EQ(records.size(), 2u);
    const CDiagFile::Record first { 3, 1200, 3.10, 5.10, 5.00, 6.00, 4.00, 3.00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 61,
                                    52, 70, 1.0, 0.0, -3.1, 0.5, 2.5, 0, 0, 0, 0, 12.3 };
    for (int i = 0; i < CDiagFile::kFields; ++i)
        EXPECT_DOUBLE_EQ(records[0][static_cast<std::size_t>(i)], first[static_cast<std::size_t>(i)]) << "field "
                                                                                                      << i + 1;
    EXPECT_EQ(records[1][1], 0);
    EXPECT_EQ(records[1][19], 101);
    EXPECT_EQ(records[1][20], 209);
}

TEST_F(DiagFileTest, PlaybackStopsAtTheFirstIncompleteRecord)
{
    struct Case {
        std::string text;
        std::size_t records;
    };
    std::string first;
    std::string second;
    for (int i = 0; i < 32; ++i) {
        first += std::to_string(i) + (i == 31 ? "\r\n" : "\t");
        second += std::to_string(i + 32) + (i == 31 ? "\r\n" : "\t");
    }
    const std::string two = first + second;
    const Case cases[] = {
        { two, 2 },
        { two + "1 2 3", 2 }, // a record cut short at the end
        { first + "x " + second, 1 }, // garbage where the second begins
        { "", 0 },
    };
    for (const auto& c : cases) {
        const std::string path = m_dir + "/cut.osc";
        std::ofstream(path, std::ios::binary) << c.text;
        std::vector<CDiagFile::Record> records;
        ASSERT_TRUE(CDiagFile::readRecords(path, records));
        ASSERT_EQ(records.size(), c.records) << c.text;
        if (c.records > 0) {
            EXPECT_EQ(records[0][0], 0);
            EXPECT_EQ(records[0][31], 31);
        }
    }
    std::vector<CDiagFile::Record> none;
    EXPECT_FALSE(CDiagFile::readRecords(m_dir + "/absent.osc", none));
}

// Playback streams: each record reaches the caller as it is read, a FIFO
// (which would hold the program until someone writes) is not opened, and a
// token longer than any number ends the playback like other garbage.
TEST_F(DiagFileTest, PlaybackStreamsAndTakesOnlyRegularFiles)
{
    std::string record;
    for (int i = 0; i < 32; ++i)
        record += std::to_string(i) + (i == 31 ? "\r\n" : "\t");
    const std::string path = m_dir + "/stream.osc";
    std::ofstream(path, std::ios::binary) << record << record << std::string(1 << 20, '7') << " " << record;
    std::size_t seen = 0;
    ASSERT_TRUE(CDiagFile::readRecords(path, [&seen](const CDiagFile::Record& r) {
        EXPECT_EQ(r[31], 31);
        ++seen;
    }));
    EXPECT_EQ(seen, 2u);

    const std::string fifo = m_dir + "/pipe.osc";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<CDiagFile::Record> none;
    EXPECT_FALSE(CDiagFile::readRecords(fifo, none));
    EXPECT_FALSE(CDiagFile::readRecords(m_dir, none));
}

} // namespace
