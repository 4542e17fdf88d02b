// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/mappage.h>

#include <app/data/conversions.h>

Record<kMemoryBlockLength> encodeMemoryBlock(const CMemoryBlock& block)
{
    Record<kMemoryBlockLength> r {};
    putU16(&r[0], block.address);
    for (std::size_t i = 0; i < kMemoryBlockData; ++i)
        r[2 + i] = block.data[i];
    return r;
}

CMemoryBlock decodeMemoryBlock(RecordView<kMemoryBlockLength> r)
{
    CMemoryBlock block;
    block.address = getU16(&r[0]);
    for (std::size_t i = 0; i < kMemoryBlockData; ++i)
        block.data[i] = r[2 + i];
    return block;
}

namespace {
constexpr std::size_t kCells = kMapRows * kMapCols;
constexpr std::size_t kFlagsOffset = kCells;
constexpr std::size_t kChecksumOffset = kCells + 1;
} // namespace

uint16_t injMapChecksum(const InjMapArea& area)
{
    uint32_t sum = 1;
    for (std::size_t i = 0; i < kChecksumOffset; ++i)
        sum += area[i];
    return static_cast<uint16_t>(sum);
}

InjMapArea encodeInjMapArea(const CSettingsImage& image)
{
    InjMapArea area {};
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapCols; ++c)
            area[r * kMapCols + c] = toU8(toPercentByte(image.m_corrMap.m_injMapTable[r][c]));
    area[kFlagsOffset] = image.m_corrMap.m_flags;
    const uint16_t sum = injMapChecksum(area);
    area[kChecksumOffset] = static_cast<uint8_t>(sum >> 8);
    area[kChecksumOffset + 1] = static_cast<uint8_t>(sum);
    return area;
}

bool decodeInjMapArea(const InjMapArea& area, CSettingsImage& image)
{
    const uint16_t stored = static_cast<uint16_t>(area[kChecksumOffset] << 8 | area[kChecksumOffset + 1]);
    if (stored != injMapChecksum(area))
        return false;
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapCols; ++c)
            image.m_corrMap.m_injMapTable[r][c] = fromPercentByte(area[r * kMapCols + c]);
    image.m_corrMap.m_flags = area[kFlagsOffset];
    return true;
}

std::array<uint8_t, kChartMapLength> demoChartMap()
{
    std::array<uint8_t, kChartMapLength> map {};
    uint16_t weights = 0;
    for (int k = 0; k < 26; ++k) {
        const double speed = 1500 + 500 * k;
        putU32(&map[4 * k], toU32(roundHalfAway(speed / 3 * 400)));
        putU16(&map[124 + 2 * k], 400);
        weights = static_cast<uint16_t>(weights + 400);
    }
    putU16(&map[186], weights);
    return map;
}
