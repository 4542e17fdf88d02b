// SPDX-License-Identifier: GPL-3.0-or-later
// What the autocalibration relies on in the simulated car: at idle, the petrol
// time the engine computer gives on LPG differs from the one on petrol by
// about as much as the main correction misses the car's need, once the trims
// have settled; with only some cylinders on LPG by that share. Also the
// --main-corr option that starts a controller away from its fitted values.
#include "simtest.h"

#include <tools/sim/fittedcar.h>
#include <tools/sim/simoptions.h>

namespace {

// Mean petrol time over the four injectors, averaged over a few seconds of readings.
double petrolTime(CSimulator& sim)
{
    double sum = 0;
    int count = 0;
    for (int i = 0; i < 30; ++i) {
        sim.controller().advance(0.1);
        const Bytes r = payloadOf(sim, 2, command(0x24), 1);
        for (int k = 0; k < 4; ++k, ++count)
            sum += u16(r, 18 + 8 * k) * 0.025;
    }
    return sum / count;
}

double need()
{
    return (physicalOffsetMs(0) + physicalOffsetMs(1) + physicalOffsetMs(2) + physicalOffsetMs(3)) / 4;
}

// Petrol time on LPG minus petrol time on petrol, trims settled, at idle.
double difference(CSimulator& sim, uint8_t lpgCylinders = 0x0F)
{
    payloadOf(sim, 2, command(0x02), 2);
    sim.controller().advance(20);
    const double petrol = petrolTime(sim);
    payloadOf(sim, 2, command(0x01), 2);
    sim.controller().advance(2);
    if (lpgCylinders != 0x0F)
        payloadOf(sim, 2, command(0x17, lpgCylinders), 2);
    sim.controller().advance(20);
    return petrolTime(sim) - petrol;
}

} // namespace

TEST(SimCalibration, PetrolTimeOnLpgFollowsTheMissingCorrection)
{
    for (double start : { 0.5, 1.1375, 1.8 }) {
        SimConfig config = quietConfig(EngineState::Idle);
        config.mainCorr = start;
        CSimulator sim(config);
        sim.controller().advance(400); // warm
        const double missing = need() - start;
        EXPECT_NEAR(difference(sim), missing, 0.03 + 0.03 * std::fabs(missing)) << start;
    }
}

TEST(SimCalibration, OneCylinderOnLpgShowsItsShare)
{
    SimConfig config = quietConfig(EngineState::Idle);
    config.mainCorr = 0.5;
    CSimulator sim(config);
    sim.controller().advance(400);
    const double missing = need() - 0.5;
    EXPECT_NEAR(difference(sim, 0x01), (physicalOffsetMs(0) - 0.5) / 4, 0.03) << missing;
    EXPECT_NEAR(difference(sim, 0x0F), missing, 0.04);
}

TEST(SimCalibration, MainCorrOptionSetsEveryCorrection)
{
    std::string message;
    bool help = false;
    const auto options = parseSimOptions({ "--main-corr", "0.5" }, message, help);
    ASSERT_TRUE(options) << message;
    CSimulator sim(options->config);
    const Bytes corr = payloadOf(sim, 2, command(0x16), 15);
    for (std::size_t i = 0; i < 16; i += 2)
        EXPECT_EQ(u16(corr, i), 125) << i; // 0.5 ms in 0.004 ms steps
    EXPECT_FALSE(parseSimOptions({ "--main-corr", "lots" }, message, help));
    EXPECT_FALSE(parseSimOptions({ "--main-corr" }, message, help));
}
