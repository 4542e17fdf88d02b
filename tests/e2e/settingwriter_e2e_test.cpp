// SPDX-License-Identifier: GPL-3.0-or-later
// Writing settings blocks with read-back against the simulator's controller
// in-process: a controller that keeps a byte of the base block stuck is
// caught by the read-back and named by its block; the blocks of a change are
// written once each, in the advanced setup, base, advanced, sensor setup order.
#include <app/data/settingfields.h>
#include <app/device/lpgdevice.h>
#include <app/device/settingwriter.h>
#include <tools/sim/simulator.h>

#include <memorylink.h>
#include <scriptedinteraction.h>

#include <gtest/gtest.h>

namespace {

using Bytes = CMemoryLink::Bytes;

class SettingWriter : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_link.setPeer([this](const Bytes& request) {
            Bytes answer;
            for (const auto& out : m_sim.receive(request.data(), request.size(), 0, false))
                answer.insert(answer.end(), out.bytes.begin(), out.bytes.end());
            if (m_stuck)
                m_sim.controller().store().record(31)[7] = 0x10; // a switch-over delay of 8 s, whatever was written
            if (request.size() > 3)
                m_types.push_back(request[3]); // AA 55, length, type
            return answer;
        });
        m_device.link().setLine(&m_link);
        m_device.link().configurePort(1);
        m_device.m_connected = true;
        ASSERT_TRUE(m_device.readBlock(CReadBlocks::Base));
        ASSERT_TRUE(m_device.readBlock(CReadBlocks::Adv));
        ASSERT_TRUE(m_device.readBlock(CReadBlocks::AdvancedSetup));
        ASSERT_TRUE(m_device.readBlock(CReadBlocks::SensorsSetup));
        m_types.clear();
    }

    CSimulator m_sim { SimConfig {} };
    CMemoryLink m_link;
    CScriptedInteraction m_ui;
    CInteractionScope m_scope { m_ui };
    CLPGDevice m_device;
    bool m_stuck = false;
    std::vector<uint8_t> m_types;
};

TEST_F(SettingWriter, ReadBackNamesTheBlockTheControllerDidNotTake)
{
    m_device.liveImage().m_base.m_switchDelay = 40;
    CSettingWriter::Outcome ok = CSettingWriter::write(m_device, kBlockBase, false, true);
    EXPECT_TRUE(ok.ok()) << CSettingWriter::describe(ok);

    m_stuck = true;
    m_device.liveImage().m_base.m_switchDelay = 50;
    const CSettingWriter::Outcome stuck = CSettingWriter::write(m_device, kBlockBase | kBlockAdv, false, true);
    EXPECT_EQ(stuck.result, CSettingWriter::Result::Mismatch);
    EXPECT_EQ(stuck.block, kBlockBase);
    EXPECT_NE(CSettingWriter::describe(stuck).find("base block (m_base)"), std::string::npos);
    // What the controller holds is in the image now, not what was meant.
    EXPECT_EQ(m_device.image().m_base.m_switchDelay, 8);
}

TEST_F(SettingWriter, EveryBlockOnceInItsOrder)
{
    const CSettingWriter::Outcome ok = CSettingWriter::write(
        m_device, kBlockSensorsSetup | kBlockAdvancedSetup | kBlockAdv | kBlockBase, false, false);
    ASSERT_TRUE(ok.ok()) << CSettingWriter::describe(ok);
    std::vector<uint8_t> writes;
    for (uint8_t t : m_types)
        if (t == 31 || t == 4 || t == 26 || t == 30)
            writes.push_back(t);
    EXPECT_EQ(writes, (std::vector<uint8_t> { 26, 31, 4, 30 }))
        << "the advanced setup first: the signal type goes there before the base block";
}

} // namespace
