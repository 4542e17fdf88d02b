// SPDX-License-Identifier: GPL-3.0-or-later
// Memory blocks and the injection map page they carry.
#include <app/device/lpgdevice.h>

#include <app/data/blockcodec.h>

#include <algorithm>

namespace {
constexpr int kMemoryBlockAttempts = 20;
} // namespace

bool CLPGDevice::readMemoryBlock(CMemoryBlock& block)
{
    if (m_demo)
        return true;
    const uint16_t address = block.address;
    const auto message = commandMessage(0x0B, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8));
    ExchangeBuffer buffer {};
    uint8_t length = 0;
    uint8_t type = 0;
    // A late answer for another block is as wrong as no answer.
    const bool ok = m_link.exchangeWithAttempts(
        2, message.data(), message.size(), buffer, length, type,
        [address](const ExchangeBuffer& b, uint8_t len, uint8_t t) {
            return t == kRecMemoryBlock && len >= kMemoryBlockLength && getU16(b.data()) == address;
        },
        kMemoryBlockAttempts);
    if (!ok)
        return false;
    block = decodeMemoryBlock(RecordView<kMemoryBlockLength>(buffer.data(), kMemoryBlockLength));
    return true;
}

bool CLPGDevice::writeMemoryBlock(const CMemoryBlock& block)
{
    return m_demo || writeRecord(kRecMemoryBlock, encodeMemoryBlock(block));
}

bool CLPGDevice::readInjMap()
{
    if (m_demo)
        return imageChanged(ImageBlock::InjMap);
    InjMapArea area {};
    for (std::size_t i = 0; i < kInjMapBlocks; ++i) {
        CMemoryBlock block;
        block.address = static_cast<uint16_t>(kInjMapAddress + i * kMemoryBlockData);
        if (!readMemoryBlock(block))
            return false;
        std::copy(block.data.begin(), block.data.end(), area.begin() + i * kMemoryBlockData);
    }
    CSettingsImage scratch = m_image;
    if (!decodeInjMapArea(area, scratch))
        return false;
    m_image.m_corrMap.m_injMapTable = scratch.m_corrMap.m_injMapTable;
    m_image.m_corrMap.m_flags = scratch.m_corrMap.m_flags;
    held(CReadBlocks::InjMap, true);
    return imageChanged(ImageBlock::InjMap);
}

bool CLPGDevice::writeInjMap()
{
    if (m_demo)
        return imageChanged(ImageBlock::InjMap);
    const InjMapArea area = encodeInjMapArea(m_image);
    CMemoryBlock block;
    for (std::size_t i = 0; i < kInjMapBlocks; ++i) {
        block.address = static_cast<uint16_t>(kInjMapAddress + i * kMemoryBlockData);
        std::copy_n(area.begin() + i * kMemoryBlockData, kMemoryBlockData, block.data.begin());
        if (!writeMemoryBlock(block))
            return false;
    }
    // The last block holds the checksum; the controller's copy of it tells whether the page arrived whole.
    CMemoryBlock last;
    last.address = static_cast<uint16_t>(kInjMapAddress + (kInjMapBlocks - 1) * kMemoryBlockData);
    if (!readMemoryBlock(last))
        return false;
    return imageChanged(ImageBlock::InjMap,
        held(CReadBlocks::InjMap,
            last.data[30] == area[kInjMapAreaSize - 2] && last.data[31] == area[kInjMapAreaSize - 1]));
}
