// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/framecodec.h>

namespace {

uint16_t rotl16(uint16_t w, unsigned k)
{
    k &= 15;
    return k == 0 ? w : static_cast<uint16_t>((w << k) | (w >> (16 - k)));
}

template <class Rotate>
void rotateWords(uint8_t* payload, std::size_t length, Rotate rotate)
{
    for (std::size_t i = 0; i + 1 < length; i += 2) {
        const auto word = static_cast<uint16_t>(payload[i] | (payload[i + 1] << 8));
        const uint16_t out = rotate(word);
        payload[i] = static_cast<uint8_t>(out & 0xFF);
        payload[i + 1] = static_cast<uint8_t>(out >> 8);
    }
}

} // namespace

uint16_t frameChecksum(const uint8_t* payload, std::size_t length, uint16_t key, uint8_t type)
{
    unsigned sum = 1;
    for (std::size_t i = 0; i < length; ++i)
        sum += payload[i];
    sum += (key & 0xFFu) + (key >> 8) + type + static_cast<uint8_t>(length + 2);
    return static_cast<uint16_t>(sum);
}

void rotateWordsLeft(uint8_t* payload, std::size_t length, unsigned k)
{
    rotateWords(payload, length, [k](uint16_t w) { return rotl16(w, k); });
}

void rotateWordsRight(uint8_t* payload, std::size_t length, unsigned k)
{
    rotateWords(payload, length, [k](uint16_t w) { return rotl16(w, 16 - (k & 15)); });
}

std::array<uint8_t, 6> frameHeader(std::size_t payloadLength, uint8_t type, uint16_t key)
{
    return { kSync1, kSync2, static_cast<uint8_t>(payloadLength + 2), type, static_cast<uint8_t>(key >> 8),
             static_cast<uint8_t>(key & 0xFF) };
}
