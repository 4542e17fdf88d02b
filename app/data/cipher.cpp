// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/cipher.h>

#include <bit>

namespace {

constexpr uint8_t kSbox[8][16] = {
    { 3, 8, 15, 1, 10, 6, 5, 11, 14, 13, 4, 2, 7, 0, 9, 12 },
    { 15, 12, 2, 7, 9, 0, 5, 10, 1, 11, 14, 8, 6, 13, 3, 4 },
    { 8, 6, 7, 9, 3, 12, 10, 15, 13, 1, 14, 4, 0, 11, 5, 2 },
    { 0, 15, 11, 8, 12, 9, 6, 3, 13, 1, 2, 4, 10, 7, 5, 14 },
    { 1, 15, 8, 3, 12, 0, 11, 6, 2, 5, 4, 10, 9, 14, 7, 13 },
    { 15, 5, 2, 11, 4, 10, 9, 12, 0, 3, 14, 8, 13, 6, 7, 1 },
    { 7, 2, 12, 5, 8, 4, 6, 11, 14, 9, 1, 15, 13, 3, 10, 0 },
    { 1, 13, 15, 0, 14, 8, 2, 11, 7, 4, 12, 10, 9, 3, 5, 6 },
};

struct InverseBoxes {
    uint8_t box[8][16] {};
    constexpr InverseBoxes()
    {
        for (int b = 0; b < 8; ++b)
            for (int n = 0; n < 16; ++n)
                box[b][kSbox[b][n]] = static_cast<uint8_t>(n);
    }
};
constexpr InverseBoxes kInverse;

using Words = std::array<uint32_t, 4>;

uint32_t substitute(uint32_t word, const uint8_t (&box)[16])
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 4)
        out |= static_cast<uint32_t>(box[(word >> shift) & 0xF]) << shift;
    return out;
}

void substitute(Words& x, const uint8_t (&box)[16])
{
    for (auto& word : x)
        word = substitute(word, box);
}

void mixKey(Words& x, const Words& key)
{
    for (int i = 0; i < 4; ++i)
        x[i] ^= key[i];
}

void linear(Words& x)
{
    x[0] = std::rotl(x[0], 13);
    x[2] = std::rotl(x[2], 3);
    x[1] ^= x[0] ^ x[2];
    x[3] ^= x[2] ^ (x[0] << 3);
    x[1] = std::rotl(x[1], 1);
    x[3] = std::rotl(x[3], 7);
    x[0] ^= x[1] ^ x[3];
    x[2] ^= x[3] ^ (x[1] << 7);
    x[0] = std::rotl(x[0], 5);
    x[2] = std::rotl(x[2], 22);
}

void inverseLinear(Words& x)
{
    x[2] = std::rotr(x[2], 22);
    x[0] = std::rotr(x[0], 5);
    x[2] ^= x[3] ^ (x[1] << 7);
    x[0] ^= x[1] ^ x[3];
    x[3] = std::rotr(x[3], 7);
    x[1] = std::rotr(x[1], 1);
    x[3] ^= x[2] ^ (x[0] << 3);
    x[1] ^= x[0] ^ x[2];
    x[2] = std::rotr(x[2], 3);
    x[0] = std::rotr(x[0], 13);
}

Words load(const CCipher::Block& block)
{
    Words x {};
    for (int i = 0; i < 4; ++i)
        x[i] = static_cast<uint32_t>(block[4 * i]) | static_cast<uint32_t>(block[4 * i + 1]) << 8
            | static_cast<uint32_t>(block[4 * i + 2]) << 16 | static_cast<uint32_t>(block[4 * i + 3]) << 24;
    return x;
}

CCipher::Block store(const Words& x)
{
    CCipher::Block block {};
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k)
            block[4 * i + k] = static_cast<uint8_t>(x[i] >> (8 * k));
    return block;
}

} // namespace

CCipher::CCipher(std::span<const uint8_t, 32> key)
{
    // w[0 … 7] hold the key words w[−8 … −1]; prekey word i sits at w[i + 8].
    std::array<uint32_t, 8 + 132> w {};
    for (int i = 0; i < 8; ++i)
        w[i] = static_cast<uint32_t>(key[4 * i]) | static_cast<uint32_t>(key[4 * i + 1]) << 8
            | static_cast<uint32_t>(key[4 * i + 2]) << 16 | static_cast<uint32_t>(key[4 * i + 3]) << 24;
    for (uint32_t i = 0; i < 132; ++i) {
        const uint32_t j = i + 8;
        w[j] = w[j - 8] ^ w[j - 5] ^ w[j - 3] ^ w[j - 1] ^ 0x9E3779B9u ^ i;
    }
    for (int i = 0; i < 132; ++i) {
        // (3 − i) mod 8 taken as 0 … 7: word 4 uses box 7, not box −1.
        const int box = ((3 - i) % 8 + 8) % 8;
        m_roundKeys[i / 4][i % 4] = substitute(w[i + 8], kSbox[box]);
    }
}

CCipher CCipher::fromKeyText(std::string_view text)
{
    std::array<uint8_t, 32> key {};
    for (std::size_t i = 0; i < key.size() && i < text.size(); ++i)
        key[i] = static_cast<uint8_t>(text[i]);
    return CCipher(key);
}

CCipher::Block CCipher::decrypt(const Block& block) const
{
    Words x = load(block);
    mixKey(x, m_roundKeys[32]);
    substitute(x, kInverse.box[7]);
    mixKey(x, m_roundKeys[31]);
    for (int r = 30; r >= 0; --r) {
        inverseLinear(x);
        substitute(x, kInverse.box[r % 8]);
        mixKey(x, m_roundKeys[r]);
    }
    return store(x);
}

CCipher::Block CCipher::encrypt(const Block& block) const
{
    Words x = load(block);
    for (int r = 0; r <= 30; ++r) {
        mixKey(x, m_roundKeys[r]);
        substitute(x, kSbox[r % 8]);
        linear(x);
    }
    mixKey(x, m_roundKeys[31]);
    substitute(x, kSbox[7]);
    mixKey(x, m_roundKeys[32]);
    return store(x);
}

uint8_t CCipher::sbox(int box, int nibble)
{
    return kSbox[box & 7][nibble & 0xF];
}

uint8_t CCipher::inverseSbox(int box, int nibble)
{
    return kInverse.box[box & 7][nibble & 0xF];
}
