// SPDX-License-Identifier: GPL-3.0-or-later
// The engine model seen through the live readings record (record 1) and the
// other records it feeds: idle speed, injection times and pressures, the
// reducer warming, the automatic switch-over after temperature, speed and
// delay, the fuel commands and the cylinder masks, the LPG dosing and the
// engine computer's answer to it, the counters and the 2D chart's maps.
#include "simtest.h"

#include <app/data/conversions.h>

namespace {

struct Live {
    Bytes r;
    uint8_t fuel() const { return r.at(0); }
    uint8_t pending() const { return r.at(1); }
    double rpm() const
    {
        const uint16_t p = u16(r, 16);
        return p == 0 ? 0 : 4800000.0 / p;
    }
    double petrolMs(int injector) const { return u16(r, 18 + 8 * injector) * 0.025; }
    double lpgMs(int injector) const
    {
        int o = u16(r, 20 + 8 * injector);
        if (o > 60000)
            o = -(65535 - o);
        return petrolMs(injector) + o * 0.025;
    }
    double volts() const { return r.at(5) * 5.0 / 255 * 6; }
    double lambda1() const { return r.at(6) * 5.0 / 255; }
    double lpgKpa() const { return (r.at(8) / 255.0 - 0.04) / 0.004; }
    double manifoldKpa() const { return (r.at(10) / 255.0 + 0.00842) / 0.002421; } // ABS 4 bar, version 3.6
    double reducerC() const { return temprFromByte(r.at(2), 0); }
};

Live live(CSimulator& sim)
{
    return { payloadOf(sim, 2, command(0x24), 1) };
}

void run(CSimulator& sim, double seconds)
{
    sim.controller().advance(seconds);
}

} // namespace

TEST(SimEngine, WarmIdleLooksLikeACarAtIdle)
{
    CSimulator sim(quietConfig(EngineState::Idle));
    run(sim, 400);
    const Live l = live(sim);
    ASSERT_EQ(l.r.size(), 82u);
    EXPECT_NEAR(l.rpm(), 800, 25);
    for (int k = 0; k < 4; ++k)
        EXPECT_NEAR(l.petrolMs(k), 3.0, 0.4) << k;
    EXPECT_EQ(l.petrolMs(4), 0) << "only four injectors";
    EXPECT_EQ(u16(l.r, 18 + 2), u16(l.r, 20)) << "odd slots stay empty";
    EXPECT_NEAR(l.manifoldKpa(), 35, 3);
    EXPECT_NEAR(l.volts(), 14.1, 0.2);
    EXPECT_NEAR(l.reducerC(), 70, 2);
    EXPECT_EQ(l.r[13], 0x0F) << "four petrol injectors seen";
    // On LPG by now; the pressure sits at the working pressure of 110 kPa.
    EXPECT_EQ(l.fuel(), 3);
    EXPECT_NEAR(l.lpgKpa(), 110, 5);
    EXPECT_EQ(l.r[9], 122);
}

TEST(SimEngine, ReducerWarmsTowardSeventyAndCoolsWhenStopped)
{
    CSimulator sim(quietConfig(EngineState::Idle));
    EXPECT_NEAR(live(sim).reducerC(), 20, 1);
    double last = 20;
    for (int step = 0; step < 6; ++step) {
        run(sim, 30);
        const double now = sim.controller().engine().reducerCelsius();
        EXPECT_GT(now, last);
        EXPECT_LT(now, 70.01);
        last = now;
    }
    EXPECT_GT(last, 60);
    sim.controller().engine().setEngine(EngineState::Off);
    run(sim, 120);
    EXPECT_LT(sim.controller().engine().reducerCelsius(), last - 5);
    const Live off = live(sim);
    EXPECT_EQ(off.rpm(), 0);
    EXPECT_EQ(off.petrolMs(0), 0);
    EXPECT_EQ(off.r[13], 0);
    EXPECT_EQ(off.fuel(), 2);
}

TEST(SimEngine, CrankingStartsTheEngine)
{
    CSimulator sim(quietConfig());
    sim.controller().engine().setEngine(EngineState::Cranking);
    run(sim, 0.5);
    EXPECT_NEAR(live(sim).rpm(), 230, 30);
    EXPECT_LT(live(sim).volts(), 11.5);
    run(sim, 2);
    EXPECT_GT(live(sim).rpm(), 1000) << "a cold start idles fast";
}

TEST(SimEngine, AutomaticSwitchWaitsForTemperatureSpeedAndDelay)
{
    // Fitted: 32 °C, 1200 rpm (reached by the cold idle), 20 s delay, 0.3 s per cylinder.
    CSimulator sim(quietConfig(EngineState::Idle));
    run(sim, 15);
    EXPECT_EQ(live(sim).fuel(), 2);
    EXPECT_EQ(live(sim).pending(), 0) << "reducer still cold";
    double warm = 15;
    while (sim.controller().engine().reducerCelsius() < 32.5 && warm < 120) {
        run(sim, 0.5);
        warm += 0.5;
    }
    EXPECT_EQ(live(sim).pending(), 1);
    run(sim, 18);
    EXPECT_EQ(live(sim).fuel(), 2) << "delay not over";
    run(sim, 2.5);
    const Live changing = live(sim);
    EXPECT_TRUE(changing.fuel() == 4 || changing.fuel() == 3);
    run(sim, 1.5);
    const Live lpg = live(sim);
    EXPECT_EQ(lpg.fuel(), 3);
    EXPECT_EQ(lpg.pending(), 0);
    EXPECT_EQ(lpg.r[11], 0x0F);
    EXPECT_EQ(lpg.r[12], 0x0F);

    // A switch-over speed above the idle keeps a cold start on petrol.
    CSimulator high(quietConfig(EngineState::Idle));
    Bytes base = payloadOf(high, 2, command(0x07), 31);
    base[0] = 0x20; // period 800: 6000 rpm
    base[1] = 0x03;
    ASSERT_EQ(payloadOf(high, 31, base, 2), ack(31));
    run(high, 300);
    EXPECT_EQ(live(high).fuel(), 2);
    high.controller().engine().setEngine(EngineState::Sweep);
    run(high, 60);
    EXPECT_NE(live(high).fuel(), 2) << "the sweep passes 6000 rpm";
}

TEST(SimEngine, FuelCommandsSwitchCylinderByCylinder)
{
    CSimulator sim(quietConfig(EngineState::Idle));
    EXPECT_EQ(payloadOf(sim, 2, command(0x01), 2), ack(0x01));
    run(sim, 0.1);
    EXPECT_EQ(live(sim).fuel(), 4) << "forced LPG ignores the cold reducer";
    run(sim, 1.0);
    EXPECT_EQ(live(sim).fuel(), 3);

    EXPECT_EQ(payloadOf(sim, 2, command(0x02), 2), ack(0x02));
    run(sim, 0.1);
    const Live half = live(sim);
    EXPECT_EQ(half.fuel(), 5);
    EXPECT_EQ(half.r[11], 0x07) << "first cylinder back on petrol at once";
    // Within injectors × emulator delay (4 × 0.3 s) the controller is on petrol.
    run(sim, 1.1);
    const Live petrol = live(sim);
    EXPECT_EQ(petrol.fuel(), 2);
    EXPECT_EQ(petrol.r[11], 0);
    EXPECT_EQ(petrol.r[12], 0);

    // Petrol mode holds even when every condition of the automatic switch is met.
    run(sim, 300);
    EXPECT_EQ(live(sim).fuel(), 2);
    EXPECT_EQ(payloadOf(sim, 2, command(0x03), 2), ack(0x03));
    run(sim, 19);
    EXPECT_EQ(live(sim).fuel(), 2) << "automatic mode waits the delay again";
    run(sim, 3);
    EXPECT_EQ(live(sim).fuel(), 3);
}

TEST(SimEngine, CommandMasksChooseTheLpgCylinders)
{
    CSimulator sim(quietConfig(EngineState::Idle));
    EXPECT_EQ(payloadOf(sim, 2, command(0x17, 0x05), 2), ack(0x17));
    EXPECT_EQ(live(sim).r[11], 0) << "ignored on petrol";

    payloadOf(sim, 2, command(0x01), 2);
    run(sim, 2);
    EXPECT_EQ(payloadOf(sim, 2, command(0x17, 0x05), 2), ack(0x17));
    EXPECT_EQ(payloadOf(sim, 2, command(0x18, 0x01), 2), ack(0x18));
    const Live masked = live(sim);
    EXPECT_EQ(masked.r[11], 0x05);
    EXPECT_EQ(masked.r[12], 0x01);
    EXPECT_EQ(masked.fuel(), 3);

    payloadOf(sim, 2, command(0x02), 2);
    payloadOf(sim, 2, command(0x01), 2);
    run(sim, 2);
    EXPECT_EQ(live(sim).r[11], 0x0F) << "a fuel command ends the masks";
}

TEST(SimEngine, LpgDosingFollowsMainCorrectionAndTheEngineComputerAnswers)
{
    CSimulator sim(quietConfig(EngineState::Idle));
    run(sim, 400); // warm, on LPG, trims settled
    const Live before = live(sim);
    ASSERT_EQ(before.fuel(), 3);
    const double offset = before.lpgMs(0) - before.petrolMs(0);
    EXPECT_GT(offset, 1.0) << "main correction 1.14 ms and a small map share";
    EXPECT_LT(offset, 1.4);
    EXPECT_NEAR(sim.controller().engine().mixtureError(), 0, 0.02) << "a fitted car";

    // Half a millisecond more on every injector: rich, so the engine computer
    // trims its petrol time down and the LPG time follows it.
    Bytes corr = payloadOf(sim, 2, command(0x16), 15);
    for (std::size_t i = 0; i < 16; i += 2) {
        const auto v = static_cast<uint16_t>(u16(corr, i) + 125);
        corr[i] = static_cast<uint8_t>(v & 0xFF);
        corr[i + 1] = static_cast<uint8_t>(v >> 8);
    }
    ASSERT_EQ(payloadOf(sim, 15, corr, 2), ack(15));
    run(sim, 5);
    EXPECT_LT(sim.controller().engine().shortTrimPercent() + sim.controller().engine().longTrimPercent(), -8);
    run(sim, 200);
    const Live after = live(sim);
    EXPECT_LT(after.petrolMs(0), before.petrolMs(0) - 0.3);
    EXPECT_NEAR(after.lpgMs(0) - after.petrolMs(0), offset + 0.5, 0.1);
    EXPECT_NEAR(sim.controller().engine().mixtureError(), 0, 0.02) << "trims absorb it";
}

TEST(SimEngine, CountersAndLevelAdvance)
{
    CSimulator sim(quietConfig(EngineState::Idle));
    payloadOf(sim, 2, command(0x02), 2);
    run(sim, 60);
    Bytes stats = payloadOf(sim, 2, command(0x11), 12);
    EXPECT_EQ(u16(stats, 0) | u16(stats, 2) << 16, 252000u + 120);
    payloadOf(sim, 2, command(0x01), 2);
    run(sim, 30.9); // 0.9 s of switching counts as LPG
    stats = payloadOf(sim, 2, command(0x11), 12);
    EXPECT_EQ(u16(stats, 4) | u16(stats, 6) << 16, 2952000u + 61);

    // The level byte meets the fitter's thresholds: full 45, half 180.
    sim.controller().engine().setTankLevel(100);
    EXPECT_NEAR(live(sim).r[14], 45, 1);
    sim.controller().engine().setTankLevel(50);
    EXPECT_NEAR(live(sim).r[14], 180, 1);
}

TEST(SimEngine, ChartMapsFillPerFuelAndClear)
{
    CSimulator sim(quietConfig(EngineState::Idle));
    payloadOf(sim, 2, command(0x02), 2);
    run(sim, 300);
    payloadOf(sim, 2, command(0x1C), 2);
    payloadOf(sim, 2, command(0x1D), 2);
    run(sim, 30);
    const Bytes petrol = payloadOf(sim, 2, command(0x25), 28);
    const Bytes lpg = payloadOf(sim, 2, command(0x26), 29);
    ASSERT_EQ(petrol.size(), 188u);
    ASSERT_EQ(lpg.size(), 188u);
    EXPECT_NEAR(u16(petrol, 186), 300, 2) << "ten samples a second";
    EXPECT_EQ(u16(lpg, 186), 0);
    // Idle at 35 kPa: manifold byte 19, cell 4 (cell b stands for byte b × 156 / 72 + 11).
    const uint16_t count = u16(petrol, 0x7C + 2 * 4);
    EXPECT_GT(count, 250);
    const uint32_t sum = u16(petrol, 16) | static_cast<uint32_t>(u16(petrol, 18)) << 16;
    EXPECT_NEAR(sum / double(count) * 0.025, 3.0, 0.4);

    payloadOf(sim, 2, command(0x01), 2);
    run(sim, 30);
    EXPECT_GT(u16(payloadOf(sim, 2, command(0x26), 29), 186), 250);
    EXPECT_EQ(payloadOf(sim, 2, command(0x1C), 2), ack(0x1C));
    EXPECT_EQ(payloadOf(sim, 2, command(0x25), 28), Bytes(188, 0));
}

TEST(SimEngine, AHotRestartSwitchesToLpgAgain)
{
    CSimulator sim(quietConfig(EngineState::Idle));
    run(sim, 300);
    ASSERT_EQ(live(sim).fuel(), 3);
    sim.controller().engine().setEngine(EngineState::Off);
    run(sim, 10);
    EXPECT_EQ(live(sim).fuel(), 2);
    sim.controller().engine().setEngine(EngineState::Idle);
    run(sim, 0.2);
    EXPECT_GT(live(sim).rpm(), 1200) << "the start flare";
    run(sim, 25);
    EXPECT_EQ(live(sim).fuel(), 3) << "temperature, speed and the 20 s delay met again";
}
