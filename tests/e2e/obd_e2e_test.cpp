// SPDX-License-Identifier: GPL-3.0-or-later
// The OBD link against the simulated controller and car on every bus the
// simulator offers (CAN 11-bit and 29-bit at 250 and 500 kbit/s, ISO 9141,
// ISO 14230), at the wire's own pace: the setup or the detection finds the
// bus through the attempts table, the readings follow the car's fuel trims,
// and the stored trouble codes are read (segmented on CAN, three a frame on
// the K-line) and cleared, and the VIN is read. Also prints how long the detection took and how
// many readings a second the poll takes.
#include "connectiontest.h"

#include <app/tuning/mapfromobd.h>
#include <app/tuning/obdcodes.h>
#include <app/tuning/deviceobd.h>

#include <cmath>

#include <cstdio>
#include <sstream>

namespace {

struct Bus {
    const char* name;
    std::vector<std::string> options;
    uint32_t requestAddress;
    uint8_t speed;
    uint8_t protocol;
    uint32_t engine;
    const wchar_t* protocolText;
    bool twoBanks; // six injectors
};

const Bus kBuses[] = {
    { "can11_500", { "--obd", "can11" }, 0x7DF, 2, 3, 0x7E8, L"CAN 11-bit 500kb/s", false },
    { "can29_500", { "--obd", "can29", "--injectors", "6" }, 0x18DB33F1, 2, 3, 0x18DAF110, L"CAN 29-bit 500kb/s",
        true },
    { "can11_250", { "--obd", "can11", "--obd-speed", "250" }, 0x7DF, 1, 3, 0x7E8, L"CAN 11-bit 250kb/s", false },
    { "can29_250", { "--obd", "can29", "--obd-speed", "250" }, 0x18DB33F1, 1, 3, 0x18DAF110, L"CAN 29-bit 250kb/s",
        false },
    { "iso9141", { "--obd", "iso9141", "--injectors", "6" }, 0x686A6F, 3, 1, 0x486B10,
        L"ISO 9141-2 & ISO 14230-4 Slow Init", true },
    { "iso14230", { "--obd", "iso14230" }, 0xC133F1, 3, 2, 0x80F110, L"ISO 14230-4 Fast Init", false },
};

void PrintTo(const Bus& bus, std::ostream* out)
{
    *out << bus.name;
}

// The simulator's own trims from its status line.
bool simTrims(CSimProcess& sim, double& stft, double& ltft)
{
    const std::string status = sim.send("status");
    const auto s = status.find(" stft=");
    const auto l = status.find(" ltft=");
    if (s == std::string::npos || l == std::string::npos)
        return false;
    stft = std::stod(status.substr(s + 6));
    ltft = std::stod(status.substr(l + 6));
    return true;
}

class ObdE2E : public ConnectionTest, public ::testing::WithParamInterface<Bus> {
protected:
    void SetUp() override
    {
        ConnectionTest::SetUp();
        std::vector<std::string> options = GetParam().options;
        options.push_back("--pace");
        m_sim = startSim(options);
        ASSERT_TRUE(m_sim->running());
        ASSERT_EQ(m_sim->send("engine idle"), "ok engine idle");
        // The core's waits move the simulated car's clock instead of sleeping.
        ui.onSleep = [this](unsigned ms) { m_sim->send("advance " + std::to_string(ms / 1000.0)); };
        m_device.link().configurePort(addPort(m_sim->ptyPath()));
        m_device.m_connected = true;
        ASSERT_TRUE(m_device.readBlock(CReadBlocks::DevInfo));
    }

    // The setup, then (the fitted car's record names CAN 11-bit at 500 kbit/s)
    // the automatic detection when that found nothing.
    bool reachEngine()
    {
        if (obdOf(m_device).setupStep())
            return true;
        return obdOf(m_device).detect(4) == GetParam().protocol;
    }

    std::unique_ptr<CSimProcess> m_sim;
    CLPGDevice m_device { m_ports };
};

} // namespace

TEST_P(ObdE2E, DetectionFindsTheBusAndReadingsFollowTheTrims)
{
    const Bus& bus = GetParam();
    // The fitted car's record names CAN 11-bit at 500 kbit/s: only there does the setup reach the car.
    EXPECT_EQ(obdOf(m_device).setupStep(), std::string(bus.name) == "can11_500");
    // "Włącz OBD" on automatic detection: the present bus, then the attempts table.
    const auto started = Clock::now();
    ASSERT_EQ(obdOf(m_device).detect(4), bus.protocol);
    const auto realMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
    std::printf("[ measure  ] %s: automatic detection found the engine computer in %lld ms (%llu ms of them "
                "initialisation waits)\n",
        bus.name, static_cast<long long>(realMs + static_cast<long long>(ui.clockMs())),
        static_cast<unsigned long long>(ui.clockMs()));
    EXPECT_TRUE(obdOf(m_device).established());
    EXPECT_EQ(obdOf(m_device).settingsRecord().requestAddress, bus.requestAddress);
    EXPECT_EQ(obdOf(m_device).settingsRecord().speed, bus.speed);
    EXPECT_EQ(obdOf(m_device).settingsRecord().protocol, bus.protocol);
    EXPECT_EQ(obdOf(m_device).engineAddress(), bus.engine);
    EXPECT_EQ(obdOf(m_device).protocolText(), bus.protocolText);
    EXPECT_EQ(obdOf(m_device).standardText(), L"OBD Europe (EOBD)");
    EXPECT_TRUE(ui.shown().empty());

    // The controller read back: OBD on, this bus.
    std::array<uint8_t, 12> record {};
    ASSERT_TRUE(m_device.readObdSettings(record));
    EXPECT_EQ(record[8], 1);
    EXPECT_EQ(record[11], bus.protocol);

    // Less LPG on every injector: the car runs lean and its trims rise.
    ASSERT_TRUE(m_device.readBlock(CReadBlocks::MainCorr));
    for (double& corr : m_device.liveImage().m_mainCorr.m_mainCorr)
        corr -= 0.5;
    ASSERT_TRUE(m_device.writeBlock(CReadBlocks::MainCorr));
    m_sim->send("advance 150");
    const bool twoBanks = obdOf(m_device).reading(2).enabled;
    EXPECT_EQ(twoBanks, bus.twoBanks);
    for (int turn = 0; turn < 16; ++turn)
        obdOf(m_device).pollStep();
    double stft = 0;
    double ltft = 0;
    ASSERT_TRUE(simTrims(*m_sim, stft, ltft));
    EXPECT_GT(ltft, 5);
    // One byte of trim is 0.78 %; the car keeps regulating between the two.
    EXPECT_NEAR(obdOf(m_device).value(0), stft, 1.2);
    EXPECT_NEAR(obdOf(m_device).value(1), ltft, 1.2);
    if (twoBanks)
        EXPECT_NEAR(obdOf(m_device).value(3), ltft + 1.5, 1.2) << "the second bank runs a little leaner";
    else
        EXPECT_EQ(obdOf(m_device).readingText(3), L"");
    EXPECT_GT(obdOf(m_device).value(4), 0.0);
    EXPECT_LT(obdOf(m_device).value(4), 1.0);
}

TEST_P(ObdE2E, TroubleCodesAreListedAndCleared)
{
    ASSERT_TRUE(reachEngine());
    std::vector<uint16_t> codes;
    ASSERT_EQ(obdOf(m_device).readTroubleCodes(codes), CObdDiagnostic::Outcome::Done);
    EXPECT_EQ(codes, (std::vector<uint16_t> { 0x0171, 0x0300, 0x0420 }));
    const COBDCodes table;
    EXPECT_EQ(table.description(codes.at(0)), L"P0171   System too Lean (Bank 1)");

    // Eight codes: three segments on CAN, three frames on the K-line.
    ASSERT_EQ(m_sim->send("dtc P0101 P0102 P0103 P0104 P0105 P0106 P0107 P0108"),
        "ok dtc P0101 P0102 P0103 P0104 P0105 P0106 P0107 P0108");
    ASSERT_EQ(obdOf(m_device).readTroubleCodes(codes), CObdDiagnostic::Outcome::Done);
    EXPECT_EQ(codes, (std::vector<uint16_t> { 0x0101, 0x0102, 0x0103, 0x0104, 0x0105, 0x0106, 0x0107, 0x0108 }));

    ui.queueAnswer(true);
    EXPECT_EQ(obdOf(m_device).clearTroubleCodes(), CObdDiagnostic::Outcome::Done);
    EXPECT_EQ(m_sim->send("dtc"), "ok dtc");
    ASSERT_EQ(obdOf(m_device).readTroubleCodes(codes), CObdDiagnostic::Outcome::Done);
    EXPECT_TRUE(codes.empty());
    EXPECT_EQ(ui.texts(), std::vector<std::wstring> { L"Czy chcesz skasować błędy OBD?" });
}

// The VIN comes whole (segmented on CAN, five messages on the K-line) or not
// at all: a car that answers with fewer characters gives no part of one.
TEST_P(ObdE2E, VinIsReadWholeOrNotAtAll)
{
    ASSERT_TRUE(reachEngine());
    std::wstring vin = L"left over";
    ASSERT_EQ(obdOf(m_device).readVin(vin), CObdDiagnostic::Outcome::Done);
    EXPECT_EQ(vin, L"KRVZZZ1ZZAK012345");

    ASSERT_EQ(m_sim->send("vin KRVZZZ1ZZAK01"), "ok vin KRVZZZ1ZZAK01");
    EXPECT_EQ(obdOf(m_device).readVin(vin), CObdDiagnostic::Outcome::Incomplete);
    EXPECT_EQ(vin, L"");
    EXPECT_TRUE(ui.shown().empty());
}

INSTANTIATE_TEST_SUITE_P(Buses, ObdE2E, ::testing::ValuesIn(kBuses),
    [](const ::testing::TestParamInfo<Bus>& info) { return std::string(info.param.name); });

// How many readings a second the poll takes through the controller at the
// wire's pace (each reading one relayed request and answer).
TEST_F(ConnectionTest, ObdPollRateAtWirePace)
{
    auto sim = startSim({ "--pace", "--injectors", "6" });
    ASSERT_TRUE(sim->running());
    CLPGDevice device(m_ports);
    device.link().configurePort(addPort(sim->ptyPath()));
    device.m_connected = true;
    ASSERT_TRUE(device.readBlock(CReadBlocks::DevInfo));
    ASSERT_TRUE(obdOf(device).setupStep());
    // Counted, not timed: the readings come within a bounded number of steps
    // (the rate is printed as a figure; a loaded machine only makes it smaller).
    int readings = 0;
    int steps = 0;
    const auto started = Clock::now();
    for (; steps < 60 && readings < 8; ++steps)
        readings += obdOf(device).pollStep() ? 1 : 0;
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf(
        "[ measure  ] OBD readings through the controller at 38400 baud: %.1f per second\n", readings / seconds);
    EXPECT_EQ(readings, 8) << "in " << steps << " steps";
}

// Mapping from the fuel trims against the simulated car on LPG: Start switches
// the controller's automatic OBD corrections off and Stop back on; the trims
// of the idling car are filed under its operating point, and "Oblicz korekty"
// writes the corrected map into the controller, which ends in automatic mode.
TEST_F(ConnectionTest, MapFromObdThroughTheController)
{
    auto sim = startSim({ "--fuel", "lpg" });
    ASSERT_TRUE(sim->running());
    ASSERT_EQ(sim->send("engine idle"), "ok engine idle");
    ui.onSleep = [&sim](unsigned ms) { sim->send("advance " + std::to_string(ms / 1000.0)); };
    CLPGDevice device(m_ports);
    device.link().configurePort(addPort(sim->ptyPath()));
    device.m_connected = true;
    ASSERT_TRUE(device.readBlock(CReadBlocks::DevInfo));
    ASSERT_TRUE(device.readBlock(CReadBlocks::Base));
    ASSERT_TRUE(device.readBlock(CReadBlocks::InjMap));
    ASSERT_TRUE(device.readBlock(CReadBlocks::MapAxes));
    ASSERT_TRUE(obdOf(device).setupStep());

    // Automatic OBD corrections on in the controller.
    std::array<uint8_t, 18> config {};
    ASSERT_TRUE(device.readObdMapConfig(config));
    config[0] = 1;
    ASSERT_TRUE(device.writeObdMapConfig(config));

    // A map that doses far too little everywhere: the car runs lean.
    auto& table = device.liveImage().m_corrMap.m_injMapTable;
    for (auto& row : table)
        row.fill(-20);
    ASSERT_TRUE(device.writeBlock(CReadBlocks::InjMap));
    sim->send("advance 200");

    auto live = [&device] {
        CDiag record;
        if (device.readLiveData(record) == CLPGDevice::kLiveOk)
            device.diagData().push(record);
        return record;
    };
    ASSERT_EQ(live().fuelState(), 3);
    CMapFromOBD mapping(device.image().m_corrMap);
    ASSERT_TRUE(mapping.start(device));
    EXPECT_EQ(ui.texts(), std::vector<std::wstring> { L"Wymagane jest wyłączenie automatycznych korekt z OBD." });
    EXPECT_EQ(ui.shown().at(0).icon, MsgIcon::Information);
    std::array<uint8_t, 18> now {};
    ASSERT_TRUE(device.readObdMapConfig(now));
    EXPECT_EQ(now[0], 0) << "off while mapping";

    int cell = -1;
    for (int tick = 0; tick < 40; ++tick) {
        obdOf(device).pollStep();
        const CDiag record = live();
        double rpm = 0;
        double time = 0;
        CMapFromOBD::operatingPoint(record, device.image().m_devInfo.m_injCount, rpm, time);
        mapping.tick(obdOf(device), rpm, time);
        cell = CMapFromOBD::cellOf(device.image().m_corrMap, rpm, time);
        sim->send("advance 0.1");
    }
    ASSERT_GE(cell, 0);
    EXPECT_GT(mapping.sampleCount(cell), 30u);
    const double trim = mapping.cellMean()[static_cast<std::size_t>(cell)];
    EXPECT_GT(trim, 10) << "lean: the engine computer adds fuel";

    mapping.stop(device);
    ASSERT_TRUE(device.readObdMapConfig(now));
    EXPECT_EQ(now[0], 1) << "on again after Stop";
    EXPECT_GT(mapping.sampleCount(cell), 30u) << "Stop keeps the samples";

    ui.clearShown();
    ASSERT_TRUE(mapping.calculate(device));
    EXPECT_TRUE(ui.shown().empty());
    const int row = cell / 15;
    const int column = cell % 15;
    EXPECT_GT(table[row][column], -20) << "the trims were added";
    EXPECT_LE(table[row][column], 50);
    // The controller holds the map as written.
    const auto written = table;
    ASSERT_TRUE(device.readBlock(CReadBlocks::InjMap));
    for (int r = 0; r < 19; ++r)
        for (int c = 0; c < 15; ++c)
            EXPECT_EQ(table[r][c], written[r][c]) << r << "," << c;

    // Back on LPG with the corrected map the engine computer adds less.
    sim->send("advance 300");
    ASSERT_EQ(live().fuelState(), 3);
    for (int turn = 0; turn < 8; ++turn)
        obdOf(device).pollStep();
    const double after = CMapFromOBD::trimSample(obdOf(device).value(0), obdOf(device).value(1), obdOf(device).value(2), obdOf(device).value(3));
    std::printf("[ measure  ] trims at idle before mapping %.1f %%, after %.1f %%\n", trim, after);
    EXPECT_LT(after, trim - 1);
}
