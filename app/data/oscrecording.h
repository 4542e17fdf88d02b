// SPDX-License-Identifier: GPL-3.0-or-later
// A recording opened for playback with a position: counted once, then read
// from any record on. Only every 64th record's place in the file is kept, so
// a workday's recording costs a few kilobytes however long it is; a seek reads
// at most 63 records it does not need. Qt-free.
#pragma once

#include <app/data/diagfile.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class COscRecording {
public:
    // A record every 100 ms: the recording's clock.
    static constexpr double kSecondsPerRecord = 0.1;

    // False when the file cannot be opened or is no regular file; a file
    // whose first record is not whole opens with no records.
    bool open(const std::string& path);
    const std::string& path() const { return m_path; }
    std::size_t count() const { return m_count; }
    // Records first … first + n − 1 (fewer at the end) into out, replacing it.
    // False when the file could no longer be read.
    bool read(std::size_t first, std::size_t n, std::vector<CDiagFile::Record>& out) const;
    // Cylinders 0 … 7 whose petrol or LPG time is not zero in some record (bit k).
    uint8_t cylindersUsed() const { return m_cylinders; }

private:
    static constexpr std::size_t kStride = 64;
    std::string m_path;
    std::size_t m_count = 0;
    std::vector<uint64_t> m_offsets; // of records 0, 64, 128 …
    uint8_t m_cylinders = 0;
};
