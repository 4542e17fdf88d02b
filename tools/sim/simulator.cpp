// SPDX-License-Identifier: GPL-3.0-or-later
#include <tools/sim/simulator.h>

#include <algorithm>

CSimulator::CSimulator(const SimConfig& config)
    : m_controller(config)
    , m_faults(config.seed + 1)
    , m_keys(config.seed + 2)
{
}

std::vector<CSimulator::Output> CSimulator::receive(const uint8_t* data, std::size_t count, double now, bool pace)
{
    std::vector<Output> out;
    for (const SimFrame& request : m_reader.feed(data, count, now)) {
        ++m_requests;
        const auto answer = m_controller.onFrame(request.type, request.payload);
        if (!answer)
            continue;
        const auto key = static_cast<uint16_t>(std::uniform_int_distribution<int>(0, 32767)(m_keys));
        auto bytes = m_faults.apply(encodeFrame(answer->type, answer->payload, key));
        if (bytes.empty())
            continue;
        const double earliest = pace ? std::max(now, request.firstByteTime + wireSeconds(request.wireBytes)) : now;
        out.push_back({ std::move(bytes), earliest });
    }
    return out;
}
