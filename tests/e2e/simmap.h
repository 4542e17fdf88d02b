// SPDX-License-Identifier: GPL-3.0-or-later
// The injection map as korvana-sim holds it, taken from its "dump store"
// reply: the map page at memory address 246 (byte = percent + 100) and the
// axes record 34 (time × 5, rpm ÷ 100). Decoded here, not by the core.
#pragma once

#include <simprocess.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct SimMap {
    std::array<std::array<int, 15>, 19> cells {};
    std::array<int, 19> timeBytes {};
    std::array<int, 15> rpmBytes {};
    bool ok = false;
};

inline std::vector<uint8_t> simHexField(const std::string& reply, const std::string& key)
{
    std::vector<uint8_t> bytes;
    const auto at = reply.find(" " + key + "=");
    if (at == std::string::npos)
        return bytes;
    for (std::size_t i = at + key.size() + 2; i + 1 < reply.size() && reply[i] != ' '; i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(reply.substr(i, 2), nullptr, 16)));
    return bytes;
}

inline SimMap simMap(CSimProcess& sim)
{
    SimMap map;
    const std::string reply = sim.send("dump store");
    const auto memory = simHexField(reply, "memory");
    const auto axes = simHexField(reply, "record34");
    if (memory.size() < 246 + 288 || axes.size() < 34)
        return map;
    for (int r = 0; r < 19; ++r)
        for (int c = 0; c < 15; ++c)
            map.cells[r][c] = memory[246 + 15 * r + c] - 100;
    for (int r = 0; r < 19; ++r)
        map.timeBytes[r] = axes[r];
    for (int c = 0; c < 15; ++c)
        map.rpmBytes[c] = axes[19 + c];
    map.ok = true;
    return map;
}
