// SPDX-License-Identifier: GPL-3.0-or-later
// Little-endian fields inside the controller's records.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

inline uint16_t getU16(const std::vector<uint8_t>& b, std::size_t at)
{
    return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

inline uint32_t getU32(const std::vector<uint8_t>& b, std::size_t at)
{
    return static_cast<uint32_t>(b.at(at)) | static_cast<uint32_t>(b.at(at + 1)) << 8
        | static_cast<uint32_t>(b.at(at + 2)) << 16 | static_cast<uint32_t>(b.at(at + 3)) << 24;
}

inline void putU16(std::vector<uint8_t>& b, std::size_t at, uint16_t v)
{
    b.at(at) = static_cast<uint8_t>(v & 0xFF);
    b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}

inline void putU32(std::vector<uint8_t>& b, std::size_t at, uint32_t v)
{
    for (std::size_t i = 0; i < 4; ++i)
        b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}

// Rounded half away from zero and kept within the field.
inline uint8_t saturateU8(double v)
{
    return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

inline uint16_t saturateU16(double v)
{
    return static_cast<uint16_t>(std::clamp(std::lround(v), 0L, 65535L));
}
