// SPDX-License-Identifier: GPL-3.0-or-later
// The autocalibration in a closed loop with the simulated car: korvana-sim runs
// twenty times faster than real time and the scripted clock keeps pace with it
// (each of its sleeps sleeps a twentieth for real), and the device's polling
// thread waits on a clock those sleeps step, one record per 100 ms of it. Both procedures
// must end at the correction the car needs, with the controller left in
// automatic mode and its own cylinder switching time; an aborted run must put
// both back. Whenever the procedure lets a page repaint, the pages see only what
// the controller holds, never a value the procedure has yet to write.
#include "connectiontest.h"

#include <app/data/diagdata.h>
#include <app/data/recordingpath.h>
#include <app/device/settingblocks.h>
#include <app/tuning/autocalibration.h>
#include <syncmsg/multithread.h>
#include <tools/sim/fittedcar.h>

#include <steppedclock.h>

#include <sstream>

namespace {

constexpr double kScale = 20;

class CollectingObserver : public ICalibrationObserver {
public:
    void clearLog() override { lines.clear(); }
    void logLine(const std::wstring& text, uint32_t colour) override { lines.push_back({ text, colour }); }
    void progress(int position) override { last = position; }
    std::vector<std::pair<std::wstring, uint32_t>> lines;
    int last = -1;
};

// The mean of what the simulated cylinders need on top of the petrol time.
double carNeed(int injectors)
{
    double sum = 0;
    for (int k = 0; k < injectors; ++k)
        sum += physicalOffsetMs(k);
    return sum / injectors;
}

class CalibrationLoop : public ConnectionTest {
protected:
    void SetUp() override
    {
        ConnectionTest::SetUp();
        sim = startSim({ "--time-scale", std::to_string(kScale), "--main-corr", "0.50" });
        // The reducer warmed and the car idling on LPG before anything starts.
        ASSERT_EQ(sim->send("advance 300").rfind("ok", 0), 0u);
        ASSERT_TRUE(device.session().connectOnPort(addPort(sim->ptyPath())));
        ASSERT_NEAR(device.image().m_mainCorr.m_mainCorr[0], 0.5, 1e-9);
        ASSERT_DOUBLE_EQ(device.image().m_base.m_emulatorDelay, 0.3);
        // The device's own polling thread, its waits on the clock the scripted sleeps step.
        device.link().port().setWaiter([this](unsigned ms) { clock.wait(ms); });
        device.session().setThreadManager(&manager);
        ASSERT_TRUE(device.session().startPolling(kNoRecordingPath));
        // The first record, which the procedure looks at before it starts.
        clock.advance(100);
        ASSERT_GT(device.diagData().newestSequence(), 0u);
        ui.onPump = [this] { lookAtPages(); };
        ui.onSleep = [this](unsigned ms) {
            std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(ms * 1000 / kScale)));
            clock.advance(ms);
        };
    }
    void TearDown() override
    {
        clock.release();
        device.session().stopPolling();
        ConnectionTest::TearDown();
    }

    std::string simValue(const std::string& key)
    {
        std::istringstream words(sim->send("status"));
        std::string word;
        while (words >> word) {
            if (word.rfind(key + "=", 0) == 0)
                return word.substr(key.size() + 1);
        }
        return {};
    }

    // A pump is where a page repaints: of the blocks the procedure changes, what
    // the pages read must be what the controller holds, while the live image
    // may already hold the next value to write.
    void lookAtPages()
    {
        for (auto block : { CReadBlocks::Base, CReadBlocks::MainCorr }) {
            if (!sameBlock(block, device.image(), device.heldImage()))
                ++unconfirmedShown;
            if (!sameBlock(block, device.liveImage(), device.heldImage()))
                ++unconfirmedLive;
        }
    }

    // What the controller holds now, read back over the link.
    void expectPutBack()
    {
        ASSERT_TRUE(device.readBlock(CReadBlocks::Base));
        EXPECT_DOUBLE_EQ(device.image().m_base.m_emulatorDelay, 0.3);
        EXPECT_EQ(simValue("fuelmode"), "auto");
    }

    bool logged(const std::wstring& text, uint32_t colour) const
    {
        for (const auto& [t, c] : observer.lines) {
            if (t == text && c == colour)
                return true;
        }
        return false;
    }

    std::unique_ptr<CSimProcess> sim;
    CMultiThread manager;
    CLPGDevice device { m_ports };
    CSteppedClock clock { [this] { return device.session().pollingThreadRunning() ? 1 : 0; },
                          [this] { return !device.session().m_polling; } };
    CollectingObserver observer;
    CAutoCalibration calibration { device, observer };
    int unconfirmedShown = 0;
    int unconfirmedLive = 0;
};

} // namespace

TEST_F(CalibrationLoop, NormalProcedureFindsTheCarsNeed)
{
    EXPECT_EQ(calibration.start(false), CalibrationOutcome::Success);
    EXPECT_TRUE(logged(L"Autokalibracja zakończona pomyślnie.", kCalibrationSuccessColour));
    EXPECT_TRUE(logged(L"Zbierz mapę benzynową i gazową podczas jazdy.", kCalibrationSuccessColour));
    EXPECT_EQ(observer.last, 1000);
    ASSERT_TRUE(device.readBlock(CReadBlocks::MainCorr));
    EXPECT_NEAR(device.image().m_mainCorr.m_mainCorr[0], carNeed(4), 0.05);
    EXPECT_NEAR(device.image().m_mainCorr.m_mainCorr[7], carNeed(4), 0.05);
    expectPutBack();
    EXPECT_EQ(unconfirmedShown, 0);
}

TEST_F(CalibrationLoop, PerCylinderProcedureFindsTheCarsNeed)
{
    // A pressure gain the pressure step sets back to 1: its base block waits out a pause unwritten.
    device.liveImage().m_base.m_pressureGain = 1.2;
    ASSERT_TRUE(device.writeBlock(CReadBlocks::Base));
    EXPECT_EQ(calibration.start(true), CalibrationOutcome::Success);
    EXPECT_TRUE(logged(L"Autokalibracja zakończona pomyślnie.", kCalibrationSuccessColour));
    EXPECT_EQ(observer.last, 1000);
    ASSERT_TRUE(device.readBlock(CReadBlocks::MainCorr));
    EXPECT_NEAR(device.image().m_mainCorr.m_mainCorr[0], carNeed(4), 0.05);
    expectPutBack();
    // The pressure step waits out a pause before its base block is written.
    EXPECT_GT(unconfirmedLive, 0);
    EXPECT_EQ(unconfirmedShown, 0);
}

TEST_F(CalibrationLoop, AbortedRunPutsBackTheDelayAndAutomaticMode)
{
    // Stop in the middle of the passes, with the controller forced onto a fuel.
    bool stopped = false;
    ui.onPump = [&] {
        lookAtPages();
        if (!stopped && ui.clockMs() > 20000) {
            stopped = true;
            EXPECT_NE(simValue("fuelmode"), "auto");
            calibration.stop();
        }
    };
    EXPECT_EQ(calibration.start(false), CalibrationOutcome::Stopped);
    EXPECT_TRUE(logged(L"Autokalibracja przerwana", kCalibrationInfoColour));
    EXPECT_TRUE(logged(L"Przywrócono ustawienia sprzed autokalibracji.", kCalibrationInfoColour));
    expectPutBack();
    EXPECT_EQ(unconfirmedShown, 0);
}
