// SPDX-License-Identifier: GPL-3.0-or-later
// The map as text: the CSV file of `korvana-cli map get --csv` / `map set`
// (RPM axis as the header row, injection-time axis as the first column), the
// plain table, and the clipboard blocks of the grid. Readers take text and
// never touch a device, so a bad file is refused before anything is written.
#pragma once

#include <app/tuning/mapaxes.h>

#include <cstddef>
#include <string>
#include <vector>

using MapTable = std::array<std::array<double, kMapCols>, kMapRows>;

struct MapFile {
    TimeAxis time {};
    RpmAxis rpm {};
    MapTable table {};
};

// Where a text was refused: line and field counted from 1, and why.
struct MapTextError {
    int row = 0;
    int column = 0;
    std::string reason;

    std::string describe() const;
};

// The CSV of a whole map: a header line (a corner field, then the 15 RPM
// breakpoints) and 19 lines (the time breakpoint, then 15 cells). Fields are
// separated by commas, or by semicolons or tabs, with which a decimal comma
// is accepted. False with error set at the first fault.
bool parseMapCsv(const std::string& text, MapFile& out, MapTextError& error);
// A map CSV is under 2 kB; a file larger than this is refused unread.
constexpr std::size_t kMaxMapCsvBytes = 1u << 20;
std::string formatMapCsv(const MapFile& map);
// The map as an aligned table for a terminal.
std::string formatMapTable(const MapFile& map);
MapFile mapFileOf(const CSettingsImage& image);

// A clipboard block: rows of tab- (or semicolon-) separated numbers. When the
// first field is not a number the first line and column are axis labels and
// are skipped. Values are rounded half away from zero and clamped to the cell
// range. False, with error set, for ragged, empty or non-numeric text.
bool parseMapBlock(const std::string& text, std::vector<std::vector<int>>& block, MapTextError& error);
