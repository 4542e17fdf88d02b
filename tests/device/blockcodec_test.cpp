// SPDX-License-Identifier: GPL-3.0-or-later
// The block codecs against bytes written by hand from the controller's record
// layouts: every settings block both ways for one image away from the
// defaults (with sensor columns 1 and 2, so the temperature columns matter),
// the inverted level thresholds, the setup-time limits, identity and
// statistics, the injection map page with its checksum, memory blocks and the
// demo chart map.
#include <app/data/blockcodec.h>
#include <app/device/mappage.h>
#include <app/device/settingblocks.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

template <std::size_t N> Bytes bytes(const std::array<uint8_t, N>& a)
{
    return Bytes(a.begin(), a.end());
}

template <std::size_t N> RecordView<N> view(const Bytes& b)
{
    return RecordView<N>(b.data(), N);
}

CSettingsImage sampleImage()
{
    CSettingsImage im;
    auto& s = im.m_sensorsSetup;
    s.m_temprEngineSensor = 1;
    s.m_temprLPGSensor = 2;
    s.m_fuelFull = 16, s.m_fuelHgw = 60, s.m_fuelHalf = 120, s.m_fuelQuarter = 200;
    s.m_fuelType = 1, s.m_fuelRes = 1, s.m_lambdaType = 2, s.m_lambdaSecond = 3;
    for (int i = 0; i < kTemprCorrCount; ++i)
        s.m_temprCorr[i] = i - 10;
    for (int i = 0; i < kPressCorrCount; ++i)
        s.m_pressCorr[i] = 2 * i - 25;

    auto& b = im.m_base;
    b.m_switchRPM = 1500, b.m_switchMinGasTime = 2.5, b.m_sparkDivider = 2, b.m_switchPressure = 80;
    b.m_switchTempr = 40, b.m_switchDelay = 12, b.m_maxRPMHigh = 6000, b.m_maxRPMLow = 5000, b.m_flags = 0x8B;
    b.m_pressureRef = 120, b.m_pressureGain = -1.2, b.m_pressAverageCount = 1.4, b.m_temprRef = 30;
    b.m_temprGain = 0.5, b.m_temprBottom = 10, b.m_temprUpper = 70, b.m_emulatorDelay = 0.5;
    b.m_rpmSignalLevel = 4.5, b.m_minVCC = 12, b.m_baseExtraTime = 3, b.m_pcId = { 0x12, 0x34, 0x56, 0x78 };

    auto& a = im.m_adv;
    a.m_injectorType = 3, a.m_pwmOffset = 1.5, a.m_pwm = 70, a.m_injectorWarmingImpulse = 1, a.m_warmingTime = 20;
    a.m_warmingUpperTempr = 60, a.m_minLPGTime = 0.5, a.m_ignoreLPGTime = 0.2;
    a.m_injConfMap = { 0x02, 0x01, 0x08, 0x04, 0x20, 0x10, 0x80, 0x40 };
    a.m_engineSignalBehavior = 3, a.m_flags = 0x0D, a.m_cutOffPressSwitch = 150;
    a.m_cutOffExitEmulatorDelay = 0.25, a.m_cutOffExitDelay = 2.5;

    auto& x = im.m_advancedSetup;
    x.m_inspectionCounter = 0x01020304, x.m_advancedFlags3 = 0x21, x.m_minimalLPGRPM = 600, x.m_switchCorr = -5;
    x.m_switchCorrTime = 15, x.m_advancedFlags = 0x1B, x.m_advancedFlags2 = 0x48, x.m_maxLoadTime = 4;
    x.m_minLpgTempr = 20, x.m_lubricationShare = 30;

    im.m_mainCorr.m_mainCorr = { 1.0, 0.5, -1.0, 1.2, 0.0, 2.0, 0.96, 1.04 };
    for (int i = 0; i < kSetupTimesCount; ++i) {
        im.m_setupTimes1[i] = i * 5 - 100;
        im.m_setupTimes2[i] = 50 - i;
    }
    im.m_setupTimes1[38] = 155;
    im.m_tableMask = 0x5A;
    im.m_automapDue = 123456, im.m_automapKm = 1500, im.m_automapMode = 2;
    for (int r = 0; r < kMapRows; ++r)
        im.m_corrMap.m_injTimeAxis[r] = 1 + r;
    for (int c = 0; c < kMapCols; ++c)
        im.m_corrMap.m_rpmAxis[c] = 800 + 400 * c;
    return im;
}

TEST(BlockCodec, BaseAdvAndAdvancedSetupMatchTheLayout)
{
    const CSettingsImage im = sampleImage();
    const Bytes base { 0x80, 0x0C, 0x64, 0x00, 0x02, 0x5C, 0x5D, 0x18, 0x20, 0x03, 0xC0, 0x03, 0x8B, 0x85, 0xF4, 0x07,
        0x60, 0x05, 0x98, 0x1E, 0x14, 0x2D, 0x66, 0x78, 0x12, 0x34, 0x56, 0x78 };
    const Bytes adv { 0x03, 0x3C, 0x46, 0x28, 0x28, 0x36, 0x14, 0x08, 0x02, 0x01, 0x08, 0x04, 0x20, 0x10, 0x80, 0x40,
        0x03, 0x0D, 0xA3, 0x0A, 0x05, 0x00 };
    Bytes advanced { 0x04, 0x03, 0x02, 0x01, 0x21, 0x00, 0x00, 0x00, 0x40, 0x1F, 0xFB, 0x1E, 0x1B, 0x48, 0xE8, 0x03 };
    advanced.resize(28, 0);
    advanced.insert(advanced.end(), { 0x7B, 0x1E });

    EXPECT_EQ(bytes(encodeBase(im)), base);
    EXPECT_EQ(bytes(encodeAdv(im)), adv);
    EXPECT_EQ(bytes(encodeAdvancedSetup(im)), advanced);

    CSettingsImage back; // defaults everywhere, the sample's sensor columns
    back.m_sensorsSetup = im.m_sensorsSetup;
    decodeBase(view<kBaseLength>(base), back);
    decodeAdv(view<kAdvLength>(adv), back);
    decodeAdvancedSetup(view<kAdvancedSetupLength>(advanced), back);
    EXPECT_EQ(back.m_base, im.m_base);
    EXPECT_EQ(back.m_adv, im.m_adv);
    EXPECT_EQ(back.m_advancedSetup, im.m_advancedSetup);
}

// The record table the device reads and writes every block through: the
// controller's command and record type per block, and codecs that agree with
// the block's own (its members come back from the bytes, nothing else moves).
TEST(BlockCodec, RecordTableCarriesEveryBlockButIdentityAndMapPage)
{
    using Encode = Bytes (*)(const CSettingsImage&);
    struct Expected {
        CReadBlocks::Block block;
        uint8_t command, type;
        std::size_t length;
        Encode encode;
    };
#define CODEC(f) [](const CSettingsImage& i) { return bytes(f(i)); }
    const Expected expected[] = {
        { CReadBlocks::SensorsSetup, 0x2A, 30, 30, CODEC(encodeSensorsSetup) },
        { CReadBlocks::Base, 0x07, 31, 28, CODEC(encodeBase) },
        { CReadBlocks::Adv, 0x08, 4, 22, CODEC(encodeAdv) },
        { CReadBlocks::MainCorr, 0x16, 15, 16, CODEC(encodeMainCorr) },
        { CReadBlocks::SetupTimes1, 0x0C, 7, 40, CODEC(encodeSetupTimes1) },
        { CReadBlocks::SetupTimes2, 0x0E, 9, 40, CODEC(encodeSetupTimes2) },
        { CReadBlocks::AdvancedSetup, 0x22, 26, 30, CODEC(encodeAdvancedSetup) },
        { CReadBlocks::PressCorr, 0x2B, 32, 26, CODEC(encodePressCorr) },
        { CReadBlocks::AutomapSchedule, 0x2C, 33, 8, CODEC(encodeAutomapSchedule) },
        { CReadBlocks::MapAxes, 0x2D, 34, 38, CODEC(encodeMapAxes) },
    };
#undef CODEC
    EXPECT_EQ(blockRecord(CReadBlocks::DevInfo), nullptr);
    EXPECT_EQ(blockRecord(CReadBlocks::InjMap), nullptr);
    const CSettingsImage sample = sampleImage();
    for (const Expected& e : expected) {
        const CBlockRecord* r = blockRecord(e.block);
        ASSERT_NE(r, nullptr) << CReadBlocks::name(e.block);
        EXPECT_EQ(r->block, e.block);
        EXPECT_EQ(r->readCommand, e.command) << CReadBlocks::name(e.block);
        EXPECT_EQ(r->recordType, e.type) << CReadBlocks::name(e.block);
        EXPECT_EQ(r->length, e.length) << CReadBlocks::name(e.block);
        const Bytes encoded = r->encode(sample);
        EXPECT_EQ(encoded, e.encode(sample)) << CReadBlocks::name(e.block);
        EXPECT_EQ(blockBytes(e.block, sample), encoded) << CReadBlocks::name(e.block);
        // Decoded over a default image with the sample's sensor columns (the temperatures depend on them).
        CSettingsImage decoded;
        decoded.m_sensorsSetup.m_temprEngineSensor = sample.m_sensorsSetup.m_temprEngineSensor;
        decoded.m_sensorsSetup.m_temprLPGSensor = sample.m_sensorsSetup.m_temprLPGSensor;
        const CSettingsImage untouched = decoded;
        ASSERT_TRUE(decodeBlockBytes(e.block, encoded, decoded));
        EXPECT_EQ(blockBytes(e.block, decoded), encoded) << CReadBlocks::name(e.block) << " did not come back";
        EXPECT_FALSE(decodeBlockBytes(e.block, Bytes(e.length + 1), decoded)) << "a record of another length";
        copyBlock(e.block, untouched, decoded);
        EXPECT_TRUE(decoded == untouched) << CReadBlocks::name(e.block) << " changed members of another block";
    }
}

TEST(BlockCodec, ReadingDropsHalvesAndKeepsTheSignOfTheGain)
{
    CSettingsImage im;
    Bytes base(kBaseLength, 0);
    base[7] = 61; // switch delay: the half second is dropped
    base[14] = 23; // pressure gain 2.3
    decodeBase(view<kBaseLength>(base), im);
    EXPECT_EQ(im.m_base.m_switchDelay, 30);
    EXPECT_DOUBLE_EQ(im.m_base.m_pressureGain, 2.3);
    EXPECT_EQ(im.m_base.m_switchRPM, 0); // a period of 0 has no speed

    im.m_base.m_pressureGain = -1.25; // truncated toward zero
    EXPECT_EQ(encodeBase(im)[14], 0xF4);
}

TEST(BlockCodec, SensorBlockInvertsThresholdsOnlyForFuelType1)
{
    CSettingsImage im = sampleImage();
    Bytes sensors { 0xEF, 0xC3, 0x87, 0x37, 0x01, 0x01, 0x02, 0x03, 0x01, 0x02 };
    for (int i = 0; i < 20; ++i)
        sensors.push_back(static_cast<uint8_t>(90 + i));
    EXPECT_EQ(bytes(encodeSensorsSetup(im)), sensors);

    CSettingsImage back;
    decodeSensorsSetup(view<kSensorsSetupLength>(sensors), back);
    back.m_sensorsSetup.m_pressCorr = im.m_sensorsSetup.m_pressCorr; // another block's table
    EXPECT_EQ(back.m_sensorsSetup, im.m_sensorsSetup);

    im.m_sensorsSetup.m_fuelType = 0;
    const auto plain = encodeSensorsSetup(im);
    EXPECT_EQ(Bytes(plain.begin(), plain.begin() + 6), (Bytes { 0x10, 0x3C, 0x78, 0xC8, 0x00, 0x01 }));
}

TEST(BlockCodec, CorrectionTablesSetupTimesAutomapAndAxes)
{
    const CSettingsImage im = sampleImage();
    const Bytes mainCorr { 0xFA, 0x00, 0x7D, 0x00, 0x06, 0xFF, 0x2C, 0x01, 0x00, 0x00, 0xF4, 0x01, 0xF0, 0x00, 0x04,
        0x01 };
    Bytes times1, times2, press, axes;
    for (int i = 0; i < 38; ++i)
        times1.push_back(static_cast<uint8_t>(i * 5));
    times1.insert(times1.end(), { 0xFF, 0x00 }); // +155 → 255; the last byte of record 7 is 0
    for (int i = 0; i < 39; ++i)
        times2.push_back(static_cast<uint8_t>(150 - i));
    times2.push_back(0x5A); // m_tableMask
    for (int i = 0; i < 26; ++i)
        press.push_back(static_cast<uint8_t>(75 + 2 * i));
    for (int r = 0; r < 19; ++r)
        axes.push_back(static_cast<uint8_t>(5 + 5 * r));
    for (int c = 0; c < 15; ++c)
        axes.push_back(static_cast<uint8_t>(8 + 4 * c));
    axes.resize(38, 0);
    const Bytes automap { 0x40, 0xE2, 0x01, 0x00, 0x1E, 0x00, 0x02, 0x00 };

    EXPECT_EQ(bytes(encodeMainCorr(im)), mainCorr);
    EXPECT_EQ(bytes(encodeSetupTimes1(im)), times1);
    EXPECT_EQ(bytes(encodeSetupTimes2(im)), times2);
    EXPECT_EQ(bytes(encodePressCorr(im)), press);
    EXPECT_EQ(bytes(encodeAutomapSchedule(im)), automap);
    EXPECT_EQ(bytes(encodeMapAxes(im)), axes);

    CSettingsImage back;
    decodeMainCorr(view<kMainCorrLength>(mainCorr), back);
    decodeSetupTimes1(view<kSetupTimesLength>(times1), back);
    decodeSetupTimes2(view<kSetupTimesLength>(times2), back);
    decodePressCorr(view<kPressCorrLength>(press), back);
    decodeAutomapSchedule(view<kAutomapScheduleLength>(automap), back);
    decodeMapAxes(view<kMapAxesLength>(axes), back);
    EXPECT_EQ(back.m_mainCorr, im.m_mainCorr);
    EXPECT_EQ(back.m_setupTimes1, im.m_setupTimes1);
    EXPECT_EQ(back.m_setupTimes2, im.m_setupTimes2);
    EXPECT_EQ(back.m_tableMask, 0x5A);
    EXPECT_EQ(back.m_sensorsSetup.m_pressCorr, im.m_sensorsSetup.m_pressCorr);
    EXPECT_EQ(back.m_automapDue, 123456);
    EXPECT_EQ(back.m_automapKm, 1500);
    EXPECT_EQ(back.m_automapMode, 2);
    for (int r = 0; r < kMapRows; ++r)
        EXPECT_DOUBLE_EQ(back.m_corrMap.m_injTimeAxis[r], im.m_corrMap.m_injTimeAxis[r]);
    EXPECT_EQ(back.m_corrMap.m_rpmAxis, im.m_corrMap.m_rpmAxis);
}

TEST(BlockCodec, SetupTimesTruncateAndSaturate)
{
    CSettingsImage im;
    im.m_setupTimes1[0] = 10.7;
    im.m_setupTimes1[1] = -10.7;
    im.m_setupTimes1[2] = -150; // beyond the byte: the nearest end, never a wrapped value
    im.m_setupTimes1[3] = 300;
    const auto r = encodeSetupTimes1(im);
    EXPECT_EQ(Bytes(r.begin(), r.begin() + 4), (Bytes { 110, 89, 0, 255 }));
}

TEST(BlockCodec, IdentityAndStatistics)
{
    Bytes id { 0x05, 0x00, 0x00, 0x00, 0x44, 0x33, 0x22, 0x11, 0xB8, 0x0B, 0x06, 0x03, 'A', 'B', 'C', '1', '2', '3',
        '4' };
    id.resize(28, 0);
    id.insert(id.end(), { 6, 16 });
    CDevInfo info;
    decodeDevInfo(view<kDevInfoLength>(id), info);
    EXPECT_EQ(info.m_flags1, 5u);
    EXPECT_EQ(info.m_flags2, 0x11223344u);
    EXPECT_EQ(info.m_prodDate, L"18/06/2012");
    EXPECT_EQ(info.m_version, 0x0306);
    EXPECT_EQ(info.m_serial, L"ABC1234");
    EXPECT_EQ(info.m_injCount, 6);
    EXPECT_EQ(info.m_deviceID, 16);
    EXPECT_EQ(info.m_modelName, L"OREM K410 33EP FCI");

    const Bytes stats { 0x00, 0x00, 0x01, 0x00, 0xE8, 0x03, 0x00, 0x00, 0x03, 0x00, 0x02, 0x00 };
    CStatistic st;
    decodeStatistics(view<kStatisticsLength>(stats), st);
    EXPECT_EQ(st, (CStatistic { 0x10000, 1000, 3 }));
}

TEST(MapPage, AreaLayoutChecksumAndRefusal)
{
    CSettingsImage im;
    Bytes area;
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapCols; ++c) {
            im.m_corrMap.m_injMapTable[r][c] = (r + c) % 50 - 25;
            area.push_back(static_cast<uint8_t>(75 + (r + c) % 50));
        }
    im.m_corrMap.m_flags = 0xA5;
    area.insert(area.end(), { 0xA5, 0x65, 0xF5 }); // checksum 1 + sum of bytes 0…285, high byte first
    EXPECT_EQ(bytes(encodeInjMapArea(im)), area);

    InjMapArea page {};
    std::copy(area.begin(), area.end(), page.begin());
    CSettingsImage back;
    ASSERT_TRUE(decodeInjMapArea(page, back));
    EXPECT_EQ(back.m_corrMap, im.m_corrMap);

    page[287] ^= 1;
    CSettingsImage untouched;
    EXPECT_FALSE(decodeInjMapArea(page, untouched));
    EXPECT_EQ(untouched, CSettingsImage {});
}

TEST(MapPage, MemoryBlockAndDemoChartMap)
{
    CMemoryBlock block { 502, {} };
    for (int i = 0; i < 32; ++i)
        block.data[i] = static_cast<uint8_t>(i + 1);
    Bytes rec { 0xF6, 0x01 };
    for (int i = 0; i < 32; ++i)
        rec.push_back(static_cast<uint8_t>(i + 1));
    EXPECT_EQ(bytes(encodeMemoryBlock(block)), rec);
    EXPECT_EQ(decodeMemoryBlock(view<kMemoryBlockLength>(rec)), block);

    const auto map = demoChartMap();
    EXPECT_EQ(Bytes(map.begin(), map.begin() + 8), (Bytes { 0x40, 0x0D, 0x03, 0x00, 0xAB, 0x11, 0x04, 0x00 }));
    EXPECT_EQ(Bytes(map.begin() + 100, map.begin() + 104), (Bytes { 0xAB, 0x7B, 0x1C, 0x00 })); // 14000 rpm
    EXPECT_EQ(Bytes(map.begin() + 104, map.begin() + 124), Bytes(20, 0));
    EXPECT_EQ(Bytes(map.begin() + 124, map.begin() + 126), (Bytes { 0x90, 0x01 }));
    EXPECT_EQ(
        Bytes(map.begin() + 174, map.begin() + 188), (Bytes { 0x90, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xA0, 0x28 }));
}

} // namespace
