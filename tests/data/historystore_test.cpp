// SPDX-License-Identifier: GPL-3.0-or-later
// The history database on its own: points and the images they share, the
// schema's migration, two processes adding at once, and what opening does
// with a file that is damaged, garbage, read-only, a folder or from a newer
// program. Also a point's image: every block and record back as it went in,
// and the differences that count (never this PC's identifier or the counters).
#include <app/data/cardetails.h>
#include <app/data/historystore.h>
#include <app/data/readblocks.h>
#include <app/device/historyimage.h>

#include <gtest/gtest.h>
#include <scratchfolder.h>

#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class HistoryStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = scratch(::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(fs::create_directories(m_dir));
        m_path = m_dir + "/korvana/history.sqlite3";
    }
    static CHistoryPoint point(const std::string& serial, const std::string& operation)
    {
        CHistoryPoint p;
        p.serial = serial;
        p.model = "OREM 33F MOLEX";
        p.version = 0x0306;
        p.operation = operation;
        p.pc = "3d1219c7";
        p.blocks = CReadBlocks::kAll;
        return p;
    }
    void writeFile(const std::string& bytes)
    {
        fs::create_directories(fs::path(m_path).parent_path());
        std::ofstream(m_path, std::ios::binary) << bytes;
    }
    std::vector<std::string> asideFiles() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(fs::path(m_path).parent_path()))
            if (e.path().filename().string().find(".damaged-") != std::string::npos)
                names.push_back(e.path().filename().string());
        return names;
    }

    std::string m_dir;
    std::string m_path;
};

} // namespace

TEST_F(HistoryStore, PointsShareIdenticalImagesAndListNewestLast)
{
    CHistoryStore store;
    ASSERT_EQ(store.open(m_path), CHistoryStore::State::Ok) << store.detail();
    const std::vector<uint8_t> a { 1, 2, 3 };
    const std::vector<uint8_t> b { 1, 2, 4 };
    auto p1 = point("S1", "connected");
    auto p2 = point("S1", "before set");
    auto p3 = point("S2", "connected");
    ASSERT_TRUE(store.add(p1, a));
    ASSERT_TRUE(store.add(p2, a));
    ASSERT_TRUE(store.add(p3, b));
    EXPECT_EQ(p1.imageId, p2.imageId);
    EXPECT_NE(p1.imageId, p3.imageId);
    EXPECT_EQ(store.imageCount(), 2);
    EXPECT_EQ(*store.image(p3.imageId), b);

    const auto all = store.list();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].id, p1.id);
    EXPECT_EQ(all[2].serial, "S2");
    ASSERT_EQ(store.list("S1").size(), 2u);
    EXPECT_EQ(store.lastOf("S1", "3d1219c7")->operation, "before set");
    EXPECT_EQ(store.lastOf("S1", "3d1219c7", p2.id)->id, p1.id);
    EXPECT_FALSE(store.lastOf("S1", "another pc"));
    EXPECT_TRUE(store.setNote(p1.id, "przed wizytą"));
    EXPECT_FALSE(store.setNote(999, "nothing"));
    EXPECT_EQ(store.point(p1.id)->note, "przed wizytą");
    EXPECT_EQ(all[0].time.size(), std::string("2026-12-08T19:45:12Z").size());
}

// A checkpoint puts what the journal holds into the database file while the
// store stays open: a reader of the file alone then sees the point.
TEST_F(HistoryStore, ACheckpointCopiesThePointsIntoTheFileWhileOpen)
{
    CHistoryStore store;
    ASSERT_EQ(store.open(m_path), CHistoryStore::State::Ok) << store.detail();
    auto p = point("S1", "connected");
    ASSERT_TRUE(store.add(p, { 1, 2 }));
    auto pointsInFile = [this] {
        sqlite3* db = nullptr;
        int count = -1;
        if (sqlite3_open_v2(("file:" + m_path + "?immutable=1").c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                            nullptr) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, "SELECT count(*) FROM points", -1, &st, nullptr) == SQLITE_OK
                && sqlite3_step(st) == SQLITE_ROW)
                count = sqlite3_column_int(st, 0);
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return count;
    };
    EXPECT_NE(pointsInFile(), 1) << "the point should still be in the journal only";
    EXPECT_TRUE(store.checkpoint());
    EXPECT_EQ(pointsInFile(), 1);
    store.close();
    EXPECT_FALSE(store.checkpoint());
}

// A file of the first schema (no notes) gains the later steps in place and keeps its points.
TEST_F(HistoryStore, AnOlderSchemaIsMigratedInPlace)
{
    {
        CHistoryStore old;
        ASSERT_EQ(old.open(m_path, 1), CHistoryStore::State::Ok);
        EXPECT_EQ(old.schemaVersion(), 1);
    }
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(m_path.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                      "INSERT INTO images(hash, data) VALUES(7, x'0102');"
                      "INSERT INTO points(serial, model, version, time, operation, pc, blocks, image)"
                      " VALUES('S1', 'M', 774, '2026-11-30T13:02:00Z', 'connected', 'pc', 4095, 1);",
                      nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    CHistoryStore store;
    ASSERT_EQ(store.open(m_path), CHistoryStore::State::Ok) << store.detail();
    EXPECT_EQ(store.schemaVersion(), CHistoryStore::kSchemaVersion);
    const auto points = store.list();
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].time, "2026-11-30T13:02:00Z");
    EXPECT_TRUE(store.setNote(points[0].id, "migrated"));
    EXPECT_TRUE(store.setCar("S1", "vendor=Skoda\n")) << "the cars of the third step";
}

// The car of a controller: kept by serial, replaced whole, told apart from
// "none kept"; its text form round-trips every field, Polish letters and the
// reducer pressure, and a line break typed into a field cannot start a key.
TEST_F(HistoryStore, TheCarIsKeptBySerial)
{
    CHistoryStore store;
    ASSERT_EQ(store.open(m_path), CHistoryStore::State::Ok) << store.detail();
    EXPECT_FALSE(store.car("S1"));
    CCarDetails car;
    car.m_carInfo.m_vendor = L"Skoda";
    car.m_carInfo.m_model = L"Octavia";
    car.m_carInfo.m_engine = L"1.6 MPI";
    car.m_carInfo.m_power = L"75 kW";
    car.m_carInfo.m_prodYear = L"2011";
    car.m_carInfo.m_injectors = L"4";
    car.m_carInfo.m_reductorPress = 1.2;
    car.m_vin = L"KRVZZZ1ZZAK012345";
    car.m_registration = L"WE 12345";
    car.m_odometer = L"187000";
    car.m_customer = L"Zażółć Gęślą";
    car.m_phone = L"+48 600 100 200";
    ASSERT_TRUE(store.setCar("S1", car.toText()));
    EXPECT_EQ(CCarDetails::fromText(*store.car("S1")), car);
    EXPECT_EQ(car.title(), L"Skoda Octavia 1.6 MPI");

    CCarDetails other;
    other.m_customer = L"Jan\nvin=FAKE";
    ASSERT_TRUE(store.setCar("S1", other.toText()));
    const CCarDetails back = CCarDetails::fromText(*store.car("S1"));
    EXPECT_EQ(back.m_customer, L"Jan vin=FAKE");
    EXPECT_EQ(back.m_vin, L"");
    EXPECT_EQ(back.m_carInfo, CCarInfo {});
    EXPECT_FALSE(store.car("S2"));
    EXPECT_FALSE(store.setCar("", "vendor=x\n"));
}

// The program and the CLI at once: every point of both arrives.
TEST_F(HistoryStore, TwoProcessesAddingAtOnceLoseNothing)
{
    {
        CHistoryStore first;
        ASSERT_EQ(first.open(m_path), CHistoryStore::State::Ok);
    }
    constexpr int kEach = 150;
    std::vector<pid_t> children;
    for (int c = 0; c < 2; ++c) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            CHistoryStore store;
            int added = 0;
            if (store.open(m_path) == CHistoryStore::State::Ok)
                for (int i = 0; i < kEach; ++i) {
                    auto p = point("S" + std::to_string(c), "connected");
                    added += store.add(p, { uint8_t(c), uint8_t(i), uint8_t(i >> 8) });
                }
            ::_exit(added == kEach ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    CHistoryStore store;
    ASSERT_EQ(store.open(m_path), CHistoryStore::State::Ok);
    EXPECT_EQ(store.list("S0").size(), std::size_t(kEach));
    EXPECT_EQ(store.list("S1").size(), std::size_t(kEach));
    EXPECT_EQ(store.imageCount(), 2 * kEach);
}

// Garbage and a cut-off file are moved aside, never deleted, and a new history starts.
TEST_F(HistoryStore, ADamagedFileIsMovedAsideAndANewOneStarted)
{
    for (const bool truncated : { false, true }) {
        SCOPED_TRACE(truncated ? "truncated" : "garbage");
        std::string bytes;
        if (truncated) {
            {
                CHistoryStore full;
                ASSERT_EQ(full.open(m_path), CHistoryStore::State::Ok);
                for (int i = 0; i < 200; ++i) {
                    auto p = point("S1", "connected");
                    ASSERT_TRUE(full.add(p, std::vector<uint8_t>(600, uint8_t(i))));
                }
            }
            std::ifstream in(m_path, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), {});
            ASSERT_GT(bytes.size(), 20000u);
            bytes.resize(bytes.size() / 3);
        } else {
            bytes = std::string(5000, '\x5a');
        }
        fs::remove_all(fs::path(m_path).parent_path());
        writeFile(bytes);
        CHistoryStore store;
        EXPECT_EQ(store.open(m_path), CHistoryStore::State::MovedAside);
        EXPECT_TRUE(store.writable());
        ASSERT_EQ(asideFiles().size(), 1u);
        EXPECT_EQ(fs::file_size(store.detail()), bytes.size()) << store.detail();
        auto p = point("S1", "connected");
        EXPECT_TRUE(store.add(p, { 1 }));
        EXPECT_EQ(store.list().size(), 1u);
    }
}

TEST_F(HistoryStore, AFolderInItsPlaceOrANewerSchemaIsLeftAlone)
{
    fs::create_directories(m_path);
    CHistoryStore store;
    EXPECT_EQ(store.open(m_path), CHistoryStore::State::Unwritable);
    EXPECT_FALSE(store.writable());
    EXPECT_TRUE(fs::is_directory(m_path));
    fs::remove(m_path);

    {
        CHistoryStore first;
        ASSERT_EQ(first.open(m_path), CHistoryStore::State::Ok);
        auto p = point("S1", "connected");
        ASSERT_TRUE(first.add(p, { 1 }));
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA user_version=99", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(store.open(m_path), CHistoryStore::State::Newer);
    EXPECT_FALSE(store.writable());
    EXPECT_EQ(store.list().size(), 1u); // still listed
    EXPECT_TRUE(asideFiles().empty());
}

// A file this user may not write: listed, never written, never moved.
TEST_F(HistoryStore, AReadOnlyFileIsListedButNotWritten)
{
    {
        CHistoryStore first;
        ASSERT_EQ(first.open(m_path), CHistoryStore::State::Ok);
        auto p = point("S1", "connected");
        ASSERT_TRUE(first.add(p, { 1 }));
    }
    fs::permissions(m_path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // The ordinary user passes through the folders above it.
    fs::permissions(fs::path(m_dir).parent_path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(m_dir, fs::perms::all);
    fs::permissions(fs::path(m_path).parent_path(), fs::perms::owner_all | fs::perms::group_read
                        | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // root may write anything: the check runs as an ordinary user.
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            if (!nobody || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)
                ::_exit(3);
        }
        CHistoryStore store;
        const bool readOnly = store.open(m_path) == CHistoryStore::State::ReadOnly;
        auto p = point("S1", "connected");
        const bool refused = !store.writable() && !store.add(p, { 2 });
        ::_exit(readOnly && refused && store.list().size() == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_TRUE(asideFiles().empty());
}

TEST(HistoryImage, EveryBlockAndRecordComesBackAsItWentIn)
{
    CHistoryContent content;
    content.blocks = CReadBlocks::kAll;
    auto& im = content.image;
    im.m_devInfo.m_serial = L"SIM0412345";
    im.m_devInfo.m_version = 0x0306;
    im.m_base.m_switchRPM = 1500;
    im.m_corrMap.m_injMapTable[3][4] = 12;
    im.m_corrMap.m_rpmAxis[14] = 7000;
    im.m_sensorsSetup.m_temprCorr[2] = 5;
    im.m_sensorsSetup.m_pressCorr[7] = -3;
    im.m_automapMode = 2;
    content.obdSettings = std::array<uint8_t, 12> { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 };
    const auto bytes = encodeHistoryImage(content);
    CHistoryContent back;
    ASSERT_TRUE(decodeHistoryImage(bytes, back));
    EXPECT_EQ(back.blocks, content.blocks);
    EXPECT_EQ(encodeHistoryImage(back), bytes);
    EXPECT_EQ(back.image.m_corrMap.m_rpmAxis[14], 7000);
    EXPECT_EQ(back.image.m_sensorsSetup.m_temprCorr[2], 5);
    EXPECT_EQ(back.obdSettings, content.obdSettings);
    EXPECT_FALSE(back.obdConfig);

    // Every cut of the bytes is refused, never read past.
    for (std::size_t n = 0; n < bytes.size(); n += 7)
        EXPECT_FALSE(decodeHistoryImage(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(n)), back)) << n;
}

TEST(HistoryImage, DifferencesCountSettingsAndMapCellsButNeverTheCounters)
{
    CHistoryContent a;
    a.blocks = CReadBlocks::kAll;
    CHistoryContent b = a;
    b.image.m_base.m_pcId = { 1, 2, 3, 4 };
    b.image.m_advancedSetup.m_inspectionCounter = 12345;
    b.image.m_devInfo.m_statistic.lpg = 99;
    b.image.m_carInfo.m_vendor = L"Skoda";
    EXPECT_TRUE(historyDifferences(a, b).empty());

    b.image.m_base.m_switchTempr = 40;
    b.image.m_corrMap.m_injMapTable[0][0] = 5;
    b.image.m_corrMap.m_injMapTable[18][14] = -5;
    b.image.m_corrMap.m_injTimeAxis[0] = 2.5;
    const auto d = historyDifferences(a, b);
    ASSERT_EQ(d.size(), 4u);
    int cells = 0;
    for (const auto& x : d)
        cells += x.mapCell;
    EXPECT_EQ(cells, 2);
    EXPECT_EQ(d.back().key, "m_corrMap.m_injTimeAxis[1]");

    // A block only one of them holds is no difference.
    b.blocks &= ~CReadBlocks::InjMap;
    for (const auto& x : historyDifferences(a, b))
        EXPECT_FALSE(x.mapCell) << x.key;
}
