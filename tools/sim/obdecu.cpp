// SPDX-License-Identifier: GPL-3.0-or-later
#include <tools/sim/obdecu.h>

#include <tools/sim/simbytes.h>

#include <algorithm>
#include <cmath>

namespace {

uint8_t byteOf(double v)
{
    return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

uint8_t trimByte(double percent)
{
    return byteOf(128 + percent * 128 / 100);
}

} // namespace

CObdEcu::CObdEcu(const CEngineModel& engine, CSimStore& store, ObdBus bus, uint8_t canSpeed)
    : m_engine(engine)
    , m_store(store)
    , m_bus(bus)
    , m_canSpeed(canSpeed)
{
}

bool CObdEcu::twoBanks() const
{
    return m_store.identity.injectors > 4;
}

uint32_t CObdEcu::supportedPids() const
{
    std::vector<uint8_t> pids = { 0x01, 0x04, 0x05, 0x06, 0x07, 0x0B, 0x0C, 0x0D, 0x13, 0x14, 0x15, 0x1C };
    if (twoBanks())
        pids.insert(pids.end(), { 0x08, 0x09, 0x18, 0x19 });
    uint32_t mask = 0;
    for (uint8_t pid : pids)
        mask |= 1u << (32 - pid);
    return mask;
}

std::vector<uint8_t> CObdEcu::pidData(uint8_t pid) const
{
    const double bank2Offset = 1.5; // the second bank runs a little leaner
    switch (pid) {
    case 0x00: {
        const uint32_t m = supportedPids();
        return { static_cast<uint8_t>(m >> 24), static_cast<uint8_t>(m >> 16), static_cast<uint8_t>(m >> 8),
                 static_cast<uint8_t>(m) };
    }
    case 0x01: {
        const auto count = static_cast<uint8_t>(std::min<std::size_t>(m_store.dtcs.size(), 0x7F));
        return { static_cast<uint8_t>((count > 0 ? 0x80 : 0) | count), 0x07, 0x65, 0x00 };
    }
    case 0x04: return { byteOf(m_engine.running() ? m_engine.manifoldKpa() / 101 * 255 : 0) };
    case 0x05: return { byteOf(m_engine.coolantCelsius() + 40) };
    case 0x06: return { trimByte(m_engine.shortTrimPercent()) };
    case 0x07: return { trimByte(m_engine.longTrimPercent()) };
    case 0x08: return { trimByte(m_engine.shortTrimPercent() + bank2Offset) };
    case 0x09: return { trimByte(m_engine.longTrimPercent() + bank2Offset) };
    case 0x0B: return { byteOf(m_engine.manifoldKpa()) };
    case 0x0C: {
        const auto v = static_cast<uint16_t>(std::lround(m_engine.rpm() * 4));
        return { static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v & 0xFF) };
    }
    case 0x0D: return { byteOf(m_engine.vehicleSpeed()) };
    case 0x13: return { static_cast<uint8_t>(twoBanks() ? 0x33 : 0x03) };
    case 0x14:
    case 0x18: return { byteOf(m_engine.lambda1Volts() / 0.005), 0xFF };
    case 0x15:
    case 0x19: return { byteOf(m_engine.lambda2Volts() / 0.005), 0xFF };
    case 0x1C: return { 6 }; // EOBD
    default: return {};
    }
}

std::vector<std::vector<uint8_t>> CObdEcu::messages(uint8_t service, uint8_t pid, bool kline)
{
    switch (service) {
    case 0x01: {
        if (pid != 0x00 && (pid > 0x20 || (supportedPids() >> (32 - pid) & 1) == 0))
            return {};
        std::vector<uint8_t> m = { 0x41, pid };
        const auto data = pidData(pid);
        m.insert(m.end(), data.begin(), data.end());
        return { m };
    }
    case 0x03: {
        const auto& codes = m_store.dtcs;
        if (!kline) {
            std::vector<uint8_t> m = { 0x43, static_cast<uint8_t>(codes.size()) };
            for (uint16_t c : codes) {
                m.push_back(static_cast<uint8_t>(c >> 8));
                m.push_back(static_cast<uint8_t>(c & 0xFF));
            }
            return { m };
        }
        // K-line: three codes per message, padded with zero codes.
        std::vector<std::vector<uint8_t>> out;
        for (std::size_t i = 0; i == 0 || i < codes.size(); i += 3) {
            std::vector<uint8_t> m = { 0x43 };
            for (std::size_t j = i; j < i + 3; ++j) {
                const uint16_t c = j < codes.size() ? codes[j] : 0;
                m.push_back(static_cast<uint8_t>(c >> 8));
                m.push_back(static_cast<uint8_t>(c & 0xFF));
            }
            out.push_back(m);
        }
        return out;
    }
    case 0x04:
        m_store.dtcs.clear();
        return { { 0x44 } };
    case 0x09: {
        if (pid != 0x02)
            return { { 0x7F, service, 0x12 } }; // sub-function not supported
        const std::string& vin = m_store.vin;
        if (!kline) {
            std::vector<uint8_t> m = { 0x49, 0x02, 0x01 };
            m.insert(m.end(), vin.begin(), vin.end());
            return { m };
        }
        // K-line: five messages of four bytes, the VIN right-aligned behind zero padding.
        std::string padded = std::string(vin.size() < 20 ? 20 - vin.size() : 0, '\0') + vin;
        std::vector<std::vector<uint8_t>> out;
        for (std::size_t n = 0; n * 4 < padded.size() && n < 5; ++n) {
            std::vector<uint8_t> m = { 0x49, 0x02, static_cast<uint8_t>(n + 1) };
            m.insert(m.end(), padded.begin() + static_cast<std::ptrdiff_t>(n * 4),
                padded.begin() + static_cast<std::ptrdiff_t>(std::min(padded.size(), n * 4 + 4)));
            out.push_back(m);
        }
        return out;
    }
    default:
        return { { 0x7F, service, 0x11 } }; // service not supported
    }
}

std::vector<std::array<uint8_t, 8>> CObdEcu::segmentCan(const std::vector<uint8_t>& message)
{
    std::vector<std::array<uint8_t, 8>> frames;
    if (message.size() <= 7) {
        std::array<uint8_t, 8> f {};
        f[0] = static_cast<uint8_t>(message.size());
        std::copy(message.begin(), message.end(), f.begin() + 1);
        frames.push_back(f);
        return frames;
    }
    std::array<uint8_t, 8> first {};
    first[0] = static_cast<uint8_t>(0x10 | (message.size() >> 8 & 0x0F));
    first[1] = static_cast<uint8_t>(message.size() & 0xFF);
    std::copy_n(message.begin(), 6, first.begin() + 2);
    frames.push_back(first);
    uint8_t sequence = 1;
    for (std::size_t at = 6; at < message.size(); at += 7) {
        std::array<uint8_t, 8> next {};
        next[0] = static_cast<uint8_t>(0x20 | (sequence & 0x0F));
        const std::size_t n = std::min<std::size_t>(7, message.size() - at);
        std::copy_n(message.begin() + static_cast<std::ptrdiff_t>(at), n, next.begin() + 1);
        frames.push_back(next);
        ++sequence;
    }
    return frames;
}

bool CObdEcu::listening(uint32_t requestAddress, const std::vector<uint8_t>& connection) const
{
    if (connection[8] != 1)
        return false;
    const uint8_t protocol = connection[11];
    switch (m_bus) {
    case ObdBus::Can11:
        return protocol == 3 && connection[9] == m_canSpeed && (requestAddress == 0x7DF || requestAddress == 0x7E0);
    case ObdBus::Can29:
        return protocol == 3 && connection[9] == m_canSpeed
            && (requestAddress == 0x18DB33F1 || requestAddress == 0x18DA10F1);
    case ObdBus::Iso9141:
        return protocol == 1 && m_engine.time() - m_initSince >= kSlowInitSeconds;
    case ObdBus::Iso14230:
        return protocol == 2 && m_engine.time() - m_initSince >= kFastInitSeconds;
    case ObdBus::None:
        return false;
    }
    return false;
}

std::vector<uint8_t> CObdEcu::answer(const std::vector<uint8_t>& request)
{
    std::vector<uint8_t> out = { 0, 0 };
    if (request.size() < 20)
        return out;
    const uint32_t requestAddress = getU32(request, 0);
    const uint32_t answerAddress = getU32(request, 4);
    const uint32_t mask = getU32(request, 8);
    const uint8_t length = request[12];
    if (!listening(requestAddress, m_store.record(18)) || length < 1 || length > 7)
        return out;
    const uint8_t service = request[13];
    const uint8_t pid = length >= 2 ? request[14] : 0;
    if (service == 0x01 && length < 2)
        return out;

    const bool kline = m_bus == ObdBus::Iso9141 || m_bus == ObdBus::Iso14230;
    uint32_t from = kCan11Address;
    switch (m_bus) {
    case ObdBus::Can29: from = kCan29Address; break;
    case ObdBus::Iso9141: from = kIso9141Address; break;
    case ObdBus::Iso14230: from = kIso14230Address; break;
    default: break;
    }
    // The gateway passes only what its filter lets through (CAN only).
    if (!kline && (from & mask) != (answerAddress & mask))
        return out;

    std::vector<std::array<uint8_t, 8>> frames;
    for (const auto& m : messages(service, pid, kline)) {
        if (kline) {
            std::array<uint8_t, 8> f {};
            f[0] = static_cast<uint8_t>(m.size());
            std::copy_n(m.begin(), std::min<std::size_t>(7, m.size()), f.begin() + 1);
            frames.push_back(f);
        } else {
            const auto segments = segmentCan(m);
            frames.insert(frames.end(), segments.begin(), segments.end());
        }
    }
    frames.resize(std::min(frames.size(), kMaxFrames));
    putU16(out, 0, static_cast<uint16_t>(frames.size()));
    for (const auto& f : frames) {
        out.resize(out.size() + 12);
        putU32(out, out.size() - 12, from);
        std::copy(f.begin(), f.end(), out.end() - 8);
    }
    return out;
}
