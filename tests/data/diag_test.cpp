// SPDX-License-Identifier: GPL-3.0-or-later
// The live readings record and its queue: byte positions and decoding of every
// accessor, the rpm and LPG-time edge cases, the injector's slot choice, the
// sequence number's byte order; the queue's trimming, latest on an empty
// queue, copyRange at and beyond the end, and concurrent use.
#include <app/data/diag.h>
#include <app/data/diagdata.h>
#include <app/data/settingsimage.h>
#include <app/data/conversions.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

CDiag withPetrol(int slot, uint16_t raw, uint16_t offset)
{
    CDiag r;
    r.setU16(18 + 4 * slot, raw);
    r.setU16(20 + 4 * slot, offset);
    return r;
}

TEST(Diag, RpmFromPeriodWithoutRounding)
{
    struct Case {
        uint16_t period;
        double rpm;
    };
    const Case cases[] = {
        { 0, 0 },
        { 48001, 0 }, // 99.998 rpm: under 100 counts as standing still
        { 48000, 100 },
        { 4000, 1200 },
        { 7000, 685.7142857142857 }, // not rounded to 100 as the settings are
        { 65535, 0 },
    };
    for (const auto& c : cases) {
        CDiag r;
        r.bytes()[16] = static_cast<uint8_t>(c.period & 0xFF);
        r.bytes()[17] = static_cast<uint8_t>(c.period >> 8);
        EXPECT_DOUBLE_EQ(r.rpm(), c.rpm) << c.period;
    }
}

TEST(Diag, LpgTimeEdgeCases)
{
    struct Case {
        uint16_t petrol;
        uint16_t offset;
        double lpg;
    };
    const Case cases[] = {
        { 0, 80, 0 }, // no petrol time: no LPG time whatever the offset
        { 0, 65000, 0 },
        { 124, 80, 5.1 }, // 3.10 + 80 × 0.025
        { 124, 65535 - 20, 2.6 }, // 0.5 ms below the petrol time
        { 123, 0, 3.08 }, // 3.075 rounds half away
        { 124, 60000, 1503.1 }, // 60 000 itself is still positive
        { 124, 60001, -135.25 }, // −5534 × 0.025 + 3.10
        { 1, 0, 0.03 },
    };
    for (const auto& c : cases) {
        const CDiag r = withPetrol(5, c.petrol, c.offset);
        EXPECT_DOUBLE_EQ(r.lpgTime(5), c.lpg) << c.petrol << " " << c.offset;
    }
    // Slots outside 0 … 15 read nothing.
    const CDiag r = withPetrol(0, 124, 80);
    EXPECT_EQ(r.lpgTime(-1), 0);
    EXPECT_EQ(r.lpgTime(16), 0);
    EXPECT_EQ(r.petrolTime(16), 0);
}

TEST(Diag, SlotLayoutAndInjectorChoice)
{
    CDiag r;
    // Slot i: petrol at 18 + 4i, offset at 20 + 4i, little-endian.
    r.bytes()[18 + 4 * 3] = 0x10;
    r.bytes()[19 + 4 * 3] = 0x01;
    r.bytes()[20 + 4 * 3] = 0x50;
    EXPECT_EQ(r.petrolRaw(3), 0x0110);
    EXPECT_DOUBLE_EQ(r.petrolTime(3), 272 * 0.025);
    EXPECT_EQ(r.lpgOffset(3), 0x50);

    CDiag slots;
    slots.setU16(18, 100); // injector 1: equal slots, the first wins
    slots.setU16(22, 100);
    slots.setU16(26, 100); // injector 2: the second slot is larger
    slots.setU16(30, 120);
    slots.setU16(34, 130); // injector 3: the first slot is larger
    slots.setU16(38, 120);
    EXPECT_EQ(slots.injectorSlot(0), 0);
    EXPECT_EQ(slots.injectorSlot(1), 3);
    EXPECT_EQ(slots.injectorSlot(2), 4);
    EXPECT_EQ(slots.injectorSlot(7), 14); // both 0
}

TEST(Diag, ByteFieldsDecode)
{
    CDiag r;
    const uint8_t bytes[] = { 5, 1, 61, 93, 0xEE, 255, 51, 0, 51, 0x77, 51, 0x0F, 0x07, 0x03, 0x0C, 0x65 };
    std::copy(std::begin(bytes), std::end(bytes), r.bytes());
    EXPECT_EQ(r.fuelState(), 5);
    EXPECT_EQ(r.switchMode(), 1);
    CDiagScale scale; // 10 kΩ sensors
    EXPECT_EQ(r.reducerTempr(scale), 70);
    EXPECT_EQ(r.lpgTempr(scale), 52);
    EXPECT_DOUBLE_EQ(r.supplyVoltage(), 30);
    EXPECT_DOUBLE_EQ(r.lambda1(), 1.0);
    EXPECT_DOUBLE_EQ(r.lambda2(), 0);
    EXPECT_NEAR(r.lpgPressure(), 40, 1e-9);
    EXPECT_EQ(r.lpgMask1(), 0x0F);
    EXPECT_EQ(r.lpgMask2(), 0x07);
    EXPECT_EQ(r.injectorMask(), 0x03);
    EXPECT_EQ(r.gasLevel(), 0x0C);

    // The sensors' columns come from the scale, engine and LPG apart.
    scale.engineSensor = 1;
    EXPECT_EQ(r.reducerTempr(scale), temprFromByte(61, 1));
    EXPECT_NE(r.reducerTempr(scale), 70);
    EXPECT_EQ(r.lpgTempr(scale), 52);
}

TEST(Diag, ManifoldPressureCharacteristic)
{
    CDiag r;
    r.bytes()[10] = 51;
    struct Case {
        int32_t version;
        uint8_t flags;
        double kPa;
    };
    const Case cases[] = {
        { 0x0249, 0x10, 61 }, // too old for the second characteristic
        { 0x0250, 0x00, 61 }, // no 4-bar sensor
        { 0x0250, 0x10, (0.2 + 0.00842) / 0.002421 },
        { 0x0306, 0x1F, (0.2 + 0.00842) / 0.002421 },
    };
    for (const auto& c : cases) {
        CDiagScale scale;
        scale.version = c.version;
        scale.advancedFlags = c.flags;
        EXPECT_NEAR(r.manifoldPressure(scale), c.kPa, 1e-9) << std::hex << c.version;
    }
    // The image gives the same values.
    CSettingsImage image;
    image.m_devInfo.m_version = 0x0306;
    image.m_advancedSetup.m_advancedFlags = 0x10;
    EXPECT_NEAR(r.manifoldPressure(image), 86.088, 1e-3);
}

TEST(Diag, SequenceIsLittleEndianAtTheEnd)
{
    CDiag r;
    r.setSequence(0x01020304);
    EXPECT_EQ(r.bytes()[84], 0x04);
    EXPECT_EQ(r.bytes()[85], 0x03);
    EXPECT_EQ(r.bytes()[86], 0x02);
    EXPECT_EQ(r.bytes()[87], 0x01);
    EXPECT_EQ(r.sequence(), 0x01020304u);
    static_assert(sizeof(CDiag) == 88);
}

CDiag numbered(uint32_t n)
{
    CDiag r;
    r.setSequence(n);
    return r;
}

TEST(DiagData, TrimsTheOldest250AbovePastFiveHundred)
{
    CDiagData q;
    for (uint32_t n = 1; n <= 501; ++n)
        q.push(numbered(n));
    EXPECT_EQ(q.count(), 501); // at most 501 are held
    q.push(numbered(502));
    ASSERT_EQ(q.count(), 252);
    std::vector<CDiag> all;
    q.copyRange(all, 0, 1000);
    ASSERT_EQ(all.size(), 252u);
    EXPECT_EQ(all.front().sequence(), 251u);
    EXPECT_EQ(all.back().sequence(), 502u);
}

TEST(DiagData, LatestLeavesTheOutputAloneWhenEmpty)
{
    CDiagData q;
    CDiag out = numbered(77);
    out.bytes()[0] = 3;
    EXPECT_FALSE(q.latest(out));
    EXPECT_EQ(out.sequence(), 77u);
    EXPECT_EQ(out.fuelState(), 3);

    q.push(numbered(1));
    q.push(numbered(2));
    EXPECT_TRUE(q.latest(out));
    EXPECT_EQ(out.sequence(), 2u);
    EXPECT_EQ(out.fuelState(), 0);

    q.clear();
    EXPECT_EQ(q.count(), 0);
    EXPECT_FALSE(q.latest(out));
    EXPECT_EQ(out.sequence(), 2u);
}

TEST(DiagData, CopyRangeAppendsWithinTheCount)
{
    CDiagData q;
    for (uint32_t n = 1; n <= 5; ++n)
        q.push(numbered(n));
    struct Case {
        int first;
        int last;
        std::vector<uint32_t> sequences;
    };
    const Case cases[] = {
        { 1, 3, { 2, 3 } },
        { 3, 99, { 4, 5 } }, // last beyond the count
        { 5, 9, {} }, // first at the count
        { 9, 12, {} }, // first beyond the count
        { 2, 2, {} },
        { 4, 1, {} },
        { -3, 1, { 1 } },
    };
    for (const auto& c : cases) {
        std::vector<CDiag> out { numbered(100) };
        q.copyRange(out, c.first, c.last);
        ASSERT_EQ(out.size(), c.sequences.size() + 1) << c.first << ".." << c.last;
        EXPECT_EQ(out[0].sequence(), 100u); // appended, not replaced
        for (std::size_t i = 0; i < c.sequences.size(); ++i)
            EXPECT_EQ(out[i + 1].sequence(), c.sequences[i]);
    }
}

TEST(DiagData, ReadersAndAWriterAtOnce)
{
    CDiagData q;
    std::atomic<bool> done { false };
    std::thread writer([&] {
        for (uint32_t n = 1; n <= 3000; ++n) {
            q.push(numbered(n));
            if (n % 700 == 0)
                q.clear();
        }
        done = true;
    });
    while (!done) {
        CDiag r;
        if (q.latest(r)) {
            EXPECT_GE(r.sequence(), 1u);
            EXPECT_LE(r.sequence(), 3000u);
        }
        std::vector<CDiag> range;
        const int n = q.count();
        q.copyRange(range, n - 3, n);
        EXPECT_LE(range.size(), 3u);
        for (std::size_t i = 1; i < range.size(); ++i)
            EXPECT_EQ(range[i].sequence(), range[i - 1].sequence() + 1);
    }
    writer.join();
    EXPECT_LE(q.count(), 501);
}

} // namespace
