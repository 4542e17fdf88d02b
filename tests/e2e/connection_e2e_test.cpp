// SPDX-License-Identifier: GPL-3.0-or-later
// Connecting to korvana-sim through the real port code: every block read into
// the image, an unreadable sensor block reported once while the other ten
// blocks are read, an unreadable identity reported the same way, a controller
// falling silent ending the connection at its first silent block, a refused
// model code with its once-per-run message, the bootloader path handing over
// to the firmware update, an unknown bootloader sent back to its application,
// the last port stored
// as decimal text, the search order with the last port among others, a
// restarted simulator found again, demo mode, the connect-and-read-all
// time at the wire's pace, and what pages see of a write the controller refused.
#include "connectiontest.h"

#include <app/data/blockcodec.h>
#include <app/device/controllersearch.h>
#include <app/device/settingblocks.h>
#include <app/device/writesession.h>
#include <app/platform/profilestore.h>

#include <algorithm>
#include <cstdio>

namespace {

// The image after reading each block by itself, for comparison.
CSettingsImage readBlockByBlock(IPortTable& ports, uint32_t port, bool withSensors)
{
    CLPGDevice device(ports);
    device.link().configurePort(port);
    EXPECT_TRUE(device.session().identify());
    EXPECT_TRUE(device.readBlock(CReadBlocks::DevInfo));
    if (withSensors) {
        EXPECT_TRUE(device.readBlock(CReadBlocks::SensorsSetup));
    }
    for (auto block : { CReadBlocks::Base, CReadBlocks::Adv, CReadBlocks::MainCorr, CReadBlocks::SetupTimes1,
                        CReadBlocks::SetupTimes2, CReadBlocks::InjMap, CReadBlocks::AdvancedSetup,
                        CReadBlocks::PressCorr, CReadBlocks::AutomapSchedule, CReadBlocks::MapAxes })
        EXPECT_TRUE(device.readBlock(block));
    return device.image();
}

void expectSameBlocks(const CSettingsImage& got, const CSettingsImage& want)
{
    EXPECT_EQ(got.m_devInfo, want.m_devInfo);
    EXPECT_EQ(got.m_sensorsSetup, want.m_sensorsSetup);
    EXPECT_EQ(got.m_base, want.m_base);
    EXPECT_EQ(got.m_adv, want.m_adv);
    EXPECT_EQ(got.m_mainCorr, want.m_mainCorr);
    EXPECT_EQ(got.m_setupTimes1, want.m_setupTimes1);
    EXPECT_EQ(got.m_setupTimes2, want.m_setupTimes2);
    EXPECT_EQ(got.m_tableMask, want.m_tableMask);
    EXPECT_EQ(got.m_corrMap, want.m_corrMap);
    EXPECT_EQ(got.m_advancedSetup, want.m_advancedSetup);
    EXPECT_EQ(got.m_automapMode, want.m_automapMode);
    EXPECT_EQ(got.m_automapKm, want.m_automapKm);
}

// An answer that is no answer to anything: an acknowledge-shaped frame of type 7.
const Bytes kForeign = PtyPeer::frame(7, 0x0102, { 4, 0, 0, 0, 0, 0 });

TEST(SearchOrder, LastPortFirstThenAllInTurn)
{
    EXPECT_EQ(searchOrder(5, { 2, 5, 9 }), (std::vector<uint32_t> { 5, 2, 5, 9 }));
    EXPECT_EQ(searchOrder(7, { 2, 5, 9 }), (std::vector<uint32_t> { 2, 5, 9 })); // not present
    EXPECT_EQ(searchOrder(0, { 2, 5 }), (std::vector<uint32_t> { 2, 5 }));
    EXPECT_EQ(searchOrder(3, {}), (std::vector<uint32_t> {}));
}

TEST_F(ConnectionTest, ConnectReadsEveryBlock)
{
    auto sim = startSim({ "--model", "6", "--injectors", "6" });
    const uint32_t port = addPort(sim->ptyPath());
    CLPGDevice device(m_ports);
    std::vector<DeviceEventData> events;
    device.events().add([&events](const DeviceEventData& e) { events.push_back(e); });
    ASSERT_TRUE(device.session().connectOnPort(port));
    // Each block read said which block changed; the end of the sequence says the link is up and all is new.
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[0].kind, DeviceEvent::ImageChanged);
    EXPECT_EQ(events[0].block, ImageBlock::DevInfo);
    EXPECT_EQ(events[events.size() - 2].kind, DeviceEvent::LinkConnected);
    EXPECT_EQ(events.back().kind, DeviceEvent::ImageChanged);
    EXPECT_EQ(events.back().block, ImageBlock::All);
    EXPECT_TRUE(std::any_of(events.begin(), events.end(),
                            [](const DeviceEventData& e) { return e.block == ImageBlock::InjMap; }));
    EXPECT_TRUE(device.m_connected);
    EXPECT_FALSE(device.m_demo);
    EXPECT_TRUE(device.session().m_readingsAllowed);
    EXPECT_TRUE(ui.shown().empty());
    EXPECT_EQ(device.image().m_devInfo.m_deviceID, 6);
    EXPECT_EQ(device.image().m_devInfo.m_modelName, L"OREM 33EP MOLEX");
    EXPECT_EQ(device.image().m_devInfo.m_injCount, 6);
    EXPECT_EQ(device.image().m_devInfo.m_serial, L"SIM0412345");
    EXPECT_TRUE(device.link().port().isOpen()); // stays open for the session
    device.link().port().close(); // the port is exclusive

    // The same image as reading every block by itself; and not the defaults.
    const CSettingsImage byBlock = readBlockByBlock(m_ports, port, true);
    expectSameBlocks(device.image(), byBlock);
    EXPECT_NE(device.image().m_base, CSettingsImage {}.m_base);
    EXPECT_NE(device.image().m_corrMap, CSettingsImage {}.m_corrMap);
}

TEST_F(ConnectionTest, UnreadableSensorBlockIsReportedOnceAndTheRestIsRead)
{
    auto sim = startSim();
    auto proxy = std::make_unique<CSimProxy>(sim->ptyPath(), [](const PtyPeer::Frame& f) -> std::optional<Bytes> {
        if (isCommand(f, 0x2A))
            return kForeign;
        return std::nullopt;
    });
    const uint32_t port = addPort(proxy->path());
    CLPGDevice device(m_ports);
    ASSERT_TRUE(device.session().connectOnPort(port));
    EXPECT_TRUE(device.m_connected);

    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, L"Nie powiodło się wczytanie ustawień urządzenia!");
    EXPECT_EQ(ui.shown()[0].caption, L"KORVANA");
    EXPECT_EQ(ui.shown()[0].icon, MsgIcon::Error);
    // One retry after 131 ms; 15 attempts each time.
    EXPECT_EQ(ui.clockMs(), 131u);
    int sensorRequests = 0;
    for (const auto& r : proxy->requests())
        sensorRequests += PtyPeer::parse(r) && isCommand(*PtyPeer::parse(r), 0x2A);
    EXPECT_EQ(sensorRequests, 30);
    proxy.reset();

    // The sensor block keeps its defaults (the pressure table beside it is its
    // own block); the other ten came from the controller.
    CSensorsSetup sensors = CSettingsImage {}.m_sensorsSetup;
    sensors.m_pressCorr = device.image().m_sensorsSetup.m_pressCorr;
    EXPECT_EQ(device.image().m_sensorsSetup, sensors);
    const CSettingsImage byBlock = readBlockByBlock(m_ports, addPort(sim->ptyPath()), false);
    expectSameBlocks(device.image(), byBlock);
}

// The identity answered with something else: one message, the rest is read
// and the connection stands (the answers came, so the link is not lost).
TEST_F(ConnectionTest, UnreadableIdentityIsReportedOnceAndTheRestIsRead)
{
    auto sim = startSim();
    auto proxy = std::make_unique<CSimProxy>(sim->ptyPath(), [](const PtyPeer::Frame& f) -> std::optional<Bytes> {
        if (isCommand(f, 0x0D))
            return kForeign;
        return std::nullopt;
    });
    CLPGDevice device(m_ports);
    ASSERT_TRUE(device.session().connectOnPort(addPort(proxy->path())));
    EXPECT_TRUE(device.m_connected);
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, L"Nie powiodło się odczytanie wersji urządzenia!");
    EXPECT_EQ(ui.shown()[0].caption, L"KORVANA");
    EXPECT_EQ(ui.shown()[0].icon, MsgIcon::Error);
    int identityRequests = 0;
    for (const auto& r : proxy->requests())
        identityRequests += PtyPeer::parse(r) && isCommand(*PtyPeer::parse(r), 0x0D);
    EXPECT_EQ(identityRequests, 30); // twice 15 attempts, no wait between
    EXPECT_FALSE(device.readBlocks().has(CReadBlocks::DevInfo));
    EXPECT_TRUE(device.readBlocks().has(CReadBlocks::MapAxes));
    EXPECT_EQ(device.image().m_devInfo.m_serial, L"");
    EXPECT_NE(device.image().m_base, CSettingsImage {}.m_base);
}

// The controller falls silent after its identity: the first block that gets
// no byte in any attempt ends the connection; nothing after it is asked for.
TEST_F(ConnectionTest, ControllerFallingSilentEndsTheConnection)
{
    auto sim = startSim();
    std::atomic<bool> silent { false };
    auto proxy
        = std::make_unique<CSimProxy>(sim->ptyPath(), [&silent](const PtyPeer::Frame& f) -> std::optional<Bytes> {
              if (isCommand(f, 0x07)) // the base block, second after the sensors
                  silent = true;
              if (silent)
                  return Bytes {};
              return std::nullopt;
          });
    CLPGDevice device(m_ports);
    EXPECT_FALSE(device.session().connectOnPort(addPort(proxy->path())));
    EXPECT_FALSE(device.m_connected);
    EXPECT_FALSE(device.link().port().isOpen());
    ASSERT_EQ(ui.shown().size(), 2u);
    EXPECT_EQ(ui.shown()[0].text, L"Nie powiodło się wczytanie ustawień urządzenia!");
    EXPECT_EQ(ui.shown()[1].text,
        L"Sterownik przestał odpowiadać. Nie wczytano:\nm_base, m_adv, m_mainCorr, "
        L"m_setupTimes1, m_setupTimes2, m_injMapTable, m_advancedSetup, m_pressCorr, "
        L"m_automapMode, m_injTimeAxis/m_rpmAxis");
    EXPECT_EQ(ui.clockMs(), 0u) << "no retry of a silent block";
    int baseRequests = 0;
    bool later = false;
    for (const auto& r : proxy->requests()) {
        const auto f = PtyPeer::parse(r);
        baseRequests += f && isCommand(*f, 0x07);
        later = later || (f && isCommand(*f, 0x08));
    }
    EXPECT_EQ(baseRequests, 15);
    EXPECT_FALSE(later) << "a block after the silent one was asked for";
}

// A bootloader whose id we do not know is told to start its application: a
// leave (0x60) after each unknown answer, then 0x60 and the restart 0x0A.
TEST_F(ConnectionTest, UnknownBootloaderIsSentBackToItsApplication)
{
    PtyPeer peer;
    peer.serve([](const Bytes& request) {
        const auto f = PtyPeer::parse(request);
        if (!f)
            return std::vector<PtyPeer::Reply> {};
        if (isCommand(*f, 0xCC))
            return std::vector<PtyPeer::Reply> { { PtyPeer::frame(2, 0x0042, { 5, 0, 0, 0, 0, 0 }) } };
        if (isCommand(*f, 0xC5) || isCommand(*f, 0xC4))
            return std::vector<PtyPeer::Reply> { { PtyPeer::frame(2, 0x0042, { 4, 200, 0, 0, 0, 0 }) } };
        return std::vector<PtyPeer::Reply> { { PtyPeer::frame(2, 0x0042, { 4, f->payload[0], 0, 0, 0, 0 }) } };
    });
    CLPGDevice device(m_ports);
    bool updated = false;
    device.session().setFirmwareUpdate([&updated](bool) { return updated = true; });
    EXPECT_FALSE(device.session().connectOnPort(addPort(peer.path())));
    EXPECT_FALSE(device.m_connected);
    EXPECT_FALSE(updated);
    EXPECT_TRUE(ui.shown().empty());
    peer.stop();
    std::vector<int> codes;
    for (const auto& r : peer.requests())
        if (const auto f = PtyPeer::parse(r))
            codes.push_back(f->payload.at(0));
    EXPECT_EQ(codes, (std::vector<int> { 0xCC, 0xC5, 0x60, 0xC4, 0x60, 0x60, 0x0A }));
}

TEST_F(ConnectionTest, UnknownModelIsRefusedWithOneMessagePerRun)
{
    PtyPeer peer;
    peer.serve([](const Bytes& request) {
        const auto f = PtyPeer::parse(request);
        if (f && isCommand(*f, 0xCC))
            return std::vector<PtyPeer::Reply> { { PtyPeer::frame(2, 0x0042, { 4, 7, 85, 0, 0, 0 }) } };
        return std::vector<PtyPeer::Reply> {};
    });
    const uint32_t port = addPort(peer.path());
    CLPGDevice device(m_ports);
    EXPECT_FALSE(device.session().connectOnPort(port));
    EXPECT_FALSE(device.m_connected);
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, L"Brak połączenia");
    EXPECT_EQ(ui.shown()[0].icon, MsgIcon::Error);
    EXPECT_EQ(device.image().m_devInfo.m_deviceID, 0); // untouched

    EXPECT_FALSE(device.session().connectOnPort(port));
    EXPECT_EQ(ui.shown().size(), 1u); // silent the second time
    peer.stop();
    // Nothing but identification was asked, one attempt per connection.
    const auto requests = peer.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& r : requests) {
        const auto f = PtyPeer::parse(r);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->payload, (Bytes { 0xCC, 0, 0, 4, 0, 0 }));
    }
    EXPECT_FALSE(CProfileStore().lastPortNumber());
}

TEST_F(ConnectionTest, IdentifyMakesFourAttemptsAndReadsTheReadingsMark)
{
    // Three foreign answers, then a controller that does not allow live readings.
    std::atomic<int> asked { 0 };
    PtyPeer peer;
    peer.serve([&asked](const Bytes&) {
        if (++asked < 4)
            return std::vector<PtyPeer::Reply> { { kForeign } };
        return std::vector<PtyPeer::Reply> { { PtyPeer::frame(2, 0x0042, { 4, 16, 84, 0, 0, 0 }) } };
    });
    CLPGDevice device(m_ports);
    device.link().configurePort(addPort(peer.path()));
    EXPECT_TRUE(device.session().identify());
    EXPECT_EQ(asked.load(), 4);
    EXPECT_EQ(device.image().m_devInfo.m_modelName, L"OREM K410 33EP FCI");
    EXPECT_FALSE(device.session().m_readingsAllowed);
    // Without readings polling does not start.
    EXPECT_FALSE(device.session().startPolling("\\"));
    EXPECT_FALSE(device.session().m_polling);

    asked = -100; // only foreign answers now
    EXPECT_FALSE(device.session().identify());
    EXPECT_EQ(asked.load(), -96);
}

TEST_F(ConnectionTest, BootloaderNamesTheModelAndStartsTheUpdate)
{
    struct Case {
        const char* model;
        const wchar_t* name;
    };
    for (const Case& c : { Case { "5", L"OREM 33F MOLEX" }, Case { "6", L"OREM 33EP MOLEX" } }) {
        auto sim = startSim({ "--bootloader", "--model", c.model });
        ui.clearShown();
        CLPGDevice device(m_ports);
        std::vector<bool> updates;
        device.session().setFirmwareUpdate([&updates](bool forced) {
            updates.push_back(forced);
            return false;
        });
        EXPECT_FALSE(device.session().connectOnPort(addPort(sim->ptyPath())));
        EXPECT_EQ(updates, std::vector<bool> { true });
        EXPECT_EQ(device.image().m_devInfo.m_modelName, c.name);
        EXPECT_EQ(device.image().m_devInfo.m_version, 768);
        ASSERT_EQ(ui.shown().size(), 1u);
        EXPECT_EQ(ui.shown()[0].text, L"Sterownik nie jest poprawnie zaprogramowany i wymaga przeprogramowania.");
        EXPECT_EQ(ui.shown()[0].icon, MsgIcon::Information);
        EXPECT_EQ(ui.shown()[0].caption, L"KORVANA");
    }
    // Without an update behind it the bootloader path fails.
    auto sim = startSim({ "--bootloader" });
    CLPGDevice device(m_ports);
    EXPECT_FALSE(device.session().connectOnPort(addPort(sim->ptyPath())));
    EXPECT_FALSE(device.m_connected);
}

TEST_F(ConnectionTest, ConnectionOnCom12StoresTheText12)
{
    const std::string link = m_dir + "/com12";
    auto sim = startSim({ "--link", link });
    // Fill the numbers below 12 with paths that are never present.
    int filler = 0;
    while (m_ports.pathOf(11).empty() && filler < 20)
        addPort("/nonexistent/korvana-filler-" + std::to_string(filler++));
    const uint32_t port = addPort(link);
    if (port != 12)
        GTEST_SKIP() << "COM12 is taken on this machine (got " << port << ")";
    CLPGDevice device(m_ports);
    ASSERT_TRUE(device.session().connectOnPort(12));
    std::FILE* f = std::fopen((m_dir + "/cfg/KORVANA/profile.ini").c_str(), "rb");
    ASSERT_TRUE(f);
    char text[256] = {};
    const std::size_t n = std::fread(text, 1, sizeof text - 1, f);
    std::fclose(f);
    EXPECT_EQ(std::string(text, n), "[Software\\KORVANA]\nLast RS nr=12\nLast RS path=" + link + "\n\n");
}

TEST_F(ConnectionTest, SearchAsksEveryPortAtOnceAndTakesTheLastPortFirst)
{
    // A answers nothing useful; B, the last port, is a controller silent to
    // its first identification; C is a controller that answers at once.
    std::mutex lock;
    std::vector<char> asked;
    PtyPeer a;
    a.serve([&](const Bytes&) {
        std::lock_guard guard(lock);
        asked.push_back('A');
        return std::vector<PtyPeer::Reply> { { kForeign } };
    });
    auto simB = startSim();
    std::atomic<int> identifiesB { 0 };
    CSimProxy b(simB->ptyPath(), [&](const PtyPeer::Frame& f) -> std::optional<Bytes> {
        if (isCommand(f, 0xCC) && identifiesB++ == 0)
            return Bytes {};
        return std::nullopt;
    });
    auto simC = startSim();
    const uint32_t na = addPort(a.path());
    const uint32_t nb = addPort(b.path());
    const uint32_t nc = addPort(simC->ptyPath());
    std::vector<PortEntry> present;
    for (const auto& e : m_ports.presentPorts()) {
        if (e.number == na || e.number == nb || e.number == nc)
            present.push_back(e);
    }
    ASSERT_EQ(present.size(), 3u);

    CProfileStore profile;
    profile.storeLastPort(nb, b.path());
    CLPGDevice device(m_ports);
    ASSERT_TRUE(searchController(device, present, profile));
    EXPECT_EQ(device.link().port().portNr(), nb) << "C answered a second sooner, but the last port comes first";
    EXPECT_GE(identifiesB.load(), 3) << "B: the silent try, the answered one, connectOnPort's own";
    EXPECT_NE(simC->send("bytes").rfind("ok in=0 ", 0), 0u) << "C was asked at the same time";
    std::lock_guard guard(lock);
    EXPECT_EQ(asked.size(), 4u) << "A was given its four identification attempts";
}

TEST_F(ConnectionTest, FirstAnswerEndsTheSearchAndNothingIsSentAfterIt)
{
    // Two silent ports around a controller, and no last port: the controller
    // is taken as soon as it answers, and the silent ports are let go after
    // the attempt they are in.
    PtyPeer a;
    PtyPeer c;
    a.serve([](const Bytes&) { return std::vector<PtyPeer::Reply> {}; });
    c.serve([](const Bytes&) { return std::vector<PtyPeer::Reply> {}; });
    auto sim = startSim();
    const uint32_t na = addPort(a.path());
    const uint32_t nb = addPort(sim->ptyPath());
    const uint32_t nc = addPort(c.path());
    std::vector<PortEntry> present;
    for (const auto& e : m_ports.presentPorts()) {
        if (e.number == na || e.number == nb || e.number == nc)
            present.push_back(e);
    }
    ASSERT_EQ(present.size(), 3u);

    CLPGDevice device(m_ports);
    std::vector<SearchAttempt> attempts;
    ASSERT_TRUE(searchController(device, present, CProfileStore {}, &attempts));
    EXPECT_EQ(device.link().port().portNr(), nb);
    EXPECT_TRUE(attempts.empty()) << "a port let go is no failure";
    const std::size_t askedA = a.requests().size();
    const std::size_t askedC = c.requests().size();
    EXPECT_LT(askedA, 4u) << "A was not given all its attempts";
    EXPECT_LT(askedC, 4u);
    // The device goes on talking to its controller; the others hear nothing more.
    EXPECT_TRUE(device.readBlock(CReadBlocks::DevInfo));
    EXPECT_EQ(a.requests().size(), askedA);
    EXPECT_EQ(c.requests().size(), askedC);
}

TEST_F(ConnectionTest, RestartedSimulatorOnTheSamePathIsFoundAgain)
{
    const std::string link = m_dir + "/controller";
    auto sim = startSim({ "--link", link });
    const uint32_t port = addPort(link);
    auto presentLink = [&] {
        std::vector<PortEntry> present;
        for (const auto& e : m_ports.presentPorts()) {
            if (e.number == port)
                present.push_back(e);
        }
        return present;
    };
    CProfileStore profile;
    CLPGDevice device(m_ports);
    ASSERT_TRUE(searchController(device, presentLink(), profile));
    sim->stop();
    sim.reset();
    EXPECT_FALSE(searchController(device, presentLink(), profile));
    EXPECT_FALSE(device.m_connected);

    sim = startSim({ "--link", link });
    ASSERT_EQ(presentLink().size(), 1u);
    ASSERT_TRUE(searchController(device, presentLink(), profile));
    EXPECT_TRUE(device.m_connected);
    EXPECT_EQ(device.link().port().portNr(), port);
}

TEST_F(ConnectionTest, DemoModeAndRunningWithoutConnection)
{
    CLPGDevice device(m_ports);
    device.session().startDemoMode();
    EXPECT_TRUE(device.m_demo);
    EXPECT_TRUE(device.m_connected);
    EXPECT_EQ(device.image().m_devInfo.m_serial, L"XZ0001");
    EXPECT_TRUE(device.session().openConnection()); // nothing to do in demo mode
    EXPECT_FALSE(device.link().port().isOpen());
    device.session().runWithoutConnection();
    EXPECT_FALSE(device.m_demo);
    EXPECT_FALSE(device.m_connected);
}

TEST_F(ConnectionTest, ClosedPortIsNoConnectionAndIsClosedAgain)
{
    CLPGDevice device(m_ports);
    EXPECT_FALSE(device.session().connectOnPort(addPort("/nonexistent/ttyUSB42")));
    PtyPeer foreign;
    foreign.serve([](const Bytes&) { return std::vector<PtyPeer::Reply> { { kForeign } }; });
    EXPECT_FALSE(device.session().connectOnPort(addPort(foreign.path())));
    EXPECT_FALSE(device.link().port().isOpen());
    EXPECT_TRUE(ui.shown().empty());
}

TEST_F(ConnectionTest, ConnectAndReadAllAtWirePace)
{
    // The bytes of a whole connection, counted through the proxy ...
    auto counted = startSim();
    std::size_t bytes = 0;
    {
        CSimProxy proxy(counted->ptyPath(), nullptr);
        CLPGDevice device(m_ports);
        ASSERT_TRUE(device.session().connectOnPort(addPort(proxy.path())));
        bytes = proxy.bytesSent() + proxy.bytesAnswered();
    }
    // ... and the time of one straight to a simulator that answers at 38400 baud.
    auto paced = startSim({ "--pace" });
    CLPGDevice device(m_ports);
    const uint32_t port = addPort(paced->ptyPath());
    const auto start = Clock::now();
    ASSERT_TRUE(device.session().connectOnPort(port));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double wire = bytes * 10.0 / 38400;
    std::printf("connect and read all: %zu bytes, %.3f s, wire time %.3f s, ratio %.2f\n", bytes, seconds, wire,
                seconds / wire);
    RecordProperty("bytes", static_cast<int>(bytes));
    RecordProperty("ratio_x100", static_cast<int>(seconds / wire * 100));
}

} // namespace

TEST_F(ConnectionTest, PagesSeeOnlyWhatTheControllerConfirmed)
{
    auto sim = startSim();
    CLPGDevice device(m_ports);
    ASSERT_TRUE(device.session().connectOnPort(addPort(sim->ptyPath())));
    const CSettingsImage read = device.image();

    // A procedure's next values, not written yet: the pages still see what was read.
    device.liveImage().m_base.m_switchDelay = read.m_base.m_switchDelay + 10;
    device.liveImage().m_adv.m_pwm = read.m_adv.m_pwm + 5;
    EXPECT_EQ(device.image().m_base.m_switchDelay, read.m_base.m_switchDelay);
    EXPECT_EQ(device.image().m_adv.m_pwm, read.m_adv.m_pwm);

    // The base block is taken, the advanced one refused: the base block is put back.
    ASSERT_EQ(sim->send("refuse record " + std::to_string(kRecAdv)), "ok refuse record " + std::to_string(kRecAdv));
    const CWriteReport report = CWriteSession::writeBlocks(device, L"test", { CReadBlocks::Base, CReadBlocks::Adv });
    EXPECT_EQ(report.outcome, CWriteReport::Outcome::NotWritten);
    EXPECT_EQ(report.putBack, uint32_t { CReadBlocks::Base });
    for (auto block : { CReadBlocks::Base, CReadBlocks::Adv }) {
        EXPECT_TRUE(sameBlock(block, device.image(), device.heldImage())) << CReadBlocks::name(block);
        EXPECT_TRUE(sameBlock(block, device.liveImage(), device.heldImage())) << CReadBlocks::name(block);
    }
    EXPECT_EQ(device.image().m_base.m_switchDelay, read.m_base.m_switchDelay);
    EXPECT_EQ(device.image().m_adv.m_pwm, read.m_adv.m_pwm);

    // A page's own edit is seen at once, before any write.
    device.changeImage([](CSettingsImage& image) { image.m_adv.m_pwm = 40; });
    EXPECT_EQ(device.image().m_adv.m_pwm, 40);
    EXPECT_EQ(device.liveImage().m_adv.m_pwm, 40);
}
