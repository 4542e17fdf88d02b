// SPDX-License-Identifier: GPL-3.0-or-later
// The firmware update against the simulator's controller model, run
// in-process behind a pseudo-terminal: the file chosen from the model's
// folder, the checks that refuse a file before the controller leaves its
// application (model name, marker, downgrade rules, nothing to program), data
// past the application's end left out and logged,
// the access codes and bootloader queries of the 10 attempts, erase at block
// boundaries only, the rows landing at their addresses, leave and restart,
// the reconnection, the settings carried across versions, polling stopped and
// restarted, and the forced form. Requests are judged as parsed by the test
// support's own frame code; the flash as the simulator holds it.
#include <afmbuilder.h>
#include <app/data/identity.h>
#include <app/device/firmwareupdate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/programdir.h>
#include <tools/sim/simulator.h>

#include "ptypeer.h"
#include "scriptedinteraction.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Bytes = PtyPeer::Bytes;
using Frame = PtyPeer::Frame;

const std::wstring kProgramFailed = L"Nie powiodło się zaprogramowanie urządzenia!";
const std::wstring kWrongFile = L"Niewłaściwy plik firmware dla sterownika!";
const std::wstring kDowngrade
    = L"Wersja sterownika jest nowsza niż wersja pliku firmware.\nCzy chcesz zaprogramować sterownik starszą wersją?";

// Records what the file dialog and the questions were given.
class RecordingInteraction : public CScriptedInteraction {
public:
    std::string chooseFile(bool save, const std::wstring& title, const std::wstring& filter, const std::string& folder,
                           const std::string& name) override
    {
        filters.push_back(filter);
        folders.push_back(folder);
        return CScriptedInteraction::chooseFile(save, title, filter, folder, name);
    }
    bool question(const std::wstring& text, const std::wstring& caption, MsgIcon icon, bool defaultYes) override
    {
        questionDefaults.push_back(defaultYes);
        return CScriptedInteraction::question(text, caption, icon, defaultYes);
    }
    void sleep(unsigned ms) override
    {
        if (ms == 1000)
            ++secondWaits;
        CScriptedInteraction::sleep(ms);
    }
    std::vector<std::wstring> filters;
    std::vector<std::string> folders;
    std::vector<bool> questionDefaults;
    int secondWaits = 0;
};

uint32_t u32(const Bytes& b)
{
    return static_cast<uint32_t>(b.at(0) | b.at(1) << 8 | b.at(2) << 16 | b.at(3) << 24);
}

class FirmwareUpdateTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        peer.stop();
        if (!m_dir.empty())
            fs::remove_all(m_dir);
    }

    // A controller of model (application mode unless bootloader) on the link;
    // the device image as the identification would have left it.
    void start(uint8_t model, uint16_t version, bool bootloader = false)
    {
        reset();
        m_firstRequest = peer.requests().size();
        SimConfig config;
        config.identity.model = model;
        config.identity.version = version;
        config.bootloader = bootloader;
        config.engine = EngineState::Off;
        config.fuel = FuelMode::Petrol;
        m_sim = std::make_unique<CSimulator>(config);
        prepare(*m_sim);
        peer.serve([this](const Bytes& request) {
            std::lock_guard lock(m_mutex);
            const auto frame = PtyPeer::parse(request);
            if (frame && intercept) {
                if (auto replaced = intercept(*frame))
                    return replaced->empty() ? std::vector<PtyPeer::Reply> {}
                                             : std::vector<PtyPeer::Reply> { { *replaced } };
            }
            std::vector<PtyPeer::Reply> replies;
            for (auto& out : m_sim->receive(request.data(), request.size(), 0, false))
                replies.push_back({ out.bytes });
            return replies;
        });
        device.link().configurePort(device.link().ports().addPath(peer.path(), "test"));
        ASSERT_TRUE(setModel(device.liveImage().m_devInfo, model));
        device.liveImage().m_devInfo.m_version = bootloader ? 768 : version;
        device.m_connected = !bootloader;

        update.onStopPolling = [this] {
            events.push_back("stop");
            requestsAtStop = peer.requests().size() - m_firstRequest;
        };
        update.onStartPolling = [this] { events.push_back("start"); };
        device.events().add([this](const DeviceEventData& e) {
            if (e.kind == DeviceEvent::ImageChanged && e.block == ImageBlock::All)
                events.push_back("refresh");
        });
        update.onReconnect = [this] {
            events.push_back("reconnect");
            const bool ok = device.readBlock(CReadBlocks::DevInfo) && device.readBlock(CReadBlocks::AdvancedSetup);
            device.m_connected = ok;
            return ok;
        };
        update.onRow = [this](std::size_t done, std::size_t total) {
            rowsReported = done;
            rowsTotal = total;
        };
    }

    // Settings of the simulated controller before it runs; overridden per test.
    std::function<void(CSimulator&)> prepare = [](CSimulator&) {};

    std::string afmFile(const AfmContent& content, const std::string& name = "fw.afm")
    {
        if (m_dir.empty()) {
            m_dir = fs::temp_directory_path() / ("korvana-fwupdate-" + std::to_string(::getpid()));
            fs::create_directories(m_dir);
        }
        const auto bytes = buildAfm(content);
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    AfmContent firmware(uint8_t model, uint16_t version, uint32_t seed = 7)
    {
        AfmContent c;
        c.image = syntheticImage(*afmModel(model), version, seed);
        c.version = version;
        c.modelName = afmModel(model)->name;
        return c;
    }

    // The requests since the last start().
    std::vector<Frame> frames()
    {
        peer.stop();
        const auto all = peer.requests();
        std::vector<Frame> out;
        for (std::size_t i = m_firstRequest; i < all.size(); ++i)
            out.push_back(*PtyPeer::parse(all[i]));
        return out;
    }

    // Ready for another scenario in the same test.
    void reset()
    {
        peer.stop();
        intercept = nullptr;
        ui.clearShown();
        ui.questionDefaults.clear();
        ui.filters.clear();
        ui.folders.clear();
        ui.secondWaits = 0;
        events.clear();
    }
    static std::size_t count(const std::vector<Frame>& fs, uint8_t type, int code = -1)
    {
        return static_cast<std::size_t>(std::count_if(fs.begin(), fs.end(), [&](const Frame& f) {
            return f.type == type && (code < 0 || (!f.payload.empty() && f.payload[0] == code));
        }));
    }

    // Every instruction of [first, end) holds the image's three bytes.
    void expectFlashHolds(const std::vector<uint8_t>& image, uint32_t first, uint32_t end)
    {
        std::lock_guard lock(m_mutex);
        const auto& flash = m_sim->controller().bootloader().flash();
        std::size_t wrong = 0;
        for (uint32_t a = first; a < end; a += 2)
            for (std::size_t k = 0; k < 3; ++k)
                if (flash.at(a / 2 * 3 + k) != image.at(2 * std::size_t { a } + k))
                    ++wrong;
        EXPECT_EQ(wrong, 0u) << "bytes differing from the image";
    }

    bool simInBootloader()
    {
        std::lock_guard lock(m_mutex);
        return m_sim->controller().bootloaderMode();
    }
    Bytes simRecord(uint8_t code)
    {
        std::lock_guard lock(m_mutex);
        return m_sim->controller().store().record(code);
    }

    PtyPeer peer;
    CLPGDevice device;
    RecordingInteraction ui;
    CInteractionScope scope { ui };
    CFirmwareUpdate update { device };
    std::function<std::optional<Bytes>(const Frame&)> intercept;
    std::vector<std::string> events;
    std::size_t requestsAtStop = 0;
    std::size_t rowsReported = 0;
    std::size_t rowsTotal = 0;

private:
    std::unique_ptr<CSimulator> m_sim;
    std::mutex m_mutex;
    fs::path m_dir;
    std::size_t m_firstRequest = 0;
};

Bytes refusalOf(uint8_t code)
{
    return PtyPeer::frame(2, 0x1111, { 0, code, 0, 0, 0, 0 });
}

TEST_F(FirmwareUpdateTest, UserUpdateProgramsModel5AndReconnects)
{
    start(5, 0x0306);
    const auto fw = firmware(5, 0x0307);
    ui.queueFile(afmFile(fw));

    ASSERT_TRUE(update.update(false));
    EXPECT_TRUE(ui.texts().empty());
    EXPECT_EQ(ui.filters, (std::vector<std::wstring> { L"Firmware files (*.afm)|*.afm|" }));
    EXPECT_EQ(ui.folders, (std::vector<std::string> { (programDir() / "KORVANA Firmware" / "33F MOLEX32").string() }));
    EXPECT_EQ(ui.secondWaits, 2);
    EXPECT_EQ(events, (std::vector<std::string> { "stop", "reconnect", "start", "refresh" }));
    EXPECT_EQ(device.image().m_devInfo.m_version, 0x0307);
    EXPECT_TRUE(device.m_connected);
    EXPECT_FALSE(simInBootloader());
    expectFlashHolds(fw.image, 0x2000, 0x9C00);
    EXPECT_EQ(rowsReported, 248u);
    EXPECT_EQ(rowsTotal, 248u);

    const auto fs = frames();
    // The fuel state is taken (no polling here: one reading), then the car is put on petrol.
    ASSERT_GE(fs.size(), 2u);
    EXPECT_EQ(fs[0].payload, (Bytes { 0x24, 0, 0, 0, 0, 0 }));
    EXPECT_EQ(fs[1].payload, (Bytes { 0x02, 0, 0, 0, 0, 0 }));
    // It ran on petrol before, so it stays there: no automatic mode of the update's own.
    EXPECT_EQ(count(fs, 2, 0x03), 0u);
    // Polling stopped before the controller was asked to leave its application.
    for (std::size_t i = 0; i < requestsAtStop; ++i)
        EXPECT_NE(fs[i].type, 0xF6);
    // The model's application takes the first code; the id is then asked twice.
    ASSERT_EQ(count(fs, 0xF6), 1u);
    const auto f6 = std::find_if(fs.begin(), fs.end(), [](const Frame& f) { return f.type == 0xF6; });
    EXPECT_EQ(f6->payload, (Bytes { 'Q', 'Q', '4', '0', '2', '9', '1', '7' }));
    EXPECT_EQ((f6 + 1)->payload, (Bytes { 0xC5, 0, 0, 0, 0, 0 }));
    EXPECT_EQ((f6 + 2)->payload, (Bytes { 0xC5, 0, 0, 0, 0, 0 }));
    // 0x7C00 address units: 31 blocks of 0x400, 248 rows of 128.
    EXPECT_EQ(count(fs, 0xF9), 31u);
    EXPECT_EQ(count(fs, 0xF7), 248u);
    uint32_t expected = 0x2000;
    for (const auto& f : fs) {
        if (f.type == 0xF7) {
            ASSERT_EQ(f.payload.size(), 196u);
            EXPECT_EQ(u32(f.payload), expected);
            expected += 128;
        }
    }
    const auto leave = std::find_if(fs.begin(), fs.end(), [](const Frame& f) { return f.type == 2 && f.payload[0] == 0x60; });
    ASSERT_NE(leave, fs.end());
    EXPECT_EQ((leave - 1)->type, 0xF7);
    EXPECT_EQ((leave + 1)->payload[0], 0x0A);
}

TEST_F(FirmwareUpdateTest, Model6TakesTheSecondCodeAndErasesOnlyAtItsBlocks)
{
    start(6, 0x0306);
    const auto fw = firmware(6, 0x0307);
    ui.queueFile(afmFile(fw));
    ASSERT_TRUE(update.update(false));
    EXPECT_EQ(ui.folders.at(0), (programDir() / "KORVANA Firmware" / "33EP MOLEX32").string());
    expectFlashHolds(fw.image, 0x1800, 0x8800);

    const auto fs = frames();
    std::vector<Bytes> codes;
    for (const auto& f : fs)
        if (f.type == 0xF6)
            codes.push_back(f.payload);
    ASSERT_EQ(codes.size(), 2u);
    EXPECT_EQ(codes[1], (Bytes { 'B', 'Q', '4', '0', '2', '9', '1', '7' }));
    // Between the two codes the id query with 0xC4, three tries.
    const auto first = std::find_if(fs.begin(), fs.end(), [](const Frame& f) { return f.type == 0xF6; });
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ((first + i)->payload, (Bytes { 0xC4, 0, 0, 0, 0, 0 }));
    EXPECT_EQ((first + 4)->type, 0xF6);

    // 0x7000 units: 14 erases of 0x800, each directly before the row at the same
    // address; rows off a block boundary (0x1880 …) come without one.
    EXPECT_EQ(count(fs, 0xF9), 14u);
    for (std::size_t i = 0; i + 1 < fs.size(); ++i) {
        if (fs[i].type == 0xF9) {
            const uint32_t a = u32(fs[i].payload);
            EXPECT_EQ(a % 0x800, 0u);
            EXPECT_EQ(fs[i + 1].type, 0xF7);
            EXPECT_EQ(u32(fs[i + 1].payload), a);
        }
        if (fs[i].type == 0xF7 && u32(fs[i].payload) == 0x1880) {
            EXPECT_EQ(fs[i - 1].type, 0xF7);
        }
    }
}

TEST_F(FirmwareUpdateTest, RowsCarryThreeOfEveryFourImageBytes)
{
    start(5, 0x0306);
    auto fw = firmware(5, 0x0307);
    // Pad bytes set to a value that must never travel.
    for (std::size_t i = 3; i < fw.image.size(); i += 4)
        fw.image[i] = 0xEE;
    ui.queueFile(afmFile(fw));
    ASSERT_TRUE(update.update(false));
    const auto fs = frames();
    const auto row = std::find_if(fs.begin(), fs.end(), [](const Frame& f) { return f.type == 0xF7; });
    ASSERT_NE(row, fs.end());
    Bytes expected;
    for (std::size_t i = 0x4000; i < 0x4100; ++i)
        if (i % 4 != 3)
            expected.push_back(fw.image[i]);
    EXPECT_EQ(Bytes(row->payload.begin() + 4, row->payload.end()), expected);
    EXPECT_EQ(row->payload[7], fw.image[0x4004]);
}

// Files that must be refused before anything leaves the controller's application.
TEST_F(FirmwareUpdateTest, WrongFilesAreRefusedBeforeTheBootloader)
{
    struct Case {
        const char* what;
        uint16_t controller;
        std::function<void(AfmContent&)> change;
        std::vector<bool> answers;
        std::vector<std::wstring> texts;
    };
    const Case cases[] = {
        { "other model", 0x0306, [](AfmContent& c) { c.modelName = "OREM 33F TYCO"; }, {}, { kWrongFile } },
        { "marker", 0x0306, [](AfmContent& c) { c.marker = 0x0102; }, {}, { kWrongFile } },
        { "checksum", 0x0306, [](AfmContent& c) { c.checksumDelta = 1; }, {}, { kProgramFailed } },
        { "3.7 to 3.6 after yes", 0x0307, [](AfmContent& c) { c.version = 0x0306; }, { true },
            { kDowngrade, kWrongFile } },
        { "downgrade declined", 0x0306, [](AfmContent& c) { c.version = 0x0305; }, { false }, { kDowngrade } },
        { "nothing in the range", 0x0306, [](AfmContent& c) { c.image.resize(2 * 0x2000); }, {}, { kWrongFile } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start(5, c.controller);
        auto fw = firmware(5, 0x0307);
        c.change(fw);
        ui.queueFile(afmFile(fw));
        for (bool a : c.answers)
            ui.queueAnswer(a);
        EXPECT_FALSE(update.update(false));
        EXPECT_EQ(ui.texts(), c.texts);
        for (const auto& shown : ui.shown())
            EXPECT_EQ(shown.caption, L"KORVANA");
        if (!c.answers.empty()) {
            EXPECT_EQ(ui.questionDefaults, (std::vector<bool> { false })); // No has the focus
            EXPECT_EQ(ui.shown().front().icon, MsgIcon::Question);
        }
        if (!ui.shown().empty() && !ui.shown().back().question) {
            EXPECT_EQ(ui.shown().back().icon, MsgIcon::Error);
        }
        // Judged before anything was sent: no switch to petrol, no bootloader.
        const auto fs = frames();
        EXPECT_TRUE(fs.empty()) << fs.size() << " requests, the first of type " << int(fs.front().type);
        EXPECT_TRUE(events.empty());
        EXPECT_FALSE(simInBootloader());
        EXPECT_TRUE(device.m_connected);
    }
}

// A file that carries data past the application's end: programmed up to the
// end, nothing sent from there on, and the bytes left out are logged.
TEST_F(FirmwareUpdateTest, DataPastTheEndIsLeftOutAndLogged)
{
    start(5, 0x0306);
    auto fw = firmware(5, 0x0307);
    ASSERT_EQ(fw.image.size(), 2u * 0x9C00);
    fw.image.resize(fw.image.size() + 512, 0xFF);
    fw.image[2 * 0x9C00 + 300] = 0x12;
    std::vector<std::string> log;
    update.onLog = [&](const std::string& line) { log.push_back(line); };
    ui.queueFile(afmFile(fw));
    EXPECT_TRUE(update.update(false)) << ::testing::PrintToString(ui.texts());
    EXPECT_TRUE(ui.texts().empty());
    const auto fs = frames();
    EXPECT_EQ(count(fs, 0xF7), 248u);
    for (const auto& f : fs) {
        if (f.type == 0xF7) {
            EXPECT_LT(u32(f.payload), 0x9C00u);
        }
    }
    expectFlashHolds(fw.image, 0x2000, 0x9C00);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("512 image bytes"), std::string::npos) << log[0];
    EXPECT_NE(log[0].find("0x9C00"), std::string::npos) << log[0];
}

TEST_F(FirmwareUpdateTest, AcceptedOlderFileBlankTailAndShortImage)
{
    // 3.6 → 3.5 after Yes goes ahead; a blank tail past the flash is no data.
    start(5, 0x0306);
    auto fw = firmware(5, 0x0305);
    fw.image.resize(fw.image.size() + 1024, 0xFF);
    ui.queueFile(afmFile(fw));
    ui.queueAnswer(true);
    EXPECT_TRUE(update.update(false));
    EXPECT_EQ(ui.texts(), (std::vector<std::wstring> { kDowngrade }));
    EXPECT_EQ(count(frames(), 0xF7), 248u);

    // An image ending inside the range: rows while it lasts, the last one
    // padded with erased bytes, nothing read beyond it.
    start(5, 0x0306);
    fw = firmware(5, 0x0307);
    fw.image.resize(2 * 0x3000 + 100);
    ui.queueFile(afmFile(fw, "short.afm"));
    EXPECT_TRUE(update.update(false));
    const auto fs = frames();
    EXPECT_EQ(count(fs, 0xF7), 33u); // 0x1000 / 128 rows and one of 100 bytes
    const auto last = std::find_if(fs.rbegin(), fs.rend(), [](const Frame& f) { return f.type == 0xF7; });
    EXPECT_EQ(u32(last->payload), 0x3000u);
    // 100 image bytes are 25 instructions: 75 data bytes, then erased ones.
    EXPECT_EQ(last->payload[4 + 74], fw.image[2 * 0x3000 + 98]);
    EXPECT_TRUE(std::all_of(last->payload.begin() + 4 + 75, last->payload.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(FirmwareUpdateTest, NothingHappensWithoutAFileOrAKnownModel)
{
    start(5, 0x0306);
    EXPECT_FALSE(update.update(false)); // dialog cancelled
    EXPECT_TRUE(ui.texts().empty());
    EXPECT_TRUE(frames().empty());

    // Not connected: nothing at all; demo mode: refused at once.
    start(5, 0x0306);
    device.m_connected = false;
    EXPECT_FALSE(update.update(false));
    EXPECT_TRUE(ui.texts().empty());
    device.m_connected = true;
    device.m_demo = true;
    EXPECT_FALSE(update.update(false));
    EXPECT_EQ(ui.texts(), (std::vector<std::wstring> { kProgramFailed }));
    EXPECT_TRUE(ui.folders.empty());
    device.m_demo = false;

    start(5, 0x0306);
    device.liveImage().m_devInfo.m_deviceID = 7;
    ui.queueFile(afmFile(firmware(5, 0x0307)));
    EXPECT_FALSE(update.update(false));
    EXPECT_EQ(ui.texts(), (std::vector<std::wstring> { kProgramFailed }));
    EXPECT_TRUE(ui.folders.empty());
    EXPECT_TRUE(frames().empty());
}

TEST_F(FirmwareUpdateTest, TenAttemptsWithBothCodesThenFailure)
{
    start(5, 0x0306);
    intercept = [](const Frame& f) -> std::optional<Bytes> {
        if (f.type == 0xF6)
            return refusalOf(0xF6);
        return std::nullopt;
    };
    ui.queueFile(afmFile(firmware(5, 0x0307)));
    EXPECT_FALSE(update.update(false));
    EXPECT_EQ(ui.texts(), (std::vector<std::wstring> { kProgramFailed }));
    EXPECT_EQ(ui.shown().back().icon, MsgIcon::Error);
    // Polling comes back even after a failure; the link counts as lost.
    EXPECT_EQ(events, (std::vector<std::string> { "stop", "start", "refresh" }));
    EXPECT_FALSE(device.m_connected);
    const auto fs = frames();
    EXPECT_EQ(count(fs, 0xF6), 20u);
    // Per attempt three queries of three tries each.
    EXPECT_EQ(count(fs, 2, 0xC5), 90u);
    EXPECT_EQ(count(fs, 0xF9), 0u);
    EXPECT_EQ(ui.secondWaits, 0);
}

TEST_F(FirmwareUpdateTest, ARefusedRowFailsTheAttemptAndTheNextOneStartsAfresh)
{
    start(5, 0x0306);
    int refused = 0;
    intercept = [&refused](const Frame& f) -> std::optional<Bytes> {
        if (f.type == 0xF7 && u32(f.payload) == 0x5000 && refused < 3) {
            ++refused;
            return refusalOf(0xF7);
        }
        return std::nullopt;
    };
    const auto fw = firmware(5, 0x0307);
    ui.queueFile(afmFile(fw));
    ASSERT_TRUE(update.update(false));
    EXPECT_EQ(refused, 3);
    expectFlashHolds(fw.image, 0x2000, 0x9C00);
    const auto fs = frames();
    EXPECT_EQ(count(fs, 0xF6), 2u);
    EXPECT_EQ(count(fs, 2, 0x60), 1u); // no leave after the failed programming
    EXPECT_EQ(ui.secondWaits, 3);
}

TEST_F(FirmwareUpdateTest, ForcedUpdateFromTheBootloader)
{
    start(16, 0x0306, true);
    const auto fw = firmware(16, 0x0308);
    ui.queueFile(afmFile(fw));
    ASSERT_TRUE(update.update(true));
    EXPECT_TRUE(ui.texts().empty());
    EXPECT_EQ(ui.folders.at(0), (programDir() / "KORVANA Firmware" / "33EP K410 FCI").string());
    // No polling, no settings carried across; the reconnection still runs.
    EXPECT_EQ(events, (std::vector<std::string> { "reconnect" }));
    EXPECT_EQ(device.image().m_devInfo.m_version, 0x0308);
    EXPECT_FALSE(simInBootloader());
    expectFlashHolds(fw.image, 0x1800, 0x8800);
    const auto fs = frames();
    EXPECT_EQ(count(fs, 0xF6), 0u);
    EXPECT_EQ(count(fs, 26), 0u);
    EXPECT_EQ(fs.front().payload, (Bytes { 0xC4, 0, 0, 0, 0, 0 }));
    // No switch to petrol before the programming; no fuel state before it
    // either, so the new application ends in automatic mode.
    const auto firstRow = std::find_if(fs.begin(), fs.end(), [](const Frame& f) { return f.type == 0xF7; });
    EXPECT_EQ(std::count_if(fs.begin(), firstRow, [](const Frame& f) { return f.type == 2 && f.payload[0] == 0x02; }), 0);
    ASSERT_GE(fs.size(), 2u);
    EXPECT_EQ(fs[fs.size() - 2].payload, (Bytes { 0x02, 0, 0, 0, 0, 0 }));
    EXPECT_EQ(fs.back().payload, (Bytes { 0x03, 0, 0, 0, 0, 0 }));
}

TEST_F(FirmwareUpdateTest, FailedReconnectionIsAFailure)
{
    start(5, 0x0306);
    update.onReconnect = [this] {
        device.m_connected = false;
        return false;
    };
    ui.queueFile(afmFile(firmware(5, 0x0307)));
    EXPECT_FALSE(update.update(false));
    EXPECT_EQ(ui.texts(), (std::vector<std::wstring> { kProgramFailed }));
    EXPECT_FALSE(simInBootloader()); // the programming itself was done
}

class Migration : public FirmwareUpdateTest {
protected:
    void SetUp() override
    {
        prepare = [](CSimulator& sim) {
            auto& adv = sim.controller().store().record(26);
            adv[0] = 0x21; // inspection counter, kept
            adv[13] = 0xFF; // m_advancedFlags2
            adv[29] = 40; // m_lubricationShare
            auto& obd = sim.controller().store().record(27);
            obd = { 0x07, 10, 20, 0x0C, 100, 100, 0x80, 0x0C, 0x71, 0x01, 0x72, 0x01, 0x73, 0x01, 0x74, 0x01, 0x33, 0x3F };
        };
    }
};

TEST_F(Migration, From303To305BothSettingsAreCarriedAcross)
{
    start(5, 0x0303);
    ui.queueFile(afmFile(firmware(5, 0x0305)));
    ASSERT_TRUE(update.update(false));
    EXPECT_TRUE(ui.texts().empty());
    const Bytes adv = simRecord(26);
    EXPECT_EQ(adv[29], 0);
    EXPECT_EQ(adv[13], 0xFB);
    EXPECT_EQ(adv[0], 0x21);
    // 500 rpm travels as the period 4 800 000 / 500 = 9600 = 0x2580.
    EXPECT_EQ(simRecord(27), (Bytes { 0x07, 10, 20, 0x0C, 100, 100, 0x80, 0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0x33, 0 }));
    EXPECT_EQ(events.back(), "refresh");
}

TEST_F(Migration, OnlyWhatTheVersionsAndModelAskFor)
{
    const Bytes obdBefore { 0x07, 10, 20, 0x0C, 100, 100, 0x80, 0x0C, 0x71, 0x01, 0x72, 0x01, 0x73, 0x01, 0x74, 0x01, 0x33, 0x3F };
    // 3.03 → 3.04: lubrication only.
    start(5, 0x0303);
    ui.queueFile(afmFile(firmware(5, 0x0304)));
    ASSERT_TRUE(update.update(false));
    EXPECT_EQ(simRecord(26)[29], 0);
    EXPECT_EQ(simRecord(27), obdBefore);

    // 3.04 → 3.05: the OBD threshold only.
    start(5, 0x0304);
    ui.queueFile(afmFile(firmware(5, 0x0305)));
    ASSERT_TRUE(update.update(false));
    EXPECT_EQ(simRecord(26)[29], 40);
    EXPECT_EQ(simRecord(27)[7], 0x25);

    // Model 16 keeps its OBD record.
    start(16, 0x0304);
    ui.queueFile(afmFile(firmware(16, 0x0305)));
    ASSERT_TRUE(update.update(false));
    EXPECT_EQ(simRecord(27), obdBefore);
}

TEST_F(Migration, FailedWriteIsReportedAndPollingStillRestarts)
{
    start(5, 0x0303);
    intercept = [](const Frame& f) -> std::optional<Bytes> {
        if (f.type == 26)
            return refusalOf(26);
        return std::nullopt;
    };
    ui.queueFile(afmFile(firmware(5, 0x0305)));
    EXPECT_FALSE(update.update(false));
    EXPECT_EQ(ui.texts(), (std::vector<std::wstring> { L"Nie powiodło się wpisanie ustawień do urządzenia!" }));
    EXPECT_EQ(events.back(), "refresh");
    EXPECT_TRUE(device.m_connected);
}

} // namespace
