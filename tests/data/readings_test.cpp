// SPDX-License-Identifier: GPL-3.0-or-later
// What the readings panel and the readings chart make of a record: cell texts
// by the injector assignment and the injector count, states, gauge positions
// and their rounding, the masks an injector click sends, the chart values of a
// live record and of the same record read back from a recording.
#include <app/data/diag.h>
#include <app/data/diagfile.h>
#include <app/data/oscparser.h>
#include <app/data/readingschart.h>
#include <app/data/readingspanel.h>
#include <app/data/recordingpath.h>
#include <app/data/settingsimage.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

using namespace readingspanel;

// Cylinder k with petrol time raw × 0.025 ms in slot 2k and an LPG offset.
CDiag record(uint8_t fuel, uint8_t mask1, uint8_t mask2)
{
    CDiag r;
    r.setFuelState(fuel);
    r.setU8(11, mask1);
    r.setU8(12, mask2);
    for (int k = 0; k < 8; ++k) {
        r.setU16(CDiag::kPetrolAt + 4 * (2 * k), static_cast<uint16_t>(200 + 10 * k)); // 5.00 ms + 0.25 k
        r.setU16(CDiag::kOffsetAt + 4 * (2 * k), 40); // + 1.00 ms
    }
    r.setU16(CDiag::kRpmPeriodAt, 2400); // 2000 rpm
    return r;
}

TEST(ReadingsPanel, GaugePositionRoundsHalvesAwayFromZero)
{
    EXPECT_EQ(gaugePosition(1.5, 3.0), 500); // 150 hundredths of a bar on the pressure gauge
    EXPECT_EQ(gaugePosition(8000, 8000), 1000);
    EXPECT_EQ(gaugePosition(0.0015, 3.0), 1);
    EXPECT_EQ(gaugePosition(-0.0015, 3.0), -1);
    EXPECT_EQ(gaugePosition(9000, 8000), 1125); // the gauge itself holds the needle at its end
    EXPECT_EQ(gaugePosition(1.0, 0.0), 0);
    EXPECT_EQ(timeText(5.0), L"5.00 ms");
}

TEST(ReadingsPanel, CellsFollowTheInjectorCountAndTheMasks)
{
    CSettingsImage image;
    image.m_devInfo.m_injCount = 4;
    const CCells cells = compute(record(3, 0x05, 0x05), image);
    for (int k = 4; k < 8; ++k) {
        EXPECT_FALSE(cells.petrol[k]) << k;
        EXPECT_FALSE(cells.lpg[k]) << k;
    }
    EXPECT_EQ(*cells.petrol[0], L"5.00 ms");
    EXPECT_EQ(*cells.lpg[0], L"6.00 ms");
    // Cylinder 2 is not switched to LPG: its LPG cell is emptied.
    EXPECT_EQ(*cells.petrol[1], L"5.25 ms");
    EXPECT_EQ(*cells.lpg[1], L"");
    EXPECT_EQ(*cells.lpg[2], L"6.50 ms");
    // States for all eight: petrol idle where mask 1 has the bit, LPG on where both masks do on LPG.
    EXPECT_EQ(cells.petrolState[0], kStateIdle);
    EXPECT_EQ(cells.petrolState[1], kStateOff);
    EXPECT_EQ(cells.lpgState[0], kStateOn);
    EXPECT_EQ(cells.lpgState[1], kStateIdle);
    EXPECT_EQ(cells.lpgState[7], kStateIdle);
    EXPECT_EQ(cells.gauges[kRpm].position, 250);
    EXPECT_EQ(cells.gauges[kRpm].text, L"2000");

    const CCells petrol = compute(record(2, 0x05, 0x05), image);
    EXPECT_EQ(petrol.lpgState[0], kStateIdle);
}

TEST(ReadingsPanel, AGroupedCylinderShowsTheDrivingInjectorsLpgTime)
{
    CSettingsImage image;
    image.m_devInfo.m_injCount = 4;
    image.m_adv.m_injConfMap = { 0x03, 0x00, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80 };
    const CCells on = compute(record(3, 0x03, 0x03), image);
    EXPECT_EQ(*on.petrol[1], L"");
    EXPECT_EQ(*on.lpg[1], L"6.00 ms"); // byte 0 drives it: injector 0's slot
    const CCells off = compute(record(3, 0x01, 0x01), image);
    EXPECT_FALSE(off.petrol[1]); // keeps its text
    EXPECT_EQ(*off.lpg[1], L"");
    // A cylinder no byte drives shows nothing.
    image.m_adv.m_injConfMap = { 0x01, 0x00, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80 };
    const CCells none = compute(record(3, 0x03, 0x03), image);
    EXPECT_EQ(*none.petrol[1], L"");
    EXPECT_EQ(*none.lpg[1], L"");
}

TEST(ReadingsPanel, PetrolClickSwitchesTheWholeGroupAndLpgClickNeedsItsPetrolInjector)
{
    const std::array<uint8_t, 8> grouped = { 0x03, 0x00, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80 };
    std::array<int, 8> petrol {};
    const CMaskChange on = clickPetrol(1, petrol, grouped);
    EXPECT_EQ(on.states[0], kStateIdle);
    EXPECT_EQ(on.states[1], kStateIdle);
    EXPECT_EQ(on.states[2], kStateOff);
    EXPECT_EQ(on.mask, 0x03);
    const CMaskChange off = clickPetrol(0, on.states, grouped);
    EXPECT_EQ(off.mask, 0x00);

    std::array<int, 8> lpg;
    lpg.fill(kStateIdle);
    EXPECT_FALSE(clickLpg(2, on.states, lpg)); // its petrol display is off
    const auto first = clickLpg(1, on.states, lpg);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->states[1], kStateOn);
    EXPECT_EQ(first->mask, 0x02);
    const auto second = clickLpg(1, on.states, first->states);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->states[1], kStateIdle);
    EXPECT_EQ(second->mask, 0x00);
}

TEST(ReadingsChart, LabelsInvertTheLineScales)
{
    EXPECT_EQ(readingschart::label(0, 55), "5000");
    EXPECT_EQ(readingschart::label(1, 105), "250");
    EXPECT_EQ(readingschart::label(3, 75), "70");
    EXPECT_EQ(readingschart::label(5, 25), "1.0");
    EXPECT_EQ(readingschart::label(7, 45), "-10.0");
    EXPECT_EQ(readingschart::label(11, 30), "10.00");
    // The scale's ticks read round values on every line.
    EXPECT_EQ(readingschart::label(0, readingschart::kScaleTicks[1]), "1000");
    EXPECT_EQ(readingschart::label(1, readingschart::kScaleTicks[2]), "50");
    EXPECT_EQ(readingschart::label(11, readingschart::kScaleTicks[3]), "12.00");
}

namespace {

// CIELAB (D65) of a colour 0x00BBGGRR.
std::array<double, 3> lab(uint32_t colour)
{
    const auto linear = [](uint32_t c) {
        const double v = c / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const double r = linear(colour & 0xFF), g = linear((colour >> 8) & 0xFF), b = linear((colour >> 16) & 0xFF);
    const double x = (0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047;
    const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double z = (0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883;
    const auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0; };
    return { 116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z)) };
}

} // namespace

TEST(ReadingsChart, AnyTwoLinesDrawnAlikeDifferByTwentyInColourAndEveryLineHasANameAndUnit)
{
    for (int a = 0; a < readingschart::kLineCount; ++a) {
        const readingschart::CLineInfo& first = readingschart::lineInfo(a);
        EXPECT_TRUE(first.name && *first.name && first.unit && *first.unit) << a;
        // Dark enough to read on the chart's light background.
        EXPECT_LT(lab(first.colour)[0], 70.0) << a;
        for (int b = a + 1; b < readingschart::kLineCount; ++b) {
            const readingschart::CLineInfo& second = readingschart::lineInfo(b);
            if (first.style != second.style) {
                // Only a cylinder's petrol and LPG time share a colour.
                if (first.colour == second.colour) {
                    EXPECT_EQ(first.cylinder, second.cylinder) << a << " " << b;
                }
                continue;
            }
            const auto p = lab(first.colour);
            const auto q = lab(second.colour);
            const double distance = std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
            EXPECT_GE(distance, 20.0) << "lines " << a << " and " << b;
        }
    }
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(readingschart::lineInfo(readingschart::kPetrolLine + k).cylinder, k);
        EXPECT_EQ(readingschart::lineInfo(readingschart::kLpgLine + k).group, readingschart::EGroup::LpgTimes);
    }
}

TEST(ReadingsChart, PlayedBackRecordDrawsWhatTheLiveRecordDrew)
{
    const CDiagScale scale;
    const readingschart::Trims trims = { -3.5, 2.0, 1.5, -0.5 };
    for (uint8_t fuel : { uint8_t { 2 }, uint8_t { 3 } }) {
        CDiag r = record(fuel, 0xFF, 0xFF);
        r.setU8(2, 120);
        r.setU8(3, 130);
        r.setU8(6, 100);
        r.setU8(8, 90);
        r.setU8(10, 60);
        const readingschart::Points live = readingschart::livePoints(r, scale, trims);
        if (fuel == 2) {
            for (int k = 0; k < 8; ++k)
                EXPECT_EQ(live[static_cast<std::size_t>(readingschart::kLpgLine + k)], 5.0) << k;
        }
        const CDiagFile::ObdValues obd = { -3.5, 2.0, 1.5, -0.5, 0, 0, 0, 0 };
        std::vector<CDiagFile::Record> records;
        COscParser::SError error;
        ASSERT_TRUE(COscParser::parse(CDiagFile::formatLine(r, scale, obd), records, error)) << error.message;
        ASSERT_EQ(records.size(), 1u);
        const readingschart::Points played = readingschart::playbackPoints(records[0]);
        // The recording rounds (rpm, pressures and temperatures to units, lambda to 0.1 V).
        for (int line = 0; line < readingschart::kLineCount; ++line)
            EXPECT_NEAR(played[static_cast<std::size_t>(line)], live[static_cast<std::size_t>(line)], 2.1) << line;
        EXPECT_DOUBLE_EQ(played[readingschart::kPetrolLine + 3], live[readingschart::kPetrolLine + 3]);
    }
}

} // namespace

#include <app/data/levelsensor.h>

namespace {

TEST(LevelSensor, PresetsSetTheThresholdsAndTheSensorDirection)
{
    CSensorsSetup setup;
    ASSERT_TRUE(levelsensor::applyPreset(1, setup)); // "AEB 1050"
    EXPECT_EQ(setup.m_fuelFull, 45);
    EXPECT_EQ(setup.m_fuelHgw, 140);
    EXPECT_EQ(setup.m_fuelHalf, 180);
    EXPECT_EQ(setup.m_fuelQuarter, 230);
    EXPECT_EQ(setup.m_fuelRes, 1);
    EXPECT_EQ(setup.m_fuelType, 1);
    EXPECT_TRUE(levelsensor::matches(1, setup));
    EXPECT_FALSE(levelsensor::matches(4, setup));
    ASSERT_TRUE(levelsensor::applyPreset(10, setup)); // "Napięciowy - CNG"
    EXPECT_EQ(setup.m_fuelRes, 2);
    EXPECT_EQ(setup.m_fuelType, 0);
    const CSensorsSetup before = setup;
    EXPECT_FALSE(levelsensor::applyPreset(13, setup));
    EXPECT_FALSE(levelsensor::applyPreset(-1, setup));
    EXPECT_EQ(setup, before);
}

TEST(LevelSensor, ArrowsStayWithinAByte)
{
    EXPECT_EQ(levelsensor::step(0, 1), std::nullopt); // the lower arrow at 0
    EXPECT_EQ(levelsensor::step(255, -1), std::nullopt); // the upper arrow at 255
    EXPECT_EQ(levelsensor::step(100, -1), 101);
    EXPECT_EQ(levelsensor::step(100, 1), 99);
}

} // namespace

TEST(RecordingName, SerialCarAndTimeInLettersDigitsAndDashes)
{
    CCarInfo car;
    car.m_vendor = L"Škoda";
    car.m_model = L"Octavia 1.6 MPI (Łódź)";
    std::tm when {};
    when.tm_year = 126;
    when.tm_mon = 11;
    when.tm_mday = 8;
    when.tm_hour = 9;
    when.tm_min = 5;
    when.tm_sec = 7;
    EXPECT_EQ(defaultRecordingName(L"SIM0412345", car, when), "SIM0412345_Skoda-Octavia-1-6-MPI-Lodz_2026-12-08_09-05-07.osc");
    // No car, and a serial that would reach out of the folder: only its letters and digits stay.
    EXPECT_EQ(defaultRecordingName(L"../x/", CCarInfo {}, when), "x_2026-12-08_09-05-07.osc");
    EXPECT_EQ(defaultRecordingName(L"", CCarInfo {}, when), "korvana_2026-12-08_09-05-07.osc");
    EXPECT_EQ(fileNamePart(L"  VW\tGolf  IV  "), "VW-Golf-IV");
    EXPECT_EQ(fileNamePart(L"日本"), "");
}
