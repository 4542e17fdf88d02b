// SPDX-License-Identifier: GPL-3.0-or-later
// What a history point holds of a controller, as bytes: the identity, then
// every block read from it in the controller's own encoding (as a write would
// send it), then the OBD gateway's records when they were read. Kept as the
// controller holds the values, so a point written back gives the same bytes;
// the block codecs depend on the firmware version, so a point is read back
// only for the version it came from.
//
// Also what two points differ in, key by key, and the groups a point is put
// back by.
#pragma once

#include <app/data/settingsimage.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CLPGDevice;

struct CHistoryContent {
    CSettingsImage image; // blocks not held keep their defaults
    uint32_t blocks = 0; // CReadBlocks bits held (DevInfo always)
    std::optional<std::array<uint8_t, 12>> obdSettings; // record 18
    std::optional<std::array<uint8_t, 18>> obdConfig; // record 27

    bool operator==(const CHistoryContent&) const = default;
};

// The point's bytes of image's blocks (and the OBD records when given).
std::vector<uint8_t> encodeHistoryImage(const CHistoryContent& content);
// False when the bytes are not a point's (a wrong tag, a block that does not fit).
bool decodeHistoryImage(const std::vector<uint8_t>& bytes, CHistoryContent& content);
// What the controller holds as far as this connection knows (the blocks read
// or written and acknowledged, and the OBD records last read or written).
CHistoryContent heldContent(const CLPGDevice& device);

// One value a point holds: the settings file's keys of its blocks, then what
// the file lacks (axes, correction tables, schedule, OBD records). This PC's
// identifier, the counters and the car description are not among them.
struct CHistoryMember {
    std::string key; // the settings file's key, or the image member's path
    std::string raw; // as the settings file writes it: what comparisons compare
    std::string shown; // as the pages show it, with the unit
    bool mapCell = false;
};
std::vector<CHistoryMember> historyMembers(const CHistoryContent& content);

// One difference between two points.
struct CHistoryDifference {
    std::string key; // the settings file's key, or the image member's path for what the file lacks
    std::string a; // as the pages show it
    std::string b;
    bool mapCell = false;
};
// The members both hold whose values differ, in the order of a's members.
std::vector<CHistoryDifference> historyDifferences(const CHistoryContent& a, const CHistoryContent& b);

// The groups a point is put back by, and the blocks each holds. "obd" holds
// no block: it stands for the OBD gateway's records.
struct CHistoryGroup {
    const char* name;
    uint32_t blocks;
};
const std::vector<CHistoryGroup>& historyGroups();
// The blocks of a group name; false for an unknown name.
bool historyGroupBlocks(const std::string& name, uint32_t& blocks, bool& obd);
