// SPDX-License-Identifier: GPL-3.0-or-later
// The car's generic powertrain trouble codes P0100 … P0656 with their English
// descriptions, and the text the OBD page lists for a code read from the car.
// The descriptions are the program's own and are never translated.
#pragma once

#include <cstdint>
#include <map>
#include <string>

class COBDCodes {
public:
    static constexpr std::size_t kCodeCount = 385;

    COBDCodes();
    virtual ~COBDCodes() = default;

    // The table text ("P0171   System too Lean (Bank 1)"), or for an unknown
    // code "P0999  Nieznany " (translated); a P0xxx code whose second digit is
    // 0 that may stand for its P01xx neighbour gets ". Możliwe : " and that entry.
    std::wstring description(uint16_t code) const;

    // The code as printed everywhere: the letter of bits 15–14 (P, C, B, U),
    // then bits 13–0 as four hex digits ("P0171" for 0x0171, "U0100" for 0xC100).
    static std::wstring codeText(uint16_t code);

    // The whole table, ordered by code value (0x0171 for P0171).
    const std::map<uint16_t, std::wstring>& codes() const { return m_codes; }

private:
    const std::map<uint16_t, std::wstring>& m_codes;
};
