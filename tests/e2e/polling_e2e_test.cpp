// SPDX-License-Identifier: GPL-3.0-or-later
// The polling thread against korvana-sim: the rate of about ten records a
// second, numbering from 1, a controller gone silent ending polling after its
// 11th failed exchange (queue and m_connected cleared), answers of another
// type never ending it, the pseudo-terminal vanishing (one re-opening after
// about 700 ms, then "Brak połączenia") or coming back in time, recording to
// a diagnostic file while the GUI thread keeps sending commands, lines
// converted with the sensor settings of their moment, the "osc"
// rule of a recording, and demo mode.
#include "connectiontest.h"

#include <app/data/diagfile.h>
#include <app/device/demostate.h>
#include <syncmsg/multithread.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

using namespace std::chrono_literals;

// Connects, and ends the test when that was skipped or failed.
#define CONNECT(...)                                                                                               \
    connect(__VA_ARGS__);                                                                                          \
    if (IsSkipped() || HasFatalFailure())                                                                          \
    return

class PollingTest : public ConnectionTest {
protected:
    // A simulator, connected; polling runs on this test's own manager. With
    // viaLink the port is a symlink that follows the simulator's terminal.
    void connect(std::vector<std::string> options = {}, bool viaLink = false)
    {
        if (viaLink) {
            options.push_back("--link");
            options.push_back(link());
        }
        sim = startSim(options);
        ASSERT_TRUE(sim->running());
        const uint32_t port = addPort(viaLink ? link() : sim->ptyPath());
        device = std::make_unique<CLPGDevice>(m_ports);
        device->session().setThreadManager(&manager);
        ASSERT_TRUE(device->session().connectOnPort(port));
    }
    void TearDown() override
    {
        if (device)
            device->session().stopPolling();
        device.reset();
        ConnectionTest::TearDown();
    }

    std::string link() const { return m_dir + "/controller"; }
    uint32_t newest()
    {
        CDiag r;
        return device->diagData().latest(r) ? r.sequence() : 0;
    }
    // The value of key=… in the simulator's status line.
    std::string status(const std::string& key)
    {
        const std::string line = sim->send("status");
        const auto at = line.find(" " + key + "=");
        if (at == std::string::npos)
            return {};
        const auto start = at + key.size() + 2;
        return line.substr(start, line.find(' ', start) - start);
    }

    CMultiThread manager;
    std::unique_ptr<CSimProcess> sim;
    std::unique_ptr<CLPGDevice> device;
};

TEST_F(PollingTest, TenRecordsASecondNumberedFromOne)
{
    CONNECT();
    ASSERT_TRUE(device->session().startPolling("\\"));
    EXPECT_TRUE(device->session().m_polling);
    EXPECT_FALSE(device->session().isRecording());
    ASSERT_TRUE(waitFor([&] { return newest() >= 1; }));
    std::vector<CDiag> first;
    device->diagData().copyRange(first, 0, 1);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].sequence(), 1u);

    // The rate itself is bench/run's figure (--long); here: numbered on, each queued once.
    ASSERT_TRUE(waitFor([&] { return newest() >= 12; }));
    device->session().stopPolling();
    const uint32_t to = newest();
    EXPECT_EQ(device->diagData().count(), static_cast<int>(to)); // every record queued once

    EXPECT_FALSE(device->session().pollingThreadRunning());
    EXPECT_FALSE(device->session().m_polling);
    EXPECT_TRUE(device->m_connected);
    EXPECT_TRUE(ui.shown().empty());
}

TEST_F(PollingTest, SilentControllerEndsPollingAfterTheEleventhFailure)
{
    CONNECT();
    ASSERT_TRUE(device->session().startPolling("\\"));
    ASSERT_TRUE(waitFor([&] { return newest() >= 3; }));
    ASSERT_EQ(sim->send("fault silence 1"), "ok fault silence 1.000000");
    const auto start = Clock::now();
    // Each failure costs the poll and a one-second read time-out.
    ASSERT_TRUE(waitFor([&] { return !device->session().pollingThreadRunning(); }));
    const auto took = Clock::now() - start;
    EXPECT_GT(took, 10s);
    EXPECT_FALSE(device->session().m_polling);
    EXPECT_FALSE(device->m_connected);
    EXPECT_EQ(device->diagData().count(), 0);
    EXPECT_TRUE(ui.shown().empty());
    // The silenced answers: the eleven exchanges that failed, and no twelfth.
    EXPECT_EQ(status("disturbed"), "11");
}

TEST_F(PollingTest, AnswersOfAnotherTypeNeverEndPolling)
{
    CONNECT();
    ASSERT_TRUE(device->session().startPolling("\\"));
    ASSERT_TRUE(waitFor([&] { return newest() >= 2; }));
    ASSERT_EQ(sim->send("fault type 1"), "ok fault type 1.000000");
    // Counted in the simulator's disturbed answers, not in time: one answer of
    // the other type has gone out (an answer already on its way may still be
    // queued), then twelve more, beyond the fault limit of 11.
    ASSERT_TRUE(waitFor([&] { return std::stoi(status("disturbed")) >= 2; }));
    const uint32_t before = newest();
    ASSERT_TRUE(waitFor([&] { return std::stoi(status("disturbed")) >= 14; }));
    EXPECT_TRUE(device->session().pollingThreadRunning());
    EXPECT_TRUE(device->session().m_polling);
    EXPECT_TRUE(device->m_connected);
    EXPECT_EQ(newest(), before); // nothing of another type is queued
    EXPECT_GE(std::stoi(status("disturbed")), 12); // more than the fault limit of 11

    ASSERT_EQ(sim->send("fault off").rfind("ok fault", 0), 0u);
    EXPECT_TRUE(waitFor([&] { return newest() > before; }));
}

TEST_F(PollingTest, VanishedPortIsReopenedOnceThenNoConnection)
{
    CONNECT();
    ASSERT_TRUE(device->session().startPolling("\\"));
    ASSERT_TRUE(waitFor([&] { return newest() >= 2; }));
    const auto start = Clock::now();
    ASSERT_EQ(sim->send("vanish"), "ok vanished");
    ASSERT_TRUE(waitFor([&] { return !device->session().pollingThreadRunning(); }));
    const auto took = Clock::now() - start;
    std::printf("vanished port: polling ended after %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    EXPECT_GE(took, 700ms);
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, L"Brak połączenia");
    EXPECT_EQ(ui.shown()[0].caption, L"KORVANA");
    EXPECT_EQ(ui.shown()[0].icon, MsgIcon::None);
    EXPECT_EQ(device->diagData().count(), 0);
    EXPECT_FALSE(device->m_connected);
    EXPECT_TRUE(device->session().m_polling); // the thread ended without touching the flag
}

TEST_F(PollingTest, PortBackWithinTheWaitIsReopened)
{
    CONNECT({}, true);
    ASSERT_TRUE(device->session().startPolling("\\"));
    ASSERT_TRUE(waitFor([&] { return newest() >= 2; }));
    ASSERT_EQ(sim->send("vanish"), "ok vanished");
    const std::string appeared = sim->send("appear");
    ASSERT_EQ(appeared.rfind("ok /dev/", 0), 0u) << appeared;
    const uint32_t before = newest();
    EXPECT_TRUE(waitFor([&] { return newest() > before + 3; }));
    EXPECT_TRUE(device->session().pollingThreadRunning());
    EXPECT_TRUE(device->m_connected);
    EXPECT_TRUE(ui.shown().empty());
}

TEST_F(PollingTest, RecordsWhileTheGuiThreadSendsCommands)
{
    CONNECT({ "--fuel", "petrol" });
    const std::string path = m_dir + "/run.osc";
    EXPECT_FALSE(device->session().startRecording(m_dir + "/run.txt")); // not "osc": nothing changes
    EXPECT_FALSE(device->session().m_polling);
    ASSERT_TRUE(device->session().startRecording(path));
    EXPECT_TRUE(device->session().isRecording());
    EXPECT_EQ(device->session().m_diagPath, path);

    // GUI-thread commands interleave with the polling, one exchange at a time:
    // counted, not timed, until ten records and thirty-odd commands have gone.
    const auto deadline = Clock::now() + testwait::kWaitDeadline;
    int commands = 0;
    while ((commands < 33 || newest() < 10) && Clock::now() < deadline) {
        std::array<uint8_t, 4> errors {};
        EXPECT_TRUE(device->readErrors(errors));
        EXPECT_TRUE(device->readBlock(CReadBlocks::Base));
        EXPECT_TRUE(device->readStatistics());
        commands += 3;
    }
    EXPECT_GE(newest(), 10u);
    EXPECT_FALSE(device->session().startRecording(m_dir + "/other.os"));
    EXPECT_TRUE(device->session().m_polling);
    device->session().stopPolling();
    EXPECT_FALSE(device->session().isRecording());

    std::vector<CDiag> queued;
    device->diagData().copyRange(queued, 0, 1000);
    ASSERT_GE(queued.size(), 10u);
    EXPECT_EQ(queued.front().sequence(), 1u);
    // One line per record, in order, each as the recording writes it.
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    std::string expected;
    const CDiagScale scale(device->image());
    for (const auto& r : queued)
        expected += CDiagFile::formatLine(r, scale, {});
    EXPECT_EQ(all.str(), expected);
    std::vector<CDiagFile::Record> played;
    ASSERT_TRUE(CDiagFile::readRecords(path, played));
    ASSERT_EQ(played.size(), queued.size());
    EXPECT_EQ(played.back()[0], 2); // petrol
    EXPECT_NEAR(played.back()[1], queued.back().rpm(), 0.5);
}

// The fitter changes the sensor types and the 4-bar flag during a recording:
// the lines written afterwards are converted with the new values.
TEST_F(PollingTest, RecordingConvertsWithTheSettingsOfEachLine)
{
    CONNECT();
    const std::string path = m_dir + "/change.osc";
    CSettingsImage& image = device->liveImage();
    image.m_devInfo.m_version = 0x0306;
    image.m_sensorsSetup.m_temprEngineSensor = 0;
    image.m_sensorsSetup.m_temprLPGSensor = 0;
    image.m_advancedSetup.m_advancedFlags &= static_cast<uint8_t>(~0x10);
    const CDiagScale before(image);
    ASSERT_TRUE(device->session().startRecording(path));
    ASSERT_TRUE(waitFor([&] { return newest() >= 5; }));

    image.m_sensorsSetup.m_temprEngineSensor = 2;
    image.m_sensorsSetup.m_temprLPGSensor = 3;
    image.m_advancedSetup.m_advancedFlags |= 0x10; // ABS 4 bar: the second characteristic
    device->events().imageChanged(ImageBlock::All); // as a page's write does
    const CDiagScale after(image);
    const uint32_t changedAt = newest();
    ASSERT_TRUE(waitFor([&] { return newest() >= changedAt + 5; }));
    device->session().stopPolling();

    std::vector<CDiag> queued;
    device->diagData().copyRange(queued, 0, 1000);
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line, '\n');)
        lines.push_back(line + "\n");
    ASSERT_EQ(lines.size(), queued.size());
    ASSERT_NE(CDiagFile::formatLine(queued.back(), before, {}), CDiagFile::formatLine(queued.back(), after, {}))
        << "the change must show in the converted values";
    // The line being written at the change may take either; all before it the
    // old values, all from the next record on the new ones.
    for (std::size_t i = 0; i < queued.size(); ++i) {
        const uint32_t seq = queued[i].sequence();
        if (seq < changedAt) {
            EXPECT_EQ(lines[i], CDiagFile::formatLine(queued[i], before, {})) << "line " << seq;
        } else if (seq > changedAt + 1) {
            EXPECT_EQ(lines[i], CDiagFile::formatLine(queued[i], after, {})) << "line " << seq;
        }
    }
}

TEST_F(PollingTest, NewPollingReplacesTheRunningThread)
{
    CONNECT();
    // Shared with the listener, which outlives this scope.
    auto started = std::make_shared<std::atomic<int>>(0);
    auto stopped = std::make_shared<std::atomic<int>>(0);
    device->events().add([started, stopped](const DeviceEventData& e) {
        *started += e.kind == DeviceEvent::PollingStarted ? 1 : 0;
        *stopped += e.kind == DeviceEvent::PollingStopped ? 1 : 0;
    });
    ASSERT_TRUE(device->session().startPolling("\\"));
    ASSERT_TRUE(waitFor([&] { return newest() >= 3; }));
    // Taken before the restart: the new thread may empty the queue before this
    // thread looks again.
    const uint32_t oldLast = newest();
    ASSERT_TRUE(device->session().startPolling("\\"));
    EXPECT_EQ(*started, 2);
    EXPECT_EQ(*stopped, 1);
    // The old thread has ended; the new one starts on an empty queue and numbers from 1 again.
    ASSERT_TRUE(waitFor([&] { return newest() >= 1 && newest() < oldLast; }));
    device->session().stopPolling();
    std::vector<CDiag> all;
    device->diagData().copyRange(all, 0, 1000);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front().sequence(), 1u);
    EXPECT_EQ(all.size(), all.back().sequence());
}

TEST_F(PollingTest, DemoModeSendsNothingAndQueuesSimulatedRecords)
{
    device = std::make_unique<CLPGDevice>();
    device->session().setThreadManager(&manager);
    device->session().startDemoMode();
    setDemoFuelState(3);
    ASSERT_TRUE(device->session().startPolling("\\"));
    ASSERT_TRUE(waitFor([&] { return newest() >= 3; }));
    CDiag r;
    ASSERT_TRUE(device->diagData().latest(r));
    EXPECT_EQ(r.fuelState(), 3);
    EXPECT_EQ(r.lpgMask1(), 0xFF);
    EXPECT_EQ(r.gasLevel(), 0x0C);
    device->session().stopPolling();
    setDemoFuelState(2);
    EXPECT_FALSE(device->link().port().isOpen());
}

} // namespace
