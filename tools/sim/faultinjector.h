// SPDX-License-Identifier: GPL-3.0-or-later
// Disturbs a share of the answer frames the way a bad cable or a confused
// controller would. Each answer is disturbed with probability rate; the kind
// is fixed or, for mixed, drawn per answer:
//   stray     1 … 3 bytes (never 0xAA) before the frame
//   drop      one byte of the frame missing
//   checksum  one bit of the payload or checksum flipped
//   type      another type byte, with a checksum that fits it
//   silence   no answer at all
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

enum class FaultKind { None, Stray, Drop, Checksum, Type, Silence, Mixed };

class CFaultInjector {
public:
    explicit CFaultInjector(uint32_t seed = 1);

    // The next answers answers pass untouched before the fault starts
    // (a controller that answers the identification, then falls silent).
    void set(FaultKind kind, double rate, std::size_t after = 0);
    std::size_t spared() const { return m_spare; }
    FaultKind kind() const { return m_kind; }
    double rate() const { return m_rate; }

    // The bytes to send for an encoded answer frame; empty for silence.
    std::vector<uint8_t> apply(std::vector<uint8_t> frame);

    std::size_t answers() const { return m_answers; }
    std::size_t disturbed() const { return m_disturbed; }
    std::size_t disturbed(FaultKind kind) const { return m_byKind[static_cast<std::size_t>(kind)]; }
    void resetCounts();

    static std::optional<FaultKind> parseKind(const std::string& name);
    static const char* name(FaultKind kind);

private:
    std::vector<uint8_t> disturb(FaultKind kind, std::vector<uint8_t> frame);

    std::mt19937 m_rng;
    FaultKind m_kind = FaultKind::None;
    double m_rate = 0;
    std::size_t m_spare = 0;
    std::size_t m_answers = 0;
    std::size_t m_disturbed = 0;
    std::array<std::size_t, 7> m_byKind {};
};
