// SPDX-License-Identifier: GPL-3.0-or-later
#include <tools/sim/bootloader.h>

#include <algorithm>
#include <cstring>

FlashGeometry flashGeometry(uint8_t model)
{
    switch (model) {
    case 4: return { 0x2000, 0x9C00, 0x400, 0xC5, 252, "QQ402917" };
    case 6: return { 0x1800, 0x8800, 0x800, 0xC4, 248, "BQ402917" };
    case 16: return { 0x1800, 0x8800, 0x800, 0xC4, 246, "BQ402917" };
    default: return { 0x2000, 0x9C00, 0x400, 0xC5, 251, "QQ402917" };
    }
}

CBootloader::CBootloader(uint8_t model)
    : m_geometry(flashGeometry(model))
    , m_flash(static_cast<std::size_t>(m_geometry.end / 2) * 3, 0xFF)
{
}

void CBootloader::setState(bool active, bool appValid)
{
    m_active = active;
    m_appValid = appValid;
}

bool CBootloader::accessCodeMatches(const std::vector<uint8_t>& code) const
{
    return code.size() == 8 && std::memcmp(code.data(), m_geometry.accessCode, 8) == 0;
}

bool CBootloader::erase(uint32_t address)
{
    if (address < m_geometry.first || address >= m_geometry.end || address % m_geometry.eraseBlock != 0)
        return false;
    const uint32_t stop = std::min(address + m_geometry.eraseBlock, m_geometry.end);
    std::fill(m_flash.begin() + static_cast<std::ptrdiff_t>(offset(address)),
              m_flash.begin() + static_cast<std::ptrdiff_t>(offset(stop)), 0xFF);
    m_appValid = false;
    if (address == m_geometry.first || m_sessionNext == 0) {
        // A programming starts (again) with the erase of the first block.
        m_sessionNext = m_geometry.first;
        m_sessionBroken = address != m_geometry.first;
        m_sessionWrote = false;
    }
    m_sessionClosed = false;
    return true;
}

bool CBootloader::writeRow(uint32_t address, const uint8_t* data)
{
    if (address < m_geometry.first || address + kRowUnits > m_geometry.end || address % kRowUnits != 0)
        return false;
    uint8_t* row = m_flash.data() + offset(address);
    for (std::size_t i = 0; i < kRowBytes; ++i)
        row[i] &= data[i];
    if (m_sessionNext == 0) {
        m_sessionBroken = true; // rows without a preceding erase of the first block
        m_sessionNext = address + kRowUnits;
    } else if (address == m_sessionNext) {
        m_sessionNext += kRowUnits;
    } else if (address + kRowUnits != m_sessionNext) {
        m_sessionBroken = true; // a gap or a step back (a repeated last row is fine)
    }
    m_sessionWrote = true;
    m_sessionClosed = false;
    return true;
}

void CBootloader::leave()
{
    m_sessionClosed = m_sessionWrote;
}

bool CBootloader::restart()
{
    if (m_sessionNext != 0 && m_sessionWrote && !m_sessionBroken && m_sessionClosed)
        m_appValid = true;
    if (m_appValid) {
        m_sessionNext = 0;
        m_sessionBroken = false;
        m_sessionWrote = false;
        m_sessionClosed = false;
        m_active = false;
    }
    return !m_active;
}

uint16_t CBootloader::imageVersion() const
{
    const uint8_t* ins = m_flash.data() + offset(m_geometry.first + 2);
    if (ins[2] != kVersionMark)
        return 0;
    return static_cast<uint16_t>(ins[0] | ins[1] << 8);
}

std::vector<uint8_t> CBootloader::imageLayout() const
{
    const std::size_t instructions = m_flash.size() / 3;
    std::vector<uint8_t> image(instructions * 4);
    for (std::size_t i = 0; i < instructions; ++i) {
        const uint8_t* ins = m_flash.data() + 3 * i;
        std::copy_n(ins, 3, image.data() + 4 * i);
        const bool erased = ins[0] == 0xFF && ins[1] == 0xFF && ins[2] == 0xFF;
        image[4 * i + 3] = erased ? 0xFF : 0x00;
    }
    return image;
}

bool CBootloader::rowErased(uint32_t address) const
{
    const uint8_t* row = m_flash.data() + offset(address);
    return std::all_of(row, row + kRowBytes, [](uint8_t b) { return b == 0xFF; });
}

void CBootloader::restoreRow(uint32_t address, const uint8_t* data)
{
    if (address + kRowUnits <= m_geometry.end && address % kRowUnits == 0)
        std::copy_n(data, kRowBytes, m_flash.data() + offset(address));
}
