// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions between controller bytes and the settings image: the three
// roundings for both signs, saturating narrowing, the RPM period rule, the
// temperature table (transcription and the write rule), the pressure and
// voltage rules, a write → read round trip for every converted member, the
// level-threshold inversion and the production date.
#include <app/data/conversions.h>
#include <app/data/settingsimage.h>
#include <app/data/temprtable.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

namespace {

TEST(Rounding, HalvesGoAwayFromZeroForBothSigns)
{
    EXPECT_EQ(roundHalfAway(2.5), 3);
    EXPECT_EQ(roundHalfAway(-2.5), -3);
    EXPECT_EQ(roundHalfAway(2.49), 2);
    EXPECT_EQ(roundHalfAway(-2.49), -2);
    EXPECT_EQ(roundHalfAway(0.0), 0);

    EXPECT_EQ(roundTo01(0.25), 0.3);
    EXPECT_EQ(roundTo01(-0.25), -0.3);
    EXPECT_EQ(roundTo01(0.075), 0.1);
    EXPECT_EQ(roundTo01(0.24), 0.2);
    EXPECT_EQ(roundTo001(0.125), 0.13);
    EXPECT_EQ(roundTo001(-0.125), -0.13);
    EXPECT_EQ(roundTo001(1.232), 1.23);
}

TEST(Rounding, NegativeValuesAreNotPulledDown)
{
    // Flooring (x − 0.05) × 10 would turn these into -1.3 and -0.02.
    EXPECT_EQ(roundTo01(-1.2), -1.2);
    EXPECT_EQ(roundTo01(-1.23), -1.2);
    EXPECT_EQ(roundTo01(-1.26), -1.3);
    EXPECT_EQ(roundTo001(-0.01), -0.01);
    EXPECT_EQ(roundTo001(-0.504), -0.5);
}

TEST(Narrowing, SaturatesInsteadOfWrapping)
{
    EXPECT_EQ(toU8(256), 255);
    EXPECT_EQ(toU8(-1), 0);
    EXPECT_EQ(toU8(std::nan("")), 0);
    EXPECT_EQ(toS8(-200), -128);
    EXPECT_EQ(toS8(-12), -12);
    EXPECT_EQ(toU16(70000), 65535);
    EXPECT_EQ(toS16(-40000), -32768);
    EXPECT_EQ(toU32(5e9), 4294967295u);
    EXPECT_EQ(toU32(4294967295.0), 4294967295u);
}

TEST(RpmPeriod, ReadRoundsToHundredRpm)
{
    EXPECT_EQ(rpmFromPeriod(4000), 1200);
    EXPECT_EQ(rpmFromPeriod(4001), 1200);
    EXPECT_EQ(rpmFromPeriod(2043), 2300); // 2349.5 rpm
    EXPECT_EQ(rpmFromPeriod(3840), 1300); // exactly 1250 rpm: half away from zero
    EXPECT_EQ(rpmFromPeriod(686), 7000);
    EXPECT_EQ(rpmFromPeriod(0), 0);
}

TEST(RpmPeriod, WriteRoundsAndStaysInTheField)
{
    EXPECT_EQ(periodFromRpm(1200), 4000);
    EXPECT_EQ(periodFromRpm(7000), 686); // 685.71
    EXPECT_EQ(periodFromRpm(500), 9600);
    EXPECT_EQ(periodFromRpm(50), 65535); // 96000 does not fit
    EXPECT_EQ(periodFromRpm(0), 65535);
    EXPECT_EQ(periodFromRpm(-100), 65535);
    EXPECT_EQ(periodFromRpm(1e9), 1);
}

TEST(TemperatureTable, EveryColumnFalls)
{
    for (int column = 0; column < kTemprColumns; ++column)
        for (int byte = 1; byte < 256; ++byte)
            EXPECT_LE(temprTableEntry(static_cast<uint8_t>(byte), column),
                      temprTableEntry(static_cast<uint8_t>(byte - 1), column))
                << "column " << column << " byte " << byte;
}

TEST(TemperatureTable, SpotValues)
{
    struct Spot {
        int column;
        uint8_t byte;
        int celsius;
    };
    const Spot spots[] = {
        { 0, 0, 209 }, { 0, 32, 100 }, { 0, 100, 49 }, { 0, 132, 35 }, { 0, 200, 8 }, { 0, 255, -36 },
        { 1, 0, 203 }, { 1, 1, 190 }, { 1, 100, 38 }, { 1, 200, 0 }, { 1, 255, -40 },
        { 2, 0, 203 }, { 2, 1, 184 }, { 2, 100, 29 }, { 2, 200, -7 }, { 2, 255, -41 },
        { 3, 0, 255 }, { 3, 7, 255 }, { 3, 8, 237 }, { 3, 100, 13 }, { 3, 200, -21 }, { 3, 255, -47 },
    };
    for (const auto& spot : spots)
        EXPECT_EQ(temprFromByte(spot.byte, spot.column), spot.celsius)
            << "column " << spot.column << " byte " << int(spot.byte);
}

TEST(TemperatureTable, WriteTakesTheFirstByteNotAbove)
{
    EXPECT_EQ(temprToByte(35, 0), 132);
    EXPECT_EQ(temprToByte(35.5, 0), 132);
    EXPECT_EQ(temprToByte(35, 1), 106);
    EXPECT_EQ(temprToByte(35, 2), 84);
    EXPECT_EQ(temprToByte(35, 3), 54);
    EXPECT_EQ(temprToByte(-40, 1), 255);
    EXPECT_EQ(temprToByte(300, 3), 0);
    // Below every entry of the column.
    EXPECT_EQ(temprToByte(-37, 0), 0);
    EXPECT_EQ(temprToByte(-48, 3), 0);
}

TEST(TemperatureTable, ImageSensorTypesPickTheColumns)
{
    CSettingsImage image;
    image.m_sensorsSetup.m_temprEngineSensor = 1;
    image.m_sensorsSetup.m_temprLPGSensor = 3;
    EXPECT_EQ(engineTemprFromByte(image, 1), 190);
    EXPECT_EQ(lpgTemprFromByte(image, 8), 237);
    EXPECT_EQ(engineTemprToByte(image, 35), 106);
    EXPECT_EQ(lpgTemprToByte(image, 35), 54);
    // A sensor code the table has no column for reads the 10 kΩ column.
    image.m_sensorsSetup.m_temprEngineSensor = 9;
    EXPECT_EQ(engineTemprFromByte(image, 0), 209);
}

TEST(Pressure, CharacteristicsAndInverse)
{
    EXPECT_NEAR(pressureFromByte(71), 59.608, 0.001);
    EXPECT_NEAR(pressureFromByte(255), 240.0, 1e-9);
    EXPECT_EQ(pressureFromByte(0), 0); // negative is clipped
    EXPECT_EQ(pressureFromByte(10), 0);
    EXPECT_EQ(pressureToByte(60), 71);
    EXPECT_EQ(pressureToByte(100), 112);
    EXPECT_EQ(pressureToByte(1000), 255);
    EXPECT_NEAR(pressure2FromByte(0), 3.478, 0.001);
    EXPECT_NEAR(pressure2FromByte(255), 416.530, 0.001);
}

TEST(Voltage, RuleAndSupplyInverse)
{
    EXPECT_NEAR(voltsFromByte(51), 1.0, 1e-12);
    EXPECT_NEAR(supplyVoltsFromByte(85), 10.0, 1e-12);
    EXPECT_EQ(supplyVoltsToByte(10), 85);
    EXPECT_EQ(supplyVoltsToByte(14.4), 122); // 122.4
    EXPECT_EQ(supplyVoltsToByte(40), 255);
}

// One converted member: its write to the controller's raw number and the read back.
struct MemberCase {
    const char* member;
    double value;
    double raw;
    double readBack;
    std::function<double(double)> write;
    std::function<double(double)> read;
};

class MemberRoundTrip : public ::testing::TestWithParam<MemberCase> { };

TEST_P(MemberRoundTrip, WriteThenRead)
{
    const MemberCase& c = GetParam();
    const double raw = c.write(c.value);
    EXPECT_EQ(raw, c.raw) << c.member;
    EXPECT_EQ(c.read(raw), c.readBack) << c.member;
}

CSettingsImage sensorImage()
{
    CSettingsImage image;
    image.m_sensorsSetup.m_temprEngineSensor = 0;
    image.m_sensorsSetup.m_temprLPGSensor = 2;
    return image;
}

const auto rpmW = [](double v) { return double(periodFromRpm(v)); };
const auto rpmR = [](double raw) { return rpmFromPeriod(toU16(raw)); };
const auto engW = [](double v) { return double(engineTemprToByte(sensorImage(), v)); };
const auto engR = [](double raw) { return engineTemprFromByte(sensorImage(), toU8(raw)); };
const auto lpgW = [](double v) { return double(lpgTemprToByte(sensorImage(), v)); };
const auto lpgR = [](double raw) { return lpgTemprFromByte(sensorImage(), toU8(raw)); };
const auto presW = [](double v) { return double(pressureToByte(v)); };
const auto presR = [](double raw) { return roundHalfAway(pressureFromByte(toU8(raw))); };
const auto vccW = [](double v) { return double(supplyVoltsToByte(v)); };
const auto vccR = [](double raw) { return roundTo01(supplyVoltsFromByte(toU8(raw))); };
const auto dropR = [](double raw) { return fromDoubledDropHalf(toU8(raw)); };
const auto halfR = [](double raw) { return fromDoubled(toU8(raw)); };
const auto s8R = [](double raw) { return fromTenths(toS8(raw)); };
const auto pctR = [](double raw) { return fromPercentByte(toU8(raw)); };
const auto axisTW = [](double v) { return double(injTimeToByte(v)); };
const auto axisTR = [](double raw) { return injTimeFromByte(toU8(raw)); };
const auto axisRW = [](double v) { return double(rpmAxisToByte(v)); };
const auto axisRR = [](double raw) { return rpmAxisFromByte(toU8(raw)); };
const auto kmW = [](double v) { return double(automapKmToRaw(v)); };
const auto kmR = [](double raw) { return automapKmFromRaw(toU16(raw)); };

// Raw numbers worked out by hand from the member's rule.
INSTANTIATE_TEST_SUITE_P(Members, MemberRoundTrip,
    ::testing::Values(
        MemberCase { "m_base.m_switchRPM", 1200, 4000, 1200, rpmW, rpmR },
        MemberCase { "m_base.m_maxRPMHigh", 8000, 600, 8000, rpmW, rpmR },
        MemberCase { "m_base.m_maxRPMLow", 7000, 686, 7000, rpmW, rpmR },
        MemberCase { "m_advancedSetup.m_minimalLPGRPM", 500, 9600, 500, rpmW, rpmR },
        MemberCase { "m_base.m_switchTempr", 35, 132, 35, engW, engR },
        MemberCase { "m_adv.m_warmingUpperTempr", 50, 97, 50, engW, engR },
        MemberCase { "m_base.m_temprRef", 0, 181, 0, lpgW, lpgR },
        MemberCase { "m_base.m_temprUpper", 80, 22, 80, lpgW, lpgR },
        MemberCase { "m_advancedSetup.m_minLpgTempr", -10, 205, -10, lpgW, lpgR },
        MemberCase { "m_base.m_switchPressure", 60, 71, 60, presW, presR },
        MemberCase { "m_base.m_pressureRef", 100, 112, 100, presW, presR },
        MemberCase { "m_adv.m_cutOffPressSwitch", 150, 163, 150, presW, presR },
        MemberCase { "m_base.m_minVCC", 10, 85, 10, vccW, vccR },
        MemberCase { "m_base.m_minVCC 11.5", 11.5, 98, 11.5, vccW, vccR },
        MemberCase { "m_base.m_switchMinGasTime", 2.5, 100, 2.5, toTicks25, fromTicks25 },
        MemberCase { "m_base.m_baseExtraTime", 2, 80, 2, toTicks25, fromTicks25 },
        MemberCase { "m_adv.m_pwmOffset", 4, 160, 4, toTicks25, fromTicks25 },
        MemberCase { "m_adv.m_minLPGTime", 1.3, 52, 1.3, toTicks25, fromTicks25 },
        MemberCase { "m_mainCorr.m_mainCorr", 1.23, 308, 1.23, toTicks4, fromTicks4 },
        MemberCase { "m_mainCorr.m_mainCorr negative", -0.5, -125, -0.5, toTicks4, fromTicks4 },
        MemberCase { "m_advancedSetup.m_maxLoadTime", 5.5, 1375, 5.5, toTicks4, fromTicks4 },
        MemberCase { "m_base.m_emulatorDelay", 1, 40, 1, toEmulatorTicks, fromEmulatorTicks },
        MemberCase { "m_adv.m_cutOffExitEmulatorDelay", 0.5, 20, 0.5, toEmulatorTicks, fromEmulatorTicks },
        MemberCase { "m_base.m_switchDelay", 30, 60, 30, toDoubledTruncated, dropR },
        MemberCase { "m_base.m_switchDelay half", 30.5, 61, 30, toDoubledTruncated, dropR },
        MemberCase { "m_adv.m_warmingTime", 30, 60, 30, toDoubledTruncated, dropR },
        MemberCase { "m_advancedSetup.m_switchCorrTime", 20, 40, 20, toDoubledTruncated, dropR },
        MemberCase { "m_adv.m_cutOffExitDelay", 2.5, 5, 2.5, toDoubledTruncated, halfR },
        MemberCase { "m_base.m_pressureGain", 2.35, 23, 2.3, toTenthsTruncated, s8R },
        MemberCase { "m_base.m_pressureGain negative", -1.25, -12, -1.2, toTenthsTruncated, s8R },
        MemberCase { "m_base.m_pressureGain tenth", -0.7, -7, -0.7, toTenthsTruncated, s8R },
        MemberCase { "m_base.m_temprGain", 0.3, 3, 0.3, toTenthsRounded, fromTenths },
        MemberCase { "m_base.m_temprGain half", 0.25, 3, 0.3, toTenthsRounded, fromTenths },
        MemberCase { "m_base.m_rpmSignalLevel", 5.3, 53, 5.3, toTenthsTruncated, fromTenthsRounded },
        MemberCase { "m_base.m_pressAverageCount", 0.8, 4, 0.8, toFifthsRounded, fromFifths },
        MemberCase { "m_setupTimes1 low", -100, 0, -100, toPercentByte, pctR },
        MemberCase { "m_setupTimes1 high", 155, 255, 155, toPercentByte, pctR },
        MemberCase { "m_injMapTable", -12.7, 87, -13, toPercentByte, pctR },
        MemberCase { "m_corrMap.m_injTimeAxis", 2.2, 11, 2.2, axisTW, axisTR },
        MemberCase { "m_corrMap.m_rpmAxis", 7500, 75, 7500, axisRW, axisRR },
        MemberCase { "m_automapKm", 1000, 20, 1000, kmW, kmR }));

TEST(MemberRoundTrip, WholeTenthsOfTheGainsSurvive)
{
    for (int tenths = -128; tenths <= 127; ++tenths) {
        const double value = tenths / 10.0;
        EXPECT_EQ(fromTenths(toS8(toTenthsTruncated(value))), value) << "m_pressureGain " << value;
        if (tenths >= 0) {
            EXPECT_EQ(fromTenthsRounded(toU8(toTenthsTruncated(value))), value) << "m_rpmSignalLevel " << value;
        }
    }
}

TEST(LevelThresholds, InvertedOnlyWithFuelTypeOne)
{
    EXPECT_EQ(fuelThreshold(0x10, 1), 239);
    EXPECT_EQ(fuelThreshold(239, 1), 0x10);
    EXPECT_EQ(fuelThreshold(0x10, 0), 0x10);
    EXPECT_EQ(fuelThreshold(0x10, 2), 0x10);
}

TEST(ProductionDate, DaysFromFirstApril2004)
{
    EXPECT_EQ(prodDateFromDays(0), L"01/04/2004");
    EXPECT_EQ(prodDateFromDays(275), L"01/01/2005");
    EXPECT_EQ(prodDateFromDays(1429), L"29/02/2008");
    EXPECT_EQ(prodDateFromDays(3003), L"21/06/2012");
    EXPECT_EQ(prodDateFromDays(65535), L"05/09/2183");
}

} // namespace
