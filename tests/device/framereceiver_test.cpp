// SPDX-License-Identifier: GPL-3.0-or-later
// The receive decoder without a port: answers that arrive whole, split by
// time-outs, merged with what follows, oversized, truncated or as garbage;
// the realignment on stray bytes; the difference between the plain and the
// checked form; and that every length byte 0…255 is taken whole or refused
// without touching more than the 410-byte buffer.
#include <app/device/framereceiver.h>

#include "ptypeer.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

using Bytes = std::vector<uint8_t>;
using Mode = CFrameReceiver::Mode;
using Result = CFrameReceiver::Result;
using Failure = CFrameReceiver::Failure;

struct Outcome {
    Result result;
    Failure failure;
    long pausedMs = 0;
    std::size_t reads = 0;
    std::size_t leftOver = 0; // bytes the decoder never asked for
};

// Plays a port: each chunk arrives only after the read before it timed out.
Outcome drive(CFrameReceiver& rx, const std::vector<Bytes>& chunks)
{
    Outcome run { Result::Pending, Failure::None };
    std::deque<uint8_t> arrived;
    std::size_t next = 0;
    if (next < chunks.size())
        arrived.insert(arrived.end(), chunks[next].begin(), chunks[next].end()), ++next;
    while (rx.result() == Result::Pending) {
        const std::size_t want = rx.wanted();
        EXPECT_LE(want, 255u);
        Bytes got;
        while (got.size() < want && !arrived.empty()) {
            got.push_back(arrived.front());
            arrived.pop_front();
        }
        rx.onRead(got.data(), got.size());
        ++run.reads;
        run.pausedMs += rx.pause().count();
        if (got.size() < want && next < chunks.size())
            arrived.insert(arrived.end(), chunks[next].begin(), chunks[next].end()), ++next;
    }
    run.result = rx.result();
    run.failure = rx.failure();
    for (; next < chunks.size(); ++next)
        run.leftOver += chunks[next].size();
    run.leftOver += arrived.size();
    return run;
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

const Bytes kPayload { 0x11, 0x22, 0x33, 0x44, 0x55, 0x66 };
// Type 1, key 0x2A5B, the payload above.
const Bytes kAnswer { 0xAA, 0x55, 0x08, 0x01, 0x2A, 0x5B, 0x10, 0x89, 0x21, 0x9A, 0x32, 0xAB, 0x01, 0xF4 };

Bytes head(const Bytes& b, std::size_t n)
{
    return Bytes(b.begin(), b.begin() + static_cast<long>(n));
}
Bytes tail(const Bytes& b, std::size_t from)
{
    return Bytes(b.begin() + static_cast<long>(from), b.end());
}

TEST(FrameReceiver, TableOfArrivals)
{
    Bytes badSum = kAnswer;
    badSum.back() ^= 0x01;
    Bytes secondSyncWrong = kAnswer; // the realigned header is not tested for 0x55 again
    secondSyncWrong[1] = 0x56;

    struct Case {
        const char* name;
        Mode mode;
        std::vector<Bytes> chunks;
        Result result;
        Failure failure;
        long pausedMs;
        std::size_t leftOver;
    };
    const Case cases[] = {
        { "whole", Mode::Exchange, { kAnswer }, Result::Accepted, Failure::None, 0, 0 },
        { "merged with the next frame", Mode::Exchange, { cat({ kAnswer, kAnswer }) }, Result::Accepted,
          Failure::None, 0, 14 },
        { "split in the payload, second read", Mode::Exchange, { head(kAnswer, 9), tail(kAnswer, 9) },
          Result::Accepted, Failure::None, 50, 0 },
        { "split in the payload, checked form", Mode::Checked, { head(kAnswer, 9), tail(kAnswer, 9) },
          Result::Refused, Failure::ShortPayload, 0, 5 },
        { "split twice in the payload", Mode::Exchange,
          { head(kAnswer, 8), Bytes(kAnswer.begin() + 8, kAnswer.begin() + 11), tail(kAnswer, 11) }, Result::Refused,
          Failure::ShortPayload, 50, 3 },
        { "split in the header", Mode::Exchange, { head(kAnswer, 2), tail(kAnswer, 2) }, Result::Refused,
          Failure::ShortHeader, 0, 12 },
        { "one stray byte", Mode::Exchange, { cat({ { 0x17 }, kAnswer }) }, Result::Accepted, Failure::None, 0, 0 },
        { "three stray bytes", Mode::Exchange, { cat({ { 0x01, 0x02, 0x03 }, kAnswer }) }, Result::Accepted,
          Failure::None, 0, 0 },
        { "stray byte, then silence", Mode::Exchange, { { 0x17, 0x00, 0xAA, 0x55 } }, Result::Refused,
          Failure::ShortRealign, 0, 0 },
        { "realigned header keeps a wrong second byte", Mode::Exchange, { secondSyncWrong }, Result::Accepted,
          Failure::None, 0, 0 },
        { "no sync byte", Mode::Exchange, { { 0x01, 0x02, 0x03, 0x04 } }, Result::Refused, Failure::NoSync, 131, 0 },
        { "no sync byte, checked form", Mode::Checked, { { 0x01, 0x02, 0x03, 0x04 } }, Result::Refused,
          Failure::NoSync, 0, 0 },
        { "wrong checksum", Mode::Exchange, { badSum }, Result::Refused, Failure::Checksum, 0, 0 },
        { "wrong checksum, checked form", Mode::Checked, { badSum }, Result::Refused, Failure::Checksum, 0, 0 },
        { "nothing", Mode::Exchange, {}, Result::Refused, Failure::ShortHeader, 0, 0 },
        { "no key word", Mode::Exchange, { head(kAnswer, 5) }, Result::Refused, Failure::ShortKey, 0, 0 },
        { "no key word, checked form", Mode::Checked, { head(kAnswer, 5) }, Result::NoAnswer, Failure::ShortKey, 0,
          0 },
        { "length byte 2", Mode::Exchange, { { 0xAA, 0x55, 0x02, 0x02, 0x00, 0x00, 0x00, 0x05 } }, Result::Refused,
          Failure::TooShort, 0, 0 },
        { "length byte 0, checked form", Mode::Checked, { { 0xAA, 0x55, 0x00, 0x01, 0x00, 0x00 } }, Result::NoAnswer,
          Failure::TooShort, 0, 0 },
        { "length byte beyond the data", Mode::Exchange, { cat({ { 0xAA, 0x55, 0xFF, 0x01, 0, 0 }, Bytes(20, 7) }) },
          Result::Refused, Failure::ShortPayload, 50, 0 },
        { "garbage of sync bytes", Mode::Exchange, { Bytes(300, 0xAA) }, Result::Refused, Failure::Checksum, 0, 124 },
        { "garbage of zeros", Mode::Exchange, { Bytes(300, 0x00) }, Result::Refused, Failure::NoSync, 131, 296 },
    };
    for (const auto& c : cases) {
        ExchangeBuffer buffer;
        buffer.fill(0x77);
        CFrameReceiver rx(c.mode, buffer);
        const Outcome run = drive(rx, c.chunks);
        EXPECT_EQ(run.result, c.result) << c.name;
        EXPECT_EQ(run.failure, c.failure) << c.name;
        EXPECT_EQ(run.pausedMs, c.pausedMs) << c.name;
        EXPECT_EQ(run.leftOver, c.leftOver) << c.name;
        if (c.result == Result::Accepted) {
            EXPECT_EQ(rx.type(), 0x01) << c.name;
            EXPECT_EQ(rx.lengthByte(), 0x08) << c.name;
            EXPECT_EQ(head(Bytes(buffer.begin(), buffer.end()), 6), kPayload) << c.name;
        }
    }
}

TEST(FrameReceiver, CheckedAnswerKeepsItsChecksumBytesAfterThePayload)
{
    ExchangeBuffer buffer {};
    CFrameReceiver rx(Mode::Checked, buffer);
    ASSERT_EQ(drive(rx, { kAnswer }).result, Result::Accepted);
    EXPECT_EQ(head(Bytes(buffer.begin(), buffer.end()), 8),
              (Bytes { 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x01, 0xF4 }));
}

TEST(FrameReceiver, EveryLengthByteIsTakenWholeOrRefused)
{
    for (unsigned length = 0; length <= 255; ++length) {
        for (Mode mode : { Mode::Exchange, Mode::Checked }) {
            Bytes payload(length > 2 ? length - 2 : 0);
            for (std::size_t i = 0; i < payload.size(); ++i)
                payload[i] = static_cast<uint8_t>(i * 37 + length);
            Bytes frame = PtyPeer::frame(0x42, static_cast<uint16_t>(0x1000 + length), payload);
            frame[2] = static_cast<uint8_t>(length); // lengths 0…2 cannot be built from a payload
            if (length < 2)
                frame.resize(6 + length);

            ExchangeBuffer buffer;
            buffer.fill(0x77);
            CFrameReceiver rx(mode, buffer);
            const Outcome run = drive(rx, { frame });
            if (length <= 2) {
                EXPECT_NE(run.result, Result::Accepted) << length;
                continue;
            }
            ASSERT_EQ(run.result, Result::Accepted) << length;
            EXPECT_EQ(head(Bytes(buffer.begin(), buffer.end()), payload.size()), payload) << length;
            // The rest of the buffer was cleared: no byte of an earlier request survives.
            for (std::size_t i = length; i < buffer.size(); ++i)
                ASSERT_EQ(buffer[i], 0) << length << " at " << i;
        }
    }
}

TEST(FrameReceiver, BytesBeyondTheAskedCountAreIgnored)
{
    ExchangeBuffer buffer {};
    CFrameReceiver rx(Mode::Exchange, buffer);
    Bytes flood = kAnswer;
    flood.resize(600, 0xEE);
    // A read never returns more than asked; a caller that passes more must not overrun anything.
    rx.onRead(flood.data(), flood.size());
    EXPECT_EQ(rx.stage(), CFrameReceiver::Stage::Key);
    EXPECT_EQ(rx.wanted(), 2u);
}

} // namespace
