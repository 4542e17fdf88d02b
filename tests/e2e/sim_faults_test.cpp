// SPDX-License-Identifier: GPL-3.0-or-later
// Fault injection: the share of answers disturbed at a given rate, the mix of
// kinds, and what each kind does to a frame as the PC's receiver sees it.
#include "simtest.h"

#include <tools/sim/faultinjector.h>

namespace {

const Bytes kFrame = encodeFrame(31, Bytes(28, 0x5A), 0x0123);

} // namespace

TEST(SimFaults, RateGivesTheShareOfDisturbedAnswers)
{
    struct Case {
        double rate;
        std::size_t low, high; // of 4000 answers
    };
    for (const Case c : { Case { 0.0, 0, 0 }, Case { 0.1, 330, 470 }, Case { 0.5, 1850, 2150 }, Case { 1.0, 4000, 4000 } }) {
        CFaultInjector faults(7);
        faults.set(FaultKind::Checksum, c.rate);
        std::size_t changed = 0;
        for (int i = 0; i < 4000; ++i)
            changed += faults.apply(kFrame) != kFrame ? 1 : 0;
        EXPECT_GE(changed, c.low) << c.rate;
        EXPECT_LE(changed, c.high) << c.rate;
        EXPECT_EQ(faults.disturbed(), changed);
        EXPECT_EQ(faults.answers(), 4000u);
    }
}

TEST(SimFaults, MixedSpreadsOverEveryKind)
{
    CFaultInjector faults(3);
    faults.set(FaultKind::Mixed, 0.2);
    for (int i = 0; i < 5000; ++i)
        faults.apply(kFrame);
    EXPECT_NEAR(static_cast<double>(faults.disturbed()), 1000, 120);
    for (FaultKind k : { FaultKind::Stray, FaultKind::Drop, FaultKind::Checksum, FaultKind::Type, FaultKind::Silence })
        EXPECT_NEAR(static_cast<double>(faults.disturbed(k)), 200, 70) << CFaultInjector::name(k);
}

TEST(SimFaults, EachKindSpoilsTheFrameItsOwnWay)
{
    for (int seed = 1; seed <= 50; ++seed) {
        CFaultInjector faults(static_cast<uint32_t>(seed));

        faults.set(FaultKind::Stray, 1);
        const Bytes stray = faults.apply(kFrame);
        const std::size_t extra = stray.size() - kFrame.size();
        EXPECT_GE(extra, 1u);
        EXPECT_LE(extra, 3u);
        EXPECT_EQ(Bytes(stray.begin() + static_cast<std::ptrdiff_t>(extra), stray.end()), kFrame);
        for (std::size_t i = 0; i < extra; ++i)
            EXPECT_NE(stray[i], 0xAA) << "a stray sync byte would hide the real one";

        faults.set(FaultKind::Drop, 1);
        EXPECT_EQ(faults.apply(kFrame).size(), kFrame.size() - 1);

        faults.set(FaultKind::Checksum, 1);
        const auto bad = PtyPeer::parse(faults.apply(kFrame));
        ASSERT_TRUE(bad);
        EXPECT_EQ(bad->type, 31);
        EXPECT_FALSE(bad->checksumOk);

        faults.set(FaultKind::Type, 1);
        const auto wrong = PtyPeer::parse(faults.apply(kFrame));
        ASSERT_TRUE(wrong);
        EXPECT_NE(wrong->type, 31);
        EXPECT_TRUE(wrong->checksumOk) << "well formed, only the wrong answer";
        EXPECT_EQ(wrong->payload, Bytes(28, 0x5A));

        faults.set(FaultKind::Silence, 1);
        EXPECT_TRUE(faults.apply(kFrame).empty());
    }
}

TEST(SimFaults, SimulatorAppliesThemToItsAnswers)
{
    CSimulator sim(quietConfig());
    sim.faults().set(FaultKind::Silence, 1);
    EXPECT_FALSE(ask(sim, 2, command(0x07)));
    sim.faults().set(FaultKind::None, 0);
    EXPECT_TRUE(ask(sim, 2, command(0x07)));
    EXPECT_EQ(sim.faults().answers(), 2u);
}
