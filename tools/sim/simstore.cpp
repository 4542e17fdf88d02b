// SPDX-License-Identifier: GPL-3.0-or-later
#include <tools/sim/simstore.h>

#include <tools/sim/simbytes.h>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr uint8_t kPetrolMap = 28;
constexpr uint8_t kLpgMap = 29;

} // namespace

std::size_t CSimStore::settingsRecordLength(uint8_t code)
{
    switch (code) {
    case 4: return 22;
    case 7: return 40;
    case 9: return 40;
    case 15: return 16;
    case 18: return 12;
    case 26: return 30;
    case 27: return 18;
    case 30: return 30;
    case 31: return 28;
    case 32: return 26;
    case 33: return 8;
    case 34: return 38;
    default: return 0;
    }
}

CSimStore::CSimStore()
{
    for (int code = 0; code < 256; ++code) {
        const std::size_t length = settingsRecordLength(static_cast<uint8_t>(code));
        if (length > 0)
            m_records[static_cast<uint8_t>(code)] = std::vector<uint8_t>(length, 0);
    }
    m_records[kPetrolMap] = std::vector<uint8_t>(kChartMapLength, 0);
    m_records[kLpgMap] = std::vector<uint8_t>(kChartMapLength, 0);
    m_memory.fill(0xFF);
    for (int i = 0; i < kMapRows * kMapColumns; ++i)
        m_memory[kMapPageAddress + i] = 100;
    m_memory[kMapPageAddress + 285] = 0;
    sealMapPage();
}

const std::vector<uint8_t>& CSimStore::record(uint8_t code) const
{
    return m_records.at(code);
}

std::vector<uint8_t>& CSimStore::record(uint8_t code)
{
    return m_records.at(code);
}

bool CSimStore::writeRecord(uint8_t code, const std::vector<uint8_t>& bytes)
{
    const std::size_t length = settingsRecordLength(code);
    if (length == 0 || bytes.size() != length)
        return false;
    m_records[code] = bytes;
    return true;
}

bool CSimStore::readBlock(uint16_t address, uint8_t* out) const
{
    if (address + kBlockSize > kMemorySize)
        return false;
    std::copy_n(m_memory.begin() + address, kBlockSize, out);
    return true;
}

bool CSimStore::writeBlock(uint16_t address, const uint8_t* data)
{
    if (address + kBlockSize > kMemorySize)
        return false;
    std::copy_n(data, kBlockSize, m_memory.begin() + address);
    return true;
}

bool CSimStore::mapPageValid() const
{
    unsigned sum = 1;
    for (std::size_t i = 0; i < 286; ++i)
        sum += m_memory[kMapPageAddress + i];
    const auto stored = static_cast<uint16_t>(m_memory[kMapPageAddress + 286] << 8 | m_memory[kMapPageAddress + 287]);
    return static_cast<uint16_t>(sum) == stored;
}

void CSimStore::sealMapPage()
{
    unsigned sum = 1;
    for (std::size_t i = 0; i < 286; ++i)
        sum += m_memory[kMapPageAddress + i];
    m_memory[kMapPageAddress + 286] = static_cast<uint8_t>((sum >> 8) & 0xFF);
    m_memory[kMapPageAddress + 287] = static_cast<uint8_t>(sum & 0xFF);
}

int CSimStore::mapCell(int row, int column) const
{
    return m_memory.at(static_cast<std::size_t>(kMapPageAddress + row * kMapColumns + column)) - 100;
}

void CSimStore::setMapCell(int row, int column, int percent)
{
    m_memory.at(static_cast<std::size_t>(kMapPageAddress + row * kMapColumns + column))
        = static_cast<uint8_t>(std::clamp(percent, -50, 50) + 100);
}

std::vector<uint8_t> CSimStore::identityRecord() const
{
    std::vector<uint8_t> r(30, 0);
    putU32(r, 0, identity.flags1);
    putU32(r, 4, identity.flags2);
    putU16(r, 8, identity.prodDays);
    putU16(r, 10, identity.version);
    std::copy(identity.serial.begin(), identity.serial.end(), r.begin() + 12);
    r[28] = identity.injectors;
    r[29] = identity.model;
    return r;
}

std::vector<uint8_t> CSimStore::statisticsRecord() const
{
    std::vector<uint8_t> r(12, 0);
    putU32(r, 0, statPetrol);
    putU32(r, 4, statLpg);
    putU32(r, 8, statModify);
    return r;
}

std::vector<uint8_t> CSimStore::errorRecord() const
{
    return { errors.begin(), errors.end() };
}

void CSimStore::addChartSample(bool lpg, int cell, uint16_t ticks)
{
    if (cell < 0 || cell >= kChartMapCells)
        return;
    auto& map = record(lpg ? kLpgMap : kPetrolMap);
    const std::size_t countAt = 124 + 2 * static_cast<std::size_t>(cell);
    const uint16_t count = getU16(map, countAt);
    const uint16_t total = getU16(map, 186);
    const uint32_t sum = getU32(map, 4 * static_cast<std::size_t>(cell));
    if (count == 0xFFFF || total == 0xFFFF || sum > 0xFFFFFFFFu - ticks)
        return;
    putU32(map, 4 * static_cast<std::size_t>(cell), sum + ticks);
    putU16(map, countAt, static_cast<uint16_t>(count + 1));
    putU16(map, 186, static_cast<uint16_t>(total + 1));
}

void CSimStore::clearChartMap(bool lpg)
{
    auto& map = record(lpg ? kLpgMap : kPetrolMap);
    std::fill(map.begin(), map.end(), 0);
}
