// SPDX-License-Identifier: GPL-3.0-or-later
// The bootloader commands that firmware programming uses.
#include <app/device/lpgdevice.h>

#include <app/data/blockcodec.h>

#include <algorithm>

namespace {

constexpr int kBootAttempts = 3;

bool knownBootId(uint8_t value)
{
    return value == 246 || value == 248 || value == 251 || value == 252;
}

} // namespace

bool CLPGDevice::readBootByte(uint8_t address, uint16_t& result)
{
    const auto message = commandMessage(address);
    ExchangeBuffer buffer {};
    uint8_t length = 0;
    uint8_t type = 0;
    const bool ok = m_link.exchangeWithAttempts(
        2, message.data(), message.size(), buffer, length, type,
        [](const ExchangeBuffer& b, uint8_t len, uint8_t t) { return t == 2 && len >= 2 && b[0] == 4; }, kBootAttempts);
    if (!ok)
        return false;
    result = buffer[1];
    if (knownBootId(buffer[1]))
        return true;
    // A bootloader we do not know is left at once.
    bootCommand60();
    return false;
}

bool CLPGDevice::bootCommand60()
{
    return sendCommand(0x60, kBootAttempts);
}

bool CLPGDevice::bootWriteF6(const std::array<uint8_t, 8>& bytes)
{
    return writeRecord(0xF6, bytes, 1);
}

bool CLPGDevice::bootStartPage(uint32_t address)
{
    std::array<uint8_t, 4> record {};
    putU32(record.data(), address);
    return writeRecord(0xF9, record, kBootAttempts);
}

bool CLPGDevice::bootWriteRow(uint32_t address, const std::array<uint8_t, 192>& data)
{
    std::array<uint8_t, 196> record {};
    putU32(record.data(), address);
    std::copy(data.begin(), data.end(), record.begin() + 4);
    return writeRecord(0xF7, record, kBootAttempts);
}
