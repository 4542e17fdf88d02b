// SPDX-License-Identifier: GPL-3.0-or-later
// A diagnostic recording (.osc): 8-bit text, one line per live record, 32
// TAB-separated fields, lines ending CR LF, no header. Numbers always use a
// decimal point, whatever the locale. The writer belongs to one polling
// thread; the reader is for playback.
#pragma once

#include <app/data/diag.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

class CDiagFile {
public:
    static constexpr int kFields = 32;
    static constexpr int kObdValues = 8;
    using Record = std::array<double, kFields>;
    using ObdValues = std::array<double, kObdValues>;

    CDiagFile() = default;
    ~CDiagFile();
    CDiagFile(const CDiagFile&) = delete;
    CDiagFile& operator=(const CDiagFile&) = delete;

    // Opens path for writing, truncating it. The usual polling start passes
    // "\", which names no file: that, an empty path and a path that cannot be
    // opened record nothing, and the path is then forgotten. Only a regular
    // file (new or existing) is taken: a FIFO would block the polling thread,
    // a device node swallows or refuses the lines. True when open.
    bool open(const std::string& path);
    // Closes the file, if open, and forgets its path.
    void close();
    bool isOpen() const { return m_file != nullptr; }
    const std::string& path() const { return m_path; }

    // Appends the record's line and flushes it. False when the line could not
    // be written whole (disk full, device gone); error() then holds the errno.
    bool write(const CDiag& record, const CDiagScale& scale, const ObdValues& obd);
    // errno of the last failed open or write; 0 after a success.
    int error() const { return m_error; }

    // The record's line, CR LF included.
    static std::string formatLine(const CDiag& record, const CDiagScale& scale, const ObdValues& obd);

    // Playback: white-space separated numbers, 32 per record, until the first
    // record that cannot be read whole. False when the file cannot be opened
    // or is no regular file (a FIFO would hold the reader).
    static bool readRecords(const std::string& path, std::vector<Record>& records);
    // The same, each record handed to each as it is read: nothing but a read
    // buffer and one record is held, whatever the file's size.
    static bool readRecords(const std::string& path, const std::function<void(const Record&)>& each);
    // The same from byte offset on, each record with the offset of its first
    // number; reading ends when each returns false.
    static bool readRecordsFrom(
        const std::string& path, uint64_t offset, const std::function<bool(const Record&, uint64_t)>& each);

private:
    std::FILE* m_file = nullptr;
    std::string m_path;
    int m_error = 0;
};
