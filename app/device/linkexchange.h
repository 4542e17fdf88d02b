// SPDX-License-Identifier: GPL-3.0-or-later
// One request and its answer on a link the caller has to itself: the device
// object's exchange under its link lock, and the controller search's look at
// several ports at once, each on a port of its own.
#pragma once

#include <app/device/framecodec.h>

#include <array>
#include <cstdint>

class ILink;
enum class LinkFailure;

// Sends buffer's first length bytes as a frame of this type, scrambled with
// key, and puts the answer in their place (type and length too). False on a
// link fault or silence, with the reason in failure.
bool exchangeOnLink(
    ILink& link, ExchangeBuffer& buffer, uint8_t& length, uint8_t& type, uint16_t key, LinkFailure& failure);

// The identification every connection starts with, tried this many times.
inline constexpr uint8_t kIdentifyType = 2;
inline constexpr std::array<uint8_t, 6> kIdentifyRequest = { 0xCC, 0x00, 0x00, 0x04, 0x00, 0x00 };
inline constexpr int kIdentifyAttempts = 4;
// The first byte of the answer: the application or the bootloader answered.
inline constexpr uint8_t kIdentifiedApplication = 4;
inline constexpr uint8_t kIdentifiedBootloader = 5;

inline bool isIdentifyAnswer(const ExchangeBuffer& answer, uint8_t length, uint8_t type)
{
    return type == kIdentifyType && length >= 2
        && (answer[0] == kIdentifiedApplication || answer[0] == kIdentifiedBootloader);
}
