// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/mapcsv.h>

#include <app/platform/textcodec.h>

#include <cmath>
#include <cstdio>
#include <sstream>

std::string MapTextError::describe() const
{
    return "row " + std::to_string(row) + ", column " + std::to_string(column) + ": " + reason;
}

namespace {

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    while (!lines.empty() && lines.back().find_first_not_of(" \t") == std::string::npos)
        lines.pop_back();
    return lines;
}

std::vector<std::string> splitFields(const std::string& line, char separator)
{
    std::vector<std::string> fields;
    std::string field;
    for (char ch : line) {
        if (ch == separator) {
            fields.push_back(field);
            field.clear();
        } else {
            field += ch;
        }
    }
    fields.push_back(field);
    return fields;
}

// With commas as separators a comma cannot be a decimal one.
std::optional<double> number(const std::string& field, char separator)
{
    if (separator == ',' && field.find(',') != std::string::npos)
        return std::nullopt;
    return parseDecimal(field);
}

char separatorOf(const std::string& line)
{
    if (line.find('\t') != std::string::npos)
        return '\t';
    if (line.find(';') != std::string::npos)
        return ';';
    return ',';
}

bool onStep(double v, double step)
{
    const double n = v / step;
    return std::fabs(n - std::round(n)) < 1e-6;
}

std::string shown(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

} // namespace

bool parseMapCsv(const std::string& text, MapFile& out, MapTextError& error)
{
    const auto fail = [&error](int row, int column, std::string reason) {
        error = { row, column, std::move(reason) };
        return false;
    };
    const std::vector<std::string> lines = splitLines(text);
    if (lines.empty())
        return fail(1, 1, "the file is empty");
    const char separator = separatorOf(lines[0]);
    MapFile map;
    for (int row = 0; row < static_cast<int>(lines.size()); ++row) {
        const auto fields = splitFields(lines[row], separator);
        if (row > kMapRows)
            return fail(row + 1, 1, "more than " + std::to_string(kMapRows + 1) + " lines");
        if (fields.size() != kMapCols + 1)
            return fail(row + 1, static_cast<int>(std::min(fields.size(), std::size_t(kMapCols + 1)) + 1),
                        std::to_string(fields.size()) + " fields where " + std::to_string(kMapCols + 1) + " belong");
        for (int column = row == 0 ? 1 : 0; column <= kMapCols; ++column) {
            const auto v = number(fields[column], separator);
            if (!v)
                return fail(row + 1, column + 1, "not a number: \"" + escapeControls(fields[column]) + "\"");
            if (row == 0) {
                const int c = column - 1;
                if (*v < kRpmAxisMin || *v > kRpmAxisMax)
                    return fail(1, column + 1, "speed " + shown(*v) + " outside 500 ... 8000 rpm");
                if (!onStep(*v, kRpmAxisStep))
                    return fail(1, column + 1, "speed " + shown(*v) + " is not a multiple of 100 rpm");
                if (c > 0 && *v <= map.rpm[c - 1])
                    return fail(1, column + 1, "speed " + shown(*v) + " not above the one before");
                map.rpm[c] = *v;
            } else if (column == 0) {
                const int r = row - 1;
                if (*v < kTimeAxisMin - 1e-9 || *v > kTimeAxisMax + 1e-9)
                    return fail(row + 1, 1, "time " + shown(*v) + " outside 0.2 ... 50.0 ms");
                if (!onStep(*v, kTimeAxisStep))
                    return fail(row + 1, 1, "time " + shown(*v) + " is not a multiple of 0.2 ms");
                if (r > 0 && *v <= map.time[r - 1] + 1e-9)
                    return fail(row + 1, 1, "time " + shown(*v) + " not above the one before");
                map.time[r] = roundToWhole(*v * 5) / 5;
            } else {
                if (*v < kMapCellMin || *v > kMapCellMax)
                    return fail(row + 1, column + 1, "correction " + shown(*v) + " outside -50 ... 50");
                if (!onStep(*v, 1))
                    return fail(row + 1, column + 1, "correction " + shown(*v) + " is not a whole percent");
                map.table[row - 1][column - 1] = std::round(*v);
            }
        }
    }
    if (lines.size() != kMapRows + 1)
        return fail(static_cast<int>(lines.size()) + 1, 1,
                    std::to_string(lines.size()) + " lines where " + std::to_string(kMapRows + 1) + " belong");
    out = map;
    return true;
}

std::string formatMapCsv(const MapFile& map)
{
    std::string text = "ms";
    for (double rpm : map.rpm)
        text += "," + rpmText(rpm);
    text += "\n";
    for (int r = 0; r < kMapRows; ++r) {
        text += timeText(map.time[r]);
        for (int c = 0; c < kMapCols; ++c)
            text += "," + cellText(map.table[r][c]);
        text += "\n";
    }
    return text;
}

std::string formatMapTable(const MapFile& map)
{
    char field[16];
    std::string text = "  ms\\rpm";
    for (double rpm : map.rpm) {
        std::snprintf(field, sizeof field, "%6s", rpmText(rpm).c_str());
        text += field;
    }
    text += "\n";
    for (int r = 0; r < kMapRows; ++r) {
        std::snprintf(field, sizeof field, "%8s", timeText(map.time[r]).c_str());
        text += field;
        for (int c = 0; c < kMapCols; ++c) {
            std::snprintf(field, sizeof field, "%6s", cellText(map.table[r][c]).c_str());
            text += field;
        }
        text += "\n";
    }
    return text;
}

MapFile mapFileOf(const CSettingsImage& image)
{
    MapFile map;
    map.time = image.m_corrMap.m_injTimeAxis;
    map.rpm = image.m_corrMap.m_rpmAxis;
    map.table = image.m_corrMap.m_injMapTable;
    return map;
}

bool parseMapBlock(const std::string& text, std::vector<std::vector<int>>& block, MapTextError& error)
{
    const auto fail = [&error](int row, int column, std::string reason) {
        error = { row, column, std::move(reason) };
        return false;
    };
    std::vector<std::string> lines = splitLines(text);
    if (lines.empty())
        return fail(1, 1, "nothing to paste");
    const char separator = separatorOf(lines[0]) == ',' ? '\t' : separatorOf(lines[0]);
    const bool labelled = !parseDecimal(splitFields(lines[0], separator)[0]).has_value();
    std::vector<std::vector<int>> result;
    std::size_t width = 0;
    for (std::size_t row = labelled ? 1 : 0; row < lines.size(); ++row) {
        auto fields = splitFields(lines[row], separator);
        if (labelled)
            fields.erase(fields.begin());
        if (fields.empty())
            return fail(static_cast<int>(row + 1), 1, "a line without values");
        if (width == 0)
            width = fields.size();
        if (fields.size() != width)
            return fail(static_cast<int>(row + 1), 1, "lines of different lengths");
        std::vector<int> values;
        for (std::size_t column = 0; column < fields.size(); ++column) {
            const auto v = parseDecimal(fields[column]);
            if (!v)
                return fail(static_cast<int>(row + 1), static_cast<int>(column + (labelled ? 2 : 1)),
                            "not a number: \"" + escapeControls(fields[column]) + "\"");
            values.push_back(static_cast<int>(clampCell(roundToWhole(*v))));
        }
        result.push_back(std::move(values));
    }
    if (result.empty())
        return fail(2, 1, "only labels, no values");
    block = std::move(result);
    return true;
}
