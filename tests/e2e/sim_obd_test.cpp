// SPDX-License-Identifier: GPL-3.0-or-later
// The OBD gateway: requests (record 25) answered by the simulated engine
// computer (record 24) on CAN 11-bit, CAN 29-bit and the two K-line
// protocols; supported PIDs, fuel trims, oxygen sensors, the stored trouble
// codes with ISO 15765-2 segmentation on CAN and the K-line form, clearing
// them, and silence when OBD is off or nothing matches.
#include "simtest.h"

namespace {

Bytes le32(uint32_t v)
{
    return { static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
             static_cast<uint8_t>(v >> 24) };
}

Bytes obdRequest(uint32_t to, uint32_t answer, uint32_t mask, Bytes data)
{
    Bytes r = le32(to);
    for (const Bytes& part : { le32(answer), le32(mask) })
        r.insert(r.end(), part.begin(), part.end());
    data.resize(8, 0);
    r.insert(r.end(), data.begin(), data.end());
    return r;
}

struct ObdFrame {
    uint32_t from;
    Bytes data;
};

std::vector<ObdFrame> frames(const Bytes& answer)
{
    std::vector<ObdFrame> out;
    if (answer.size() < 2)
        return out;
    const std::size_t count = u16(answer, 0);
    EXPECT_EQ(answer.size(), 2 + 12 * count);
    for (std::size_t i = 0; i < count && 2 + 12 * (i + 1) <= answer.size(); ++i) {
        const std::size_t at = 2 + 12 * i;
        const uint32_t from = u16(answer, at) | static_cast<uint32_t>(u16(answer, at + 2)) << 16;
        out.push_back({ from, Bytes(answer.begin() + static_cast<std::ptrdiff_t>(at + 4),
                                    answer.begin() + static_cast<std::ptrdiff_t>(at + 12)) });
    }
    return out;
}

std::vector<ObdFrame> obd(CSimulator& sim, const Bytes& request)
{
    return frames(payloadOf(sim, 25, request, 24));
}

std::vector<ObdFrame> can11(CSimulator& sim, Bytes data)
{
    return obd(sim, obdRequest(0x7DF, 0x7E8, 0x7EF, std::move(data)));
}

void connect(CSimulator& sim, uint32_t to, uint8_t speed, uint8_t protocol)
{
    Bytes record = le32(to);
    const Bytes answer = le32(to > 0x7FF ? 0x18DAF100 : 0x7E8);
    record.insert(record.end(), answer.begin(), answer.end());
    record.insert(record.end(), { 1, speed, 8, protocol });
    ASSERT_EQ(payloadOf(sim, 18, record, 2), ack(18));
}

SimConfig onBus(ObdBus bus, uint8_t injectors = 4)
{
    SimConfig c = quietConfig(EngineState::Idle);
    c.bus = bus;
    c.identity.injectors = injectors;
    return c;
}

} // namespace

TEST(SimObd, AnswersServiceOneOnCan11)
{
    CSimulator sim(onBus(ObdBus::Can11));
    sim.controller().advance(300);
    auto f = can11(sim, { 2, 0x01, 0x06 });
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].from, 0x7E8u);
    EXPECT_EQ(f[0].data[0], 3);
    EXPECT_EQ(f[0].data[1], 0x41);
    EXPECT_EQ(f[0].data[2], 0x06);
    EXPECT_NEAR((f[0].data[3] - 128) * 100.0 / 128, sim.controller().engine().shortTrimPercent(), 1);

    // Four injectors: one bank; its PIDs 0x08, 0x09, 0x18, 0x19 are not supported.
    f = can11(sim, { 2, 0x01, 0x00 });
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(Bytes(f[0].data.begin(), f[0].data.begin() + 7), (Bytes { 6, 0x41, 0x00, 0x9E, 0x38, 0x38, 0x10 }));
    EXPECT_TRUE(can11(sim, { 2, 0x01, 0x08 }).empty());

    f = can11(sim, { 2, 0x01, 0x1C });
    EXPECT_EQ(f.at(0).data[3], 6) << "EOBD";
    f = can11(sim, { 2, 0x01, 0x14 });
    EXPECT_EQ(f.at(0).data[0], 4);
    EXPECT_EQ(f.at(0).data[4], 0xFF);
    f = can11(sim, { 2, 0x01, 0x01 });
    EXPECT_EQ(f.at(0).data[3], 0x83) << "lamp on, three codes";
}

TEST(SimObd, SixInjectorsMeanTwoBanks)
{
    CSimulator sim(onBus(ObdBus::Can11, 6));
    const auto f = can11(sim, { 2, 0x01, 0x00 });
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(Bytes(f[0].data.begin() + 3, f[0].data.begin() + 7), (Bytes { 0x9F, 0xB8, 0x39, 0x90 }));
    EXPECT_EQ(can11(sim, { 2, 0x01, 0x09 }).size(), 1u);
    EXPECT_EQ(can11(sim, { 2, 0x01, 0x19 }).size(), 1u);
}

TEST(SimObd, StoredCodesAreSegmentedOnCan)
{
    CSimulator sim(onBus(ObdBus::Can11));
    // P0171, P0300, P0420: nine bytes, a first frame and one consecutive frame.
    auto f = can11(sim, { 1, 0x03 });
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].data, (Bytes { 0x10, 0x08, 0x43, 0x03, 0x01, 0x71, 0x03, 0x00 }));
    EXPECT_EQ(f[1].data, (Bytes { 0x21, 0x04, 0x20, 0, 0, 0, 0, 0 }));

    sim.controller().store().dtcs = { 0x0171, 0x0172 };
    f = can11(sim, { 1, 0x03 });
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].data, (Bytes { 0x06, 0x43, 0x02, 0x01, 0x71, 0x01, 0x72, 0 }));

    // Eight codes: 18 bytes, a first frame and two consecutive frames numbered 1, 2.
    sim.controller().store().dtcs = { 0x0101, 0x0102, 0x0103, 0x0104, 0x0105, 0x0106, 0x0107, 0x0108 };
    f = can11(sim, { 1, 0x03 });
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[0].data, (Bytes { 0x10, 0x12, 0x43, 0x08, 0x01, 0x01, 0x01, 0x02 }));
    EXPECT_EQ(f[1].data, (Bytes { 0x21, 0x01, 0x03, 0x01, 0x04, 0x01, 0x05, 0x01 }));
    EXPECT_EQ(f[2].data, (Bytes { 0x22, 0x06, 0x01, 0x07, 0x01, 0x08, 0, 0 }));

    // Service 0x04 clears them; the count drops to 0 and the lamp goes out.
    f = can11(sim, { 1, 0x04 });
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].data, (Bytes { 0x01, 0x44, 0, 0, 0, 0, 0, 0 }));
    EXPECT_EQ(can11(sim, { 2, 0x01, 0x01 }).at(0).data[3], 0x00);
    EXPECT_EQ(can11(sim, { 1, 0x03 }).at(0).data, (Bytes { 0x02, 0x43, 0x00, 0, 0, 0, 0, 0 }));
}

TEST(SimObd, Can29BitAnswersFromItsOwnAddress)
{
    CSimulator sim(onBus(ObdBus::Can29));
    connect(sim, 0x18DB33F1, 2, 3);
    auto f = obd(sim, obdRequest(0x18DB33F1, 0x18DAF100, 0x18DAF100, { 2, 0x01, 0x06 }));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].from, 0x18DAF110u);
    // Once the address is known the mask is e | 0xFF.
    f = obd(sim, obdRequest(0x18DB33F1, 0x18DAF110, 0x18DAF1FF, { 2, 0x01, 0x00 }));
    EXPECT_EQ(f.size(), 1u);
    // An 11-bit request on a 29-bit bus meets silence.
    EXPECT_TRUE(can11(sim, { 2, 0x01, 0x00 }).empty());
}

TEST(SimObd, KLineAnswersAfterItsInitAndListsCodesThreeAFrame)
{
    CSimulator sim(onBus(ObdBus::Iso9141));
    connect(sim, 0x686A6F, 3, 1);
    const Bytes pid06 = obdRequest(0x686A6F, 0x18DAF100, 0x18DAF100, { 2, 0x01, 0x06 });
    EXPECT_TRUE(obd(sim, pid06).empty()) << "the slow init takes a while";
    sim.controller().advance(3);
    auto f = obd(sim, pid06);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].from, 0x486B10u);
    EXPECT_EQ(f[0].data[1], 0x41);

    sim.controller().store().dtcs = { 0x0171, 0x0300, 0x0420, 0x0172 };
    f = obd(sim, obdRequest(0x686A6F, 0x18DAF100, 0x18DAF100, { 1, 0x03 }));
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].data, (Bytes { 7, 0x43, 0x01, 0x71, 0x03, 0x00, 0x04, 0x20 }));
    EXPECT_EQ(f[1].data, (Bytes { 7, 0x43, 0x01, 0x72, 0, 0, 0, 0 }));

    CSimulator fast(onBus(ObdBus::Iso14230));
    connect(fast, 0xC133F1, 3, 2);
    fast.controller().advance(0.5);
    f = obd(fast, obdRequest(0xC133F1, 0x18DAF100, 0x18DAF100, { 2, 0x01, 0x00 }));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].from, 0x80F110u);
}

TEST(SimObd, SilentWhenOffOrWhenNothingMatches)
{
    CSimulator sim(onBus(ObdBus::Can11));
    const Bytes pid00 = obdRequest(0x7DF, 0x7E8, 0x7EF, { 2, 0x01, 0x00 });
    ASSERT_EQ(obd(sim, pid00).size(), 1u);

    connect(sim, 0x7DF, 1, 3); // 250 kbit/s on a 500 kbit/s bus
    EXPECT_TRUE(obd(sim, pid00).empty());
    connect(sim, 0x7DF, 2, 1); // a K-line protocol on CAN
    EXPECT_TRUE(obd(sim, pid00).empty());
    connect(sim, 0x7DF, 2, 3);
    EXPECT_EQ(obd(sim, pid00).size(), 1u);
    EXPECT_TRUE(obd(sim, obdRequest(0x7DF, 0x7E9, 0x7FF, { 2, 0x01, 0x00 })).empty()) << "filter passes no 0x7E8";
    EXPECT_TRUE(obd(sim, obdRequest(0x7E5, 0x7E8, 0x7EF, { 2, 0x01, 0x00 })).empty()) << "not its address";
    EXPECT_TRUE(can11(sim, { 2, 0x01, 0x42 }).empty()) << "unsupported PID";

    Bytes off = payloadOf(sim, 2, command(0x1B), 18);
    off[8] = 0;
    ASSERT_EQ(payloadOf(sim, 18, off, 2), ack(18));
    EXPECT_EQ(payloadOf(sim, 25, pid00, 24), (Bytes { 0, 0 }));

    CSimulator none(onBus(ObdBus::None));
    EXPECT_TRUE(obd(none, pid00).empty());
}

TEST(SimObd, TrimsFollowTheMixtureAndObdCorrectionsTakeThemOver)
{
    CSimulator sim(onBus(ObdBus::Can11));
    sim.controller().advance(400);
    // Half a millisecond less LPG on every injector: lean, the trims rise.
    Bytes corr = payloadOf(sim, 2, command(0x16), 15);
    for (std::size_t i = 0; i < 16; i += 2) {
        const auto v = static_cast<uint16_t>(u16(corr, i) - 125);
        corr[i] = static_cast<uint8_t>(v & 0xFF);
        corr[i + 1] = static_cast<uint8_t>(v >> 8);
    }
    ASSERT_EQ(payloadOf(sim, 15, corr, 2), ack(15));
    sim.controller().advance(120);
    const double ltft = (can11(sim, { 2, 0x01, 0x07 }).at(0).data[3] - 128) * 100.0 / 128;
    EXPECT_GT(ltft, 8);

    // Automatic OBD corrections on (byte 0), 10 % at most, above 1000 rpm:
    // the controller doses more and the readings' byte 15 and command 0x27
    // show by how much.
    sim.controller().advance(30);
    EXPECT_EQ(payloadOf(sim, 2, command(0x27), 2)[3], 100) << "not at idle";
    sim.controller().engine().setEngine(EngineState::Hold, 2000);
    Bytes config = payloadOf(sim, 2, command(0x23), 27);
    config[0] = 1;
    ASSERT_EQ(payloadOf(sim, 27, config, 2), ack(27));
    sim.controller().advance(120);
    const Bytes corrections = payloadOf(sim, 2, command(0x27), 2);
    EXPECT_EQ(corrections[0], 0x28);
    EXPECT_NEAR(corrections[3], 110, 1);
    EXPECT_EQ(payloadOf(sim, 2, command(0x24), 1)[15], corrections[3]);
}
