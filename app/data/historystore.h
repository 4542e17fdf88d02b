// SPDX-License-Identifier: GPL-3.0-or-later
// The local history of every controller this PC has seen: a SQLite database
// of points (an image of everything read from a controller, with who, when
// and why) kept at $XDG_DATA_HOME/korvana/history.sqlite3.
//
// The program and the CLI may write at once: the database runs in WAL mode
// with a busy time-out and each point goes in one immediate transaction.
// Opening checks the schema version (older files are migrated in place) and
// the file's integrity. A file that fails the check is moved aside, never
// deleted, and a new one started; a busy, read-only or newer file is left
// alone (a read-only or newer one can still be listed). Nothing here ever
// blocks a connection: a store that did not open only says why.
//
// Images are stored once by content: points of the same image share a row.
// The image bytes are the caller's own format (see history.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

struct CHistoryPoint {
    int64_t id = 0;
    std::string serial;
    std::string model;
    int32_t version = 0; // the firmware version, high byte major
    std::string time; // ISO 8601, UTC ("2026-12-08T19:45:12Z")
    std::string operation; // "connected", "before set", "after set" …
    std::string pc; // this PC's identifier, 8 hex digits
    std::string car; // the car fields, "key=value" lines
    std::string note;
    uint32_t blocks = 0; // the blocks the image holds (CReadBlocks bits)
    int64_t imageId = 0;
};

class CHistoryStore {
public:
    enum class State {
        Closed, // not opened yet
        Ok,
        MovedAside, // damaged: moved aside and a new one started (works)
        Busy, // another process holds it locked past the time-out
        ReadOnly, // the file or its folder may not be written (listing works)
        Newer, // written by a newer korvana (listing works)
        Unwritable, // no database can be made there (a folder in its place, no folder)
    };

    static constexpr int kSchemaVersion = 3;

    CHistoryStore() = default;
    ~CHistoryStore();
    CHistoryStore(const CHistoryStore&) = delete;
    CHistoryStore& operator=(const CHistoryStore&) = delete;

    // $XDG_DATA_HOME/korvana/history.sqlite3 ($HOME/.local/share when unset or not absolute).
    static std::string defaultPath();

    // Opens (creating the file and its folder) and checks the database.
    // schemaVersion: tests make older files with a lower one.
    State open(const std::string& path, int schemaVersion = kSchemaVersion);
    void close();
    // Copies what the journal holds into the database, without waiting for
    // readers, so that closing finds little to copy. False when it copied nothing.
    bool checkpoint();
    State state() const { return m_state; }
    // Points can be added (Ok or MovedAside).
    bool writable() const { return m_state == State::Ok || m_state == State::MovedAside; }
    // Points can be listed and read.
    bool readable() const { return m_db != nullptr; }
    const std::string& path() const { return m_path; }
    // Where a damaged file was moved (MovedAside); the sqlite message otherwise.
    const std::string& detail() const { return m_detail; }
    // The version the open file has now (after migration).
    int schemaVersion() const;

    // Adds point with image; fills point.id, point.imageId and, when empty,
    // point.time. False when the store is not writable or the write failed.
    bool add(CHistoryPoint& point, const std::vector<uint8_t>& image);
    // Newest last. An empty serial lists every controller.
    std::vector<CHistoryPoint> list(const std::string& serial = {}) const;
    std::optional<CHistoryPoint> point(int64_t id) const;
    std::optional<std::vector<uint8_t>> image(int64_t imageId) const;
    // The newest point of serial taken by pc, before the point beforeId (0: any).
    std::optional<CHistoryPoint> lastOf(const std::string& serial, const std::string& pc, int64_t beforeId = 0) const;
    bool setNote(int64_t id, const std::string& note);
    // The car fields kept for a controller (CCarDetails text), nullopt when none were.
    std::optional<std::string> car(const std::string& serial) const;
    // Replaces them. False when the store is not writable or serial is empty.
    bool setCar(const std::string& serial, const std::string& fields);
    // How many image rows hold the points (the content store at work).
    int64_t imageCount() const;

    // The current time as the points hold it.
    static std::string nowIso();

private:
    bool exec(const char* sql);
    bool migrate(int from, int to);
    State fail(State state, const std::string& detail);
    bool moveAside();

    sqlite3* m_db = nullptr;
    std::string m_path;
    State m_state = State::Closed;
    std::string m_detail;
};
