// SPDX-License-Identifier: GPL-3.0-or-later
// One live readings record: the controller's readings answer as received
// (payload, then the frame's two checksum bytes), zero-padded to 84 bytes,
// followed by the polling sequence number. A plain copyable value; every
// accessor is pure and any thread may call it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class CSettingsImage;

// What decoding a record needs from the settings image: the two temperature
// sensor columns and what selects the manifold pressure characteristic.
// Taken as a copy, so a thread can decode while the image changes elsewhere.
struct CDiagScale {
    uint8_t engineSensor = 0; // m_sensorsSetup.m_temprEngineSensor
    uint8_t lpgSensor = 0; // m_sensorsSetup.m_temprLPGSensor
    int32_t version = 0; // m_devInfo.m_version
    uint8_t advancedFlags = 0; // m_advancedSetup.m_advancedFlags

    CDiagScale() = default;
    // Implicit on purpose: pages pass the live image where a scale is asked for.
    CDiagScale(const CSettingsImage& image);
};

class CDiag {
public:
    static constexpr std::size_t kSize = 88;
    // Bytes that the readings answer may fill; the sequence number follows them.
    static constexpr std::size_t kAnswerBytes = 84;
    // The part cleared before each answer is copied in.
    static constexpr std::size_t kClearedBytes = 82;
    // Petrol/LPG time slots; injector k owns slots 2k and 2k + 1.
    static constexpr int kSlots = 16;
    static constexpr int kInjectors = 8;

    // Byte offsets of the multi-byte fields.
    static constexpr std::size_t kRpmPeriodAt = 16;
    static constexpr std::size_t kPetrolAt = 18; // + 4 × slot
    static constexpr std::size_t kOffsetAt = 20; // + 4 × slot

    CDiag() = default;

    uint8_t* bytes() { return m_bytes.data(); }
    const uint8_t* bytes() const { return m_bytes.data(); }

    // Raw access for building records (demo mode, tests); offsets beyond the
    // record read 0 and are not written.
    uint8_t u8(std::size_t at) const { return at < kSize ? m_bytes[at] : 0; }
    void setU8(std::size_t at, uint8_t value);
    uint16_t u16(std::size_t at) const;
    void setU16(std::size_t at, uint16_t value);

    // Controller fuel state: 2 = petrol, 3 = LPG (4 and 5 are queued as 3).
    uint8_t fuelState() const { return m_bytes[0]; }
    void setFuelState(uint8_t state) { m_bytes[0] = state; }
    // 1 = the automatic switch to LPG is pending.
    uint8_t switchMode() const { return m_bytes[1]; }
    uint8_t lpgMask1() const { return m_bytes[11]; }
    uint8_t lpgMask2() const { return m_bytes[12]; }
    uint8_t injectorMask() const { return m_bytes[13]; }
    // Raw level-sensor byte.
    uint8_t gasLevel() const { return m_bytes[14]; }

    // °C through the sensor's temperature characteristic.
    double reducerTempr(const CDiagScale& scale) const;
    double lpgTempr(const CDiagScale& scale) const;
    // Volts.
    double supplyVoltage() const;
    double lambda1() const;
    double lambda2() const;
    // kPa.
    double lpgPressure() const;
    // 101 − the first characteristic on controllers before 0x250 or without the
    // 4-bar sensor flag; the second characteristic otherwise.
    double manifoldPressure(const CDiagScale& scale) const;

    uint16_t rpmPeriod() const { return u16(kRpmPeriodAt); }
    // 4 800 000 ÷ period, not rounded; 0 for a period of 0 or a result below 100.
    double rpm() const;

    // Slot i = 0 … 15; other slots read 0.
    uint16_t petrolRaw(int i) const;
    uint16_t lpgOffset(int i) const;
    // ms = raw × 0.025.
    double petrolTime(int i) const;
    // ms: rounded petrol time plus the signed offset, to 0.01; 0 without petrol time.
    double lpgTime(int i) const;
    // The slot that stands for injector k = 0 … 7: the larger petrol time, the
    // first slot when both are equal.
    int injectorSlot(int k) const;

    uint32_t sequence() const;
    void setSequence(uint32_t n);

private:
    std::array<uint8_t, kSize> m_bytes {};
};
