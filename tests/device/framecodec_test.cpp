// SPDX-License-Identifier: GPL-3.0-or-later
// The frame helpers on their own: the checksum over the plain payload and the
// word rotation, checked against bytes worked out by hand.
#include <app/device/framecodec.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

TEST(FrameChecksum, SumsPlainPayloadKeyTypeAndLengthByte)
{
    struct Case {
        Bytes payload;
        uint16_t key;
        uint8_t type;
        uint16_t expected;
    };
    const Case cases[] = {
        { {}, 0x0102, 3, 0x0009 },                             // 1 + 2 + 1 + 3 + length byte 2
        { { 0x0D, 0, 0, 0, 0, 0 }, 0x1234, 2, 0x005E },       // the worked example
        { Bytes(253, 0xFF), 0x7FFF, 0xFF, 0xFF80 },           // the longest payload, length byte 255
        { { 0x80, 0x80 }, 0x0000, 0, 0x0105 },                // a carry into the high byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(frameChecksum(c.payload.data(), c.payload.size(), c.key, c.type), c.expected) << c.payload.size();
}

TEST(FrameRotation, RotatesLittleEndianWordsAndLeavesAnOddLastByte)
{
    struct Case {
        Bytes plain;
        unsigned k;
        Bytes scrambled;
    };
    const Case cases[] = {
        { { 0x0D, 0x00, 0x00, 0x00 }, 4, { 0xD0, 0x00, 0x00, 0x00 } },
        { { 0x01, 0x80 }, 15, { 0x00, 0xC0 } }, // 0x8001 by 15 = right by 1
        { { 0x12, 0x34, 0x56 }, 5, { 0x46, 0x82, 0x56 } },
        { { 0x12, 0x34, 0x56, 0x78 }, 0, { 0x12, 0x34, 0x56, 0x78 } },
        { { 0x99 }, 7, { 0x99 } },
    };
    for (const auto& c : cases) {
        Bytes b = c.plain;
        rotateWordsLeft(b.data(), b.size(), c.k);
        EXPECT_EQ(b, c.scrambled) << "k=" << c.k;
        rotateWordsRight(b.data(), b.size(), c.k);
        EXPECT_EQ(b, c.plain) << "k=" << c.k;
    }
}

TEST(FrameRotation, RightUndoesLeftForEveryShift)
{
    const Bytes plain { 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x5A };
    for (unsigned k = 0; k < 16; ++k) {
        Bytes b = plain;
        rotateWordsLeft(b.data(), b.size(), k);
        if (k != 0) {
            EXPECT_NE(b, plain) << k;
        }
        rotateWordsRight(b.data(), b.size(), k);
        EXPECT_EQ(b, plain) << k;
    }
}

TEST(FrameHeader, SyncLengthTypeAndKeyHighFirst)
{
    const auto h = frameHeader(6, 2, 0x1234);
    EXPECT_EQ(Bytes(h.begin(), h.end()), (Bytes { 0xAA, 0x55, 0x08, 0x02, 0x12, 0x34 }));
}

} // namespace
