// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator without its link: bytes from the PC in, answer frames out.
// The frame reader, the controller model and the fault injector in a row, so
// tests can drive the whole receive path in-process.
#pragma once

#include <tools/sim/controller.h>
#include <tools/sim/faultinjector.h>
#include <tools/sim/requestreader.h>

#include <cstdint>
#include <random>
#include <vector>

class CSimulator {
public:
    struct Output {
        std::vector<uint8_t> bytes; // the answer as it goes on the wire (possibly disturbed)
        double earliest; // when its first byte may leave (caller's clock, seconds)
    };

    explicit CSimulator(const SimConfig& config);

    // Requests completed by these bytes are answered. With pace an answer waits
    // until the request would have finished arriving at 38400 baud.
    std::vector<Output> receive(const uint8_t* data, std::size_t count, double now, bool pace);

    CController& controller() { return m_controller; }
    CFaultInjector& faults() { return m_faults; }
    CRequestReader& reader() { return m_reader; }
    std::size_t requests() const { return m_requests; }

private:
    CController m_controller;
    CFaultInjector m_faults;
    CRequestReader m_reader;
    std::mt19937 m_keys;
    std::size_t m_requests = 0;
};
