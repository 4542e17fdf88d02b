// SPDX-License-Identifier: GPL-3.0-or-later
// The settings pages' table: every spin of both pages with its step and range
// restated here (a change to the table must show up as a failing row), the
// spin rule at the range ends, the paired engine-speed limits in both orders,
// the bar conversion of the pressures, check-box bits, value lists, the four
// restart settings, the tool-tip text, the check of a loaded settings file
// and the "Info" working-time texts.
#include "../support/scratchfolder.h"

#include <app/data/settingfields.h>
#include <app/data/workingtime.h>
#include <app/tuning/settingscheck.h>
#include <app/data/settingsdiff.h>
#include <app/data/settingsfile.h>
#include <app/data/settingsio.h>
#include <errkit/utf8.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>

namespace {

struct SpinRow {
    const char* key;
    int edit;
    int spin;
    double step;
    double min; // the range in a fresh image (the paired limits follow the defaults)
    double max;
    uint8_t blocks;
    // Where one arrow from the range's ends goes when that is not one step:
    // speeds travel as periods and read back to 100 rpm, so a step that would
    // read back as the old value goes on to the next one that does not.
    double upFromMin = NAN;
    double downFromMax = NAN;
};

// Both pages, in the order of their tables.
const SpinRow kSpins[] = {
    { "m_base.m_switchRPM", 1149, 1116, 20, 500, 4000, kBlockBase, 600, 3900 },
    { "m_base.m_switchTempr", 1150, 1117, 1, 0, 70, kBlockBase },
    { "m_base.m_emulatorDelay", 1151, 1118, 0.1, 0, 5, kBlockBase },
    { "m_base.m_switchDelay", 1152, 1126, 1, 0, 120, kBlockBase },
    { "m_base.m_sparkDivider", 1153, 1138, 1, 1, 200, kBlockBase },
    { "m_base.m_pressureRef", 1014, 1127, 0.01, 0, 2, kBlockBase },
    { "m_base.m_switchPressure", 1020, 1128, 0.01, 0, 1, kBlockBase },
    { "m_base.m_maxRPMHigh", 1030, 1131, 50, 7100, 8000, kBlockBase, 7200, 7900 }, // low 7000 + 100
    { "m_base.m_maxRPMLow", 1056, 1132, 50, 3000, 7900, kBlockBase, 3100, 7800 }, // high 8000 − 100
    { "m_advancedSetup.m_maxLoadTime", 1059, 1133, 0.5, 5, 40, kBlockAdvancedSetup },
    { "m_advancedSetup.m_minimalLPGRPM", 1061, 1135, 20, 500, 2000, kBlockAdvancedSetup, 600, 1900 },
    { "m_advancedSetup.m_minLpgTempr", 1062, 1136, 1, 0, 20, kBlockAdvancedSetup },
    { "m_advancedSetup.m_lubricationShare", 1063, 1139, 1, 0, 100, kBlockAdvancedSetup },
    { "m_adv.m_pwm", 1010, 1096, 1, 15, 50, kBlockAdv },
    { "m_adv.m_pwmOffset", 1011, 1097, 0.1, 1, 6, kBlockAdv },
    { "m_adv.m_warmingTime", 1012, 1098, 1, 0, 120, kBlockAdv },
    { "m_adv.m_warmingUpperTempr", 1029, 1107, 1, 20, 70, kBlockAdv },
    { "m_adv.m_minLPGTime", 1013, 1099, 0.1, 0, 6, kBlockAdv },
    { "m_base.m_baseExtraTime", 1005, 1095, 0.1, 0.5, 4, kBlockBase },
    { "m_adv.m_cutOffPressSwitch", 1014, 1100, 0.01, 1, 2, kBlockAdv },
    { "m_adv.m_cutOffExitDelay", 1020, 1101, 1, 0, 20, kBlockAdv },
    { "m_adv.m_cutOffExitEmulatorDelay", 1030, 1102, 0.1, 0, 5, kBlockAdv },
    { "m_adv.m_ignoreLPGTime", 1000, 1090, 0.1, 0, 6, kBlockAdv },
    { "m_base.m_temprRef", 1001, 1091, 1, 0, 40, kBlockBase },
    { "m_base.m_temprGain", 1002, 1092, 0.1, 0, 1, kBlockBase },
    { "m_base.m_temprBottom", 1003, 1093, 1, 0, 40, kBlockBase },
    { "m_base.m_temprUpper", 1004, 1094, 1, 0, 80, kBlockBase }, // bottom 0
    { "m_base.m_switchMinGasTime", 1059, 1103, 0.1, 0, 10, kBlockBase },
    { "m_advancedSetup.m_switchCorr", 1060, 1104, 1, -50, 50, kBlockAdvancedSetup },
    { "m_advancedSetup.m_switchCorrTime", 1061, 1106, 1, 20, 120, kBlockAdvancedSetup },
    { "m_base.m_minVCC", 1062, 1108, 0.1, 8, 12, kBlockBase },
};

const CSettingField& field(const std::string& key)
{
    const CSettingField* f = CSettingsTable::find(key);
    if (!f)
        throw std::runtime_error("no field " + key);
    return *f;
}

class EverySpin : public ::testing::TestWithParam<SpinRow> {};

TEST_P(EverySpin, StepsAndRangeEnds)
{
    const SpinRow& row = GetParam();
    const CSettingField& f = field(row.key);
    EXPECT_EQ(f.kind, SettingKind::Spin);
    EXPECT_EQ(f.controlId, row.edit);
    EXPECT_EQ(f.spinId, row.spin);
    EXPECT_EQ(f.blocks, row.blocks);
    EXPECT_DOUBLE_EQ(f.step, row.step);
    EXPECT_EQ(CSettingsTable::byControl(f.page, row.spin), &f);

    CSettingsImage image;
    EXPECT_DOUBLE_EQ(CSettingsTable::rangeMin(f, image), row.min);
    EXPECT_DOUBLE_EQ(CSettingsTable::rangeMax(f, image), row.max);
    EXPECT_TRUE(CSettingsTable::allows(f, image, row.min));
    EXPECT_TRUE(CSettingsTable::allows(f, image, row.max));
    EXPECT_FALSE(CSettingsTable::allows(f, image, row.min - row.step));
    EXPECT_FALSE(CSettingsTable::allows(f, image, row.max + row.step));

    // At the lower end: the lower arrow is refused, the upper arrow adds one step.
    CSettingsTable::setValue(f, image, row.min);
    const CSettingsImage atMin = image;
    EXPECT_FALSE(CSettingsTable::spin(f, image, +1).has_value());
    const auto up = CSettingsTable::spin(f, image, -1);
    ASSERT_TRUE(up.has_value());
    EXPECT_NEAR(*up, std::isnan(row.upFromMin) ? row.min + row.step : row.upFromMin, 1e-9);
    EXPECT_EQ(image, atMin) << "the rule itself never changes the image";

    // At the upper end: the upper arrow is refused, the lower arrow takes one step off.
    CSettingsTable::setValue(f, image, row.max);
    EXPECT_FALSE(CSettingsTable::spin(f, image, -1).has_value());
    const auto down = CSettingsTable::spin(f, image, +1);
    ASSERT_TRUE(down.has_value());
    EXPECT_NEAR(*down, std::isnan(row.downFromMax) ? row.max - row.step : row.downFromMax, 1e-9);
    EXPECT_NEAR(CSettingsTable::value(f, image), row.max, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(BothPages, EverySpin, ::testing::ValuesIn(kSpins),
                         [](const auto& info) {
                             std::string name = info.param.key;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(SettingsTable, EverySpinOfThePagesIsInTheRows)
{
    std::size_t spins = 0;
    for (const auto& f : CSettingsTable::fields())
        spins += f.kind == SettingKind::Spin;
    EXPECT_EQ(spins, std::size(kSpins));
}

// The controller reads a speed back to 100 rpm: steps of 20 that would read
// back as the old speed are passed over, so the spin reaches exactly the
// hundreds, each of which reads back as itself.
TEST(SettingsTable, SwitchOverSpeedWalksThroughSpeedsThatReadBackAsThemselves)
{
    const CSettingField& f = field("m_base.m_switchRPM");
    CSettingsImage image;
    CSettingsTable::setValue(f, image, 500);
    std::set<double> reached;
    while (const auto next = CSettingsTable::spin(f, image, -1)) {
        CSettingsTable::setValue(f, image, *next);
        reached.insert(*next);
    }
    EXPECT_EQ(CSettingsTable::value(f, image), 4000);
    EXPECT_EQ(reached.size(), 35u);
    EXPECT_EQ(*reached.begin(), 600);
    for (const double rpm : reached)
        EXPECT_EQ(std::fmod(rpm, 100), 0) << rpm;
    EXPECT_EQ(CSettingsTable::rangeText(f, image), L"500 … 4000 rpm, step 20");
}

// What is stored is what the controller, holding it, reads back: 1250 rpm
// would travel as the period 3840, which reads back as 1300.
TEST(SettingsTable, StoredValuesReadBackAsThemselves)
{
    CSettingsImage image;
    const CSettingField& rpm = field("m_base.m_switchRPM");
    EXPECT_EQ(CSettingsTable::snap(rpm, image, 1250), 1300);
    CSettingsTable::setValue(rpm, image, 1250);
    EXPECT_EQ(image.m_base.m_switchRPM, 1300);
    // 10.3 V travels as the byte 88, which reads back as 10.4 V.
    EXPECT_DOUBLE_EQ(CSettingsTable::snap(field("m_base.m_minVCC"), image, 10.3), 10.4);
    // A temperature between two entries of the sensor's table takes the lower one.
    image.m_sensorsSetup.m_temprLPGSensor = 3;
    EXPECT_EQ(CSettingsTable::snap(field("m_base.m_temprUpper"), image, 79), 77);
    // Values that travel exactly stay as they are; so do boxes and lists.
    EXPECT_DOUBLE_EQ(CSettingsTable::snap(field("m_base.m_pressureRef"), image, 1.21), 1.21);
    EXPECT_EQ(CSettingsTable::snap(*CSettingsTable::byControl(SettingsPage::Settings, 1057), image, 1), 1);
    // Every value any spin reaches anywhere in its range survives a write and a read.
    for (const auto& f : CSettingsTable::fields()) {
        if (f.kind != SettingKind::Spin)
            continue;
        CSettingsImage walk;
        CSettingsTable::setValue(f, walk, CSettingsTable::rangeMin(f, walk));
        while (const auto next = CSettingsTable::spin(f, walk, -1)) {
            CSettingsTable::setValue(f, walk, *next);
            ASSERT_NEAR(CSettingsTable::snap(f, walk, *next), *next, 1e-9) << f.key;
        }
    }
}

TEST(SettingsTable, PairedSpeedLimitsInBothOrders)
{
    const CSettingField& high = field("m_base.m_maxRPMHigh");
    const CSettingField& low = field("m_base.m_maxRPMLow");
    CSettingsImage image;
    image.m_base.m_maxRPMLow = 5000;
    image.m_base.m_maxRPMHigh = 5100;
    EXPECT_FALSE(CSettingsTable::spin(high, image, +1).has_value()) << "high down to 5050";
    EXPECT_FALSE(CSettingsTable::spin(low, image, -1).has_value()) << "low up to 5050";
    // 5150 and 4950 would read back as 5100 and 5000: the next step is taken.
    EXPECT_EQ(CSettingsTable::spin(high, image, -1), 5200);
    EXPECT_EQ(CSettingsTable::spin(low, image, +1), 4900);
    // Moving one limit opens the other.
    image.m_base.m_maxRPMHigh = 5200;
    EXPECT_EQ(CSettingsTable::spin(low, image, -1), 5100);
    EXPECT_EQ(CSettingsTable::rangeText(low, image), L"3000 … 5100 rpm, step 50");
}

TEST(SettingsTable, PressuresAreShownInBar)
{
    const CSettingField& f = field("m_base.m_pressureRef");
    CSettingsImage image;
    image.m_base.m_pressureRef = 120;
    EXPECT_EQ(CSettingsTable::text(f, image), L"1.20");
    const auto up = CSettingsTable::spin(f, image, -1);
    ASSERT_TRUE(up.has_value());
    CSettingsTable::setValue(f, image, *up);
    EXPECT_DOUBLE_EQ(image.m_base.m_pressureRef, 121);
    EXPECT_EQ(CSettingsTable::rangeText(f, image), L"0.00 … 2.00 bar, step 0.01");
}

TEST(SettingsTable, MaximumLoadIsOffAtZeroButTheSpinKeepsToItsRange)
{
    const CSettingField& f = field("m_advancedSetup.m_maxLoadTime");
    CSettingsImage image;
    EXPECT_TRUE(CSettingsTable::allows(f, image, 0));
    EXPECT_FALSE(CSettingsTable::allows(f, image, 4.5));
    EXPECT_FALSE(CSettingsTable::spin(f, image, -1).has_value()) << "0.5 is neither off nor in 5 … 40";
    const CSettingField& box = *CSettingsTable::byControl(SettingsPage::Settings, 1058);
    CSettingsTable::setValue(box, image, 1);
    EXPECT_DOUBLE_EQ(image.m_advancedSetup.m_maxLoadTime, 20);
    CSettingsTable::setValue(box, image, 0);
    EXPECT_DOUBLE_EQ(image.m_advancedSetup.m_maxLoadTime, 0);
}

TEST(SettingsTable, CheckBoxesToggleTheirBitOnly)
{
    struct Box {
        SettingsPage page;
        int id;
        uint32_t bit;
        uint8_t blocks;
        bool restart;
    };
    const Box boxes[] = {
        { SettingsPage::Settings, 1057, 0x02, kBlockBase, false },
        { SettingsPage::Advanced, 1070, 0x01, kBlockAdv, false },
        { SettingsPage::Advanced, 1056, 0x04, kBlockAdv, false },
        { SettingsPage::Advanced, 1007, 0x08, kBlockAdv, false },
        { SettingsPage::Advanced, 1006, 0x01, kBlockAdv, true },
        { SettingsPage::Advanced, 1008, 0x02, kBlockAdv, true },
        { SettingsPage::Advanced, 1068, 0x20, kBlockBase, false },
        { SettingsPage::Advanced, 1057, 0x40, kBlockBase, false },
        { SettingsPage::Advanced, 1058, 0x80, kBlockBase, false },
        { SettingsPage::Advanced, 1069, 0x04, kBlockAdvancedSetup, false },
    };
    for (const auto& b : boxes) {
        const CSettingField* f = CSettingsTable::byControl(b.page, b.id);
        ASSERT_NE(f, nullptr) << b.id;
        EXPECT_EQ(f->bit, b.bit) << b.id;
        EXPECT_EQ(f->blocks, b.blocks) << b.id;
        EXPECT_EQ(f->restart, b.restart) << b.id;
        CSettingsImage image;
        const double before = f->get(image);
        const bool was = CSettingsTable::value(*f, image) != 0;
        CSettingsTable::setValue(*f, image, was ? 0 : 1);
        EXPECT_EQ(static_cast<uint32_t>(f->get(image)) ^ static_cast<uint32_t>(before), b.bit) << b.id;
    }
    EXPECT_EQ(CSettingsTable::find("m_base.m_flags:0x02"), CSettingsTable::byControl(SettingsPage::Settings, 1057));
}

TEST(SettingsTable, ValueListsStoreTheirValues)
{
    CSettingsImage image;
    const CSettingField& fuel = *CSettingsTable::byControl(SettingsPage::Settings, 1148);
    EXPECT_TRUE(fuel.restart);
    CSettingsTable::setValue(fuel, image, 1);
    EXPECT_EQ(image.m_advancedSetup.m_advancedFlags, 0x18);
    EXPECT_EQ(CSettingsTable::text(fuel, image), L"CNG");

    const CSettingField& pressure = *CSettingsTable::byControl(SettingsPage::Settings, 1114);
    EXPECT_TRUE(pressure.restart);
    EXPECT_EQ(CSettingsTable::text(pressure, image), L"ABS 4 bar");

    const CSettingField& injector = field("m_adv.m_injectorType");
    ASSERT_EQ(injector.items.size(), 24u);
    EXPECT_EQ(injector.items.front().value, 29);
    EXPECT_EQ(injector.items.back().value, 12);
    double v = 0;
    ASSERT_TRUE(CSettingsTable::parse(injector, L"Keihin", v));
    EXPECT_EQ(v, 5);
    EXPECT_FALSE(CSettingsTable::parse(injector, L"Keihin 2", v));
    ASSERT_TRUE(CSettingsTable::parse(field("m_base.m_pressureRef"), L"1.234", v));
    EXPECT_DOUBLE_EQ(v, 1.23);
    EXPECT_FALSE(CSettingsTable::parse(field("m_base.m_pressureRef"), L"1.2 bar", v));

    const CSettingField& source = *CSettingsTable::byControl(SettingsPage::Settings, 1092);
    EXPECT_EQ(source.blocks, kBlockAdvancedSetup | kBlockBase);
    CSettingsTable::setValue(source, image, 10);
    EXPECT_EQ(image.m_base.m_sparkDivider, 62);
    EXPECT_EQ(image.m_advancedSetup.m_advancedFlags2 & 0x40, 0);
    CSettingsTable::setValue(source, image, 9);
    EXPECT_EQ(image.m_base.m_sparkDivider, 1);
    EXPECT_EQ(image.m_advancedSetup.m_advancedFlags2 & 0x40, 0x40);
    EXPECT_TRUE(CSettingsTable::dividerLocked(image));
    CSettingsTable::setValue(source, image, 4);
    EXPECT_EQ(image.m_base.m_sparkDivider, 4);
    EXPECT_FALSE(CSettingsTable::dividerLocked(image));
    EXPECT_EQ(CSettingsTable::value(source, image), 4);

    const CSettingField& level = *CSettingsTable::byControl(SettingsPage::Settings, 1115);
    CSettingsTable::setValue(level, image, 1);
    EXPECT_EQ(image.m_sensorsSetup.m_fuelFull, 45);
    EXPECT_EQ(image.m_sensorsSetup.m_fuelQuarter, 230);
    EXPECT_EQ(image.m_sensorsSetup.m_fuelType, 1);
    EXPECT_EQ(CSettingsTable::value(level, image), 1);

    std::size_t restarts = 0;
    for (const auto& f : CSettingsTable::fields())
        restarts += f.restart;
    EXPECT_EQ(restarts, 4u);
}

TEST(SettingsFileCheck, NamesEveryValueOutsideItsRangeAndClampsOnRequest)
{
    CSettingsImage image;
    EXPECT_TRUE(checkLoadedSettings(image).empty());
    image.m_base.m_switchRPM = 99999;
    image.m_mainCorr.m_mainCorr[3] = 1e308;
    image.m_corrMap.m_injMapTable[0][0] = 155;
    image.m_base.m_maxRPMLow = 7950; // closer than 100 to the switch to petrol at 8000
    const auto problems = checkLoadedSettings(image);
    std::set<std::string> keys;
    for (const auto& p : problems)
        keys.insert(p.key);
    EXPECT_EQ(keys, (std::set<std::string> { "m_base.m_switchRPM", "m_base.m_maxRPMHigh", "m_base.m_maxRPMLow",
                                             "m_mainCorr.m_mainCorr[3]", "m_injMapTable[2][1000]" }));
    const std::wstring text = describeProblems(problems);
    EXPECT_NE(text.find(L"m_base.m_switchRPM = 99999 rpm (500 … 4000 rpm, step 20)"), std::wstring::npos);
    EXPECT_NE(text.find(L"m_injMapTable[2][1000] = 155 % (-50 … 50 %)"), std::wstring::npos);

    EXPECT_EQ(describeProblems(problems, 2).substr(describeProblems(problems, 2).rfind(L"…")), L"… +3\n");
    EXPECT_EQ(describeProblems(problems, 4), text) << "a last line is shown rather than counted";

    clampLoadedSettings(image);
    EXPECT_TRUE(checkLoadedSettings(image).empty()) << describeProblems(checkLoadedSettings(image)).c_str();
    EXPECT_EQ(image.m_base.m_switchRPM, 4000);
    EXPECT_EQ(image.m_mainCorr.m_mainCorr[3], 6.0);
    EXPECT_EQ(image.m_corrMap.m_injMapTable[0][0], 50);
}

// A paired limit that leaves no room is never shown as an upside-down range:
// the field's own range and the other field that takes the room away.
TEST(SettingsTable, EmptyPairedRangeNamesWhatItConflictsWith)
{
    CSettingsImage image;
    image.m_base.m_maxRPMHigh = 500;
    image.m_base.m_maxRPMLow = 400;
    EXPECT_EQ(CSettingsTable::rangeText(field("m_base.m_maxRPMLow"), image),
              L"3000 … 7900 rpm, step 50; sprzeczne z m_base.m_maxRPMHigh = 500 rpm, "
              L"które musi wynosić co najmniej 3100 rpm");
    image = CSettingsImage();
    image.m_base.m_maxRPMLow = 7950;
    EXPECT_EQ(CSettingsTable::rangeText(field("m_base.m_maxRPMHigh"), image),
              L"3000 … 8000 rpm, step 50; sprzeczne z m_base.m_maxRPMLow = 7950 rpm, "
              L"które musi wynosić najwyżej 7900 rpm");
    image = CSettingsImage();
    image.m_base.m_temprBottom = 90;
    const std::wstring upper = CSettingsTable::rangeText(field("m_base.m_temprUpper"), image);
    EXPECT_NE(upper.find(L"sprzeczne z m_base.m_temprBottom = 90 °C"), std::wstring::npos) << upper;
    EXPECT_EQ(upper.find(L"90 … 80"), std::wstring::npos) << upper;
    EXPECT_FALSE(CSettingsTable::pairedConflict(field("m_base.m_temprUpper"), CSettingsImage()).has_value());
}

// The values no settings page holds: the curves and map cells within −50 … +50 %,
// and the numbers of the blocks within what their field carries (as the
// block codecs encode them).
TEST(SettingsFileCheck, CurvesAndTheBlocksOwnNumbers)
{
    CSettingsImage image;
    image.m_setupTimes1[4] = 100;
    image.m_setupTimes2[38] = -51;
    image.m_base.m_pressureGain = 20; // a signed byte of tenths: −12.8 … 12.7
    image.m_base.m_pressAverageCount = -1;
    image.m_adv.m_injectorWarmingImpulse = 7; // 255 × 0.025 ms
    image.m_base.m_rpmSignalLevel = std::nan("");
    const auto problems = checkLoadedSettings(image);
    std::vector<std::string> keys;
    for (const auto& p : problems)
        keys.push_back(p.key);
    EXPECT_EQ(keys, (std::vector<std::string> { "m_base.m_pressureGain", "m_base.m_pressAverageCount",
                                                "m_base.m_rpmSignalLevel", "m_adv.m_injectorWarmingImpulse",
                                                "m_setupTimes1[5]", "m_setupTimes2[39]" }));
    const std::wstring text = describeProblems(problems);
    EXPECT_NE(text.find(L"m_base.m_pressureGain = 20 (-12.8 … 12.7)"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"m_adv.m_injectorWarmingImpulse = 7 ms (0 … 6.4 ms)"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"m_setupTimes1[5] = 100 % (-50 … 50 %)"), std::wstring::npos) << text;

    const auto moves = clampLoadedSettings(image);
    EXPECT_EQ(describeMoves(moves), L"m_base.m_pressureGain: 20 → 12.7\n"
                                    L"m_base.m_pressAverageCount: -1 → 0\n"
                                    L"m_base.m_rpmSignalLevel: nan → 5 V\n"
                                    L"m_adv.m_injectorWarmingImpulse: 7 ms → 6.4 ms\n"
                                    L"m_setupTimes1[5]: 100 % → 50 %\n"
                                    L"m_setupTimes2[39]: -51 % → -50 %\n");
    EXPECT_TRUE(checkLoadedSettings(image).empty());
}

// With the reader's report: the lines it could not take are named as the
// file holds them, never clamped, and every problem carries its line.
TEST(SettingsFileCheck, LinesTheReaderCouldNotTakeAreNotClampable)
{
    CSettingsImage image;
    image.m_base.m_switchRPM = 12; // what "12abc" reads as
    image.m_setupTimes1[4] = 100;
    CSettingsReadReport report;
    report.rejected.push_back({ L"m_base.m_switchRPM", 19, L"12abc", CSettingsLineProblem::NotANumber, 0, 0 });
    report.rejected.push_back({ L"m_base.m_flags", 25, L"99999", CSettingsLineProblem::DoesNotFit, 0, 255 });
    report.lines = { { L"m_base.m_switchRPM", 19 }, { L"m_base.m_flags", 25 }, { L"m_setupTimes1[5]", 81 } };
    const auto problems = checkLoadedSettings(image, &report);
    ASSERT_EQ(problems.size(), 3u) << "the switch-over speed once, as the file holds it";
    EXPECT_FALSE(allClampable(problems));
    EXPECT_EQ(describeProblems(problems), L"m_base.m_switchRPM (wiersz 19): 12abc (to nie jest liczba)\n"
                                          L"m_base.m_flags (wiersz 25): 99999 (nie mieści się w swoim polu: 0 … 255)\n"
                                          L"m_setupTimes1[5] (wiersz 81): 100 % (-50 … 50 %)\n");
    EXPECT_TRUE(allClampable(checkLoadedSettings(image)));
}

// Whatever a damaged file holds, clamping leaves nothing for the check to find,
// and says of every value it moved where from and where to.
TEST(SettingsFileCheck, ClampingAlwaysEndsInAnAllowedImage)
{
    std::mt19937 random(27);
    std::uniform_real_distribution<double> wild(-1e5, 1e5);
    std::uniform_int_distribution<int> byte(0, 255);
    const double specials[] = { std::nan(""), 1e300, -1e300, 0, -0.0 };
    for (int round = 0; round < 200; ++round) {
        CSettingsImage image;
        auto pick = [&] { return round % 7 == 0 ? specials[random() % 5] : wild(random); };
        for (const auto& f : CSettingsTable::fields())
            if (f.put && f.inFile)
                f.put(image, f.bit != 0 || f.kind == SettingKind::List ? byte(random) : pick());
        image.m_base.m_pressureGain = pick();
        image.m_base.m_pressAverageCount = pick();
        image.m_base.m_rpmSignalLevel = pick();
        image.m_adv.m_injectorWarmingImpulse = pick();
        for (double& v : image.m_mainCorr.m_mainCorr)
            v = pick();
        for (double& v : image.m_setupTimes1)
            v = pick();
        for (double& v : image.m_setupTimes2)
            v = pick();
        for (auto& row : image.m_corrMap.m_injMapTable)
            for (double& v : row)
                v = pick();
        const auto problems = checkLoadedSettings(image);
        const auto moves = clampLoadedSettings(image);
        const auto left = checkLoadedSettings(image);
        ASSERT_TRUE(left.empty()) << "round " << round << ":\n" << describeProblems(left);
        std::set<std::string> moved;
        for (const auto& m : moves)
            moved.insert(m.key);
        // A paired limit may be settled by moving the other field instead.
        const std::set<std::string> paired { "m_base.m_maxRPMHigh", "m_base.m_maxRPMLow", "m_base.m_temprUpper" };
        for (const auto& p : problems)
            EXPECT_TRUE(moved.count(p.key) || paired.count(p.key)) << p.key << " was a problem and did not move";
        EXPECT_EQ(describeMoves(moves).find(L"…"), std::wstring::npos);
        EXPECT_EQ(clampLoadedSettings(image).size(), 0u) << "a clamped image moves no further";
    }
}

TEST(SettingsComparison, KeyByKeyInThePagesUnits)
{
    CSettingsImage a;
    CSettingsImage b;
    b.m_timeStamp = L"07-12-2026-14:05:09";
    b.m_devInfo.m_serial = L"XZ0001";
    b.m_base.m_switchRPM = 1400;
    b.m_base.m_pressureRef = 120;
    b.m_base.m_flags |= kBaseMaxRpmActive;
    const auto withController = compareSettings(a, b, true);
    ASSERT_EQ(withController.size(), 3u);
    EXPECT_EQ(withController[0].key, "m_base.m_switchRPM");
    EXPECT_EQ(withController[0].a, "1200 rpm");
    EXPECT_EQ(withController[0].b, "1400 rpm");
    // A flag word by the box that changed in it, under the name korvana-cli takes.
    EXPECT_EQ(withController[1].key, "m_base.m_flags:0x02");
    EXPECT_EQ(withController[1].a, "0");
    EXPECT_EQ(withController[1].b, "1");
    EXPECT_EQ(withController[2].key, "m_base.m_pressureRef");
    EXPECT_EQ(withController[2].b, "1.20 bar");
    const auto files = compareSettings(a, b, false);
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[0].key, "m_devInfo.m_serial");
    EXPECT_TRUE(compareSettings(b, b, false).empty());

    // A bit no box shows still shows as the whole word, beside the boxes that changed.
    CSettingsImage c = a;
    c.m_base.m_flags ^= 0x01 | kBaseFastSwitchToLpg;
    const auto flags = compareSettings(a, c, true);
    ASSERT_EQ(flags.size(), 2u);
    EXPECT_EQ(flags[0].key, "m_base.m_flags:0x40");
    EXPECT_EQ(flags[1].key, "m_base.m_flags");
    EXPECT_EQ(flags[1].b, std::to_string(c.m_base.m_flags));
}

TEST(SettingsComparison, EveryDifferenceNamedByItsPage)
{
    // Every line of a file changed: texts get a letter, bytes every bit, other numbers one more.
    const CSettingsImage a;
    const std::string path = scratch("changed.settings");
    {
        CSettingsFile file;
        ASSERT_TRUE(file.open(path, true));
        for (const auto& [key, value] : settingsLines(a)) {
            std::wstring changed = value + L"X";
            if (CSettingsFile::isNumber(value)) {
                const double v = CSettingsFile::parseNumber(value);
                const bool byte = v >= 0 && v <= 255 && std::trunc(v) == v;
                const std::string number
                    = CSettingsFile::formatNumber(byte ? static_cast<double>(static_cast<int>(v) ^ 0xFF) : v + 1);
                changed.assign(number.begin(), number.end());
            }
            file.writeString(key, changed);
        }
        ASSERT_TRUE(file.commit());
    }
    CSettingsImage b;
    ASSERT_TRUE(readSettingsForComparison(path, b));
    const auto differences = compareSettings(a, b, false);
    std::set<std::string> members;
    for (const auto& d : differences) {
        members.insert(d.key.substr(0, d.key.find(':')));
        const CShownSettingName name = shownSettingName(d.key);
        EXPECT_NE(name.name.find(L" \u203A "), std::wstring::npos) << d.key << " has no page and label";
    }
    for (const auto& [key, value] : settingsLines(a)) {
        if (key != L"m_timeStamp") {
            EXPECT_EQ(members.count(toUtf8(key)), 1u) << toUtf8(key) << " did not differ";
        }
    }

    // Boxes of the other dialogs are told apart by their bit; units where the page shows one.
    EXPECT_EQ(shownSettingName("m_base.m_flags:0x04").name, L"Ustawienia konsolki \u203A Sygnał buzzera ciągły");
    EXPECT_EQ(shownSettingName("m_sensorsSetup.m_fuelHgw").name, L"Czujnik poziomu gazu \u203A 3/4");
    EXPECT_EQ(shownSettingName("m_adv.m_injConfMap[2]").name, L"Odczyty \u203A Wyjście wtryskiwacza 3");
    EXPECT_EQ(shownSettingName("m_base.m_rpmSignalLevel").unit, L"V");
    EXPECT_EQ(shownSettingName("m_mainCorr.m_mainCorr[0]").unit, L"ms");
    EXPECT_TRUE(shownSettingName("m_base.m_switchRPM").unit.empty()) << "its value carries the unit";
}

TEST(InfoTexts, WorkingTimeAndInspection)
{
    EXPECT_EQ(workingTimeText(7200000), L"1000 h: 00 min");
    EXPECT_EQ(workingTimeText(7200 * 2 + 61 * 2 * 60), L"   3 h: 01 min");
    CSettingsImage image;
    image.m_devInfo.m_statistic.lpg = 7200000;
    EXPECT_FALSE(kmToInspection(image).has_value());
    image.m_advancedSetup.m_advancedFlags |= kAdvInspectionReminder;
    image.m_advancedSetup.m_inspectionCounter = inspectionDeadline(7200000, 5000);
    EXPECT_EQ(image.m_advancedSetup.m_inspectionCounter, 7920000u);
    EXPECT_EQ(kmToInspection(image), 5000);
    image.m_devInfo.m_statistic.lpg = static_cast<uint32_t>(1099.9 * 7200);
    EXPECT_EQ(kmToInspection(image), 50);
    image.m_devInfo.m_statistic.lpg = 7920000 + 7200;
    EXPECT_EQ(kmToInspection(image), 0);
}

} // namespace
