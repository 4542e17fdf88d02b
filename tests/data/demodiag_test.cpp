// SPDX-License-Identifier: GPL-3.0-or-later
// Demo mode's simulated readings: the first records byte by byte, the walks
// of pressure, lambda and engine speed turning at their bounds, the petrol
// times following the manifold pressure (lowered on LPG), and the queue
// cleared when the simulation starts over.
#include <app/data/demodiag.h>
#include <app/data/diag.h>
#include <app/data/diagdata.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

class DemoRecords : public ::testing::Test {
protected:
    void SetUp() override { resetDemoRecords(); }
    void TearDown() override { resetDemoRecords(); }

    CDiag next(uint8_t fuel = 2)
    {
        CDiag r;
        buildDemoRecord(r, queue, fuel, CDiagScale {});
        return r;
    }

    CDiagData queue;
};

TEST_F(DemoRecords, FirstRecordByteByByte)
{
    CDiag r;
    r.bytes()[83] = 0x99; // whatever was there before is cleared
    buildDemoRecord(r, queue, 2, CDiagScale {});
    const uint8_t head[16] = { 2, 0, 61, 93, 0, 122, 1, 49, 110, 110, 50, 0, 0, 0, 0x0C, 0x65 };
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(r.bytes()[i], head[i]) << "byte " << i;
    EXPECT_EQ(r.rpmPeriod(), 5000);
    const uint16_t petrol[8] = { 124, 121, 122, 124, 125, 126, 125, 124 };
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(r.petrolRaw(2 * k), petrol[k]) << "slot " << 2 * k;
        EXPECT_EQ(r.lpgOffset(2 * k), 80);
        EXPECT_EQ(r.petrolRaw(2 * k + 1), 0);
        EXPECT_EQ(r.lpgOffset(2 * k + 1), 0);
    }
    EXPECT_EQ(r.bytes()[83], 0);
    EXPECT_EQ(r.sequence(), 1u);
}

TEST_F(DemoRecords, SecondRecordFollowsTheManifoldPressure)
{
    next();
    const CDiag r = next();
    EXPECT_EQ(r.u8(8), 111);
    EXPECT_EQ(r.u8(10), 50); // 50.1
    EXPECT_EQ(r.u8(6), 2);
    EXPECT_EQ(r.u8(7), 48);
    EXPECT_EQ(r.rpmPeriod(), 5001);
    // T = (113, the byte of 101 kPa, − 50) × 6 = 378.
    EXPECT_EQ(r.petrolRaw(0), 379);
    EXPECT_EQ(r.petrolRaw(2), 376);
    EXPECT_EQ(r.sequence(), 2u);
}

TEST_F(DemoRecords, LpgLightsTheMasksAndShortensTheTimes)
{
    const CDiag first = next(3);
    EXPECT_EQ(first.fuelState(), 3);
    EXPECT_EQ(first.lpgMask1(), 0xFF);
    EXPECT_EQ(first.lpgMask2(), 0xFF);
    // 378 less a tenth: 340.2, so slot 0 holds 341.
    EXPECT_EQ(next(3).petrolRaw(0), 341);
}

TEST_F(DemoRecords, WalksTurnAtTheirBounds)
{
    std::vector<CDiag> records;
    for (int i = 0; i < 120; ++i)
        records.push_back(next());
    // Pressure: 110 up to 120 (record 11), then down to 90 (record 41), then up again.
    EXPECT_EQ(records[10].u8(8), 120);
    EXPECT_EQ(records[11].u8(8), 119);
    EXPECT_EQ(records[40].u8(8), 90);
    EXPECT_EQ(records[41].u8(8), 91);
    // Lambda: 1 up to 50 (record 50), then down; the second probe mirrors it.
    EXPECT_EQ(records[49].u8(6), 50);
    EXPECT_EQ(records[49].u8(7), 0);
    EXPECT_EQ(records[50].u8(6), 49);
    // Engine speed period: 5000 up to 5100 (record 101), then down.
    EXPECT_EQ(records[100].rpmPeriod(), 5100);
    EXPECT_EQ(records[101].rpmPeriod(), 5099);
}

TEST_F(DemoRecords, QueueIsClearedOnlyWhenTheSimulationStarts)
{
    queue.push(CDiag {});
    queue.push(CDiag {});
    next();
    EXPECT_EQ(queue.count(), 0);
    queue.push(CDiag {});
    next();
    EXPECT_EQ(queue.count(), 1);
    resetDemoRecords();
    next();
    EXPECT_EQ(queue.count(), 0);
}

} // namespace
