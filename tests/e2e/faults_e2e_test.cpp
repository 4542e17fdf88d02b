// SPDX-License-Identifier: GPL-3.0-or-later
// The command set through a disturbed link: with a tenth of the simulated
// controller's answers disturbed (stray, dropped, bad checksum, wrong type,
// silence) every command still succeeds within its attempts and no wrong
// value reaches the image; with every answer silenced a command fails after
// its attempts in bounded time and leaves the image alone. A thousand
// commands run against the in-memory line (tests/device); here a few hundred
// prove the same through the simulator and a real pseudo-terminal.
#include <app/device/lpgdevice.h>

#include <simprocess.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace {

struct Block {
    const char* name;
    CReadBlocks::Block block;
};

const Block kBlocks[] = {
    { "base", CReadBlocks::Base },
    { "adv", CReadBlocks::Adv },
    { "main correction", CReadBlocks::MainCorr },
    { "setup times 1", CReadBlocks::SetupTimes1 },
    { "advanced setup", CReadBlocks::AdvancedSetup },
};

TEST(FaultsE2E, CommandsSurviveTenPercentMixedFaults)
{
    CSimProcess sim({ "--seed", "7" });
    ASSERT_TRUE(sim.start()) << sim.error();
    CLPGDevice device;
    device.link().configurePort(device.link().ports().addPath(sim.ptyPath(), "test"));
    ASSERT_TRUE(device.readBlock(CReadBlocks::SensorsSetup));
    for (const auto& b : kBlocks)
        ASSERT_TRUE(device.readBlock(b.block)) << b.name;
    const CSettingsImage reference = device.image();

    ASSERT_EQ(sim.send("fault mixed 0.1"), "ok fault mixed 0.100000");
    for (int i = 0; i < 200; ++i) {
        const Block& b = kBlocks[i % std::size(kBlocks)];
        device.liveImage() = CSettingsImage();
        device.liveImage().m_sensorsSetup = reference.m_sensorsSetup;
        ASSERT_TRUE(device.readBlock(b.block)) << b.name << " failed at command " << i;
        const CSettingsImage& got = device.image();
        switch (i % std::size(kBlocks)) {
        case 0: ASSERT_TRUE(got.m_base == reference.m_base) << i; break;
        case 1: ASSERT_TRUE(got.m_adv == reference.m_adv) << i; break;
        case 2: ASSERT_TRUE(got.m_mainCorr == reference.m_mainCorr) << i; break;
        case 3: ASSERT_EQ(got.m_setupTimes1, reference.m_setupTimes1) << i; break;
        default: ASSERT_TRUE(got.m_advancedSetup == reference.m_advancedSetup) << i; break;
        }
    }
    const std::string status = sim.send("status");
    EXPECT_EQ(status.find("disturbed=0"), std::string::npos) << "no answer was disturbed: " << status;
}

TEST(FaultsE2E, SilenceFailsEachCommandInBoundedTime)
{
    CSimProcess sim({ "--fault", "silence" });
    ASSERT_TRUE(sim.start()) << sim.error();
    CLPGDevice device;
    device.link().configurePort(device.link().ports().addPath(sim.ptyPath(), "test"));
    device.liveImage().m_base.m_switchRPM = 1234;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(device.readBlock(CReadBlocks::Base));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // 15 attempts of about one second each (a read of n bytes waits 1000 + n ms).
    EXPECT_GT(seconds, 14.0);
    EXPECT_NE(sim.send("status").find(" disturbed=15 "), std::string::npos) << "15 attempts, no more";
    EXPECT_EQ(device.liveImage().m_base.m_switchRPM, 1234);
}

} // namespace
