// SPDX-License-Identifier: GPL-3.0-or-later
// The timing policies of the link, run against the in-memory line on a fake
// clock: the attempts of a command, the polling thread's give-up after more
// than 10 link faults, its one re-opening after a port error, and what the
// device raises on the way. Each runs in milliseconds of real time.
#include <app/device/diaginputthread.h>
#include <app/data/blockcodec.h>
#include <app/device/lpgdevice.h>
#include <app/platform/log.h>
#include <syncmsg/multithread.h>

#include "memorylink.h"
#include "ptypeer.h"
#include "scriptedinteraction.h"
#include "waitfor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>

using testwait::waitFor;

namespace {

using namespace std::chrono_literals;
using Bytes = CMemoryLink::Bytes;
using Clock = std::chrono::steady_clock;

constexpr uint8_t kLiveRecord = 1;
constexpr uint8_t kLiveCode = 0x24;

PtyPeer::Frame parsed(const Bytes& request)
{
    const auto frame = PtyPeer::parse(request);
    EXPECT_TRUE(frame.has_value()) << PtyPeer::hex(request);
    return frame.value_or(PtyPeer::Frame {});
}

bool isLiveRequest(const Bytes& request)
{
    const auto frame = PtyPeer::parse(request);
    return frame && frame->type == 2 && !frame->payload.empty() && frame->payload[0] == kLiveCode;
}

Bytes liveAnswer(uint8_t fuel)
{
    Bytes payload(CDiag::kSize - 2, 0);
    payload[0] = fuel;
    return PtyPeer::frame(kLiveRecord, 0x1234, payload);
}

// A whole frame whose checksum is wrong: a link fault, not silence.
Bytes brokenAnswer()
{
    Bytes frame = liveAnswer(2);
    frame.back() ^= 0x5A;
    return frame;
}

// Everything the device raised, from any thread.
struct EventLog {
    explicit EventLog(CLPGDevice& device)
        : m_device(device)
        , m_id(device.events().add([this](const DeviceEventData& e) {
            std::lock_guard lock(m_mutex);
            m_events.push_back(e);
        }))
    {
    }
    ~EventLog() { m_device.events().remove(m_id); }

    std::vector<DeviceEventData> all() const
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    int count(DeviceEvent kind) const
    {
        int n = 0;
        for (const auto& e : all())
            n += e.kind == kind ? 1 : 0;
        return n;
    }

    CLPGDevice& m_device;
    mutable std::mutex m_mutex;
    std::vector<DeviceEventData> m_events;
    int m_id;
};

class LinkPolicy : public ::testing::Test {
protected:
    void SetUp() override
    {
        device.link().setKeyGenerator([] { return uint16_t { 0x0101 }; });
        device.link().setLine(&link);
        device.session().setThreadManager(&manager);
        device.link().configurePort(1);
    }
    void TearDown() override
    {
        device.session().stopPolling();
        ASSERT_TRUE(device.session().waitPollingEnded(2000));
        removeLogSink(m_sink);
    }

    // Whether a log line at or above level holds text.
    bool logged(const std::string& text, LogLevel level = LogLevel::Debug) const
    {
        std::lock_guard lock(m_linesMutex);
        return std::any_of(m_lines.begin(), m_lines.end(),
            [&](const auto& l) { return l.first <= level && l.second.find(text) != std::string::npos; });
    }
    std::string loggedLines() const
    {
        std::lock_guard lock(m_linesMutex);
        std::string all;
        for (const auto& l : m_lines)
            all += l.second + "\n";
        return all;
    }

    // Polls as the program does; the peer decides each live answer.
    void startPolling(std::function<Bytes()> answer)
    {
        link.setPeer([answer = std::move(answer)](
                         const Bytes& request) { return isLiveRequest(request) ? answer() : Bytes {}; });
        device.m_connected = true;
        ASSERT_TRUE(device.session().startPolling("\\"));
    }

    // What the peers of the tests count; members, as the polling thread may use them until TearDown.
    std::atomic<int> answered { 0 };
    std::atomic<bool> breakNext { false };

    mutable std::mutex m_linesMutex;
    std::vector<std::pair<LogLevel, std::string>> m_lines;
    int m_sink = addLogSink([this](LogLevel level, const std::string& line) {
        std::lock_guard lock(m_linesMutex);
        m_lines.emplace_back(level, line);
    });
    CScriptedInteraction ui;
    CInteractionScope scope { ui };
    CMemoryLink link;
    CMultiThread manager;
    CLPGDevice device;
};

// The waits the protocol itself defines, on the link's clock: one exchange
// with a silent peer waits out the read of the 4 header bytes (1000 + 4 ms);
// four bytes without 0xAA cost the exchange its 131 ms wait, which the checked
// form does not make.
TEST_F(LinkPolicy, ProtocolTimeOutsOnTheLinksClock)
{
    auto exchangeCosts = [this](const Bytes& answer, bool checked, LinkFailure* why) {
        link.setPeer([answer](const Bytes&) { return answer; });
        ExchangeBuffer buffer {};
        buffer[0] = 0x0D;
        uint8_t length = 6;
        uint8_t type = 2;
        const uint64_t before = link.now();
        if (checked)
            device.link().exchangeChecked(buffer, length, type, why);
        else
            device.link().exchange(buffer, length, type, why);
        return link.now() - before;
    };
    LinkFailure why = LinkFailure::None;
    EXPECT_EQ(exchangeCosts({}, false, &why), 1004u);
    EXPECT_EQ(why, LinkFailure::ShortHeader);
    const Bytes noSync { 0x01, 0x02, 0x03, 0x04 };
    EXPECT_GE(exchangeCosts(noSync, false, &why), 131u);
    EXPECT_EQ(why, LinkFailure::NoSync);
    EXPECT_LT(exchangeCosts(noSync, true, nullptr), 131u);
}

TEST_F(LinkPolicy, CommandAgainstASilentPeerGivesUpAfterFifteenAttempts)
{
    EventLog events(device);
    EXPECT_FALSE(device.readBlock(CReadBlocks::Base));
    EXPECT_EQ(link.requestCount(), 15u);
    // Each attempt waits out the read of the 4 header bytes: 1000 + 4 ms.
    EXPECT_EQ(link.now(), 15u * 1004u);
    EXPECT_EQ(events.count(DeviceEvent::ImageChanged), 0);

    // An answer at the fifteenth attempt still counts; the image changes and says so.
    std::size_t seen = 0;
    link.setPeer([&seen](const Bytes& request) {
        const PtyPeer::Frame f = parsed(request);
        if (++seen < 15)
            return Bytes {};
        EXPECT_EQ(f.payload.at(0), 0x07);
        Bytes base(kBaseLength, 0);
        base[0] = 9;
        return PtyPeer::frame(kRecBase, 0x0202, base);
    });
    EXPECT_TRUE(device.readBlock(CReadBlocks::Base));
    EXPECT_EQ(seen, 15u);
    const auto raised = events.all();
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0].kind, DeviceEvent::ImageChanged);
    EXPECT_EQ(raised[0].block, ImageBlock::Base);
}

TEST_F(LinkPolicy, PortThatCannotOpenIsLoggedWithItsError)
{
    EventLog events(device);
    link.setVanished(true);
    EXPECT_FALSE(device.session().connectOnPort(3));
    EXPECT_FALSE(link.isOpen());
    EXPECT_TRUE(events.all().empty());
    EXPECT_TRUE(logged("conn: trying COM3"));
    // The swallowed error, with its formatted report.
    EXPECT_TRUE(logged("CLPGDevice::connectOnPort: ", LogLevel::Warning)) << loggedLines();
    EXPECT_TRUE(logged("CMemoryLink::open - no such device")) << loggedLines();
}

TEST_F(LinkPolicy, ControllerSilentAfterIdentifyingIsALostLink)
{
    EventLog events(device);
    link.setPeer([](const Bytes& request) {
        const PtyPeer::Frame f = parsed(request);
        // Only the identification is answered: an application of model 6 that gives readings.
        return f.payload.at(0) == 0xCC ? PtyPeer::frame(2, 0x0505, { 4, 6, 85, 0, 0, 0 }) : Bytes {};
    });
    EXPECT_FALSE(device.session().openConnection());
    EXPECT_FALSE(device.m_connected);
    ASSERT_EQ(ui.shown().size(), 2u); // the identity block, then what was not read
    const auto raised = events.all();
    ASSERT_EQ(raised.size(), 1u) << "no block changed, no connection";
    EXPECT_EQ(raised[0].kind, DeviceEvent::LinkLost);
    EXPECT_FALSE(raised[0].reason.empty());
    EXPECT_TRUE(logged("conn: " + raised[0].reason, LogLevel::Warning)) << loggedLines();
}

TEST_F(LinkPolicy, DemoModeIsAConnectionWithAWholeImage)
{
    EventLog events(device);
    device.session().startDemoMode();
    const auto raised = events.all();
    ASSERT_GE(raised.size(), 2u);
    EXPECT_EQ(raised[raised.size() - 2].kind, DeviceEvent::LinkConnected);
    EXPECT_EQ(raised.back().kind, DeviceEvent::ImageChanged);
    EXPECT_EQ(raised.back().block, ImageBlock::All);
    EXPECT_EQ(link.requestCount(), 0u);
}

TEST_F(LinkPolicy, BlockWriteRaisesItsBlockAndIsLogged)
{
    EventLog events(device);
    link.setPeer([](const Bytes&) { return PtyPeer::frame(2, 0x0303, { 4, 0, 0, 0, 0, 0 }); });
    EXPECT_TRUE(device.writeBlock(CReadBlocks::MainCorr));
    link.setPeer({});
    EXPECT_FALSE(device.writeBlock(CReadBlocks::SetupTimes1)); // silent: no event for a block that did not change

    const auto raised = events.all();
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0].kind, DeviceEvent::ImageChanged);
    EXPECT_EQ(raised[0].block, ImageBlock::MainCorr);
    EXPECT_TRUE(logged(
        "record type " + std::to_string(kRecMainCorr) + ", " + std::to_string(kMainCorrLength) + " bytes written"));
    EXPECT_TRUE(logged("no fitting answer in 15 attempts"));
}

TEST_F(LinkPolicy, PollingNumbersEveryRecordItAppends)
{
    EventLog events(device);
    startPolling([] { return liveAnswer(3); });
    ASSERT_TRUE(waitFor([&] { return device.diagData().newestSequence() >= 20; }));
    device.session().stopPolling();

    EXPECT_EQ(events.count(DeviceEvent::PollingStarted), 1);
    EXPECT_GE(events.count(DeviceEvent::PollingStopped), 1);
    std::vector<uint64_t> sequences;
    for (const auto& e : events.all())
        if (e.kind == DeviceEvent::ReadingsAppended)
            sequences.push_back(e.sequence);
    ASSERT_GE(sequences.size(), 20u);
    for (std::size_t i = 0; i < sequences.size(); ++i)
        EXPECT_EQ(sequences[i], i + 1);
    EXPECT_EQ(sequences.back(), device.diagData().newestSequence());
    // One record each 100 ms of the line's time.
    EXPECT_GE(link.now(), 100u * sequences.size());
}

TEST_F(LinkPolicy, PollingGivesUpAfterTheEleventhFaultSinceTheLastGoodRecord)
{
    EventLog events(device);
    // Ten faults and a good record, four times over; then only faults.
    startPolling([this] {
        const int n = ++answered;
        return n <= 44 && n % 11 == 0 ? liveAnswer(2) : brokenAnswer();
    });
    ASSERT_TRUE(waitFor([&] { return !device.session().pollingThreadRunning(); }));
    // Without the count starting again at each good record it would have ended at the 21st answer.
    EXPECT_EQ(answered, 44 + 11);
    EXPECT_FALSE(device.session().m_polling);
    EXPECT_FALSE(device.m_connected);
    EXPECT_FALSE(device.session().isRecording());
    EXPECT_EQ(device.diagData().count(), 0);
    EXPECT_TRUE(ui.shown().empty()) << "giving up after faults says nothing";
    EXPECT_EQ(events.count(DeviceEvent::PollingStopped), 1);
    const auto raised = events.all();
    ASSERT_FALSE(raised.empty());
    EXPECT_EQ(raised.back().kind, DeviceEvent::LinkLost);
    EXPECT_EQ(raised.back().reason, CDiagInputThread::kFaultReason);
}

TEST_F(LinkPolicy, AnswersOfAnotherTypeNeverEndPolling)
{
    startPolling([this] {
        ++answered;
        return PtyPeer::frame(2, 0x0404, { 4, 0, 0, 0, 0, 0 });
    });
    ASSERT_TRUE(waitFor([&] { return answered >= 300; }));
    EXPECT_TRUE(device.session().pollingThreadRunning());
    EXPECT_TRUE(device.m_connected);
    EXPECT_EQ(device.diagData().count(), 0);
}

TEST_F(LinkPolicy, ElevenFaultsInARowEndPollingAtTheEleventh)
{
    startPolling([] { return brokenAnswer(); });
    ASSERT_TRUE(waitFor([&] { return !device.session().pollingThreadRunning(); }));
    std::size_t live = 0;
    for (const auto& r : link.requests())
        live += isLiveRequest(r) ? 1 : 0;
    EXPECT_EQ(live, 11u);
    EXPECT_FALSE(device.session().m_polling);
}

TEST_F(LinkPolicy, PortErrorIsAnsweredByOneReopeningAfter700Ms)
{
    EventLog events(device);
    startPolling([this] {
        ++answered;
        return liveAnswer(3);
    });
    ASSERT_TRUE(waitFor([&] { return answered >= 3; }));

    // The adapter is gone and stays gone: one re-opening, then "Brak połączenia".
    const int opensBefore = link.opens();
    const uint64_t vanishedAt = link.now();
    link.setVanished(true);
    ASSERT_TRUE(waitFor([&] { return !device.session().pollingThreadRunning(); }));
    EXPECT_GE(link.now() - vanishedAt, 700u);
    EXPECT_LT(link.now() - vanishedAt, 700u + 2 * 1100u);
    EXPECT_EQ(link.opens(), opensBefore) << "the re-opening failed";
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, L"Brak połączenia");
    EXPECT_FALSE(device.m_connected);
    EXPECT_TRUE(device.session().m_polling) << "the thread ends without touching the flag";
    EXPECT_EQ(device.diagData().count(), 0);
    EXPECT_EQ(events.count(DeviceEvent::PollingStopped), 0);
    const auto raised = events.all();
    ASSERT_FALSE(raised.empty());
    EXPECT_EQ(raised.back().kind, DeviceEvent::LinkLost);
    EXPECT_EQ(raised.back().reason, CDiagInputThread::kPortReason);
}

TEST_F(LinkPolicy, PortBackForTheReopeningKeepsPolling)
{
    startPolling([this] {
        if (breakNext.exchange(false))
            throw new CRSError(6, L"test: the adapter hiccuped", 0, L"test");
        ++answered;
        return liveAnswer(3);
    });
    ASSERT_TRUE(waitFor([&] { return answered >= 3; }));
    const int opensBefore = link.opens();
    breakNext = true;
    const int before = answered;
    ASSERT_TRUE(waitFor([&] { return answered >= before + 5; }));
    EXPECT_EQ(link.opens(), opensBefore + 1);
    EXPECT_TRUE(device.session().pollingThreadRunning());
    EXPECT_TRUE(ui.shown().empty());
}

TEST_F(LinkPolicy, AnyOtherExceptionEndsPollingLikeAPortFailure)
{
    EventLog events(device);
    startPolling([this]() -> Bytes {
        if (++answered > 3)
            throw std::runtime_error("decoder out of range");
        return liveAnswer(3);
    });
    ASSERT_TRUE(waitFor([&] { return !device.session().pollingThreadRunning(); }));
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, L"Brak połączenia");
    EXPECT_FALSE(device.session().isRecording());
    EXPECT_EQ(device.diagData().count(), 0);
    EXPECT_EQ(events.all().back().kind, DeviceEvent::LinkLost);
    EXPECT_TRUE(logged("decoder out of range", LogLevel::Error)) << loggedLines();
}

} // namespace
