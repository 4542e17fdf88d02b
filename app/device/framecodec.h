// SPDX-License-Identifier: GPL-3.0-or-later
// Frames on the link to the controller: AA 55, length (payload + 2), type,
// key word (high byte first), payload scrambled by 16-bit word rotation,
// checksum (high byte first). Pure functions, shared by the exchange, the
// receive decoder and the simulator.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Size of the caller-owned buffer every exchange works on (request payload in, answer payload out).
constexpr std::size_t kExchangeBufferSize = 410;
// Attempts a controller command makes before it gives up.
constexpr int kLinkAttempts = 15;
// The longest payload a length byte can describe (length = payload + 2).
constexpr std::size_t kMaxPayload = 253;

constexpr uint8_t kSync1 = 0xAA;
constexpr uint8_t kSync2 = 0x55;

using ExchangeBuffer = std::array<uint8_t, kExchangeBufferSize>;

// 1 + the plain payload bytes + key low + key high + type + length byte
// (length + 2, kept to 8 bits as on the wire), modulo 65536.
uint16_t frameChecksum(const uint8_t* payload, std::size_t length, uint16_t key, uint8_t type);

// Rotate each little-endian 16-bit word of the payload (bytes 2i, 2i+1) left or
// right by k & 15 bits; an odd last byte is left as it is.
void rotateWordsLeft(uint8_t* payload, std::size_t length, unsigned k);
void rotateWordsRight(uint8_t* payload, std::size_t length, unsigned k);

// The six bytes that open a frame: sync, length byte, type, key word.
std::array<uint8_t, 6> frameHeader(std::size_t payloadLength, uint8_t type, uint16_t key);
