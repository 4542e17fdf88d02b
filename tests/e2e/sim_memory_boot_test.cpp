// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's memory and its bootloader: the 32-byte memory blocks and
// their addresses, the 288-byte map page with its checksum, the map editor's
// region commands, and programming through the bootloader — access codes,
// erase, rows landing at their addresses in the flash, leave and restart,
// and an interrupted programming that stays in the bootloader.
#include "simtest.h"

#include <tools/sim/bootloader.h>

#include <numeric>

namespace {

Bytes readPage(CSimulator& sim)
{
    Bytes page;
    for (uint16_t address = 246; address < 246 + 288; address += 32) {
        const Bytes block = payloadOf(sim, 2, command(0x0B, address & 0xFF, address >> 8), 5);
        if (block.size() != 34 || u16(block, 0) != address) {
            ADD_FAILURE() << "block " << address;
            return {};
        }
        page.insert(page.end(), block.begin() + 2, block.end());
    }
    return page;
}

bool pageChecksumOk(const Bytes& page)
{
    const unsigned sum = std::accumulate(page.begin(), page.begin() + 286, 1u);
    return (sum & 0xFFFF) == static_cast<unsigned>(page[286] << 8 | page[287]);
}

Bytes row(uint32_t address, uint8_t fill)
{
    Bytes r = { static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address >> 16),
                static_cast<uint8_t>(address >> 24) };
    for (int i = 0; i < 192; ++i)
        r.push_back(static_cast<uint8_t>(fill + i));
    return r;
}

Bytes address4(uint32_t a)
{
    return { static_cast<uint8_t>(a), static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a >> 16),
             static_cast<uint8_t>(a >> 24) };
}

} // namespace

TEST(SimMemory, MapPageTravelsInBlocksWithItsChecksum)
{
    CSimulator sim(quietConfig());
    const Bytes page = readPage(sim);
    ASSERT_EQ(page.size(), 288u);
    EXPECT_TRUE(pageChecksumOk(page));
    // The fitted car's map is not empty: some cells differ from 100 (0 %).
    EXPECT_TRUE(std::any_of(page.begin(), page.begin() + 285, [](uint8_t b) { return b != 100; }));

    // The request carries the address in bytes 2–3 and the answer repeats it.
    EXPECT_EQ(payloadOf(sim, 2, command(0x0B, 0x16, 0x01), 5)[0], 0x16);
    // A block reaching past the memory is refused.
    EXPECT_EQ(payloadOf(sim, 2, command(0x0B, 0xF0, 0x03), 2), (Bytes { 0, 0x0B, 0, 0, 0, 0 }));
}

TEST(SimMemory, BlocksWrittenReadBackAndTheEngineDropsAPageWithABadChecksum)
{
    CSimulator sim(quietConfig());
    Bytes block = { 0xF6, 0x01 }; // address 502: area bytes 256 … 287
    for (int i = 0; i < 32; ++i)
        block.push_back(static_cast<uint8_t>(100 + i % 3));
    EXPECT_EQ(payloadOf(sim, 5, block, 2), ack(5));
    EXPECT_EQ(payloadOf(sim, 2, command(0x0B, 0xF6, 0x01), 5), block);
    EXPECT_FALSE(pageChecksumOk(readPage(sim)));
    EXPECT_FALSE(sim.controller().store().mapPageValid());

    const Bytes misplaced = { 0xF0, 0x03, 1, 2 }; // wrong length as well as address
    EXPECT_EQ(payloadOf(sim, 5, misplaced, 2)[0], 0);
}

TEST(SimMemory, MapEditorStepsARegionAndClearsTheMap)
{
    CSimulator sim(quietConfig());
    CSimStore& store = sim.controller().store();
    const int before = store.mapCell(2, 3);
    const int before34 = store.mapCell(3, 4);
    const int outside = store.mapCell(2, 5);
    // Rows 2–3, columns 3–4, add 5; the region is cut at the map's edge.
    EXPECT_EQ(payloadOf(sim, 13, { 2, 3, 2, 2, 2, 5 }, 2), ack(13));
    EXPECT_EQ(store.mapCell(2, 3), before) << "applied before 0x13";
    EXPECT_EQ(payloadOf(sim, 2, command(0x13), 2), ack(0x13));
    EXPECT_EQ(store.mapCell(2, 3), before + 5);
    EXPECT_EQ(store.mapCell(3, 4), before34 + 5);
    EXPECT_EQ(store.mapCell(2, 5), outside);
    EXPECT_TRUE(pageChecksumOk(readPage(sim)));

    // Subtracting clamps at −50; a region past the edge is cut.
    EXPECT_EQ(payloadOf(sim, 13, { 18, 14, 5, 5, 3, 99 }, 2), ack(13));
    EXPECT_EQ(payloadOf(sim, 2, command(0x13), 2), ack(0x13));
    EXPECT_EQ(store.mapCell(18, 14), -50);
    // An unknown operation is refused.
    EXPECT_EQ(payloadOf(sim, 13, { 0, 0, 1, 1, 7, 1 }, 2)[0], 0);

    EXPECT_EQ(payloadOf(sim, 2, command(0x14), 2), ack(0x14));
    EXPECT_EQ(payloadOf(sim, 2, command(0x13), 2), ack(0x13));
    const Bytes page = readPage(sim);
    EXPECT_TRUE(std::all_of(page.begin(), page.begin() + 285, [](uint8_t b) { return b == 100; }));
    EXPECT_TRUE(pageChecksumOk(page));
}

TEST(SimBootloader, AccessCodeOpensTheBootloaderOfItsModelOnly)
{
    CSimulator sim(quietConfig()); // model 5
    const Bytes other = { 'B', 'Q', '4', '0', '2', '9', '1', '7' };
    const Bytes own = { 'Q', 'Q', '4', '0', '2', '9', '1', '7' };
    EXPECT_EQ(payloadOf(sim, 0xF6, other, 2)[0], 0);
    EXPECT_FALSE(sim.controller().bootloaderMode());
    EXPECT_EQ(payloadOf(sim, 0xF6, own, 2), ack(0xF6));
    EXPECT_TRUE(sim.controller().bootloaderMode());
    EXPECT_EQ(payloadOf(sim, 2, command(0xC5), 2), (Bytes { 4, 251, 0, 0, 0, 0 }));
    // Leaving without having erased anything restarts the old application.
    EXPECT_EQ(payloadOf(sim, 2, command(0x60), 2), ack(0x60));
    EXPECT_EQ(payloadOf(sim, 2, command(0x0A), 2), ack(0x0A));
    EXPECT_FALSE(sim.controller().bootloaderMode());

    SimConfig ep = quietConfig();
    ep.identity.model = 16;
    CSimulator sim16(ep);
    EXPECT_EQ(payloadOf(sim16, 0xF6, own, 2)[0], 0);
    EXPECT_EQ(payloadOf(sim16, 0xF6, other, 2), ack(0xF6));
}

TEST(SimBootloader, RowsLandAtTheirAddressesAndRestartRunsTheNewImage)
{
    SimConfig config = quietConfig();
    config.bootloader = true;
    config.identity.version = 0x0300;
    CSimulator sim(config);

    EXPECT_EQ(payloadOf(sim, 0xF9, address4(0x2000), 2), ack(0xF9));
    Bytes first = row(0x2000, 0x10);
    // Instruction 2 (address 0x2002) carries the image's version 3.7 and its mark.
    first[4 + 3] = 0x07;
    first[4 + 4] = 0x03;
    first[4 + 5] = 0xA5;
    EXPECT_EQ(payloadOf(sim, 0xF7, first, 2), ack(0xF7));
    EXPECT_EQ(payloadOf(sim, 0xF7, row(0x2080, 0x40), 2), ack(0xF7));
    // Not a row boundary, outside the area, not a block boundary: refused.
    EXPECT_EQ(payloadOf(sim, 0xF7, row(0x2040, 0), 2)[0], 0);
    EXPECT_EQ(payloadOf(sim, 0xF7, row(0x9C00, 0), 2)[0], 0);
    EXPECT_EQ(payloadOf(sim, 0xF9, address4(0x2200), 2)[0], 0);

    // Image layout: address a at offset 2a, three bytes and a pad per instruction.
    const Bytes image = sim.controller().bootloader().imageLayout();
    ASSERT_EQ(image.size(), 0x9C00u * 2);
    EXPECT_EQ(Bytes(image.begin() + 0x4000, image.begin() + 0x4008), (Bytes { 0x10, 0x11, 0x12, 0x00, 0x07, 0x03, 0xA5, 0x00 }));
    EXPECT_EQ(Bytes(image.begin() + 0x4100, image.begin() + 0x4104), (Bytes { 0x40, 0x41, 0x42, 0x00 }));
    EXPECT_EQ(image[0x4200], 0xFF) << "beyond the rows written";
    EXPECT_EQ(image[0x4000 - 4], 0xFF) << "before the first address";

    // Restart before "leave" counts as interrupted.
    EXPECT_EQ(payloadOf(sim, 2, command(0x0A), 2), ack(0x0A));
    EXPECT_TRUE(sim.controller().bootloaderMode());
    EXPECT_EQ(payloadOf(sim, 2, command(0x60), 2), ack(0x60));
    EXPECT_EQ(payloadOf(sim, 2, command(0x0A), 2), ack(0x0A));
    EXPECT_FALSE(sim.controller().bootloaderMode());
    EXPECT_EQ(payloadOf(sim, 2, { 0xCC, 0, 0, 4, 0, 0 }, 2), (Bytes { 4, 5, 85, 0, 0, 0 }));
    const Bytes identity = payloadOf(sim, 2, command(0x0D), 8);
    EXPECT_EQ(u16(identity, 10), 0x0307);
}

TEST(SimBootloader, FlashOnlyClearsBitsAndAGapLeavesNoApplication)
{
    SimConfig config = quietConfig();
    config.identity.model = 6; // first 0x1800, blocks of 0x800
    CSimulator sim(config);
    const Bytes code = { 'B', 'Q', '4', '0', '2', '9', '1', '7' };
    ASSERT_EQ(payloadOf(sim, 0xF6, code, 2), ack(0xF6));
    EXPECT_EQ(payloadOf(sim, 0xF9, address4(0x1800), 2), ack(0xF9));
    EXPECT_EQ(payloadOf(sim, 0xF7, row(0x1800, 0xF0), 2), ack(0xF7));
    // The same row again (a lost acknowledge) changes nothing; other data ANDs in.
    EXPECT_EQ(payloadOf(sim, 0xF7, row(0x1800, 0xF0), 2), ack(0xF7));
    const Bytes image = sim.controller().bootloader().imageLayout();
    EXPECT_EQ(Bytes(image.begin() + 0x3000, image.begin() + 0x3003), (Bytes { 0xF0, 0xF1, 0xF2 }));
    // Skipping a row breaks the programming: no application after restart.
    EXPECT_EQ(payloadOf(sim, 0xF7, row(0x1900, 0x00), 2), ack(0xF7));
    EXPECT_EQ(payloadOf(sim, 2, command(0x60), 2), ack(0x60));
    EXPECT_EQ(payloadOf(sim, 2, command(0x0A), 2), ack(0x0A));
    EXPECT_TRUE(sim.controller().bootloaderMode());
    EXPECT_EQ(payloadOf(sim, 2, { 0xCC, 0, 0, 4, 0, 0 }, 2)[0], 5);
    EXPECT_EQ(payloadOf(sim, 2, command(0x24), 2)[0], 0) << "no live readings from the bootloader";
}
