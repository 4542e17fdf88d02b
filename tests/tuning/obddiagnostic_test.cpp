// SPDX-License-Identifier: GPL-3.0-or-later
// The OBD link through a scripted gateway: the answer address and mask rules,
// the request layout, the supported-PID bitmap, connecting and the attempts
// table, the setup step, the poll with its intervals and its refusal of other
// units' answers, reading values with their options, demo readings, and
// reading and clearing trouble codes.
#include <app/data/diag.h>
#include <app/device/lpgdevice.h>
#include <app/tuning/deviceobd.h>
#include <app/tuning/obddiagnostic.h>

#include "scriptedinteraction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <functional>
#include <map>
#include <optional>

namespace {

using Bytes = std::vector<uint8_t>;
using Request = CObdDiagnostic::Request;

uint32_t u32(const Request& r, std::size_t at)
{
    return static_cast<uint32_t>(r[at]) | static_cast<uint32_t>(r[at + 1]) << 8 | static_cast<uint32_t>(r[at + 2]) << 16
        | static_cast<uint32_t>(r[at + 3]) << 24;
}

// A record-24 payload of single frames from one address.
Bytes answerOf(uint32_t from, const std::vector<Bytes>& frames)
{
    Bytes out = { static_cast<uint8_t>(frames.size()), 0 };
    for (const Bytes& data : frames) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(from >> (8 * i)));
        Bytes d = data;
        d.resize(8, 0);
        out.insert(out.end(), d.begin(), d.end());
    }
    return out;
}

// The device side: the two records, the live record and the relay, with an
// engine computer given as a function of the request.
class FakeGateway : public CObdDiagnostic {
public:
    bool connected = true;
    bool demo = false;
    bool gateway = true;
    bool settingsReadable = true;
    std::optional<CDiag> latest;
    std::array<uint8_t, 12> settings { 0xDF, 0x07, 0, 0, 0xE8, 0x07, 0, 0, 1, 2, 8, 3 };
    std::array<uint8_t, 18> config {};
    std::vector<std::array<uint8_t, 12>> settingsWritten;
    std::vector<std::array<uint8_t, 18>> configWritten;
    std::vector<Request> requests;
    double corrections[2] = { 0, 0 };
    // nullopt: the controller did not relay the request.
    std::function<std::optional<Bytes>(const Request&)> ecu;

    // The requests' service 0x01 PIDs, in order.
    std::vector<uint8_t> pids() const
    {
        std::vector<uint8_t> out;
        for (const auto& r : requests)
            if (r[13] == 0x01)
                out.push_back(r[14]);
        return out;
    }

protected:
    bool obdLinkConnected() const override { return connected; }
    bool obdDemo() const override { return demo; }
    bool obdGatewayFitted() const override { return gateway; }
    bool obdLatestReadings(CDiag& record) const override
    {
        if (latest)
            record = *latest;
        return latest.has_value();
    }
    bool obdReadSettings(std::array<uint8_t, 12>& record) override
    {
        record = settings;
        return settingsReadable;
    }
    bool obdWriteSettings(const std::array<uint8_t, 12>& record) override
    {
        settingsWritten.push_back(record);
        settings = record;
        return true;
    }
    bool obdReadConfig(std::array<uint8_t, 18>& record) override
    {
        record = config;
        return true;
    }
    bool obdWriteConfig(const std::array<uint8_t, 18>& record) override
    {
        configWritten.push_back(record);
        config = record;
        return true;
    }
    bool obdReadCorrections(double& first, double& second) override
    {
        first = corrections[0];
        second = corrections[1];
        return true;
    }
    bool obdRelay(const Request& request, std::vector<uint8_t>& answer) override
    {
        requests.push_back(request);
        const auto got = ecu ? ecu(request) : std::optional<Bytes>(Bytes { 0, 0 });
        if (!got)
            return false;
        answer = *got;
        return true;
    }
};

// An engine computer at from answering every service-0x01 PID with A = a(pid),
// PID 0x00 with bitmap, when the request goes to one of the addresses it hears.
std::function<std::optional<Bytes>(const Request&)> engine(
    uint32_t from, uint32_t bitmap, std::function<uint8_t(uint8_t)> a = [](uint8_t) { return uint8_t { 0x80 }; },
    std::vector<uint32_t> hears = { 0x7DF })
{
    return [=](const Request& r) -> std::optional<Bytes> {
        if (std::find(hears.begin(), hears.end(), u32(r, 0)) == hears.end())
            return Bytes { 0, 0 };
        if (r[13] != 0x01)
            return Bytes { 0, 0 };
        if (r[14] == 0x00)
            return answerOf(from,
                { { 6, 0x41, 0x00, static_cast<uint8_t>(bitmap >> 24), static_cast<uint8_t>(bitmap >> 16),
                    static_cast<uint8_t>(bitmap >> 8), static_cast<uint8_t>(bitmap) } });
        if (r[14] == 0x1C)
            return answerOf(from, { { 3, 0x41, 0x1C, 6 } });
        return answerOf(from, { { 3, 0x41, r[14], a(r[14]) } });
    };
}

// The supported-PID bitmap of these PIDs (PID 0x01 the most significant bit).
uint32_t bitmapOf(std::initializer_list<uint8_t> pids)
{
    uint32_t m = 0;
    for (uint8_t pid : pids)
        m |= 1u << (32 - pid);
    return m;
}

class ObdDiagnostic : public ::testing::Test {
protected:
    void SetUp() override { CObdDiagnostic::resetDemoReadings(); }

    CScriptedInteraction ui;
    CInteractionScope scope { ui };
    FakeGateway obd;
};

// The device holds its diagnostic as an OBD gateway: made once on first use,
// the same for every caller, and what a recording reads its values from.
TEST(DeviceObd, ComposedIntoTheDeviceOnceAndReadThroughItsGateway)
{
    CLPGDevice device;
    const CLPGDevice& seen = device;
    EXPECT_FALSE(obdOf(seen).established());
    EXPECT_EQ(obdOf(seen).readingText(0), L"");
    EXPECT_EQ(device.obdGateway(), nullptr) << "a look through a const device makes none";

    CObdDiagnostic& obd = obdOf(device);
    EXPECT_EQ(&obdOf(device), &obd);
    EXPECT_EQ(&obdOf(seen), &obd);
    ASSERT_EQ(device.obdGateway(), static_cast<IObdGateway*>(&obd));

    obd.setReadingText(0, L"3.5 %");
    obd.setReadingText(6, L"0.45 V");
    EXPECT_DOUBLE_EQ(device.obdGateway()->value(0), 3.5);
    EXPECT_DOUBLE_EQ(device.obdGateway()->value(6), 0.45);
    EXPECT_DOUBLE_EQ(device.obdGateway()->value(1), 0.0);
}

} // namespace

TEST(ObdRules, AnswerAddressAndMaskFollowTheRequestAndTheEngineAddress)
{
    // 11-bit: 0x7E8 with mask 0x7EF until the engine computer is known.
    EXPECT_EQ(CObdDiagnostic::answerAddress(0x7DF, 0), 0x7E8u);
    EXPECT_EQ(CObdDiagnostic::answerMask(0x7DF, 0), 0x7EFu);
    EXPECT_EQ(CObdDiagnostic::answerAddress(0x7DF, 0x7E9), 0x7E9u);
    EXPECT_EQ(CObdDiagnostic::answerMask(0x7DF, 0x7E9), 0x7EFu);
    EXPECT_EQ(CObdDiagnostic::answerAddress(0x7FF, 0), 0x7E8u);
    // 29-bit (and the K-line headers): 0x18DAF100 for both, then e and e | 0xFF.
    EXPECT_EQ(CObdDiagnostic::answerAddress(0x800, 0), 0x18DAF100u);
    EXPECT_EQ(CObdDiagnostic::answerAddress(0x18DB33F1, 0), 0x18DAF100u);
    EXPECT_EQ(CObdDiagnostic::answerMask(0x18DB33F1, 0), 0x18DAF100u);
    EXPECT_EQ(CObdDiagnostic::answerAddress(0x18DB33F1, 0x18DAF110), 0x18DAF110u);
    EXPECT_EQ(CObdDiagnostic::answerMask(0x18DB33F1, 0x18DAF110), 0x18DAF1FFu);
    EXPECT_EQ(CObdDiagnostic::answerMask(0x686A6F, 0x486B10), 0x486BFFu);

    const uint8_t pid06[] = { 0x01, 0x06 };
    EXPECT_EQ(CObdDiagnostic::makeRequest(0x7DF, 0, pid06),
        (Request { 0xDF, 0x07, 0, 0, 0xE8, 0x07, 0, 0, 0xEF, 0x07, 0, 0, 2, 0x01, 0x06, 0, 0, 0, 0, 0 }));
    const uint8_t codes[] = { 0x03 };
    EXPECT_EQ(CObdDiagnostic::makeRequest(0x18DB33F1, 0x18DAF110, codes),
        (Request {
            0xF1, 0x33, 0xDB, 0x18, 0x10, 0xF1, 0xDA, 0x18, 0xFF, 0xF1, 0xDA, 0x18, 1, 0x03, 0, 0, 0, 0, 0, 0 }));
}

TEST(ObdRules, SupportedPidBitmapEnablesReadings)
{
    using Flags = std::array<bool, 8>;
    // BE 1F A8 13: of the eight reading PIDs only 0x06, 0x07 and 0x15.
    EXPECT_EQ(
        CObdDiagnostic::supportedReadings(0xBE1FA813), (Flags { true, true, false, false, false, true, false, false }));
    EXPECT_EQ(CObdDiagnostic::supportedReadings(0), (Flags { true, true, false, false, false, false, false, false }));
    EXPECT_EQ(CObdDiagnostic::supportedReadings(bitmapOf({ 0x19 })),
        (Flags { false, false, false, false, false, false, false, true }));
    EXPECT_EQ(CObdDiagnostic::supportedReadings(bitmapOf({ 0x06, 0x07, 0x08, 0x09, 0x14, 0x15, 0x18, 0x19 })),
        (Flags { true, true, true, true, true, true, true, true }));
}

TEST(ObdRules, WholeVinIsSeventeenVinCharacters)
{
    EXPECT_TRUE(CObdDiagnostic::wholeVin("KRVZZZ1ZZAK012345"));
    EXPECT_FALSE(CObdDiagnostic::wholeVin("KRVZZZ1ZZAK01234"));
    EXPECT_FALSE(CObdDiagnostic::wholeVin("KRVZZZ1ZZAK0123456"));
    EXPECT_FALSE(CObdDiagnostic::wholeVin("KRVZZZ1ZZAK01234O")) << "no O in a VIN";
    EXPECT_FALSE(CObdDiagnostic::wholeVin(std::string_view("KRVZZZ1ZZAK0123\x00" "5", 17)));
}

TEST(ObdRules, ValueTextsWithUnitsAndOptions)
{
    struct Case {
        int reading;
        uint8_t a;
        uint8_t flags;
        const wchar_t* text;
    };
    const Case cases[] = {
        { 0, 0x80, 0, L"0.00" },
        { 0, 0x90, 0, L"12.50" },
        { 0, 0x00, 0, L"-100.00" },
        { 0, 0xFF, 0, L"99.22" },
        { 0, 0x90, 0x01, L"-12.50" },
        { 0, 0x90, 0x02, L"12.50" },
        { 1, 0x90, 0x02, L"-12.50" },
        { 1, 0x90, 0x01, L"12.50" },
        { 3, 0x70, 0x02, L"12.50" },
        { 2, 0x90, 0x04, L"2.50" },
        { 2, 0x90, 0x05, L"-2.50" },
        { 4, 0x5A, 0x07, L"0.45" },
        { 7, 0xFE, 0, L"1.27" },
        { 5, 0x00, 0, L"0.00" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(CObdDiagnostic::readingValueText(c.reading, c.a, c.flags), c.text)
            << c.reading << " " << int { c.a } << " " << int { c.flags };

    EXPECT_EQ(CObdDiagnostic::standardName(1), L"OBD II (California ARB)");
    EXPECT_EQ(CObdDiagnostic::standardName(6), L"OBD Europe (EOBD)");
    EXPECT_EQ(CObdDiagnostic::standardName(0), L"");
    EXPECT_EQ(CObdDiagnostic::standardName(7), L"");
    EXPECT_EQ(CObdDiagnostic::protocolName(0x18DB33F1, 1, 3), L"CAN 29-bit 250kb/s");
    EXPECT_EQ(CObdDiagnostic::protocolName(0x7DF, 2, 3), L"CAN 11-bit 500kb/s");
}

TEST_F(ObdDiagnostic, ConnectWritesTheBusAndIdentifiesTheEngineComputer)
{
    obd.settingsRecord().byte10 = 3;
    obd.ecu = engine(0x7E9, 0xBE1FA813);
    ASSERT_TRUE(obd.connect(0x7DF, 2, 3));
    ASSERT_EQ(obd.settingsWritten.size(), 1u);
    EXPECT_EQ(obd.settingsWritten[0], (std::array<uint8_t, 12> { 0xDF, 0x07, 0, 0, 0xE8, 0x07, 0, 0, 1, 2, 8, 3 }))
        << "enabled, the default answer address, byte 10 raised to 8";
    EXPECT_EQ(ui.clockMs(), 0u) << "no wait on CAN";
    EXPECT_EQ(obd.engineAddress(), 0x7E9u);
    EXPECT_EQ(obd.pids(), (std::vector<uint8_t> { 0x06, 0x00, 0x1C }));
    // The first request with the default answer address, the later ones with the engine's own.
    EXPECT_EQ(u32(obd.requests[0], 4), 0x7E8u);
    EXPECT_EQ(u32(obd.requests[1], 4), 0x7E9u);
    EXPECT_EQ(u32(obd.requests[1], 8), 0x7EFu);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(obd.reading(i).enabled, i == 0 || i == 1 || i == 5) << i;
    EXPECT_EQ(obd.protocolText(), L"CAN 11-bit 500kb/s");
    EXPECT_EQ(obd.standardText(), L"OBD Europe (EOBD)");

    // Byte 10 above 8 is kept; the K-line waits for its initialisation.
    obd.settingsRecord().byte10 = 9;
    obd.settingsWritten.clear();
    EXPECT_FALSE(obd.connect(0x686A6F, 3, 1));
    EXPECT_EQ(obd.settingsWritten.at(0)[10], 9);
    EXPECT_EQ(ui.clockMs(), 5000u);
    EXPECT_FALSE(obd.connect(0xC133F1, 3, 2));
    EXPECT_EQ(ui.clockMs(), 7000u);
    EXPECT_EQ(obd.protocolText(), L"");

    // An answer to another PID is no identification.
    obd.ecu = [](const Request&) { return answerOf(0x7E8, { { 3, 0x41, 0x07, 0x80 } }); };
    EXPECT_FALSE(obd.connect(0x7DF, 2, 3));
}

TEST_F(ObdDiagnostic, DetectTriesThePresentBusThenTheAttemptsTable)
{
    // A car on CAN 29-bit at 250 kbit/s: attempt 3.
    FakeGateway* gw = &obd;
    obd.ecu = [gw](const Request& r) -> std::optional<Bytes> {
        if (gw->settings[0] != 0xF1 || gw->settings[9] != 1)
            return Bytes { 0, 0 };
        return engine(0x18DAF110, 0xBE1FA813, [](uint8_t) { return uint8_t { 0x80 }; }, { 0x18DB33F1 })(r);
    };
    obd.setReadingText(0, L"1.00");
    obd.settingsRecord() = CObdSettingsRecord::fromBytes(obd.settings); // as the setup step read it
    EXPECT_EQ(obd.detect(4), 3);
    EXPECT_TRUE(obd.established());
    EXPECT_EQ(obd.readingText(0), L"");
    ASSERT_EQ(obd.settingsWritten.size(), 5u) << "the present bus, then attempts 0 … 3";
    EXPECT_EQ(obd.settingsWritten[0][0], 0xDF);
    EXPECT_EQ(obd.settingsWritten[4],
        (std::array<uint8_t, 12> { 0xF1, 0x33, 0xDB, 0x18, 0x00, 0xF1, 0xDA, 0x18, 1, 1, 8, 3 }));
    EXPECT_EQ(obd.protocolText(), L"CAN 29-bit 250kb/s");
    EXPECT_EQ(obd.engineAddress(), 0x18DAF110u);

    // Only the K-line attempts of protocol 1: nobody answers, the record goes back as it was.
    const auto before = obd.settingsRecord().toBytes();
    obd.settingsWritten.clear();
    EXPECT_EQ(obd.detect(1), 0);
    EXPECT_FALSE(obd.established());
    ASSERT_EQ(obd.settingsWritten.size(), 2u);
    EXPECT_EQ(obd.settingsWritten[0][11], 1);
    EXPECT_EQ(obd.settingsWritten[1], before);
    EXPECT_EQ(obd.settingsRecord().toBytes(), before);
    EXPECT_TRUE(ui.shown().empty());

    // Off: OBD and the automatic corrections both off.
    obd.config[0] = 5;
    obd.mapConfig().corrections = 5;
    ASSERT_TRUE(obd.switchOff());
    EXPECT_EQ(obd.settingsWritten.back()[8], 0);
    ASSERT_EQ(obd.configWritten.size(), 1u);
    EXPECT_EQ(obd.configWritten[0][0], 0);
}

TEST_F(ObdDiagnostic, SetupStepReadsTheRecordsAndIdentifiesWhenOn)
{
    obd.ecu = engine(0x7E8, 0xBE1FA813);
    obd.connected = false;
    EXPECT_FALSE(obd.setupStep());
    obd.connected = true;
    obd.gateway = false;
    EXPECT_FALSE(obd.setupStep());
    EXPECT_TRUE(obd.requests.empty());
    obd.gateway = true;

    obd.settingsReadable = false;
    EXPECT_FALSE(obd.setupStep());
    EXPECT_EQ(ui.texts(), std::vector<std::wstring> { L"Nie powiodło się odczytanie ustawień urządzenia!" });
    EXPECT_EQ(ui.shown()[0].caption, L"KORVANA");
    EXPECT_EQ(ui.shown()[0].icon, MsgIcon::Error);
    obd.settingsReadable = true;

    obd.settings[8] = 0;
    obd.config[17] = 0x01;
    obd.config[6] = 0xC1; // period 4801: 999.8 rpm
    obd.config[7] = 0x12;
    EXPECT_FALSE(obd.setupStep());
    EXPECT_FALSE(obd.established());
    EXPECT_TRUE(obd.requests.empty());
    EXPECT_EQ(obd.mapConfig().advancedFlags, 0x01);
    EXPECT_EQ(obd.mapConfig().rpmThreshold(), 1000);
    EXPECT_EQ(obd.mapConfig().toBytes(), obd.config) << "the period as read";

    obd.settings[8] = 1;
    ASSERT_TRUE(obd.setupStep());
    EXPECT_TRUE(obd.established());
    EXPECT_TRUE(obd.settingsWritten.empty()) << "the setup only reads";
    EXPECT_EQ(obd.pids(), (std::vector<uint8_t> { 0x06, 0x00, 0x1C }));
    EXPECT_EQ(obd.protocolText(), L"CAN 11-bit 500kb/s");

    // On, but the car is silent: established stays set, the step fails.
    obd.ecu = nullptr;
    EXPECT_FALSE(obd.setupStep());
    EXPECT_TRUE(obd.established());

    obd.demo = true;
    obd.requests.clear();
    EXPECT_TRUE(obd.setupStep());
    EXPECT_TRUE(obd.requests.empty());
}

TEST_F(ObdDiagnostic, PollTakesOneReadingPerTurnWithItsInterval)
{
    obd.ecu = engine(0x7E8, 0xFFFFFFFF, [](uint8_t pid) { return static_cast<uint8_t>(0x80 + pid); });
    ASSERT_TRUE(obd.connect(0x7DF, 2, 3));
    obd.setEstablished(true);
    obd.requests.clear();

    std::vector<bool> results;
    for (int turn = 0; turn < 8 * 13; ++turn)
        results.push_back(obd.pollStep());
    // Thirteen turns fall to each reading: the interval-5 readings (PIDs 0x15
    // and 0x19) are asked on the 6th and 12th of them, the others every time.
    std::map<uint8_t, int> asked;
    for (uint8_t pid : obd.pids())
        ++asked[pid];
    EXPECT_EQ(asked,
        (std::map<uint8_t, int> { { 0x06, 13 }, { 0x07, 13 }, { 0x08, 13 }, { 0x09, 13 }, { 0x14, 13 }, { 0x15, 2 },
            { 0x18, 13 }, { 0x19, 2 } }));
    for (int turn = 0; turn < 8 * 13; ++turn) {
        const int reading = turn % 8;
        const int round = turn / 8;
        const bool asks = (reading != 5 && reading != 7) || round % 6 == 5;
        EXPECT_EQ(results[static_cast<std::size_t>(turn)], asks) << "turn " << turn;
    }
    EXPECT_EQ(obd.readingText(0), L"4.69"); // (0x86 − 0x80) × 0.78125
    EXPECT_EQ(obd.readingText(4), L"0.74"); // 0x94 × 0.005
    EXPECT_DOUBLE_EQ(obd.value(0), 4.69);

    // Disabled readings are skipped: only 0x06, 0x07 and 0x15 when so supported.
    obd.ecu = engine(0x7E8, 0xBE1FA813);
    ASSERT_TRUE(obd.connect(0x7DF, 2, 3));
    obd.requests.clear();
    for (int turn = 0; turn < 18; ++turn)
        obd.pollStep();
    asked.clear();
    for (uint8_t pid : obd.pids())
        ++asked[pid];
    EXPECT_EQ(asked, (std::map<uint8_t, int> { { 0x06, 6 }, { 0x07, 6 }, { 0x15, 1 } }));
}

TEST_F(ObdDiagnostic, PollTakesOnlyTheEngineComputersSingleAnswer)
{
    obd.ecu = engine(0x7E8, bitmapOf({ 0x06, 0x07 }), [](uint8_t) { return uint8_t { 0x90 }; });
    ASSERT_TRUE(obd.connect(0x7DF, 2, 3));
    obd.setEstablished(true);

    obd.ecu = [](const Request&) { return answerOf(0x7E9, { { 3, 0x41, 0x06, 0x90 } }); };
    EXPECT_FALSE(obd.pollStep()) << "another unit's answer";
    obd.ecu = [](const Request&) { return answerOf(0x7E8, { { 3, 0x41, 0x06, 0x90 }, { 3, 0x41, 0x06, 0x90 } }); };
    EXPECT_FALSE(obd.pollStep()) << "two frames";
    obd.ecu = [](const Request&) { return std::nullopt; };
    EXPECT_FALSE(obd.pollStep()) << "not relayed";
    EXPECT_EQ(obd.readingText(0), L"");
    EXPECT_EQ(obd.readingText(1), L"");

    // The answer fills every enabled reading of its PID, whatever was asked.
    obd.ecu = [](const Request&) { return answerOf(0x7E8, { { 3, 0x41, 0x07, 0x90 } }); };
    EXPECT_TRUE(obd.pollStep());
    EXPECT_EQ(obd.readingText(1), L"12.50");
    EXPECT_EQ(obd.readingText(0), L"");

    // Not established or not connected: nothing is asked.
    obd.requests.clear();
    obd.setEstablished(false);
    EXPECT_FALSE(obd.pollStep());
    obd.setEstablished(true);
    obd.connected = false;
    EXPECT_FALSE(obd.pollStep());
    EXPECT_TRUE(obd.requests.empty());

    // The background poll runs every second call.
    obd.connected = true;
    obd.ecu = engine(0x7E8, bitmapOf({ 0x06, 0x07 }));
    for (int call = 0; call < 6; ++call)
        obd.backgroundPoll();
    EXPECT_EQ(obd.requests.size(), 3u);
}

TEST_F(ObdDiagnostic, DemoReadingsWander)
{
    obd.demo = true;
    CDiag record;
    record.setU8(6, 0x40);
    obd.latest = record;
    ASSERT_TRUE(obd.setupStep());
    ASSERT_TRUE(obd.pollStep());
    EXPECT_EQ(obd.readingText(0), L"8.11");
    EXPECT_EQ(obd.readingText(1), L"3.21");
    EXPECT_EQ(obd.readingText(2), L"7.83");
    EXPECT_EQ(obd.readingText(3), L"2.98");
    wchar_t lambda[16];
    std::swprintf(lambda, 16, L"%.2f", record.lambda1());
    EXPECT_EQ(obd.readingText(4), lambda);
    EXPECT_EQ(obd.readingText(6), L"0.00");
    EXPECT_EQ(obd.readingText(5), L"0.43");
    EXPECT_EQ(obd.readingText(7), L"0.48");
    ASSERT_TRUE(obd.pollStep());
    EXPECT_EQ(obd.readingText(0), L"8.13");
    EXPECT_EQ(obd.readingText(2), L"7.85");
    obd.settings = {};
    obd.settings[8] = 1;
    ASSERT_TRUE(obd.setupStep());
    EXPECT_EQ(obd.detect(4), 3);
    EXPECT_EQ(obd.protocolText(), L"CAN 11-bit 500kb/s");
    EXPECT_TRUE(obd.requests.empty());
    EXPECT_TRUE(obd.settingsWritten.empty());

    // S1 turns back above 15 and below −3.
    double highest = 0;
    double lowest = 100;
    for (int i = 0; i < 2000; ++i) {
        obd.pollStep();
        highest = std::max(highest, obd.value(0));
        lowest = std::min(lowest, obd.value(0));
    }
    EXPECT_NEAR(highest, 15.01, 0.011);
    EXPECT_NEAR(lowest, -3.01, 0.011);
}

TEST_F(ObdDiagnostic, TroubleCodesAreReadPerUnitAndClearedOnConfirmation)
{
    // P0171 and P0300 in one single frame; a second unit with none stored.
    obd.ecu = [](const Request& r) -> std::optional<Bytes> {
        if (r[13] == 0x01 && r[14] == 0x01) {
            Bytes a = answerOf(0x7E8, { { 6, 0x41, 0x01, 0x82, 0x07, 0x65, 0x00 } });
            const Bytes other = answerOf(0x7E9, { { 6, 0x41, 0x01, 0x00, 0x07, 0x65, 0x00 } });
            a[0] = 2;
            a.insert(a.end(), other.begin() + 2, other.end());
            return a;
        }
        if (r[13] == 0x03)
            return answerOf(0x7E8, { { 6, 0x43, 0x02, 0x01, 0x71, 0x03, 0x00 } });
        if (r[13] == 0x04)
            return answerOf(0x7E8, { { 1, 0x44 } });
        return Bytes { 0, 0 };
    };
    obd.settingsRecord().protocol = 3;
    std::vector<uint16_t> codes = { 0x0999 };
    EXPECT_EQ(obd.readTroubleCodes(codes), CObdDiagnostic::Outcome::Done);
    EXPECT_EQ(codes, (std::vector<uint16_t> { 0x0171, 0x0300 }));
    EXPECT_EQ(
        std::count_if(obd.requests.begin(), obd.requests.end(), [](const Request& r) { return r[13] == 0x03; }), 1)
        << "only the unit with codes is asked";

    // Cleared only when confirmed, and only when the car says so.
    obd.requests.clear();
    EXPECT_EQ(obd.clearTroubleCodes(), CObdDiagnostic::Outcome::Declined);
    EXPECT_TRUE(obd.requests.empty());
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, L"Czy chcesz skasować błędy OBD?");
    EXPECT_TRUE(ui.shown()[0].question);
    ui.queueAnswer(true);
    EXPECT_EQ(obd.clearTroubleCodes(), CObdDiagnostic::Outcome::Done);
    ASSERT_EQ(obd.requests.size(), 1u);
    EXPECT_EQ(obd.requests[0][12], 1);
    EXPECT_EQ(obd.requests[0][13], 0x04);

    ui.clearShown();
    obd.ecu = [](const Request&) { return answerOf(0x7E8, { { 3, 0x7F, 0x04, 0x22 } }); };
    ui.queueAnswer(true);
    EXPECT_EQ(obd.clearTroubleCodes(), CObdDiagnostic::Outcome::Refused);
    obd.ecu = [](const Request&) { return Bytes { 0, 0 }; };
    EXPECT_EQ(obd.readTroubleCodes(codes), CObdDiagnostic::Outcome::NoAnswer);
    EXPECT_TRUE(codes.empty());
    EXPECT_EQ(ui.texts(), std::vector<std::wstring> { L"Czy chcesz skasować błędy OBD?" });

    ui.clearShown();
    obd.ecu = [](const Request&) { return std::nullopt; };
    EXPECT_EQ(obd.readTroubleCodes(codes), CObdDiagnostic::Outcome::Failed);
    ui.queueAnswer(true);
    EXPECT_EQ(obd.clearTroubleCodes(), CObdDiagnostic::Outcome::Failed);
    EXPECT_EQ(ui.texts(),
        (std::vector<std::wstring> { L"Nie można wczytać błędów OBD!", L"Czy chcesz skasować błędy OBD?",
            L"Nie powiodło się skasowanie błędów OBD!" }));

    obd.demo = true;
    obd.requests.clear();
    EXPECT_EQ(obd.readTroubleCodes(codes), CObdDiagnostic::Outcome::Done);
    EXPECT_TRUE(codes.empty());
    EXPECT_TRUE(obd.requests.empty());
}

TEST_F(ObdDiagnostic, CurrentCorrectionsFromTheControllerOrTheLiveRecord)
{
    double b1 = 0;
    double b2 = 0;
    EXPECT_FALSE(obd.currentCorrections(b1, b2)) << "no live record";
    CDiag record;
    record.setU8(15, 107);
    obd.latest = record;
    ASSERT_TRUE(obd.currentCorrections(b1, b2));
    EXPECT_EQ(b1, 7);
    EXPECT_EQ(b2, 7);
    obd.mapConfig().corrections = 0x07;
    obd.corrections[0] = 3;
    obd.corrections[1] = -2;
    ASSERT_TRUE(obd.currentCorrections(b1, b2));
    EXPECT_EQ(b1, 3);
    EXPECT_EQ(b2, -2);
}
