// SPDX-License-Identifier: GPL-3.0-or-later
// The car's engine computer behind the controller's OBD gateway. A request
// (record 25: request address, answer address, answer mask, 8 data bytes) is
// answered with record 24 (a 16-bit frame count, then 12-byte frames: the
// answering address and 8 data bytes). On CAN a message longer than seven
// bytes is split into an ISO 15765-2 first frame and consecutive frames; on
// the K-line each message is one frame. The computer stays silent (zero
// frames) when OBD is off, when the protocol or speed in the connection
// record (18) does not match its bus, when the request address is not one it
// listens to, or when the answer filter would not pass its address.
#pragma once

#include <tools/sim/enginemodel.h>
#include <tools/sim/simstore.h>

#include <array>
#include <cstdint>
#include <vector>

enum class ObdBus { None, Can11, Can29, Iso9141, Iso14230 };

class CObdEcu {
public:
    static constexpr uint32_t kCan11Address = 0x7E8;
    static constexpr uint32_t kCan29Address = 0x18DAF110;
    static constexpr uint32_t kIso9141Address = 0x486B10;
    static constexpr uint32_t kIso14230Address = 0x80F110;
    static constexpr double kSlowInitSeconds = 2.5;
    static constexpr double kFastInitSeconds = 0.35;
    static constexpr std::size_t kMaxFrames = 20; // what a 253-byte payload holds
    static constexpr std::size_t kMaxCodes = 20;

    // canSpeed: 1 = 250 kbit/s, 2 = 500 kbit/s (the connection record's code).
    CObdEcu(const CEngineModel& engine, CSimStore& store, ObdBus bus, uint8_t canSpeed);

    ObdBus bus() const { return m_bus; }
    // Record 25 payload (20 bytes) → record 24 payload.
    std::vector<uint8_t> answer(const std::vector<uint8_t>& request);
    // A new connection record makes a K-line link initialise again.
    void connectionWritten() { m_initSince = m_engine.time(); }

    // The computer's answer message to one request (service + 0x40 first), or
    // empty when it does not answer; several messages for service 0x03 on the K-line.
    std::vector<std::vector<uint8_t>> messages(uint8_t service, uint8_t pid, bool kline);
    // The supported PIDs 0x01 … 0x20 as the 32-bit answer to PID 0x00.
    uint32_t supportedPids() const;
    bool twoBanks() const;

    // ISO 15765-2: a single frame, or a first frame and consecutive frames.
    static std::vector<std::array<uint8_t, 8>> segmentCan(const std::vector<uint8_t>& message);

private:
    bool listening(uint32_t requestAddress, const std::vector<uint8_t>& connection) const;
    std::vector<uint8_t> pidData(uint8_t pid) const;

    const CEngineModel& m_engine;
    CSimStore& m_store;
    ObdBus m_bus;
    uint8_t m_canSpeed;
    double m_initSince = -1e9;
};
