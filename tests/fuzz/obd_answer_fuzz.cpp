// SPDX-License-Identifier: GPL-3.0-or-later
// Relayed OBD answers from arbitrary bytes: parsing must never read past
// them, never report more frames than they hold, and never hand out more
// trouble codes than were expected, on CAN or on the K-line; a VIN's
// characters never outgrow what the frames carry.
#include <app/tuning/obdanswer.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The first byte chooses how many codes are expected, the rest is the answer.
    const unsigned expected = data[0];
    const std::vector<uint8_t> payload(data + 1, data + size);
    const CObdAnswer answer { std::span<const uint8_t>(payload) };
    const std::size_t whole = payload.size() < 2 ? 0 : (payload.size() - 2) / 12;
    if (answer.size() > whole)
        std::abort();
    const uint32_t from = answer.empty() ? 0 : answer.frames()[0].from;
    for (uint8_t protocol : { 1, 2, 3 }) {
        for (uint32_t sender : { 0u, from }) {
            const auto codes = answer.troubleCodes(protocol, expected, sender);
            if (codes.size() > expected)
                std::abort();
            for (uint16_t code : codes)
                if (code == 0)
                    std::abort();
            // Seven data bytes a frame at most, on either bus.
            if (answer.vinCharacters(protocol, sender).size() > 7 * answer.size())
                std::abort();
        }
    }
    for (const CObdFrame& f : answer.frames())
        (void)CObdAnswer::isPidAnswer(f, f.data[2]);
    return 0;
}
