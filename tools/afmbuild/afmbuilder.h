// SPDX-License-Identifier: GPL-3.0-or-later
// Writes .afm firmware files for tests and the simulator, independently of the
// program's loader: a flash image (4 bytes per instruction from address 0),
// a model name and a version in, the stored file bytes out. Knobs let tests
// build files that the loader must refuse (wrong size, checksum, marker).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct AfmContent {
    std::vector<uint8_t> image;
    uint16_t version = 0x0306;
    std::string modelName; // code page 1250 bytes; the field holds at most 19
    uint16_t marker = 0x0101;
    // The 60 body bytes between image bytes 8319 and 8320 that the image leaves out.
    std::array<uint8_t, 60> gap {};
    // The header's body size; the true body size when unset.
    std::optional<uint32_t> announcedSize;
    // Added to the correct checksum (0 for a good file).
    int checksumDelta = 0;
};

// The whole file as stored (every byte rotated left by 2 bits).
std::vector<uint8_t> buildAfm(const AfmContent& content);

// The 40-byte header and the body before rotation, for tests that look inside.
std::vector<uint8_t> afmPlainBytes(const AfmContent& content);

// The model's application range, in program-memory address units.
struct AfmModel {
    uint8_t code;
    const char* name;
    uint32_t first;
    uint32_t end; // exclusive
};
// Model 4, 5, 6 or 16; nullptr for any other code.
const AfmModel* afmModel(uint8_t code);

// A made-up firmware image covering addresses 0 … end of the model: the
// application range filled with pseudo-random instructions from seed, pad
// bytes 0, the area below the range erased (0xFF). The instruction at
// first + 2 holds [version low, version high, 0xA5], which the simulator
// reports as the running version after a restart.
std::vector<uint8_t> syntheticImage(const AfmModel& model, uint16_t version, uint32_t seed = 1);
