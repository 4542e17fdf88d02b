// SPDX-License-Identifier: GPL-3.0-or-later
// Automapping end to end with korvana-sim: a fresh curve, a warm engine swept
// on petrol and then on LPG until both maps pass the coverage check,
// korvana-cli automap --write, and the curve the controller then holds
// compared with what the computation gives for the maps the simulator
// reports. A second run with automapping switched on is refused. Prints the
// simulated driving time each map needed and how far the controller's curve
// is from the curve the simulated car needs, before and after.
#include "childprocess.h"
#include "connectiontest.h"

#include <app/tuning/automapping.h>
#include <tools/sim/fittedcar.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

using std::chrono::milliseconds;

// The mean of |curve − what the simulated car needs| over the slots marked
// (every slot when none is given).
double meanAbsFromCar(const CorrCurve& curve, const std::vector<bool>& only = {})
{
    double sum = 0;
    int n = 0;
    for (std::size_t i = 0; i < curve.size(); ++i)
        if (only.empty() || only[i]) {
            sum += std::fabs(curve[i] - fittedCurvePoint(static_cast<int>(i)));
            ++n;
        }
    return n ? sum / n : 0;
}

class AutomapE2E : public ConnectionTest {
protected:
    ProgramResult cli(const std::vector<std::string>& args)
    {
        std::vector<std::string> env { "XDG_CONFIG_HOME=" + m_dir + "/cfg", "HOME=" + m_dir, "LANG=C", "LC_MESSAGES=pl_PL.UTF-8" };
        return runProgram(KORVANA_CLI, args, milliseconds(20000), env);
    }

    // Simulated seconds of sweeping until the map of the fuel passes the check.
    double sweepUntilCovered(CLPGDevice& device, bool lpg)
    {
        EXPECT_EQ(sim->send(lpg ? "fuel lpg" : "fuel petrol").rfind("ok", 0), 0u);
        EXPECT_EQ(sim->send("engine sweep").rfind("ok", 0), 0u);
        CChartMaps maps;
        for (int seconds = 10; seconds <= 600; seconds += 10) {
            EXPECT_EQ(sim->send("advance 10").rfind("ok", 0), 0u);
            EXPECT_TRUE(maps.read(device));
            if ((lpg ? maps.lpg() : maps.petrol()).covered())
                return seconds;
        }
        ADD_FAILURE() << (lpg ? "LPG" : "petrol") << " map not covered after 10 minutes";
        return -1;
    }

    std::unique_ptr<CSimProcess> sim;
};

TEST_F(AutomapE2E, SweepsThenWritesTheComputedCurveAndRefusesWhileAutomapping)
{
    sim = startSim({ "--time-scale", "20", "--engine", "idle", "--fuel", "petrol" });
    const uint32_t port = addPort(sim->ptyPath());
    CorrCurve before {};
    CorrCurve expected {};
    std::vector<bool> driven(kSetupTimesCount, false); // slots the sweeps reached on both fuels
    {
        CLPGDevice device(m_ports);
        ASSERT_TRUE(device.session().connectOnPort(port));
        for (std::size_t i = 0; i < before.size(); ++i)
            ASSERT_EQ(device.image().m_setupTimes1[i], fittedCurvePoint(static_cast<int>(i)));
        // As on a fresh installation: no curve, the engine warmed, both maps empty.
        device.liveImage().m_setupTimes1.fill(0);
        ASSERT_TRUE(device.writeBlock(CReadBlocks::SetupTimes1));
        ASSERT_EQ(sim->send("advance 240").rfind("ok", 0), 0u);
        ASSERT_TRUE(device.clearPetrolMap());
        ASSERT_TRUE(device.clearLpgMap());

        const double petrolSeconds = sweepUntilCovered(device, false);
        const double lpgSeconds = sweepUntilCovered(device, true);
        std::printf("[ measure  ] driving to pass the coverage check: petrol %.0f s, LPG %.0f s (simulated)\n",
            petrolSeconds, lpgSeconds);
        EXPECT_LE(petrolSeconds, 300);
        EXPECT_LE(lpgSeconds, 300);
        ASSERT_EQ(sim->send("engine off").rfind("ok", 0), 0u); // the maps stay as they are

        CChartMaps maps;
        ASSERT_TRUE(maps.read(device));
        ASSERT_TRUE(maps.covered());
        expected = CAutomapping::propose(maps, device.image().m_setupTimes1).newCurve;
        for (int k = 0; k < CChartMaps::kBins; ++k)
            if (maps.filteredMean(k, 0) > 0 && maps.filteredMean(k, 1) > 0)
                driven[static_cast<std::size_t>(CAutomapping::slotOf(maps.filteredMean(k, 0)))] = true;
    }

    const ProgramResult first = cli({ "--port", sim->ptyPath(), "automap", "--write" });
    ASSERT_EQ(first.exitCode, 0) << first.err << first.out;
    EXPECT_NE(first.out.find("curve written"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("cells 10-14"), std::string::npos);

    std::optional<CLPGDevice> device;
    device.emplace(m_ports);
    ASSERT_TRUE(device->session().connectOnPort(port));
    EXPECT_EQ(device->image().m_setupTimes1, expected);
    EXPECT_EQ(device->image().m_tableMask, 0);
    const double after = meanAbsFromCar(device->image().m_setupTimes1);

    std::printf("[ measure  ] mean |car - curve| over 39 slots: %.2f %% before, %.2f %% after one automapping\n",
        meanAbsFromCar(before), after);
    const double drivenBefore = meanAbsFromCar(before, driven);
    const double drivenAfter = meanAbsFromCar(device->image().m_setupTimes1, driven);
    std::printf("[ measure  ] over the %d slots the sweep reaches: %.2f %% before, %.2f %% after\n",
        static_cast<int>(std::count(driven.begin(), driven.end(), true)), drivenBefore, drivenAfter);
    EXPECT_LT(drivenAfter, drivenBefore) << "the curve moves towards the car where it was driven";

    ASSERT_TRUE(CAutomapping::setSchedule(*device, 1));
    const CorrCurve written = device->image().m_setupTimes1;
    device.reset(); // the port is the CLI's now

    const ProgramResult second = cli({ "--port", sim->ptyPath(), "automap", "--write" });
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("automapowania"), std::string::npos) << second.err;

    device.emplace(m_ports);
    ASSERT_TRUE(device->session().connectOnPort(port));
    EXPECT_EQ(device->image().m_setupTimes1, written) << "nothing written by the refused run";
    EXPECT_EQ(device->image().m_automapMode, 1);
}

} // namespace
