// One live readings record: the controller's readings answer as received
// (payload, then the frame's two checksum bytes), zero-padded to 84 bytes,
// followed by the polling sequence number. A plain copyable value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class CDiag {
public:
    static constexpr std::size_t kSize = 88;
    // Bytes that the readings answer may fill; the sequence number follows them.
    static constexpr std::size_t kAnswerBytes = 84;
    // The part cleared before each answer is copied in.
    static constexpr std::size_t kClearedBytes = 82;

    CDiag() = default;

    uint8_t* bytes() { return m_bytes.data(); }
    const uint8_t* bytes() const { return m_bytes.data(); }

    // Controller fuel state: 2 = petrol, 3 = LPG.
    uint8_t fuelState() const { return m_bytes[0]; }
    void setFuelState(uint8_t state) { m_bytes[0] = state; }

    uint32_t sequence() const;
    void setSequence(uint32_t n);

private:
    std::array<uint8_t, kSize> m_bytes {};
};
