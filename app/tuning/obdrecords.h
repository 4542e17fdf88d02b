// SPDX-License-Identifier: GPL-3.0-or-later
// The two OBD records the controller keeps: the connection record (record 18,
// 12 bytes: where requests go and on which bus) and the configuration record
// (record 27, 18 bytes: the automatic corrections from the fuel trims).
// Multi-byte fields are little-endian, as on the wire.
#pragma once

#include <array>
#include <cstdint>

struct CObdSettingsRecord {
    static constexpr uint8_t kMinByte10 = 8;

    uint32_t requestAddress = 0; // CAN identifier (11 or 29 bits) or K-line header
    uint32_t answerAddress = 0;
    uint8_t enabled = 0; // 1 = OBD on
    uint8_t speed = 0; // 1 = 250 kbit/s, 2 = 500 kbit/s; 3 on the K-line
    uint8_t byte10 = 0; // raised to kMinByte10 before a connection attempt
    uint8_t protocol = 0; // 1 ISO 9141-2 / 14230-4 slow init, 2 ISO 14230-4 fast init, 3 CAN

    static CObdSettingsRecord fromBytes(const std::array<uint8_t, 12>& bytes);
    std::array<uint8_t, 12> toBytes() const;
};

struct CObdMapConfig {
    // Bits of corrections.
    static constexpr uint8_t kLtft1Available = 0x01, kLtft2Available = 0x02, kSeparateBanks = 0x04;
    // Bits of advancedFlags.
    static constexpr uint8_t kStftInverted = 0x01, kLtftInverted = 0x02, kCorrDivider = 0x04, kClearSelected = 0x08,
                             kClearEmission = 0x10, kClearAll = 0x20;

    uint8_t corrections = 0; // 0: automatic OBD corrections off
    uint8_t averagingTime = 0; // seconds × 2
    uint8_t maxCorrection = 0; // percent
    uint8_t injectorBanks = 0; // bit i: injector i + 1 on bank 2
    uint8_t neutral1 = 100; // shown as value − 100
    uint8_t neutral2 = 100;
    // Bytes 6–7 as the controller holds them: a period. Kept as read, so that
    // a rewrite of an unchanged record sends the same bytes; rpm is for showing.
    uint16_t rpmPeriod = 0;
    std::array<uint16_t, 4> selectedCodes {};
    uint8_t byte16 = 0; // sent back unchanged
    uint8_t advancedFlags = 0;

    // The speed threshold in rpm (4 800 000 ÷ period, rounded); 0 for period 0.
    int rpmThreshold() const;
    // A new threshold: the period for rpm.
    void setRpmThreshold(int rpm);

    static CObdMapConfig fromBytes(const std::array<uint8_t, 18>& bytes);
    std::array<uint8_t, 18> toBytes() const;
};
