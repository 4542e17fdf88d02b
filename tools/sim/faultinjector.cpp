// SPDX-License-Identifier: GPL-3.0-or-later
#include <tools/sim/faultinjector.h>

#include <algorithm>

CFaultInjector::CFaultInjector(uint32_t seed)
    : m_rng(seed)
{
}

void CFaultInjector::set(FaultKind kind, double rate, std::size_t after)
{
    m_kind = kind;
    m_rate = std::clamp(rate, 0.0, 1.0);
    m_spare = after;
}

void CFaultInjector::resetCounts()
{
    m_answers = 0;
    m_disturbed = 0;
    m_byKind.fill(0);
}

std::optional<FaultKind> CFaultInjector::parseKind(const std::string& name)
{
    static const std::pair<const char*, FaultKind> kinds[] = {
        { "off", FaultKind::None },       { "none", FaultKind::None },   { "stray", FaultKind::Stray },
        { "drop", FaultKind::Drop },      { "checksum", FaultKind::Checksum }, { "type", FaultKind::Type },
        { "silence", FaultKind::Silence }, { "mixed", FaultKind::Mixed },
    };
    for (const auto& [text, kind] : kinds)
        if (name == text)
            return kind;
    return std::nullopt;
}

const char* CFaultInjector::name(FaultKind kind)
{
    switch (kind) {
    case FaultKind::None: return "off";
    case FaultKind::Stray: return "stray";
    case FaultKind::Drop: return "drop";
    case FaultKind::Checksum: return "checksum";
    case FaultKind::Type: return "type";
    case FaultKind::Silence: return "silence";
    case FaultKind::Mixed: return "mixed";
    }
    return "off";
}

std::vector<uint8_t> CFaultInjector::apply(std::vector<uint8_t> frame)
{
    ++m_answers;
    if (m_spare > 0) {
        --m_spare;
        return frame;
    }
    if (m_kind == FaultKind::None || std::uniform_real_distribution<double>(0, 1)(m_rng) >= m_rate)
        return frame;
    FaultKind kind = m_kind;
    if (kind == FaultKind::Mixed)
        kind = static_cast<FaultKind>(std::uniform_int_distribution<int>(1, 5)(m_rng));
    ++m_disturbed;
    ++m_byKind[static_cast<std::size_t>(kind)];
    return disturb(kind, std::move(frame));
}

std::vector<uint8_t> CFaultInjector::disturb(FaultKind kind, std::vector<uint8_t> frame)
{
    const auto pick = [this](std::size_t from, std::size_t to) {
        return std::uniform_int_distribution<std::size_t>(from, to)(m_rng);
    };
    switch (kind) {
    case FaultKind::Stray: {
        std::vector<uint8_t> stray(pick(1, 3));
        for (auto& b : stray) {
            b = static_cast<uint8_t>(pick(0, 254));
            if (b >= 0xAA)
                ++b; // every value but the sync byte
        }
        frame.insert(frame.begin(), stray.begin(), stray.end());
        return frame;
    }
    case FaultKind::Drop:
        frame.erase(frame.begin() + static_cast<std::ptrdiff_t>(pick(0, frame.size() - 1)));
        return frame;
    case FaultKind::Checksum: {
        // Payload and checksum bytes only: a changed header would change the length read.
        const std::size_t at = pick(6, frame.size() - 1);
        frame[at] ^= static_cast<uint8_t>(1u << pick(0, 7));
        return frame;
    }
    case FaultKind::Type: {
        const uint8_t old = frame[3];
        const auto changed = static_cast<uint8_t>(old ^ 0x20);
        frame[3] = changed;
        const std::size_t n = frame.size();
        auto sum = static_cast<uint16_t>(frame[n - 2] << 8 | frame[n - 1]);
        sum = static_cast<uint16_t>(sum - old + changed);
        frame[n - 2] = static_cast<uint8_t>(sum >> 8);
        frame[n - 1] = static_cast<uint8_t>(sum & 0xFF);
        return frame;
    }
    case FaultKind::Silence:
        return {};
    default:
        return frame;
    }
}
