// SPDX-License-Identifier: GPL-3.0-or-later
// The injection map page and the memory blocks that carry it, and the 2D-chart
// map records of demo mode.
//
// The page is 288 bytes of controller memory from address 246: the 285 map
// cells row by row (byte = percent + 100), the map flags, then a checksum high
// byte first, (1 + sum of bytes 0…285) mod 65536. It moves in nine 32-byte
// memory blocks (record 5: address, then the 32 data bytes).
#pragma once

#include <app/data/settingsimage.h>
#include <app/data/blockcodec.h>

#include <array>
#include <cstddef>
#include <cstdint>

constexpr uint16_t kInjMapAddress = 246;
constexpr std::size_t kInjMapAreaSize = 288;
constexpr std::size_t kMemoryBlockData = 32;
constexpr std::size_t kMemoryBlockLength = 34;
constexpr std::size_t kInjMapBlocks = kInjMapAreaSize / kMemoryBlockData;
constexpr std::size_t kChartMapLength = 188;

struct CMemoryBlock {
    uint16_t address = 0;
    std::array<uint8_t, kMemoryBlockData> data {};

    bool operator==(const CMemoryBlock&) const = default;
};

Record<kMemoryBlockLength> encodeMemoryBlock(const CMemoryBlock& block);
CMemoryBlock decodeMemoryBlock(RecordView<kMemoryBlockLength> bytes);

using InjMapArea = std::array<uint8_t, kInjMapAreaSize>;

// (1 + the sum of the page's bytes 0 … 285) mod 65536.
uint16_t injMapChecksum(const InjMapArea& area);
// The page of the image's map and map flags, checksum included.
InjMapArea encodeInjMapArea(const CSettingsImage& image);
// Stores the cells and the flags into image when the page's checksum holds;
// false, image untouched, when it does not.
bool decodeInjMapArea(const InjMapArea& area, CSettingsImage& image);

// What readPetrolMap / readLpgMap give in demo mode: for 26 speeds from 1500
// rpm in steps of 500, a 32-bit value at 4k and the weight 400 at 124 + 2k,
// and the sum of the weights at 186.
std::array<uint8_t, kChartMapLength> demoChartMap();
