// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli osc2csv on recordings made by the recorder itself: demo readings
// written line by line as the polling thread writes them, converted and read
// back against the decoded records; to stdout without an output name; and a
// truncated recording, which fails naming its line and leaves no file; and
// output saved only over a regular file, through links, keeping its mode.
#include <childprocess.h>

#include <app/data/demodiag.h>
#include <app/data/diag.h>
#include <app/data/diagdata.h>
#include <app/data/diagfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The tool's address space for the large conversion, in KiB: its code and
// libraries fit, a 40 MB recording held whole (with its records and CSV) does
// not. A sanitizer's shadow memory needs far more: under one, no cap.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr const char* kCliAddressSpaceKb = "unlimited";
#else
constexpr const char* kCliAddressSpaceKb = "122880";
#endif

using namespace std::chrono_literals;

std::vector<std::string> splitCsv(const std::string& line)
{
    std::vector<std::string> cells;
    std::stringstream in(line);
    std::string cell;
    while (std::getline(in, cell, ','))
        cells.push_back(cell);
    return cells;
}

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class Osc2Csv : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string templ = (std::filesystem::temp_directory_path() / "korvana-osc2csv-XXXXXX").string();
        m_dir = ::mkdtemp(templ.data());
        // Twenty demo records on LPG, recorded as the polling thread does.
        resetDemoRecords();
        CDiagData queue;
        CDiagFile file;
        ASSERT_TRUE(file.open((m_dir / "drive.osc").string()));
        const CDiagFile::ObdValues obd {4.5, -1.56, 0, 0, 0.43, 0.48, 0, 0};
        for (int i = 0; i < 20; ++i) {
            CDiag record;
            buildDemoRecord(record, queue, 3, m_scale);
            file.write(record, m_scale, obd);
            m_records.push_back(record);
        }
        file.close();
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path m_dir;
    CDiagScale m_scale;
    std::vector<CDiag> m_records;
};

TEST_F(Osc2Csv, RecordedDriveConvertsWithHeaderAndValues)
{
    const fs::path out = m_dir / "drive.csv";
    const ProgramResult r = runProgram(KORVANA_CLI, {"osc2csv", (m_dir / "drive.osc").string(), out.string()}, 20s);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::stringstream csv(readAll(out));
    std::string line;
    ASSERT_TRUE(std::getline(csv, line));
    const std::vector<std::string> header = splitCsv(line);
    ASSERT_EQ(header.size(), 33u);
    EXPECT_EQ(header[0], "t_s");
    EXPECT_EQ(header[2], "rpm");
    EXPECT_EQ(header[3], "petrol_ms_1");
    EXPECT_EQ(header[11], "lpg_ms_1");
    EXPECT_EQ(header[19], "p_lpg_bar");
    EXPECT_EQ(header[25], "stft1_pct");
    auto column = [&](const char* name) {
        return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
    };
    int rows = 0;
    while (std::getline(csv, line)) {
        const std::vector<std::string> cells = splitCsv(line);
        ASSERT_EQ(cells.size(), 33u) << line;
        const CDiag& d = m_records[static_cast<std::size_t>(rows)];
        // Each value as the recorder rounded it, in the header's unit.
        EXPECT_NEAR(std::stod(cells[0]), rows * 0.1, 1e-9);
        EXPECT_EQ(std::stoi(cells[column("fuel_state")]), 3);
        EXPECT_NEAR(std::stod(cells[column("rpm")]), d.rpm(), 0.5);
        const int slot = d.injectorSlot(2);
        EXPECT_NEAR(std::stod(cells[column("petrol_ms_3")]), d.petrolTime(slot), 0.0051);
        EXPECT_NEAR(std::stod(cells[column("lpg_ms_3")]), d.lpgTime(slot), 0.0051);
        EXPECT_NEAR(std::stod(cells[column("p_lpg_bar")]), d.lpgPressure() / 100.0, 0.0051);
        EXPECT_NEAR(std::stod(cells[column("p_map_bar")]), d.manifoldPressure(m_scale) / 100.0, 0.0051);
        EXPECT_NEAR(std::stod(cells[column("t_reducer_c")]), d.reducerTempr(m_scale), 0.5);
        EXPECT_NEAR(std::stod(cells[column("lambda1_v")]), d.lambda1(), 0.05);
        EXPECT_DOUBLE_EQ(std::stod(cells[column("ltft1_pct")]), -1.6);
        ++rows;
    }
    EXPECT_EQ(rows, 20);
}

TEST_F(Osc2Csv, WithoutOutputNameWritesToStdout)
{
    const ProgramResult r = runProgram(KORVANA_CLI, {"osc2csv", (m_dir / "drive.osc").string()}, 20s);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("t_s,fuel_state,rpm,", 0), 0u);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 21);
}

TEST_F(Osc2Csv, TruncatedRecordingFailsWithItsLineAndLeavesNothing)
{
    std::string text = readAll(m_dir / "drive.osc");
    // Cut inside the 13th line, as a program killed while writing would leave it.
    std::size_t cut = 0;
    for (int i = 0; i < 12; ++i)
        cut = text.find('\n', cut) + 1;
    std::ofstream(m_dir / "cut.osc", std::ios::binary) << text.substr(0, cut + 30);
    const fs::path out = m_dir / "cut.csv";
    const ProgramResult r = runProgram(KORVANA_CLI, {"osc2csv", (m_dir / "cut.osc").string(), out.string()}, 20s);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cut.osc:13:"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("truncated"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
    // Nothing else appeared beside the recordings either.
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2);
}

TEST_F(Osc2Csv, OtherFilesAreRefused)
{
    std::ofstream(m_dir / "notes.txt") << "hello\n";
    EXPECT_EQ(runProgram(KORVANA_CLI, {"osc2csv", (m_dir / "notes.txt").string()}, 20s).exitCode, 1);
    std::ofstream(m_dir / "fake.osc") << "[settings]\n";
    const ProgramResult r = runProgram(KORVANA_CLI, {"osc2csv", (m_dir / "fake.osc").string()}, 20s);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("fake.osc:1: not a number"), std::string::npos) << r.err;
    EXPECT_EQ(runProgram(KORVANA_CLI, {"osc2csv"}, 20s).exitCode, 2);
}

TEST_F(Osc2Csv, OutputIsSavedAsEveryFileIsAndOnlyOverARegularFile)
{
    const std::string osc = (m_dir / "drive.osc").string();
    auto convert = [&](const fs::path& out) { return runProgram(KORVANA_CLI, {"osc2csv", osc, out.string()}, 20s); };

    // Through a link into the file it names: the link stays.
    std::ofstream(m_dir / "real.csv") << "old\n";
    fs::create_symlink("real.csv", m_dir / "latest.csv");
    ProgramResult r = convert(m_dir / "latest.csv");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(m_dir / "latest.csv")));
    EXPECT_EQ(readAll(m_dir / "real.csv").rfind("t_s,", 0), 0u);

    // A file kept read-only keeps its mode when the process may write it.
    std::ofstream(m_dir / "kept.csv") << "old\n";
    fs::permissions(m_dir / "kept.csv", fs::perms::owner_read | fs::perms::group_read);
    r = convert(m_dir / "kept.csv");
    if (::geteuid() == 0) {
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(readAll(m_dir / "kept.csv").rfind("t_s,", 0), 0u);
    } else {
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(readAll(m_dir / "kept.csv"), "old\n");
    }
    EXPECT_EQ(fs::status(m_dir / "kept.csv").permissions(), fs::perms::owner_read | fs::perms::group_read);

    // A FIFO and a device node (a scratch copy of the null device's) are refused and stay.
    ASSERT_EQ(::mkfifo((m_dir / "pipe.csv").c_str(), 0666), 0);
    r = convert(m_dir / "pipe.csv");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(m_dir / "pipe.csv")));
    if (::mknod((m_dir / "null.csv").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0) {
        r = convert(m_dir / "null.csv");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(fs::is_character_file(fs::symlink_status(m_dir / "null.csv")));
    }
    // A link to a device node: the node is refused, the link stays.
    fs::create_symlink("/dev/null", m_dir / "tonull.csv");
    EXPECT_EQ(convert(m_dir / "tonull.csv").exitCode, 1);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(m_dir / "tonull.csv")));

    for (const auto& entry : fs::directory_iterator(m_dir))
        EXPECT_EQ(entry.path().filename().string().find(".csv."), std::string::npos)
            << "temporary file left behind: " << entry.path();
}

// A workday's recording (40 MB) converts in a small, fixed memory: the tool
// runs with its address space capped far below what holding the recording,
// its records or its CSV would take. A FIFO in place of a recording is refused
// instead of holding the tool.
TEST_F(Osc2Csv, WorkdayRecordingConvertsInBoundedMemory)
{
    const std::string drive = readAll(m_dir / "drive.osc");
    const std::size_t lines = static_cast<std::size_t>(std::count(drive.begin(), drive.end(), '\n'));
    const fs::path big = m_dir / "workday.osc";
    std::size_t records = 0;
    {
        std::ofstream out(big, std::ios::binary);
        while (records * drive.size() / lines < (40u << 20)) {
            out << drive;
            records += lines;
        }
    }
    const fs::path csv = m_dir / "workday.csv";
    const ProgramResult r = runProgram("/bin/sh",
        { "-c", "ulimit -v " + std::string(kCliAddressSpaceKb) + " && exec \"$0\" \"$@\"", KORVANA_CLI, "osc2csv",
            big.string(), csv.string() },
        60s);
    ASSERT_FALSE(r.timedOut);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, std::to_string(records) + " records written to " + csv.string() + "\n");
    std::ifstream in(csv, std::ios::binary);
    std::size_t rows = 0;
    std::string row;
    std::string last;
    while (std::getline(in, row)) {
        ++rows;
        last = row;
    }
    EXPECT_EQ(rows, records + 1);
    // Time = index × 0.1 s: the last row is the recording's last record.
    EXPECT_EQ(last.substr(0, last.find(',')), std::to_string((records - 1) / 10) + "." + std::to_string((records - 1) % 10));

    ASSERT_EQ(::mkfifo((m_dir / "live.osc").c_str(), 0666), 0);
    const ProgramResult fifo = runProgram(KORVANA_CLI, { "osc2csv", (m_dir / "live.osc").string() }, 20s);
    EXPECT_FALSE(fifo.timedOut);
    EXPECT_EQ(fifo.exitCode, 1);
    EXPECT_NE(fifo.err.find("live.osc: not a regular file"), std::string::npos) << fifo.err;
}

} // namespace
