// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's bootloader: the flash array in program-memory units, the
// erase and row commands, the id query, and the rule that decides whether a
// restart finds a runnable application.
//
// Flash semantics are those of real program flash: an erase sets a block to
// all ones, a row write can only clear bits (new = old AND data), so writing
// the same row twice is harmless and a write without its erase shows in the dump.
#pragma once

#include <cstdint>
#include <vector>

struct FlashGeometry {
    uint32_t first; // first application address
    uint32_t end; // exclusive
    uint32_t eraseBlock;
    uint8_t queryCode; // 0xC5 or 0xC4
    uint8_t id; // the byte the query answers
    const char* accessCode; // the one of the two codes this model's application accepts
};

// The geometry of model 4, 5, 6 or 16; other codes get model 5's.
FlashGeometry flashGeometry(uint8_t model);

class CBootloader {
public:
    static constexpr uint32_t kRowUnits = 128; // 64 instructions
    static constexpr std::size_t kRowBytes = 192; // 3 bytes each
    // Instruction at first + 2 holding [version low, version high, kVersionMark]
    // gives the image's version (see README).
    static constexpr uint8_t kVersionMark = 0xA5;

    explicit CBootloader(uint8_t model);

    const FlashGeometry& geometry() const { return m_geometry; }
    bool active() const { return m_active; } // bootloader mode
    bool appValid() const { return m_appValid; }
    void setState(bool active, bool appValid);

    // Record 0xF6 in application mode: true when the 8 bytes are this model's access code.
    bool accessCodeMatches(const std::vector<uint8_t>& code) const;
    void enter() { m_active = true; }

    // Record 0xF9: erase the block at address. False for an address outside the
    // application area or not on a block boundary.
    bool erase(uint32_t address);
    // Record 0xF7: 4-byte address + 192 bytes. False for a misplaced row.
    bool writeRow(uint32_t address, const uint8_t* data);
    // Command 0x60: the programmer says the rows are all written.
    void leave();
    // Command 0x0A: the application runs when it was never erased, or when a
    // programming since the erase of the first block wrote rows in order from
    // the first address without a gap and was closed by leave(). An
    // interrupted programming therefore stays in the bootloader. Returns
    // whether the bootloader was left.
    bool restart();

    // The programmed image's version (kVersionMark rule); 0 when it has none.
    uint16_t imageVersion() const;
    // True once an erase has started a programming that has not been completed.
    bool programming() const { return m_sessionNext != 0; }

    // Three bytes per instruction from address 0 to the end of the area.
    const std::vector<uint8_t>& flash() const { return m_flash; }
    // The flash laid out like a firmware file's image: 4 bytes per instruction
    // (image offset 2 × address), the fourth 0 for programmed, 0xFF for erased instructions.
    std::vector<uint8_t> imageLayout() const;
    bool rowErased(uint32_t address) const;
    // Loading a saved flash: puts the bytes without the AND rule.
    void restoreRow(uint32_t address, const uint8_t* data);

private:
    std::size_t offset(uint32_t address) const { return static_cast<std::size_t>(address / 2) * 3; }

    FlashGeometry m_geometry;
    std::vector<uint8_t> m_flash;
    bool m_active = false;
    bool m_appValid = true;
    uint32_t m_sessionNext = 0; // next row expected; 0 = no programming under way
    bool m_sessionBroken = false;
    bool m_sessionWrote = false;
    bool m_sessionClosed = false;
};
