// SPDX-License-Identifier: GPL-3.0-or-later
// An OBD answer relayed by the controller (the payload of record 24): a
// 16-bit frame count, then 12-byte frames of the answering address and eight
// data bytes. Parsing is pure, so it can be fed anything: the count is never
// trusted beyond the whole frames the bytes hold.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

struct CObdFrame {
    uint32_t from = 0;
    std::array<uint8_t, 8> data {};
};

class CObdAnswer {
public:
    static constexpr std::size_t kCountSize = 2;
    static constexpr std::size_t kFrameSize = 12;

    CObdAnswer() = default;
    // payload: the record-24 payload as received (any length).
    explicit CObdAnswer(std::span<const uint8_t> payload);

    const std::vector<CObdFrame>& frames() const { return m_frames; }
    std::size_t size() const { return m_frames.size(); }
    bool empty() const { return m_frames.empty(); }

    // A single-frame answer to service 0x01 for pid: data byte 1 is 0x41, byte 2 the PID.
    static bool isPidAnswer(const CObdFrame& frame, uint8_t pid);

    // The stored trouble codes of a service-0x03 answer, at most expected of
    // them, taken only from frames sent by from (any sender when from is 0).
    // CAN (protocol 3): the ISO 15765-2 message is put together from a single
    // frame, or a first frame and its consecutive frames in sequence, and the
    // codes follow its count byte. K-line (protocols 1, 2): every frame carries
    // up to three codes after the service byte. A code 0 ends a frame's codes.
    std::vector<uint16_t> troubleCodes(uint8_t protocol, unsigned expected, uint32_t from = 0) const;

    // The characters of the answer to service 0x09 PID 0x02 (the VIN) from
    // from (any sender when 0), zero padding at either end dropped. CAN: the
    // ISO 15765-2 message 49 02 01 and the characters; K-line: the messages
    // 49 02 0n (n = 1 … 5) of four bytes each, put in order by n. Whatever is
    // missing is simply not there: the caller decides whether 17 came.
    std::string vinCharacters(uint8_t protocol, uint32_t from = 0) const;

private:
    // Every ISO 15765-2 message of the frames from from, whole or as far as
    // it came (a lost segment or a new first frame ends it); visit returns
    // false to stop.
    void forEachCanMessage(uint32_t from, const std::function<bool(const std::vector<uint8_t>&)>& visit) const;
    std::vector<uint16_t> canCodes(unsigned expected, uint32_t from) const;
    std::vector<uint16_t> klineCodes(unsigned expected, uint32_t from) const;

    std::vector<CObdFrame> m_frames;
};
