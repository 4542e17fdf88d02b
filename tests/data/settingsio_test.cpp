// SPDX-License-Identifier: GPL-3.0-or-later
// The settings-file writer and reader against a golden file written by hand
// from the format rules: byte-for-byte output, reading back, key order, the
// optional keys, number round trips and the conversions of integer members.
#include <app/data/settingsio.h>

#include "../support/scratchfolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

namespace {

const std::string kGolden = std::string(KORVANA_TEST_DATA_DIR) + "/golden/known.settings";

std::string readRaw(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeRaw(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// The image the golden file holds.
CSettingsImage knownImage()
{
    CSettingsImage im;
    im.m_timeStamp = L"08-12-2026-10:15:30";
    auto& d = im.m_devInfo;
    d.m_version = 774;
    d.m_injCount = 4;
    d.m_serial = L"ABC1234567890XYZ";
    d.m_prodDate = L"15/03/2010";
    d.m_flags1 = 4000000000u;
    d.m_flags2 = 7;
    d.m_deviceID = 5;
    d.m_statistic = { 1234567, 765432, 12 };
    im.m_carInfo = { L"Opel", L"Astra G", L"1.6 8V", L"", L"2001", L"Rail\ttyp 30", 1.2 };
    auto& b = im.m_base;
    b.m_switchRPM = 1800;
    b.m_switchTempr = 40;
    b.m_sparkDivider = 2;
    b.m_switchPressure = 55.5;
    b.m_switchDelay = 45;
    b.m_switchMinGasTime = 1.5;
    b.m_flags = 138;
    b.m_emulatorDelay = 2;
    b.m_pressureGain = 2.35;
    b.m_pressureRef = 110;
    b.m_pressAverageCount = 0.8;
    b.m_temprRef = 20;
    b.m_temprGain = 0.3;
    b.m_temprBottom = -5;
    b.m_temprUpper = 85;
    b.m_minVCC = 10.5;
    b.m_rpmSignalLevel = 5;
    b.m_maxRPMHigh = 6500;
    b.m_maxRPMLow = 6000;
    auto& a = im.m_adv;
    a.m_pwmOffset = 4.5;
    a.m_pwm = 50;
    a.m_injectorWarmingImpulse = 2;
    a.m_warmingTime = 30;
    a.m_warmingUpperTempr = 50;
    a.m_injectorType = 3;
    a.m_minLPGTime = 0.25;
    a.m_ignoreLPGTime = 0.125;
    a.m_engineSignalBehavior = 1;
    a.m_flags = 3;
    a.m_injConfMap = { 1, 2, 4, 8, 16, 32, 64, 128 };
    a.m_cutOffExitDelay = 0.5;
    a.m_cutOffExitEmulatorDelay = 1;
    a.m_cutOffPressSwitch = 150;
    im.m_mainCorr.m_mainCorr = { 1.25, 1.3, 1.2, 1.275, 1, 1, 1, 1 };
    auto& s = im.m_sensorsSetup;
    s.m_lambdaSecond = 0;
    s.m_lambdaType = 2;
    s.m_fuelFull = 90;
    s.m_fuelHgw = 150;
    s.m_fuelHalf = 195;
    s.m_fuelQuarter = 238;
    s.m_fuelRes = 1;
    s.m_fuelType = 1;
    s.m_temprEngineSensor = 1;
    s.m_temprLPGSensor = 2;
    for (int i = 0; i < 39; ++i) {
        im.m_setupTimes1[i] = (i + 1) - 20;
        im.m_setupTimes2[i] = 0.5 * (i + 1);
    }
    im.m_tableMask = 3;
    for (int r = 0; r < 19; ++r)
        for (int c = 0; c < 15; ++c)
            im.m_corrMap.m_injMapTable[r][c] = (r * 15 + c) % 41 - 20;
    im.m_corrMap.m_flags = 1;
    auto& x = im.m_advancedSetup;
    x.m_minimalLPGRPM = 700;
    x.m_switchCorr = -5;
    x.m_switchCorrTime = 20;
    x.m_maxLoadTime = 0.00005;
    x.m_minLpgTempr = -10;
    x.m_advancedFlags = 21;
    x.m_advancedFlags2 = 40;
    x.m_advancedFlags3 = 1;
    return im;
}

// What reading the golden file into a fresh image gives.
CSettingsImage knownAfterReading()
{
    CSettingsImage im = knownImage();
    const CSettingsImage fresh;
    im.m_devInfo.m_serial = L"ABC1234567890XY";
    im.m_devInfo.m_statistic.gas = 1234570;
    im.m_devInfo.m_modelName = fresh.m_devInfo.m_modelName;
    im.m_advancedSetup.m_maxLoadTime = fresh.m_advancedSetup.m_maxLoadTime;
    im.m_advancedSetup.m_minLpgTempr = fresh.m_advancedSetup.m_minLpgTempr;
    im.m_advancedSetup.m_advancedFlags2 = fresh.m_advancedSetup.m_advancedFlags2;
    im.m_advancedSetup.m_advancedFlags3 = fresh.m_advancedSetup.m_advancedFlags3;
    return im;
}

TEST(SettingsWriter, MatchesTheGoldenFileByteForByte)
{
    const std::string path = scratch("written.settings");
    ASSERT_TRUE(writeSettings(path, knownImage()));
    const std::string written = readRaw(path);
    const std::string golden = readRaw(kGolden);
    ASSERT_FALSE(golden.empty());
    // Compare line by line first so a difference names its key.
    std::istringstream a(written), b(golden);
    std::string la, lb;
    int n = 0;
    while (std::getline(b, lb)) {
        ++n;
        ASSERT_TRUE(std::getline(a, la)) << "missing line " << n;
        ASSERT_EQ(la, lb) << "line " << n;
    }
    EXPECT_EQ(n, 449);
    EXPECT_EQ(written, golden);
}

TEST(SettingsReader, ReadsTheGoldenFile)
{
    CSettingsImage im;
    ASSERT_TRUE(readSettings(kGolden, im));
    EXPECT_TRUE(im == knownAfterReading());
    EXPECT_EQ(im.m_advancedSetup.m_switchCorr, -5);
    EXPECT_EQ(im.m_devInfo.m_flags1, 4000000000u);
}

TEST(SettingsReader, OrderAndExtraLinesDoNotMatter)
{
    std::vector<std::string> lines;
    {
        std::istringstream in(readRaw(kGolden));
        std::string l;
        while (std::getline(in, l))
            lines.push_back(l + "\n");
    }
    std::string shuffled = "comment line without tab\r\nunknown.key\t5\r\n";
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        shuffled += *it;
    const std::string path = scratch("shuffled.settings");
    writeRaw(path, shuffled);
    CSettingsImage im;
    ASSERT_TRUE(readSettings(path, im));
    EXPECT_TRUE(im == knownAfterReading());
}

TEST(SettingsReader, OptionalKeysMayBeMissingRequiredMayNot)
{
    const std::string golden = readRaw(kGolden);
    auto without = [&](const std::vector<std::string>& keys) {
        std::istringstream in(golden);
        std::string out, l;
        while (std::getline(in, l)) {
            bool drop = false;
            for (const auto& k : keys)
                drop = drop || l.rfind(k + "\t", 0) == 0;
            if (!drop)
                out += l + "\n";
        }
        return out;
    };
    const std::string optional = scratch("optional.settings");
    writeRaw(optional,
             without({ "m_advancedSetup.m_maxLoadTime", "m_advancedSetup.m_minLpgTempr",
                       "m_advancedSetup.m_advancedFlags2", "m_advancedSetup.m_advancedFlags3" }));
    CSettingsImage im;
    ASSERT_TRUE(readSettings(optional, im));
    EXPECT_TRUE(im == knownAfterReading());

    // A missing required key fails the read; what was read before it stays read.
    const std::string broken = scratch("broken.settings");
    writeRaw(broken, without({ "m_mainCorr.m_mainCorr[3]" }));
    CSettingsImage partial;
    EXPECT_FALSE(readSettings(broken, partial));
    EXPECT_EQ(partial.m_base.m_switchRPM, 1800);
    EXPECT_EQ(partial.m_corrMap.m_flags, CSettingsImage().m_corrMap.m_flags);
    CSettingsImage none;
    EXPECT_FALSE(readSettings(scratch("does-not-exist.settings"), none));
}

TEST(SettingsReader, IntegerMembersTruncateAndKeepTheirLowBits)
{
    std::string text = readRaw(kGolden);
    auto replace = [&](const std::string& key, const std::string& value) {
        const std::size_t at = text.find(key + "\t");
        ASSERT_NE(at, std::string::npos) << key;
        const std::size_t end = text.find("\r\n", at);
        text.replace(at, end - at, key + "\t" + value);
    };
    replace("m_base.m_flags", "300.9"); // low 8 bits of 300
    replace("m_devInfo.m_statistic.modify", "70000"); // low 16 bits
    replace("m_devInfo.m_flags2", "4294967295");
    replace("m_advancedSetup.m_switchCorr", "250.7"); // byte 250 is -6 as the controller holds it
    replace("m_base.m_switchRPM", "12abc");
    replace("m_base.m_switchTempr", "abc");
    const std::string path = scratch("ints.settings");
    writeRaw(path, text);
    CSettingsImage im;
    ASSERT_TRUE(readSettings(path, im));
    EXPECT_EQ(im.m_base.m_flags, 44);
    EXPECT_EQ(im.m_devInfo.m_statistic.modify, 4464);
    EXPECT_EQ(im.m_devInfo.m_flags2, 4294967295u);
    EXPECT_EQ(im.m_advancedSetup.m_switchCorr, -6);
    EXPECT_EQ(im.m_base.m_switchRPM, 12);
    EXPECT_EQ(im.m_base.m_switchTempr, 0);
}

// The reader loads such lines as it always did (above) and says which they
// were: by key, line and the text as the file holds it.
TEST(SettingsReader, ReportsTheLinesNotTakenAsTheyStand)
{
    std::string text = readRaw(kGolden);
    auto replace = [&](const std::string& key, const std::string& value) {
        const std::size_t at = text.find("\n" + key + "\t");
        ASSERT_NE(at, std::string::npos) << key;
        const std::size_t end = text.find("\r\n", at + 1);
        text.replace(at + 1, end - at - 1, key + "\t" + value);
    };
    replace("m_base.m_flags", "99999"); // line 25
    replace("m_base.m_temprGain", "0,3"); // line 31
    replace("m_base.m_sparkDivider", "-1"); // line 21
    replace("m_adv.m_injConfMap[2]", "2.5"); // line 50
    replace("m_devInfo.m_statistic.modify", "70000"); // line 11
    replace("m_devInfo.m_flags2", "4294967295"); // fits
    replace("m_advancedSetup.m_switchCorr", "200"); // line 443: a signed byte
    replace("m_setupTimes1[5]", "1e300"); // a number; its range is the check's question
    replace("m_setupTimes1[6]", "1e400"); // line 82: beyond a double
    replace("m_setupTimes1[7]", "nan"); // line 83
    replace("m_injMapTable[2][1000]", ""); // line 156
    replace("m_mainCorr.m_mainCorr[0]", " 1.25 "); // blanks around a number
    const std::string path = scratch("report.settings");
    writeRaw(path, text);

    CSettingsImage im;
    CSettingsReadReport report;
    ASSERT_TRUE(readSettings(path, im, &report));
    EXPECT_EQ(im.m_base.m_flags, static_cast<uint8_t>(99999)) << "still loaded as before";
    EXPECT_EQ(im.m_base.m_temprGain, 0);
    std::vector<std::tuple<std::wstring, int, std::wstring, CSettingsLineProblem::Kind>> got;
    for (const auto& p : report.rejected)
        got.emplace_back(p.key, p.line, p.value, p.kind);
    using K = CSettingsLineProblem;
    const decltype(got) expected {
        { L"m_devInfo.m_statistic.modify", 11, L"70000", K::DoesNotFit },
        { L"m_base.m_sparkDivider", 21, L"-1", K::DoesNotFit },
        { L"m_base.m_flags", 25, L"99999", K::DoesNotFit },
        { L"m_base.m_temprGain", 31, L"0,3", K::NotANumber },
        { L"m_adv.m_injConfMap[2]", 50, L"2.5", K::DoesNotFit },
        { L"m_setupTimes1[6]", 82, L"1e400", K::DoesNotFit },
        { L"m_setupTimes1[7]", 83, L"nan", K::NotANumber },
        { L"m_injMapTable[2][1000]", 156, L"", K::NotANumber },
        { L"m_advancedSetup.m_switchCorr", 443, L"200", K::DoesNotFit },
    };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(report.rejected[2].lo, 0);
    EXPECT_EQ(report.rejected[2].hi, 255);
    EXPECT_EQ(report.lineOf(L"m_timeStamp"), 1);
    EXPECT_EQ(report.lineOf(L"m_setupTimes1[5]"), 81);
    EXPECT_EQ(report.lineOf(L"m_advancedSetup.m_maxLoadTime"), 0) << "not read";

    // The golden file itself has nothing to report; a shuffled file reports the lines where they are.
    ASSERT_TRUE(readSettings(kGolden, im, &report));
    EXPECT_TRUE(report.rejected.empty());
    writeRaw(path, "m_base.m_flags\t300\r\n" + readRaw(kGolden));
    ASSERT_TRUE(readSettings(path, im, &report));
    ASSERT_EQ(report.rejected.size(), 1u);
    EXPECT_EQ(report.rejected[0].line, 1);
    EXPECT_EQ(report.lineOf(L"m_timeStamp"), 2);
}

TEST(SettingsReader, LastLineWithoutLineEndLosesItsLastCharacter)
{
    std::string text = readRaw(kGolden);
    const std::string key = "m_sensorsSetup.m_temprLPGSensor\t2\r\n";
    const std::size_t at = text.find(key);
    ASSERT_NE(at, std::string::npos);
    text.erase(at, key.size());
    const std::string path = scratch("noeol.settings");
    writeRaw(path, text + "m_sensorsSetup.m_temprLPGSensor\t23");
    CSettingsImage im;
    ASSERT_TRUE(readSettings(path, im));
    EXPECT_EQ(im.m_sensorsSetup.m_temprLPGSensor, 2);

    writeRaw(path, "m_timeStamp\t12-01-2026");
    CSettingsImage partial;
    EXPECT_FALSE(readSettings(path, partial));
    EXPECT_EQ(partial.m_timeStamp, L"12-01-202");
}

TEST(SettingsWriter, EmptyTextsRoundTripAndDiskFailureReports)
{
    CSettingsImage im = knownImage();
    im.m_carInfo.m_vendor.clear();
    const std::string path = scratch("empty-vendor.settings");
    ASSERT_TRUE(writeSettings(path, im));
    EXPECT_NE(readRaw(path).find("m_carInfo.m_vendor\t\r\n"), std::string::npos);
    CSettingsImage back;
    ASSERT_TRUE(readSettings(path, back));
    EXPECT_EQ(back.m_carInfo.m_vendor, L"");
    EXPECT_FALSE(writeSettings(scratch("no/such/folder/x.settings"), im));
}

} // namespace
