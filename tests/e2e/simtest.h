// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the simulator tests: requests are built and answers taken apart
// by the test support's own frame code, never by the simulator's.
#pragma once

#include <ptypeer.h>
#include <tools/sim/simulator.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A command message: type 2, six bytes, the code first.
inline Bytes command(uint8_t code, uint8_t b2 = 0, uint8_t b3 = 0)
{
    return { code, 0, b2, b3, 0, 0 };
}

// One request through the simulator's whole receive path; the answer parsed
// with its checksum checked, or nothing when the simulator stayed silent.
inline std::optional<PtyPeer::Frame> ask(CSimulator& sim, uint8_t type, const Bytes& payload, uint16_t key = 0x1234)
{
    const Bytes request = PtyPeer::frame(type, key, payload);
    const auto out = sim.receive(request.data(), request.size(), 0, false);
    if (out.empty())
        return std::nullopt;
    auto frame = PtyPeer::parse(out.front().bytes);
    if (frame) {
        EXPECT_TRUE(frame->checksumOk) << PtyPeer::hex(out.front().bytes);
    }
    return frame;
}

inline Bytes payloadOf(CSimulator& sim, uint8_t type, const Bytes& payload, uint8_t expectedType)
{
    const auto answer = ask(sim, type, payload);
    if (!answer) {
        ADD_FAILURE() << "no answer";
        return {};
    }
    EXPECT_EQ(answer->type, expectedType);
    return answer->payload;
}

inline Bytes ack(uint8_t code)
{
    return { 4, code, 0, 0, 0, 0 };
}

// A simulator with the fitted car, engine off unless asked otherwise.
inline SimConfig quietConfig(EngineState engine = EngineState::Off)
{
    SimConfig c;
    c.engine = engine;
    return c;
}

inline uint16_t u16(const Bytes& b, std::size_t at)
{
    return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}
