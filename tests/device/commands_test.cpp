// SPDX-License-Identifier: GPL-3.0-or-later
// The command set against a scripted controller on a pseudo-terminal: request
// bytes on the wire, the answer tests of the attempt policy (late answers of
// another type, short answers, foreign memory addresses), image untouched by
// failures, the map page with its checksum and read-back, fuel switching and
// the petrol wait, the live readings results, the OBD and bootloader commands,
// and demo mode sending nothing.
#include <app/data/languages.h>
#include <app/device/demostate.h>
#include <app/device/lpgdevice.h>
#include <app/tuning/obdrecords.h>
#include <app/platform/pcid.h>

#include "ptypeer.h"
#include "scriptedinteraction.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace {

using Bytes = PtyPeer::Bytes;
using Frame = PtyPeer::Frame;

Bytes answer(uint8_t type, const Bytes& payload)
{
    return PtyPeer::frame(type, 0x2345, payload);
}

const Bytes kAck = answer(2, { 4, 0, 0, 0, 0, 0 });
const Bytes kRefusal = answer(2, { 5, 0, 0, 0, 0, 0 });

Bytes cmd(uint8_t code, uint8_t b2 = 0, uint8_t b3 = 0)
{
    return { code, 0, b2, b3, 0, 0 };
}

class Commands : public ::testing::Test {
protected:
    void SetUp() override
    {
        device.link().configurePort(device.link().ports().addPath(peer.path(), "test"));
        device.link().setKeyGenerator([] { return uint16_t { 0x1233 }; });
    }

    // Answers each request frame with what reply gives (empty: silence).
    void serve(std::function<Bytes(const Frame&)> reply)
    {
        peer.serve([reply](const Bytes& request) {
            const auto f = PtyPeer::parse(request);
            Bytes out = f ? reply(*f) : Bytes {};
            return out.empty() ? std::vector<PtyPeer::Reply> {} : std::vector<PtyPeer::Reply> { { out } };
        });
    }

    // The request frames since the last call.
    std::vector<Frame> sent()
    {
        peer.stop();
        const auto all = peer.requests();
        std::vector<Frame> frames;
        for (std::size_t i = m_seen; i < all.size(); ++i)
            frames.push_back(*PtyPeer::parse(all[i]));
        m_seen = all.size();
        return frames;
    }

    PtyPeer peer;
    CLPGDevice device;
    CScriptedInteraction ui;
    CInteractionScope scope { ui };

private:
    std::size_t m_seen = 0;
};

TEST_F(Commands, LateAnswerOfAnotherTypeIsRefusedAndTheRequestRepeated)
{
    device.link().setKeyGenerator([] { return uint16_t { 0x1230 }; });
    Bytes base(28, 0);
    base[0] = 0x80, base[1] = 0x0C, base[4] = 3;
    base[24] = 0xDE, base[25] = 0xAD, base[26] = 0xBE, base[27] = 0xEF;
    int n = 0;
    serve([&](const Frame&) { return ++n == 1 ? answer(4, Bytes(22, 0x11)) : answer(31, base); });

    ASSERT_TRUE(device.readBlock(CReadBlocks::Base));
    const Bytes wire { 0xAA, 0x55, 0x08, 0x02, 0x12, 0x30, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x54 };
    ASSERT_EQ(peer.requests().size(), 2u);
    EXPECT_EQ(peer.requests()[0], wire) << PtyPeer::hex(peer.requests()[0]);
    EXPECT_EQ(peer.requests()[1], wire);
    EXPECT_EQ(device.image().m_base.m_switchRPM, 1500);
    EXPECT_EQ(device.image().m_base.m_sparkDivider, 3);
    EXPECT_EQ(device.image().m_base.m_pcId, (std::array<uint8_t, 4> { 0xDE, 0xAD, 0xBE, 0xEF }));
    EXPECT_EQ(device.image().m_adv, CAdvSetup {});
}

TEST_F(Commands, ShortAnswerIsAFailedAttemptAndLeavesTheImageAlone)
{
    serve([](const Frame&) { return answer(31, Bytes(20, 0xFF)); }); // eight bytes short of the block
    device.liveImage().m_base.m_switchRPM = 2100;
    const CSettingsImage before = device.image();
    EXPECT_FALSE(device.readBlock(CReadBlocks::Base));
    EXPECT_EQ(device.image(), before);
    EXPECT_EQ(sent().size(), 15u);
}

TEST_F(Commands, WriteBaseStampsThisPcOnlyOnceAcknowledged)
{
    const std::string machineId = ::testing::TempDir() + "/korvana-machine-id";
    std::ofstream(machineId) << "0a1b2c3d4e5f60718293a4b5c6d7e8f9\n";
    CPcIdSourceScope source(machineId, "/nonexistent-by-uuid");
    const auto id = pcIdentifier();
    ASSERT_EQ(id, (PcId { 0x0A, 0x1B, 0x2C, 0x3D }));
    serve([](const Frame&) { return kRefusal; });
    EXPECT_FALSE(device.writeBlock(CReadBlocks::Base));
    EXPECT_EQ(device.image().m_base.m_pcId, (std::array<uint8_t, 4> {}));
    auto frames = sent();
    ASSERT_EQ(frames.size(), 15u);
    EXPECT_EQ(frames[0].type, 31);
    EXPECT_EQ(Bytes(frames[0].payload.begin() + 24, frames[0].payload.end()), Bytes(id->begin(), id->end()));

    int n = 0;
    serve([&](const Frame&) { return ++n < 3 ? kRefusal : kAck; });
    EXPECT_TRUE(device.writeBlock(CReadBlocks::Base));
    EXPECT_EQ(sent().size(), 3u);
    EXPECT_EQ(device.image().m_base.m_pcId, *id);
}

// A machine with no identifier: the base block goes out with the identifier
// the controller already holds, and the image keeps it.
TEST_F(Commands, WriteBaseWithoutAPcIdentifierKeepsTheHeldOne)
{
    CPcIdSourceScope source("/nonexistent-machine-id", "/nonexistent-by-uuid");
    ASSERT_FALSE(pcIdentifier());
    device.liveImage().m_base.m_pcId = { 0x11, 0x22, 0x33, 0x44 };
    serve([](const Frame&) { return kAck; });
    EXPECT_TRUE(device.writeBlock(CReadBlocks::Base));
    const auto frames = sent();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(Bytes(frames[0].payload.begin() + 24, frames[0].payload.end()), (Bytes { 0x11, 0x22, 0x33, 0x44 }));
    EXPECT_EQ(device.image().m_base.m_pcId, (PcId { 0x11, 0x22, 0x33, 0x44 }));
}

TEST_F(Commands, WritesAndActionsCarryTheirRecords)
{
    CSettingsImage& im = device.liveImage();
    im.m_setupTimes1[0] = -100, im.m_setupTimes1[1] = 155, im.m_setupTimes1[2] = 10.9;
    im.m_setupTimes2[0] = -1, im.m_tableMask = 0x3C;
    im.m_sensorsSetup.m_fuelType = 1, im.m_sensorsSetup.m_fuelFull = 16;
    std::array<uint8_t, 18> obd {};
    obd[6] = 0x80, obd[7] = 0x0C; // 1500 rpm as the period the controller holds
    std::array<uint8_t, 192> row {};
    row[0] = 0x11, row[191] = 0x99;
    struct Case {
        const char* name;
        std::function<bool()> run;
        uint8_t type;
        Bytes head; // the payload's first bytes
        std::size_t length;
    };
    const Case cases[] = {
        { "setup times 1", [&] { return device.writeBlock(CReadBlocks::SetupTimes1); }, 7, { 0, 255, 110, 100 }, 40 },
        { "setup times 2", [&] { return device.writeBlock(CReadBlocks::SetupTimes2); }, 9, { 99, 100 }, 40 },
        { "inverted threshold", [&] { return device.writeBlock(CReadBlocks::SensorsSetup); }, 30, { 0xEF, 105, 60, 17, 1 }, 30 },
        { "OBD speed period as held", [&] { return device.writeObdMapConfig(obd); }, 27, { 0, 0, 0, 0, 0, 0, 0x80, 0x0C },
            18 },
        { "emulator setting", [&] { return device.command17(9); }, 2, cmd(0x17, 9), 6 },
        { "map step record",
            [&] {
                return device.writeRecord13({ 1, 2, 3, 4, 5, 6 });
            },
            13, { 1, 2, 3, 4, 5, 6 }, 6 },
        { "erase block", [&] { return device.bootStartPage(0x2400); }, 0xF9, { 0x00, 0x24, 0x00, 0x00 }, 4 },
        { "flash row", [&] { return device.bootWriteRow(0x1800, row); }, 0xF7, { 0x00, 0x18, 0x00, 0x00, 0x11 }, 196 },
        { "restart", [&] { return device.command0A(); }, 2, cmd(0x0A), 6 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        serve([](const Frame&) { return kAck; });
        EXPECT_TRUE(c.run());
        const auto frames = sent();
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].type, c.type);
        ASSERT_EQ(frames[0].payload.size(), c.length);
        EXPECT_EQ(Bytes(frames[0].payload.begin(), frames[0].payload.begin() + c.head.size()), c.head);
    }
    serve([](const Frame&) { return kAck; });
    EXPECT_TRUE(device.writeBlock(CReadBlocks::SetupTimes2));
    EXPECT_EQ(sent()[0].payload[39], 0x3C);
}

TEST_F(Commands, SwitchToAutoSendsPetrolThenAutoEvenWhenPetrolIsRefused)
{
    serve([](const Frame& f) { return f.payload[0] == 0x02 ? kRefusal : kAck; });
    EXPECT_TRUE(device.switchToAuto());
    const auto frames = sent();
    ASSERT_EQ(frames.size(), 16u);
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(frames[i].payload, cmd(0x02));
    EXPECT_EQ(frames[15].payload, cmd(0x03));
}

TEST_F(Commands, LiveDataResultsAndTheCopyBound)
{
    CDiag record;
    record.setSequence(0x01020304);

    serve([](const Frame&) { return Bytes { 0x00, 0x11, 0x22, 0x33 }; }); // no sync byte at all
    EXPECT_EQ(device.readLiveData(record), 2);
    EXPECT_EQ(sent().size(), 1u); // never repeated

    serve([](const Frame&) { return kAck; });
    EXPECT_EQ(device.readLiveData(record), 1);

    Bytes payload(82);
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(i + 1);
    const Bytes wire = answer(1, payload);
    serve([&](const Frame&) { return wire; });
    EXPECT_EQ(device.readLiveData(record), 0);
    EXPECT_EQ(Bytes(record.bytes(), record.bytes() + 82), payload);
    EXPECT_EQ(record.bytes()[82], wire[wire.size() - 2]); // the checksum follows the payload
    EXPECT_EQ(record.bytes()[83], wire[wire.size() - 1]);
    EXPECT_EQ(record.sequence(), 0x01020304u);
    EXPECT_EQ(sent()[0].payload, cmd(0x24));

    Bytes longer(120, 0x5A);
    serve([&](const Frame&) { return answer(1, longer); });
    EXPECT_EQ(device.readLiveData(record), 0); // copies 88 bytes, not 122
    EXPECT_EQ(record.sequence(), 0x5A5A5A5Au);
}

TEST_F(Commands, MemoryBlockOfAnotherAddressFailsAfterTwentyAnswers)
{
    Bytes foreign(34, 7);
    foreign[0] = 0x16, foreign[1] = 0x02; // 534, not 502
    serve([&](const Frame&) { return answer(5, foreign); });
    CMemoryBlock block { 502, {} };
    EXPECT_FALSE(device.readMemoryBlock(block));
    EXPECT_EQ(block, (CMemoryBlock { 502, {} }));
    const auto frames = sent();
    ASSERT_EQ(frames.size(), 20u);
    EXPECT_EQ(frames[0].payload, cmd(0x0B, 0xF6, 0x01));
}

// The controller's memory from address 246, as the map page commands see it.
class MapPageWire : public Commands {
protected:
    void serveMemory(bool dropLastBlock = false)
    {
        serve([this, dropLastBlock](const Frame& f) {
            if (f.type == 2 && f.payload[0] == 0x0B) {
                const int at = (f.payload[2] | f.payload[3] << 8) - 246;
                Bytes b { f.payload[2], f.payload[3] };
                b.insert(b.end(), memory.begin() + at, memory.begin() + at + 32);
                return answer(5, b);
            }
            const int at = (f.payload[0] | f.payload[1] << 8) - 246;
            writes.push_back(at + 246);
            if (!(dropLastBlock && at == 256))
                std::copy(f.payload.begin() + 2, f.payload.end(), memory.begin() + at);
            return kAck;
        });
    }
    std::array<uint8_t, 288> memory {};
    std::vector<int> writes;
};

TEST_F(MapPageWire, ReadTestsTheChecksumAndStoresTheCells)
{
    for (int i = 0; i < 285; ++i)
        memory[i] = 100;
    memory[0] = 90, memory[284] = 130, memory[285] = 0x07;
    memory[286] = 0x6F, memory[287] = 0x70; // 1 + 283 × 100 + 90 + 130 + 7 = 28528
    serveMemory();
    ASSERT_TRUE(device.readBlock(CReadBlocks::InjMap));
    EXPECT_EQ(sent().size(), 9u);
    EXPECT_EQ(device.image().m_corrMap.m_injMapTable[0][0], -10);
    EXPECT_EQ(device.image().m_corrMap.m_injMapTable[18][14], 30);
    EXPECT_EQ(device.image().m_corrMap.m_flags, 0x07);

    memory[287] = 0x71;
    device.liveImage().m_corrMap.m_injMapTable[0][0] = 5;
    const CSettingsImage before = device.image();
    serveMemory();
    EXPECT_FALSE(device.readBlock(CReadBlocks::InjMap));
    EXPECT_EQ(device.image(), before);
}

TEST_F(MapPageWire, WriteSendsNineBlocksAndChecksTheReadBack)
{
    device.liveImage().m_corrMap.m_injMapTable[0][1] = -100;
    device.liveImage().m_corrMap.m_injMapTable[18][14] = 55;
    serveMemory();
    EXPECT_TRUE(device.writeBlock(CReadBlocks::InjMap));
    sent();
    EXPECT_EQ(writes, (std::vector<int> { 246, 278, 310, 342, 374, 406, 438, 470, 502 }));
    EXPECT_EQ(memory[0], 100);
    EXPECT_EQ(memory[1], 0);
    EXPECT_EQ(memory[284], 155);
    // 1 + 283 × 100 + 0 + 155 = 28456
    EXPECT_EQ(memory[286], 0x6F);
    EXPECT_EQ(memory[287], 0x28);

    device.liveImage().m_corrMap.m_injMapTable[5][5] = 1; // the checksum changes, the last block is lost
    writes.clear();
    serveMemory(true);
    EXPECT_FALSE(device.writeBlock(CReadBlocks::InjMap));
    sent();
    EXPECT_EQ(writes.size(), 9u);
}

TEST_F(Commands, SwitchToPetrolAndWaitCountsItsReadings)
{
    struct Case {
        int injectors;
        double delay;
        int petrolAt; // the reading that first shows petrol, 0 = never
        bool result;
        int readings;
    };
    const Case cases[] = {
        { 4, 0.1, 3, true, 3 }, // c = 7: up to 6 readings
        { 4, 0.1, 0, false, 6 },
        { 4, 0.0, 0, false, 89 }, // c = 0: bounded to 5 s of 56 ms steps
        { 4, 0.0, 2, true, 2 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.injectors << " x " << c.delay << " petrol at " << c.petrolAt);
        device.liveImage().m_devInfo.m_injCount = c.injectors;
        device.liveImage().m_base.m_emulatorDelay = c.delay;
        int reading = 0;
        serve([&](const Frame& f) {
            if (f.payload[0] != 0x24)
                return kAck;
            Bytes live(82, 0);
            live[0] = ++reading == c.petrolAt || (c.petrolAt && reading > c.petrolAt) ? 2 : 3;
            return answer(1, live);
        });
        CScriptedInteraction clock;
        CInteractionScope inner(clock);
        EXPECT_EQ(device.switchToPetrolAndWait(), c.result);
        const auto frames = sent();
        EXPECT_EQ(frames[0].payload, cmd(0x02));
        EXPECT_EQ(static_cast<int>(frames.size()) - 1, c.readings);
        EXPECT_EQ(clock.clockMs(), 56u * c.readings);
        EXPECT_EQ(clock.pumps(), static_cast<unsigned>(c.readings));
    }
}

// Outside demo mode the restart command waits for petrol; a car that never
// gets there is not restarted, and the caller hears of it.
TEST_F(Commands, Command0AOnPetrolNeedsPetrol)
{
    device.liveImage().m_devInfo.m_injCount = 4;
    device.liveImage().m_base.m_emulatorDelay = 0.1;
    serve([](const Frame& f) {
        if (f.payload[0] != 0x24)
            return kAck;
        Bytes live(82, 0);
        live[0] = 3; // LPG, reading after reading
        return answer(1, live);
    });
    EXPECT_FALSE(device.command0AOnPetrol());
    auto frames = sent();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().payload, cmd(0x02));
    for (const auto& f : frames)
        EXPECT_NE(f.payload[0], 0x0A) << "restarted although petrol was never reached";

    // Once the readings say petrol, 0x0A follows.
    serve([](const Frame& f) {
        if (f.payload[0] != 0x24)
            return kAck;
        Bytes live(82, 0);
        live[0] = 2;
        return answer(1, live);
    });
    EXPECT_TRUE(device.command0AOnPetrol());
    frames = sent();
    EXPECT_EQ(frames.back().payload, cmd(0x0A));
}

TEST_F(Commands, ObdRequestKeepsToTheBufferAndToTheBytesReceived)
{
    Bytes reply { 5, 0 }; // five frames announced, one sent
    for (int i = 0; i < 12; ++i)
        reply.push_back(static_cast<uint8_t>(0xE0 + i));
    serve([&](const Frame&) { return answer(24, reply); });
    std::array<uint8_t, 20> request {};
    request[12] = 2, request[13] = 0x01, request[14] = 0x0C;
    std::array<uint8_t, 64> big {};
    std::size_t got = 0;
    ASSERT_TRUE(device.obdRequest(request, big, &got));
    EXPECT_EQ(got, 14u);
    EXPECT_EQ(big[0], 1);
    EXPECT_EQ(big[13], 0xEB);
    auto frames = sent();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].type, 25);
    EXPECT_EQ(frames[0].payload, Bytes(request.begin(), request.end()));

    std::array<uint8_t, 12> small;
    small.fill(0xCC);
    serve([&](const Frame&) { return answer(24, reply); });
    ASSERT_TRUE(device.obdRequest(request, std::span<uint8_t>(small.data(), 8), &got));
    EXPECT_EQ(got, 8u);
    EXPECT_EQ(small[0], 0); // not one whole frame fits
    EXPECT_EQ(small[7], 0xE5);
    EXPECT_EQ(small[8], 0xCC);
    sent();

    serve([](const Frame&) { return kAck; });
    EXPECT_FALSE(device.obdRequest(request, big));
    EXPECT_EQ(sent().size(), 1u); // one exchange, no repeat
}

TEST_F(Commands, ObdConfigurationCorrectionsChartMapsAndBootBytes)
{
    Bytes config(18, 0);
    config[0] = 3, config[6] = 0x0F, config[7] = 0x24; // period 9231: 520 rpm
    Bytes chart(188, 0x42);
    int bootAnswer = 200;
    serve([&](const Frame& f) {
        switch (f.payload[0]) {
        case 0x23:
            return answer(27, config);
        case 0x27:
            return answer(2, { 0x28, 0, 90, 110, 0, 0 });
        case 0x25:
            return answer(28, Bytes(187, 0x41)); // one byte short
        case 0x26:
            return answer(29, chart);
        case 0xC5:
            return answer(2, { 4, static_cast<uint8_t>(bootAnswer), 0, 0, 0, 0 });
        default:
            return kAck;
        }
    });
    std::array<uint8_t, 18> rec {};
    ASSERT_TRUE(device.readObdMapConfig(rec));
    EXPECT_EQ(rec[0], 3);
    EXPECT_EQ(rec[6] | rec[7] << 8, 9231) << "the period as the controller holds it";
    EXPECT_EQ(CObdMapConfig::fromBytes(rec).rpmThreshold(), 520);
    double first = 1, second = 1;
    ASSERT_TRUE(device.readObdCorrections(first, second));
    EXPECT_EQ(first, 10);
    EXPECT_EQ(second, -10);
    std::array<uint8_t, 188> map {};
    EXPECT_FALSE(device.readPetrolMap(map));
    EXPECT_EQ(map[0], 0);
    EXPECT_TRUE(device.readLpgMap(map));
    EXPECT_EQ(Bytes(map.begin(), map.end()), chart);
    uint16_t value = 0;
    EXPECT_FALSE(device.readBootByte(0xC5, value));
    EXPECT_EQ(value, 200);
    EXPECT_EQ(sent().back().payload, cmd(0x60)); // an unknown bootloader is left
    bootAnswer = 251;
    serve([&](const Frame&) { return answer(2, { 4, static_cast<uint8_t>(bootAnswer), 0, 0, 0, 0 }); });
    EXPECT_TRUE(device.readBootByte(0xC5, value));
    EXPECT_EQ(value, 251);
}

TEST_F(Commands, DemoModeAnswersFromFixedDataAndSendsNothing)
{
    serve([](const Frame&) { return kAck; });
    device.m_demo = true;
    std::array<uint8_t, 4> errors {};
    ASSERT_TRUE(device.readErrors(errors));
    EXPECT_EQ(errors, (std::array<uint8_t, 4> { 0x00, 0x00, 0x03, 0x00 }));
    EXPECT_EQ(
        device.decode(errors), (std::vector<std::wstring> { L"Brak sygnału RPM", L"Błąd - za niskie ciśnienie" }));
    ASSERT_TRUE(device.readBlock(CReadBlocks::Base));
    EXPECT_EQ(device.image().m_base.m_pcId, (std::array<uint8_t, 4> { 0x90, 0x3C, 0x1D, 0x60 }));
    ASSERT_TRUE(device.readBlock(CReadBlocks::DevInfo) && device.readStatistics());
    EXPECT_EQ(device.image().m_devInfo.m_serial, L"XZ0001");
    EXPECT_EQ(device.image().m_devInfo.m_statistic, (CStatistic { 30, 45, 1 }));

    ASSERT_TRUE(device.switchToLpg());
    EXPECT_EQ(demoFuelState(), 3);
    ASSERT_TRUE(device.command0AOnPetrol());
    EXPECT_EQ(demoFuelState(), 2);
    EXPECT_EQ(ui.clockMs(), 300u);

    device.liveImage().m_advancedSetup.m_advancedFlags = 0x18;
    ASSERT_TRUE(device.writeBlock(CReadBlocks::AdvancedSetup));
    EXPECT_TRUE(fuelWordFlag());
    device.liveImage().m_advancedSetup.m_advancedFlags = 0x10;
    ASSERT_TRUE(device.readBlock(CReadBlocks::AdvancedSetup));
    EXPECT_FALSE(fuelWordFlag());

    double a = 1, b = 1;
    EXPECT_TRUE(device.readObdCorrections(a, b));
    EXPECT_EQ(a + b, 0);
    std::array<uint8_t, 12> obd {};
    EXPECT_TRUE(device.readObdSettings(obd));
    EXPECT_EQ(obd[8], 0x01);
    EXPECT_EQ(obd[9], 0x02);
    std::array<uint8_t, 64> buf {};
    EXPECT_FALSE(device.obdRequest({}, buf));
    const CSettingsImage before = device.image();
    EXPECT_TRUE(device.readBlock(CReadBlocks::SensorsSetup) && device.readBlock(CReadBlocks::InjMap) && device.writeBlock(CReadBlocks::InjMap) && device.writeBlock(CReadBlocks::Base));
    EXPECT_EQ(device.image(), before);
    EXPECT_TRUE(sent().empty());
}

} // namespace
