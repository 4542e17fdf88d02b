// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli map get|set|step: the injection map from a script.
//   map get [--csv] [--demo]        the map with both axes, as a table or CSV
//   map set FILE.csv [--demo]       checks the whole file first, writes the map
//                                   page and the axes, reads both back
//   map step ROW COL ROWS COLS DELTA [--neighbours] [--demo]
//                                   |DELTA| step edits of the block, as Ctrl+Up
//                                   or Ctrl+Down in the grid (record 13, then
//                                   command 0x13), each with its time to the
//                                   acknowledge
#include "cli.h"
#include "cli_connect.h"

#include <app/data/translate.h>
#include <app/device/historyrecorder.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/boundedread.h>
#include <app/platform/userinteraction.h>
#include <app/tuning/mapcsv.h>
#include <app/tuning/mapmodel.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

bool takeFlag(std::vector<std::string>& args, const char* flag)
{
    const auto it = std::find(args.begin(), args.end(), flag);
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

bool parseInt(const std::string& text, int& out)
{
    try {
        std::size_t used = 0;
        out = std::stoi(text, &used);
        return used == text.size();
    } catch (...) {
        return false;
    }
}

int mapGet(const CliContext& context, std::vector<std::string> args, bool demo)
{
    const bool csv = takeFlag(args, "--csv");
    if (!args.empty())
        return usageError("map", "map get takes only --csv");
    CLPGDevice device(*context.ports);
    if (const int code = connectDevice(context, demo, device))
        return code;
    if (const int code = requireRead(device, CReadBlocks::InjMap | CReadBlocks::MapAxes))
        return code;
    const MapFile map = mapFileOf(device.liveImage());
    std::cout << (csv ? formatMapCsv(map) : formatMapTable(map));
    return kExitOk;
}

// The first cell or breakpoint where two maps differ, or "" when they agree.
std::string firstDifference(const MapFile& a, const MapFile& b)
{
    for (int c = 0; c < kMapCols; ++c)
        if (std::fabs(a.rpm[c] - b.rpm[c]) > 1e-6)
            return "row 1, column " + std::to_string(c + 2) + ": speed " + rpmText(b.rpm[c]) + " read back";
    for (int r = 0; r < kMapRows; ++r) {
        if (std::fabs(a.time[r] - b.time[r]) > 1e-6)
            return "row " + std::to_string(r + 2) + ", column 1: time " + timeText(b.time[r]) + " read back";
        for (int c = 0; c < kMapCols; ++c)
            if (a.table[r][c] != b.table[r][c])
                return "row " + std::to_string(r + 2) + ", column " + std::to_string(c + 2) + ": "
                       + cellText(b.table[r][c]) + " read back";
    }
    return {};
}

int mapSet(const CliContext& context, std::vector<std::string> args, bool demo)
{
    if (args.size() != 1)
        return usageError("map", "map set takes one file");
    std::string text;
    if (const BoundedReadResult read = readBoundedFile(args[0], kMaxMapCsvBytes, text); read != BoundedReadResult::Read)
        return failed(args[0] + ": " + describeBoundedRead(read, kMaxMapCsvBytes) + "; nothing written");
    MapFile wanted;
    MapTextError error;
    if (!parseMapCsv(text, wanted, error))
        return failed(args[0] + ": " + error.describe() + "; nothing written");

    CLPGDevice device(*context.ports);
    if (const int code = connectDevice(context, demo, device))
        return code;
    // The file carries the whole page and both axes: nothing unread goes into
    // the controller, and a page left invalid by a cut-off write (it does not
    // read) can be written again.
    CWriteSession session(device, L"korvana-cli map set", CWriteSession::kUnreadAllowed);
    if (!session.require(CReadBlocks::InjMap | CReadBlocks::MapAxes))
        return writeFailed(session.finish(), device);
    auto& map = device.liveImage().m_corrMap;
    map.m_injMapTable = wanted.table;
    map.m_injTimeAxis = wanted.time;
    map.m_rpmAxis = wanted.rpm;
    // The page on petrol, read back, restarted; then the axes; the fuel given back at the end.
    session.write({ CReadBlocks::InjMap, CReadBlocks::MapAxes });
    if (const int code = writeFailed(session.finish(), device))
        return code;
    if (const std::string difference = firstDifference(wanted, mapFileOf(device.heldImage())); !difference.empty())
        return failed("the controller holds another map: " + difference);
    return kExitOk;
}

int mapStep(const CliContext& context, std::vector<std::string> args, bool demo)
{
    const bool neighbours = takeFlag(args, "--neighbours");
    int v[5] {};
    if (args.size() != 5 || !std::all_of(args.begin(), args.end(), [&, i = 0](const std::string& a) mutable {
            return parseInt(a, v[i++]);
        }))
        return usageError("map", "map step takes ROW COL ROWS COLS DELTA");
    const auto [row, column, rows, columns, delta] = v;
    if (row < 0 || column < 0 || rows < 1 || columns < 1 || row + rows > kMapRows || column + columns > kMapCols)
        return usageError("map", "the block must lie inside rows 0..18 and columns 0..14");
    if (delta == 0 || std::abs(delta) > 100)
        return usageError("map", "DELTA is a number of steps, -100..100 and not 0");

    CLPGDevice device(*context.ports);
    if (const int code = connectDevice(context, demo, device))
        return code;
    if (const int code = requireRead(device, CReadBlocks::InjMap | CReadBlocks::MapAxes))
        return code;
    CMapModel model(&device);
    model.refresh();
    model.setChangeNeighbours(neighbours);
    model.selectRect({ column, row, column + columns - 1, row + rows - 1 });
    // One restore point before the steps and one after them, not a pair a step.
    CHistoryScope history(device, "map");
    for (int i = 0; i < std::abs(delta); ++i) {
        const auto start = std::chrono::steady_clock::now();
        const auto result = model.incrementSelected(delta > 0 ? +1 : -1);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        char line[128];
        const auto& r = result.region;
        std::snprintf(line, sizeof line, "step %d: record 13 = %d %d %d %d %d %d, %s in %.1f ms\n", i + 1, r[0], r[1],
                      r[2], r[3], r[4], r[5], result.acknowledged ? "acknowledged" : "refused", ms);
        std::cout << line << std::flush;
        if (!result.acknowledged)
            return i > 0 ? kExitChanged : kExitFailed; // the steps before it are in the controller
    }
    return kExitOk;
}

} // namespace

int cmdMap(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    if (args.empty())
        return usageError("map", "give get, set or step");
    const std::string sub = args.front();
    args.erase(args.begin());
    try {
        if (sub == "get")
            return mapGet(context, args, demo);
        if (sub == "set")
            return mapSet(context, args, demo);
        if (sub == "step")
            return mapStep(context, args, demo);
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
    return usageError("map", "not a map command: " + sub);
}
