// SPDX-License-Identifier: GPL-3.0-or-later
// The program's 128-bit block cipher, used to decipher controller serial
// numbers. It takes the eight S-boxes and the linear transform of the
// published Serpent cipher but differs from it: the key schedule has no
// rotation and substitutes each prekey word w[i] through S-box (3 − i) mod 8,
// and every substitution works nibble by nibble within each 32-bit word (no
// bit-slicing, no initial or final permutation). Blocks are four
// little-endian words.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

class CCipher {
public:
    using Block = std::array<uint8_t, 16>;

    explicit CCipher(std::span<const uint8_t, 32> key);
    // The key from the low bytes of the first 32 characters of text; missing
    // characters count as 0.
    static CCipher fromKeyText(std::string_view text);

    Block decrypt(const Block& block) const;
    // The inverse of decrypt; the program itself only deciphers.
    Block encrypt(const Block& block) const;

    // Entry nibble of S-box box (0 … 7) and of its inverse.
    static uint8_t sbox(int box, int nibble);
    static uint8_t inverseSbox(int box, int nibble);

private:
    std::array<std::array<uint32_t, 4>, 33> m_roundKeys {};
};
