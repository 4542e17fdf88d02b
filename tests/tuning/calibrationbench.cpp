// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibrationbench.h"

#include <app/data/conversions.h>
#include <app/data/diagdata.h>

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

using Bytes = PtyPeer::Bytes;

// Record 31 of a fitted car: working pressure byte 122, cylinder switching 0.3 s (byte 20 = 12).
const Bytes kBase = { 0xA0, 0x0F, 60, 0, 1, 66, 140, 40, 0xE2, 0x02, 0x20, 0x03, 0x88, 122,
                      10, 4, 171, 3, 214, 49, 12, 50, 89, 80, 0x4E, 0x7A, 0x21, 0xC3 };
// Record 4, injectors 1 … 8 on outputs 1 … 8.
const Bytes kAdv = { 3, 140, 50, 80, 60, 97, 0, 0, 0x01, 0x02, 0x04, 0x08, 0x10,
                     0x20, 0x40, 0x80, 0, 0x03, 163, 4, 3, 0 };

std::vector<PtyPeer::Reply> reply(uint8_t type, const Bytes& payload)
{
    return { { PtyPeer::frame(type, 0x2345, payload) } };
}

std::vector<PtyPeer::Reply> ack()
{
    return reply(2, { 4, 0, 0, 0, 0, 0 });
}

std::vector<PtyPeer::Reply> refusal()
{
    return reply(2, { 0, 0, 0, 0, 0, 0 });
}

double correctionOf(const Bytes& record)
{
    return static_cast<int16_t>(record.at(0) | record.at(1) << 8) * 0.004;
}

} // namespace

std::vector<std::wstring> RecordingObserver::texts() const
{
    std::vector<std::wstring> out;
    for (const auto& line : lines)
        out.push_back(line.text);
    return out;
}

bool RecordingObserver::has(const std::wstring& text) const
{
    const auto all = texts();
    return std::find(all.begin(), all.end(), text) != all.end();
}

CalibrationBench::CalibrationBench(int injectors)
    : m_base(kBase)
    , m_adv(kAdv)
    , m_mainCorr(16, 0)
{
    device.link().configurePort(device.link().ports().addPath(peer.path(), "calibration bench"));
    device.link().setKeyGenerator([] { return uint16_t { 0x1233 }; });
    device.m_connected = true;
    // A controller connected and read whole, as the pages find it.
    device.readBlocks().markAll();
    device.liveImage().m_devInfo.m_injCount = injectors;
    setStoredCorrection(1.0);
    setReducerCelsius(70);
    petrolTime = [this](const BenchState& s, int) {
        if (s.fuel != 3)
            return 3.0;
        const int n = device.image().m_devInfo.m_injCount;
        const auto full = static_cast<uint8_t>((1u << n) - 1u);
        const double share = std::popcount(static_cast<unsigned>(s.lpgMask & full)) / static_cast<double>(n);
        return 3.0 + share * (need - s.mainCorr);
    };
    ui.onSleep = [this](unsigned) { queueRecord(); };
    peer.serve([this](const Bytes& request) { return answer(request); });
}

CalibrationBench::~CalibrationBench()
{
    peer.stop();
}

void CalibrationBench::setStoredCorrection(double ms)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto word = static_cast<uint16_t>(static_cast<int16_t>(std::lround(ms / 0.004)));
    for (std::size_t i = 0; i < 8; ++i) {
        m_mainCorr[2 * i] = static_cast<uint8_t>(word & 0xFF);
        m_mainCorr[2 * i + 1] = static_cast<uint8_t>(word >> 8);
    }
    m_state.mainCorr = correctionOf(m_mainCorr);
}

void CalibrationBench::setStoredDelayByte(uint8_t byte)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_base[20] = byte;
}

void CalibrationBench::setInjConfMap(int index, uint8_t value)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_adv[8 + static_cast<std::size_t>(index)] = value;
    device.liveImage().m_adv.m_injConfMap[static_cast<std::size_t>(index)] = value;
}

void CalibrationBench::setFuelState(uint8_t state)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_state.fuel = state;
}

void CalibrationBench::setReducerCelsius(double celsius)
{
    m_reducerByte = temprToByte(celsius, 0);
}

std::vector<PtyPeer::Reply> CalibrationBench::answer(const Bytes& request)
{
    const auto frame = PtyPeer::parse(request);
    if (!frame)
        return {};
    std::lock_guard<std::mutex> guard(m_lock);
    m_sent.push_back({ frame->type, frame->payload, m_clock.load() });
    const Bytes& p = frame->payload;
    if (frame->type != 2) {
        if (refusedRecords.count(frame->type))
            return refusal();
        if (frame->type == 15) {
            m_mainCorr = p;
            m_state.mainCorr = correctionOf(p);
        } else if (frame->type == 31) {
            m_base = p;
        }
        return ack();
    }
    const uint8_t code = p.empty() ? 0 : p[0];
    if (refusedCommands.count(code))
        return refusal();
    switch (code) {
    case 0x07: return reply(31, m_base);
    case 0x08: return reply(4, m_adv);
    case 0x16: return reply(15, m_mainCorr);
    case 0x24: {
        Bytes live(82, 0);
        live[0] = m_state.fuel;
        return reply(1, live);
    }
    case 0x01:
        m_state.fuel = 3;
        ++m_state.lpgSwitches;
        m_state.lpgMask = 0xFF;
        break;
    case 0x02:
    case 0x03:
        m_state.fuel = 2;
        m_state.lpgMask = 0xFF;
        break;
    case 0x17: m_state.lpgMask = p.size() > 2 ? p[2] : 0; break;
    default: break;
    }
    return ack();
}

void CalibrationBench::queueRecord()
{
    m_clock = ui.clockMs();
    while (m_nextRecordMs <= m_clock) {
        m_nextRecordMs += 100;
        BenchState state;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            state = m_state;
        }
        const int n = device.image().m_devInfo.m_injCount;
        CDiag record;
        record.setFuelState(state.fuel);
        record.setU8(2, m_reducerByte);
        record.setU8(8, 120); // 108 kPa
        record.setU8(13, static_cast<uint8_t>((1u << n) - 1u));
        for (int k = 0; k < n && engineOn; ++k) {
            const double ms = petrolTime(state, k);
            record.setU16(CDiag::kPetrolAt + 8 * static_cast<std::size_t>(k),
                          static_cast<uint16_t>(std::lround(std::max(0.0, ms) / 0.025)));
        }
        record.setSequence(++m_sequence);
        device.diagData().push(record);
        if (onRecord)
            onRecord(m_nextRecordMs - 100);
    }
}

std::vector<CalibrationBench::Sent> CalibrationBench::sent() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_sent;
}

std::vector<uint8_t> CalibrationBench::commands() const
{
    std::vector<uint8_t> out;
    for (const auto& s : sent()) {
        if (s.type == 2 && !s.payload.empty() && s.payload[0] != 0x24)
            out.push_back(s.payload[0]);
    }
    return out;
}

std::vector<std::pair<double, uint64_t>> CalibrationBench::correctionWrites() const
{
    std::vector<std::pair<double, uint64_t>> out;
    for (const auto& s : sent()) {
        if (s.type == 15)
            out.emplace_back(correctionOf(s.payload), s.clockMs);
    }
    return out;
}

std::vector<uint8_t> CalibrationBench::delayWrites() const
{
    std::vector<uint8_t> out;
    for (const auto& s : sent()) {
        if (s.type == 31)
            out.push_back(s.payload.at(20));
    }
    return out;
}

std::vector<uint8_t> CalibrationBench::lpgMasks() const
{
    std::vector<uint8_t> out;
    for (const auto& s : sent()) {
        if (s.type == 2 && s.payload.size() > 2 && s.payload[0] == 0x17)
            out.push_back(s.payload[2]);
    }
    return out;
}
