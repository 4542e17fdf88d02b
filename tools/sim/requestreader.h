// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's side of the frame layer: a reader that takes the bytes
// arriving on the link in any chunking and yields the requests whose checksum
// is right, and the encoder of its answers. Both use the core's frame helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A request or an answer: the frame's type byte and its plain payload.
struct SimMessage {
    uint8_t type = 0;
    std::vector<uint8_t> payload;
};

// A request as it arrived.
struct SimFrame : SimMessage {
    double firstByteTime = 0; // when the frame's first byte arrived (seconds, caller's clock)
    std::size_t wireBytes = 0; // the whole frame as it travelled
};

class CRequestReader {
public:
    // Bytes before a sync pair are skipped. A frame with a wrong checksum or an
    // impossible length byte is dropped and the search resumes one byte after its
    // sync, so a sync pair inside garbage cannot swallow the next request.
    // A partial frame older than kStaleSeconds is discarded when new bytes come.
    std::vector<SimFrame> feed(const uint8_t* data, std::size_t count, double now);
    void reset();

    // Frames dropped for a wrong checksum or length byte since construction.
    std::size_t rejected() const { return m_rejected; }
    std::size_t pending() const { return m_buffer.size(); }

    static constexpr double kStaleSeconds = 0.5;

private:
    std::vector<uint8_t> m_buffer;
    std::vector<double> m_arrival; // arrival time of each buffered byte
    double m_lastByte = 0;
    std::size_t m_rejected = 0;
};

// One answer frame, scrambled with the key's low four bits; payload at most 253 bytes.
std::vector<uint8_t> encodeFrame(uint8_t type, const std::vector<uint8_t>& payload, uint16_t key);

// Wire time of n bytes at 38400 baud, 10 bits per byte, in seconds.
constexpr double wireSeconds(std::size_t bytes) { return static_cast<double>(bytes) * 10.0 / 38400.0; }
