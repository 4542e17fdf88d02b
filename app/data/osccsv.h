// A diagnostic recording as CSV for spreadsheets: one header row naming each
// column with its unit, one row per record, time = record index × 0.1 s,
// decimal point, comma separator, UTF-8, LF line ends. Pressures are given in
// bar (the recording holds kPa); every other value as recorded.
#pragma once

#include <app/data/diagfile.h>

#include <string>
#include <vector>

class COscCsv {
public:
    // The header row, line end included.
    static std::string header();
    // One row, line end included.
    static std::string row(std::size_t index, const CDiagFile::Record& record);
    // Header and every row.
    static std::string convert(const std::vector<CDiagFile::Record>& records);
};
