// SPDX-License-Identifier: GPL-3.0-or-later
// A diagnostic recording as CSV for spreadsheets: one header row naming each
// column with its unit, one row per record, time = record index × 0.1 s,
// decimal point, comma separator, UTF-8, LF line ends. Pressures are given in
// bar (the recording holds kPa); every other value as recorded.
#pragma once

#include <app/data/diagfile.h>
#include <app/data/oscparser.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class COscCsv {
public:
    // The header row, line end included.
    static std::string header();
    // One row, line end included.
    static std::string row(std::size_t index, const CDiagFile::Record& record);
    // Header and every row.
    static std::string convert(const std::vector<CDiagFile::Record>& records);

    enum class Status {
        Done,
        Unreadable, // missing, no permission, a read error
        NotRegularFile, // a FIFO or a device node would block or never end
        BadLine, // error says which and why
        WriteFailed, // write gave up
    };
    struct SFileResult {
        Status status = Status::Done;
        COscParser::SError error;
        std::size_t records = 0;
    };
    // Converts the recording at oscPath as it is read, handing the CSV to
    // write in pieces (header first); write returns false to stop. Holds no
    // more than a read buffer and one line, whatever the recording's size.
    // At a bad line the pieces before it have been written already: a caller
    // that must not leave half a file runs it once with a write that drops
    // everything, to check, and then for real.
    static SFileResult convertFile(const std::string& oscPath, const std::function<bool(std::string_view)>& write);
};
