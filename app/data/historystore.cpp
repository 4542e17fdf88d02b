// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/historystore.h>

#include <app/platform/log.h>

#include <sqlite3.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kBusyTimeoutMs = 5000;

// Each step takes the schema from the version before it to its own number.
const char* const kMigrations[] = {
    // 1: points and the images they share
    "CREATE TABLE images(id INTEGER PRIMARY KEY, hash INTEGER NOT NULL, data BLOB NOT NULL);"
    "CREATE INDEX images_hash ON images(hash);"
    "CREATE TABLE points(id INTEGER PRIMARY KEY, serial TEXT NOT NULL, model TEXT NOT NULL,"
    " version INTEGER NOT NULL, time TEXT NOT NULL, operation TEXT NOT NULL, pc TEXT NOT NULL,"
    " car TEXT NOT NULL DEFAULT '', blocks INTEGER NOT NULL, image INTEGER NOT NULL REFERENCES images(id));",
    // 2: the fitter's notes, and the list of one controller without a scan
    "ALTER TABLE points ADD COLUMN note TEXT NOT NULL DEFAULT '';"
    "CREATE INDEX points_serial ON points(serial, id);",
    // 3: the car and customer of each controller, which the controller does not hold
    "CREATE TABLE cars(serial TEXT PRIMARY KEY, fields TEXT NOT NULL, time TEXT NOT NULL);",
};
static_assert(std::size(kMigrations) == CHistoryStore::kSchemaVersion);

int64_t contentHash(const std::vector<uint8_t>& data)
{
    uint64_t h = 1469598103934665603ull; // FNV-1a
    for (uint8_t b : data) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return static_cast<int64_t>(h);
}

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (db)
            sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return m_stmt != nullptr; }
    void bind(int i, int64_t v) { sqlite3_bind_int64(m_stmt, i, v); }
    void bind(int i, const std::string& v) { sqlite3_bind_text(m_stmt, i, v.data(), int(v.size()), SQLITE_TRANSIENT); }
    void bind(int i, const std::vector<uint8_t>& v)
    {
        sqlite3_bind_blob(m_stmt, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
    }
    int step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    int64_t integer(int i) const { return sqlite3_column_int64(m_stmt, i); }
    std::string text(int i) const
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
        return p ? std::string(p, std::size_t(sqlite3_column_bytes(m_stmt, i))) : std::string();
    }
    std::vector<uint8_t> blob(int i) const
    {
        const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(m_stmt, i));
        return p ? std::vector<uint8_t>(p, p + sqlite3_column_bytes(m_stmt, i)) : std::vector<uint8_t>();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

constexpr const char* kPointColumns
    = "SELECT id, serial, model, version, time, operation, pc, car, note, blocks, image FROM points ";

CHistoryPoint pointFrom(const Statement& s)
{
    CHistoryPoint p;
    p.id = s.integer(0);
    p.serial = s.text(1);
    p.model = s.text(2);
    p.version = static_cast<int32_t>(s.integer(3));
    p.time = s.text(4);
    p.operation = s.text(5);
    p.pc = s.text(6);
    p.car = s.text(7);
    p.note = s.text(8);
    p.blocks = static_cast<uint32_t>(s.integer(9));
    p.imageId = s.integer(10);
    return p;
}

// The time now in format, as UTC or local time.
std::string timeNow(const char* format, bool utc)
{
    const std::time_t now = std::time(nullptr);
    std::tm tm {};
    if (utc)
        gmtime_r(&now, &tm);
    else
        localtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, format, &tm);
    return text;
}

bool isDamage(int rc)
{
    rc &= 0xff;
    return rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT;
}

bool isBusy(int rc)
{
    rc &= 0xff;
    return rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
}

} // namespace

CHistoryStore::~CHistoryStore()
{
    close();
}

std::string CHistoryStore::defaultPath()
{
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.local/share";
    else
        base = "/tmp";
    return base + "/korvana/history.sqlite3";
}

std::string CHistoryStore::nowIso()
{
    return timeNow("%Y-%m-%dT%H:%M:%SZ", true);
}

void CHistoryStore::close()
{
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_state = State::Closed;
}

bool CHistoryStore::checkpoint()
{
    return m_db && sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr) == SQLITE_OK;
}

CHistoryStore::State CHistoryStore::fail(State state, const std::string& detail)
{
    const bool keepForReading = state == State::ReadOnly || state == State::Newer;
    if (!keepForReading && m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_state = state;
    m_detail = detail;
    logWarning("history", m_path + ": " + detail);
    return state;
}

bool CHistoryStore::exec(const char* sql)
{
    char* error = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        m_detail = error ? error : sqlite3_errstr(rc);
        sqlite3_free(error);
        return false;
    }
    return true;
}

bool CHistoryStore::moveAside()
{
    const std::string stamp = timeNow("%Y%m%d-%H%M%S", false);
    std::string aside = m_path + ".damaged-" + stamp;
    for (int n = 2; ::access(aside.c_str(), F_OK) == 0; ++n)
        aside = m_path + ".damaged-" + stamp + "-" + std::to_string(n);
    if (std::rename(m_path.c_str(), aside.c_str()) != 0)
        return false;
    // The journal files belong to the damaged file; a new database must not take them.
    for (const char* suffix : { "-wal", "-shm" })
        std::rename((m_path + suffix).c_str(), (aside + suffix).c_str());
    m_detail = aside;
    return true;
}

CHistoryStore::State CHistoryStore::open(const std::string& path, int schemaVersion)
{
    close();
    m_path = path;
    m_detail.clear();
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(path).parent_path();
    std::error_code ec;
    fs::create_directories(folder, ec);
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode))
        return fail(State::Unwritable, "not a regular file");
    if (!exists && ::access(folder.c_str(), F_OK) != 0)
        return fail(State::Unwritable, "no folder " + folder.string());
    // WAL needs its journal files beside the database, so the folder must be writable too.
    const bool canWrite = ::access(folder.c_str(), W_OK) == 0 && (!exists || ::access(path.c_str(), W_OK) == 0);
    const int flags = canWrite ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    int rc = sqlite3_open_v2(path.c_str(), &m_db, flags | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK)
        return fail(State::Unwritable, sqlite3_errstr(rc));
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);

    std::string verdict;
    {
        Statement check(m_db, "PRAGMA quick_check");
        rc = check ? check.step() : sqlite3_errcode(m_db);
        if (rc == SQLITE_ROW)
            verdict = check.text(0);
    }
    if (isBusy(rc))
        return fail(State::Busy, sqlite3_errstr(rc));
    if (!canWrite && !isDamage(rc) && rc != SQLITE_ROW) {
        // A WAL file needs its shared-memory file, which a reader that may not
        // write the folder cannot make: read it as it stands.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        std::string uri = "file:";
        for (const char c : path)
            uri += c == '%' ? std::string("%25") : c == '?' ? std::string("%3f") : c == '#' ? std::string("%23") : std::string(1, c);
        uri += "?immutable=1";
        rc = sqlite3_open_v2(uri.c_str(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX, nullptr);
        if (rc != SQLITE_OK)
            return fail(State::Unwritable, sqlite3_errstr(rc));
        Statement check(m_db, "PRAGMA quick_check");
        rc = check ? check.step() : sqlite3_errcode(m_db);
        if (rc == SQLITE_ROW)
            verdict = check.text(0);
    }
    const bool damaged = isDamage(rc) || (rc == SQLITE_ROW && verdict != "ok") || (rc != SQLITE_ROW && rc != SQLITE_DONE);
    if (damaged) {
        const std::string why = verdict.empty() ? sqlite3_errstr(rc) : verdict;
        if (!canWrite)
            return fail(State::Unwritable, "damaged (" + why + ") and not writable");
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        if (!moveAside())
            return fail(State::Unwritable, "damaged (" + why + ") and cannot be moved aside");
        const std::string aside = m_detail;
        const State again = open(path, schemaVersion);
        if (again != State::Ok)
            return again;
        m_state = State::MovedAside;
        m_detail = aside;
        logWarning("history", path + ": damaged (" + why + "), moved to " + aside);
        return m_state;
    }

    int version = 0;
    {
        Statement v(m_db, "PRAGMA user_version");
        if (v.step() == SQLITE_ROW)
            version = static_cast<int>(v.integer(0));
    }
    if (version > kSchemaVersion)
        return fail(State::Newer, "schema " + std::to_string(version) + " is newer than this program's");
    if (!canWrite)
        return fail(State::ReadOnly, "not writable");
    if (!exec("PRAGMA journal_mode=WAL"))
        return fail(isBusy(sqlite3_errcode(m_db)) ? State::Busy : State::Unwritable, m_detail);
    exec("PRAGMA synchronous=NORMAL");
    if (version < schemaVersion && !migrate(version, schemaVersion))
        return fail(isBusy(sqlite3_errcode(m_db)) ? State::Busy : State::Unwritable, m_detail);
    m_state = State::Ok;
    return m_state;
}

bool CHistoryStore::migrate(int from, int to)
{
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    // Another process may have migrated while this one waited for the lock.
    int version = from;
    {
        Statement v(m_db, "PRAGMA user_version");
        if (v.step() == SQLITE_ROW)
            version = static_cast<int>(v.integer(0));
    }
    for (int step = version; step < to; ++step) {
        if (!exec(kMigrations[step])) {
            exec("ROLLBACK");
            return false;
        }
    }
    if (version < to && !exec(("PRAGMA user_version=" + std::to_string(to)).c_str())) {
        exec("ROLLBACK");
        return false;
    }
    return exec("COMMIT");
}

int CHistoryStore::schemaVersion() const
{
    Statement v(m_db, "PRAGMA user_version");
    return v && v.step() == SQLITE_ROW ? static_cast<int>(v.integer(0)) : 0;
}

bool CHistoryStore::add(CHistoryPoint& point, const std::vector<uint8_t>& image)
{
    if (!writable())
        return false;
    if (point.time.empty())
        point.time = nowIso();
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    const int64_t hash = contentHash(image);
    int64_t imageId = 0;
    {
        Statement same(m_db, "SELECT id, data FROM images WHERE hash = ?");
        same.bind(1, hash);
        while (same.step() == SQLITE_ROW) {
            if (same.blob(1) == image) {
                imageId = same.integer(0);
                break;
            }
        }
    }
    bool ok = true;
    if (imageId == 0) {
        Statement insert(m_db, "INSERT INTO images(hash, data) VALUES(?, ?)");
        insert.bind(1, hash);
        insert.bind(2, image);
        ok = insert.step() == SQLITE_DONE;
        imageId = sqlite3_last_insert_rowid(m_db);
    }
    if (ok) {
        Statement insert(m_db,
            "INSERT INTO points(serial, model, version, time, operation, pc, car, note, blocks, image)"
            " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        insert.bind(1, point.serial);
        insert.bind(2, point.model);
        insert.bind(3, point.version);
        insert.bind(4, point.time);
        insert.bind(5, point.operation);
        insert.bind(6, point.pc);
        insert.bind(7, point.car);
        insert.bind(8, point.note);
        insert.bind(9, int64_t(point.blocks));
        insert.bind(10, imageId);
        ok = insert.step() == SQLITE_DONE;
        point.id = sqlite3_last_insert_rowid(m_db);
    }
    if (!ok) {
        m_detail = sqlite3_errmsg(m_db);
        exec("ROLLBACK");
        logWarning("history", m_path + ": a point was not stored: " + m_detail);
        return false;
    }
    point.imageId = imageId;
    return exec("COMMIT");
}

std::vector<CHistoryPoint> CHistoryStore::list(const std::string& serial) const
{
    std::vector<CHistoryPoint> points;
    Statement s(m_db, serial.empty() ? (std::string(kPointColumns) + "ORDER BY id").c_str()
                                     : (std::string(kPointColumns) + "WHERE serial = ? ORDER BY id").c_str());
    if (!serial.empty())
        s.bind(1, serial);
    while (s.step() == SQLITE_ROW)
        points.push_back(pointFrom(s));
    return points;
}

std::optional<CHistoryPoint> CHistoryStore::point(int64_t id) const
{
    Statement s(m_db, (std::string(kPointColumns) + "WHERE id = ?").c_str());
    s.bind(1, id);
    if (s.step() != SQLITE_ROW)
        return std::nullopt;
    return pointFrom(s);
}

std::optional<std::vector<uint8_t>> CHistoryStore::image(int64_t imageId) const
{
    Statement s(m_db, "SELECT data FROM images WHERE id = ?");
    s.bind(1, imageId);
    if (s.step() != SQLITE_ROW)
        return std::nullopt;
    return s.blob(0);
}

std::optional<CHistoryPoint> CHistoryStore::lastOf(const std::string& serial, const std::string& pc, int64_t beforeId) const
{
    Statement s(m_db, (std::string(kPointColumns)
                          + "WHERE serial = ? AND pc = ? AND (? = 0 OR id < ?) ORDER BY id DESC LIMIT 1")
                          .c_str());
    s.bind(1, serial);
    s.bind(2, pc);
    s.bind(3, beforeId);
    s.bind(4, beforeId);
    if (s.step() != SQLITE_ROW)
        return std::nullopt;
    return pointFrom(s);
}

bool CHistoryStore::setNote(int64_t id, const std::string& note)
{
    if (!writable())
        return false;
    Statement s(m_db, "UPDATE points SET note = ? WHERE id = ?");
    s.bind(1, note);
    s.bind(2, id);
    return s.step() == SQLITE_DONE && sqlite3_changes(m_db) == 1;
}

int64_t CHistoryStore::imageCount() const
{
    Statement s(m_db, "SELECT count(*) FROM images");
    return s.step() == SQLITE_ROW ? s.integer(0) : 0;
}

std::optional<std::string> CHistoryStore::car(const std::string& serial) const
{
    Statement s(m_db, "SELECT fields FROM cars WHERE serial = ?");
    s.bind(1, serial);
    if (s.step() != SQLITE_ROW)
        return std::nullopt;
    return s.text(0);
}

bool CHistoryStore::setCar(const std::string& serial, const std::string& fields)
{
    if (!writable() || serial.empty())
        return false;
    Statement s(m_db,
        "INSERT INTO cars(serial, fields, time) VALUES(?, ?, ?)"
        " ON CONFLICT(serial) DO UPDATE SET fields = excluded.fields, time = excluded.time");
    s.bind(1, serial);
    s.bind(2, fields);
    s.bind(3, nowIso());
    if (s.step() == SQLITE_DONE)
        return true;
    m_detail = sqlite3_errmsg(m_db);
    logWarning("history", m_path + ": the car of " + serial + " was not stored: " + m_detail);
    return false;
}
