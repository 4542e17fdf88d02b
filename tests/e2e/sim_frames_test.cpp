// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's frame layer and its answers byte for byte: the encoder
// against worked frames, the request reader against garbage, splits and bad
// checksums, and the answers to identification (application and bootloader),
// a record read, a write read back, and the identity record.
#include "simtest.h"

#include <tools/sim/requestreader.h>

TEST(SimFrames, EncodesAnswersByteForByte)
{
    // The worked example: key 0x1234 rotates each word left by 4.
    EXPECT_EQ(encodeFrame(2, { 0x0D, 0, 0, 0, 0, 0 }, 0x1234),
              (Bytes { 0xAA, 0x55, 0x08, 0x02, 0x12, 0x34, 0xD0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x5E }));
    // Odd length: the last byte travels as it is; checksum 1 + 6 + 1 + 0 + 7 + 5.
    EXPECT_EQ(encodeFrame(7, { 0x01, 0x02, 0x03 }, 0x0001),
              (Bytes { 0xAA, 0x55, 0x05, 0x07, 0x00, 0x01, 0x02, 0x04, 0x03, 0x00, 0x14 }));
    // Empty payload: length byte 2, checksum 1 + key + type + 2.
    EXPECT_EQ(encodeFrame(2, {}, 0x7FFF), (Bytes { 0xAA, 0x55, 0x02, 0x02, 0x7F, 0xFF, 0x01, 0x83 }));
}

TEST(SimFrames, ReaderFindsRequestsInGarbageAndSplits)
{
    const Bytes worked = { 0xAA, 0x55, 0x08, 0x02, 0x12, 0x34, 0xD0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x5E };
    Bytes stream = { 0x00, 0xAA, 0x13, 0x55 };
    // A sync pair whose frame has a wrong checksum must not swallow the next request.
    Bytes broken = worked;
    broken.back() ^= 1;
    stream.insert(stream.end(), broken.begin(), broken.end());
    stream.insert(stream.end(), worked.begin(), worked.end());

    CRequestReader reader;
    std::vector<SimFrame> got;
    for (uint8_t b : stream) {
        for (auto& f : reader.feed(&b, 1, 0))
            got.push_back(f);
    }
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].type, 2);
    EXPECT_EQ(got[0].payload, (Bytes { 0x0D, 0, 0, 0, 0, 0 }));
    EXPECT_EQ(got[0].wireBytes, 14u);
    EXPECT_EQ(reader.rejected(), 1u);
    EXPECT_EQ(reader.pending(), 0u);

    // A length byte below 2 cannot be a frame; the search goes on after it.
    const Bytes tooShort = { 0xAA, 0x55, 0x01, 0x02 };
    CRequestReader second;
    EXPECT_TRUE(second.feed(tooShort.data(), tooShort.size(), 0).empty());
    EXPECT_EQ(second.feed(worked.data(), worked.size(), 0).size(), 1u);
}

TEST(SimFrames, StalePartialRequestIsDropped)
{
    const Bytes worked = { 0xAA, 0x55, 0x08, 0x02, 0x12, 0x34, 0xD0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x5E };
    CRequestReader reader;
    EXPECT_TRUE(reader.feed(worked.data(), 7, 0.0).empty());
    // The rest arrives a second later: the PC gave up on that frame long ago.
    EXPECT_TRUE(reader.feed(worked.data() + 7, worked.size() - 7, 1.0).empty());
    EXPECT_EQ(reader.feed(worked.data(), worked.size(), 1.1).size(), 1u);
}

TEST(SimFrames, IdentifiesInApplicationMode)
{
    for (uint8_t model : { 4, 5, 6, 16 }) {
        SimConfig config = quietConfig();
        config.identity.model = model;
        CSimulator sim(config);
        EXPECT_EQ(payloadOf(sim, 2, { 0xCC, 0, 0, 4, 0, 0 }, 2), (Bytes { 4, model, 85, 0, 0, 0 }))
            << "model " << int(model);
        // The bootloader's id query is not the application's business.
        EXPECT_EQ(payloadOf(sim, 2, command(0xC5), 2)[0], 0);
    }
}

TEST(SimFrames, IdentifiesInBootloaderAndAnswersTheIdQueryPerModel)
{
    struct Case {
        uint8_t model, query, other, id;
    };
    for (const Case c : { Case { 4, 0xC5, 0xC4, 252 }, Case { 5, 0xC5, 0xC4, 251 }, Case { 6, 0xC4, 0xC5, 248 },
                          Case { 16, 0xC4, 0xC5, 246 } }) {
        SimConfig config = quietConfig();
        config.identity.model = c.model;
        config.bootloader = true;
        CSimulator sim(config);
        EXPECT_EQ(payloadOf(sim, 2, { 0xCC, 0, 0, 4, 0, 0 }, 2), (Bytes { 5, 0, 0, 0, 0, 0 }));
        EXPECT_EQ(payloadOf(sim, 2, command(c.query), 2), (Bytes { 4, c.id, 0, 0, 0, 0 })) << int(c.model);
        EXPECT_EQ(payloadOf(sim, 2, command(c.other), 2), (Bytes { 0, c.other, 0, 0, 0, 0 })) << int(c.model);
        // Nothing of the command set in the bootloader.
        EXPECT_EQ(payloadOf(sim, 2, command(0x07), 2), (Bytes { 0, 0x07, 0, 0, 0, 0 }));
    }
}

TEST(SimFrames, ReadsTheFittedBaseRecord)
{
    CSimulator sim(quietConfig());
    EXPECT_EQ(payloadOf(sim, 2, command(0x07), 31),
              (Bytes { 0xA0, 0x0F, 60, 0, 1, 66, 140, 40, 0xE2, 0x02, 0x20, 0x03, 0x88, 122,
                       10, 4, 171, 3, 214, 49, 12, 50, 89, 80, 0x4E, 0x7A, 0x21, 0xC3 }));
}

TEST(SimFrames, WrittenRecordsReadBackAndWrongLengthsAreRefused)
{
    CSimulator sim(quietConfig());
    struct Case {
        uint8_t record, readCode;
        std::size_t length;
    };
    const Case cases[] = { { 4, 0x08, 22 }, { 7, 0x0C, 40 }, { 9, 0x0E, 40 }, { 15, 0x16, 16 }, { 18, 0x1B, 12 },
                           { 26, 0x22, 30 }, { 27, 0x23, 18 }, { 30, 0x2A, 30 }, { 31, 0x07, 28 }, { 32, 0x2B, 26 },
                           { 33, 0x2C, 8 }, { 34, 0x2D, 38 } };
    for (const Case& c : cases) {
        Bytes record(c.length);
        for (std::size_t i = 0; i < c.length; ++i)
            record[i] = static_cast<uint8_t>(c.record * 7 + i);
        EXPECT_EQ(payloadOf(sim, c.record, record, 2), ack(c.record)) << int(c.record);
        EXPECT_EQ(payloadOf(sim, 2, command(c.readCode), c.record), record) << int(c.record);

        Bytes longer = record;
        longer.push_back(0);
        EXPECT_EQ(payloadOf(sim, c.record, longer, 2)[0], 0) << int(c.record);
        EXPECT_EQ(payloadOf(sim, 2, command(c.readCode), c.record), record) << "changed by a refused write";
    }
    // Records the PC only reads cannot be written.
    EXPECT_EQ(payloadOf(sim, 8, Bytes(30, 0), 2), (Bytes { 0, 8, 0, 0, 0, 0 }));
    EXPECT_EQ(payloadOf(sim, 2, command(0x99), 2), (Bytes { 0, 0x99, 0, 0, 0, 0 }));
}

TEST(SimFrames, IdentityStatisticsAndErrors)
{
    SimConfig config = quietConfig();
    config.identity.version = 0x0307;
    config.identity.injectors = 6;
    config.identity.prodDays = 0x1234;
    const char serial[] = "ABC1234";
    std::copy(serial, serial + 7, config.identity.serial.begin());
    CSimulator sim(config);
    EXPECT_EQ(payloadOf(sim, 2, command(0x0D), 8),
              (Bytes { 1, 0, 0, 0, 0, 0, 0, 0, 0x34, 0x12, 0x07, 0x03, 'A', 'B', 'C', '1', '2', '3', '4',
                       0, 0, 0, 0, 0, 0, 0, 0, 0, 6, 5 }));
    // 35 h on petrol, 410 h on LPG, 23 changes.
    EXPECT_EQ(payloadOf(sim, 2, command(0x11), 12),
              (Bytes { 0x60, 0xD8, 0x03, 0x00, 0x40, 0x0B, 0x2D, 0x00, 23, 0, 0, 0 }));
    sim.controller().store().errors = { 0, 0, 3, 0 };
    EXPECT_EQ(payloadOf(sim, 2, command(0x05), 6), (Bytes { 0, 0, 3, 0 }));
}
