// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/firmwareupdate.h>

#include <app/data/conversions.h>
#include <app/data/firmwarefile.h>
#include <app/data/recordingpath.h>
#include <app/data/translate.h>
#include <app/data/blockcodec.h>
#include <app/device/controllersearch.h>
#include <app/device/historyrecorder.h>
#include <app/device/lpgdevice.h>
#include <app/platform/programdir.h>
#include <app/platform/userinteraction.h>
#include <app/platform/log.h>
#include <app/platform/textcodec.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <algorithm>
#include <cstdio>

namespace {

const wchar_t* const kCaption = L"KORVANA";
const wchar_t* const kProgramFailed = L"Nie powiodło się zaprogramowanie urządzenia!";
const wchar_t* const kWrongFile = L"Niewłaściwy plik firmware dla sterownika!";
const wchar_t* const kDowngrade
    = L"Wersja sterownika jest nowsza niż wersja pliku firmware.\nCzy chcesz zaprogramować sterownik starszą wersją?";
const wchar_t* const kWriteFailed = L"Nie powiodło się wpisanie ustawień do urządzenia!";
const wchar_t* const kSetFailed = L"Nie powiodło się ustawienie urządzenia!";
const wchar_t* const kAutoFailed = L"Nie powiodło się przełączenie w tryb AUTO!";

// Firmware below this version cannot run on a controller that has had it.
constexpr int32_t kFirstIncompatible = 0x0307;
constexpr int32_t kLubricationVersion = 0x0304;
constexpr int32_t kObdThresholdVersion = 0x0305;
constexpr uint8_t kModelWithoutObdMigration = 16;
constexpr uint16_t kObdThresholdRpm = 500;

const CFlashLayout kLayouts[] = {
    { 5, "33F MOLEX32", 0x2000, 0x9C00, 0x400, 0xC5 },
    { 4, "33F TYCO55", 0x2000, 0x9C00, 0x400, 0xC5 },
    { 6, "33EP MOLEX32", 0x1800, 0x8800, 0x800, 0xC4 },
    { 16, "33EP K410 FCI", 0x1800, 0x8800, 0x800, 0xC4 },
};

// Polling stays off while the controller is away from its application and
// is started again on every way out, so a failed update leaves a program
// that notices the lost link and searches again.
class CPollingPause {
public:
    CPollingPause(CFirmwareUpdate& update, bool active)
        : m_update(update)
        , m_active(active)
    {
        if (m_active && m_update.onStopPolling)
            m_update.onStopPolling();
    }
    ~CPollingPause()
    {
        if (!m_active)
            return;
        if (m_update.onStartPolling)
            m_update.onStartPolling();
        // The pages show what the update left in the image (migrated settings, a new version).
        m_update.device().events().imageChanged(ImageBlock::All);
    }
    CPollingPause(const CPollingPause&) = delete;
    CPollingPause& operator=(const CPollingPause&) = delete;

private:
    CFirmwareUpdate& m_update;
    bool m_active;
};

} // namespace

const std::array<uint8_t, 8> CFirmwareUpdate::kAccessCode1 { 'Q', 'Q', '4', '0', '2', '9', '1', '7' };
const std::array<uint8_t, 8> CFirmwareUpdate::kAccessCode2 { 'B', 'Q', '4', '0', '2', '9', '1', '7' };

const CFlashLayout* findFlashLayout(uint8_t model)
{
    for (const auto& layout : kLayouts)
        if (layout.model == model)
            return &layout;
    return nullptr;
}

CFirmwareUpdate::CFirmwareUpdate(CLPGDevice& device)
    : m_device(device)
{
}

void CFirmwareUpdate::attachToDevice()
{
    onStopPolling = [this] { m_device.session().stopPolling(); };
    onStartPolling = [this] { m_device.session().startPolling(kNoRecordingPath); };
    onReconnect = [this] { return searchController(m_device); };
    m_device.session().setFirmwareUpdate([this](bool forced) { return update(forced); });
}

std::filesystem::path CFirmwareUpdate::firmwareFolder(const CFlashLayout& layout)
{
    return programDir() / "KORVANA Firmware" / layout.folder;
}

bool CFirmwareUpdate::fitsLayout(const CFirmwareFile& file, const CFlashLayout& layout)
{
    return layout.end > layout.first && file.imageLength() > 2 * static_cast<std::size_t>(layout.first);
}

std::size_t CFirmwareUpdate::bytesPastEnd(const CFirmwareFile& file, const CFlashLayout& layout)
{
    const std::size_t end = 2 * static_cast<std::size_t>(layout.end);
    return file.imageLength() > end ? file.imageLength() - end : 0;
}

std::size_t CFirmwareUpdate::rowsToWrite(const CFirmwareFile& file, const CFlashLayout& layout)
{
    const std::size_t start = 2 * static_cast<std::size_t>(layout.first);
    if (file.imageLength() <= start || layout.end <= layout.first)
        return 0;
    const std::size_t inImage = (file.imageLength() - start + CFirmwareFile::kRowBytes - 1) / CFirmwareFile::kRowBytes;
    const std::size_t inRange = (layout.end - layout.first + kRowUnits - 1) / kRowUnits;
    return std::min({ inImage, inRange, file.rowCount() });
}

bool CFirmwareUpdate::programFlash(const CFirmwareFile& file, const CFlashLayout& layout)
{
    const std::size_t total = rowsToWrite(file, layout);
    uint32_t address = layout.first;
    std::size_t position = 2 * static_cast<std::size_t>(layout.first);
    std::size_t rowsLeft = file.rowCount();
    std::size_t done = 0;
    // The image ends the loop as well: bytes beyond it are not the file's.
    while (rowsLeft > 0 && address < layout.end && position < file.imageLength()) {
        if (address % layout.eraseBlock == 0 && !m_device.bootStartPage(address))
            return false;
        uint8_t row[CFirmwareFile::kRowBytes];
        file.copyRow(position, row);
        std::array<uint8_t, kRowData> data {};
        for (std::size_t i = 0; i < kRowData / 3; ++i)
            std::copy_n(row + 4 * i, 3, data.begin() + static_cast<std::ptrdiff_t>(3 * i));
        if (!m_device.bootWriteRow(address, data))
            return false;
        position += CFirmwareFile::kRowBytes;
        --rowsLeft;
        address += kRowUnits;
        if (onRow)
            onRow(++done, total);
    }
    return true;
}

bool CFirmwareUpdate::queryBootloader(const CFlashLayout& layout)
{
    uint16_t id = 0;
    const bool answered = m_device.readBootByte(layout.queryCode, id);
    m_bootloaderAnswered = m_bootloaderAnswered || answered;
    return answered;
}

bool CFirmwareUpdate::attempt(bool forced, const CFirmwareFile& file, const CFlashLayout& layout)
{
    if (!forced) {
        // Each model's application knows one of the two codes.
        m_device.bootWriteF6(kAccessCode1);
        if (!queryBootloader(layout)) {
            m_device.bootWriteF6(kAccessCode2);
            queryBootloader(layout);
        }
    }
    if (!queryBootloader(layout)) {
        logWarning("fw", "the bootloader did not answer");
        return false;
    }
    logInfo("fw", "bootloader answered; programming " + std::to_string(rowsToWrite(file, layout)) + " rows");
    userInteraction().sleep(kWaitMs);
    if (!programFlash(file, layout)) {
        logWarning("fw", "programming the flash failed");
        return false;
    }
    const bool restarted = m_device.bootCommand60() && m_device.command0A();
    logInfo("fw", restarted ? "flash programmed, application started" : "the application did not start");
    return restarted;
}

bool CFirmwareUpdate::migrateSettings(int32_t controllerVersion, uint16_t fileVersion)
{
    CSettingsImage& image = m_device.liveImage();
    if (controllerVersion < kLubricationVersion && fileVersion >= kLubricationVersion) {
        // The rest of the block goes back as the new firmware holds it: never from an unread image.
        if (!m_device.readBlocks().has(CReadBlocks::AdvancedSetup)) {
            logWarning("fw", "m_advancedSetup was not read after programming; the lubrication settings are left");
            fail(kWriteFailed);
            return false;
        }
        image.m_advancedSetup.m_lubricationShare = 0;
        image.m_advancedSetup.m_advancedFlags2 &= static_cast<uint8_t>(~0x04);
        if (!m_device.writeBlock(CReadBlocks::AdvancedSetup)) {
            fail(kWriteFailed);
            return false;
        }
    }
    if (controllerVersion < kObdThresholdVersion && fileVersion >= kObdThresholdVersion
        && image.m_devInfo.m_deviceID != kModelWithoutObdMigration) {
        // The rest of the record is the controller's own and goes back unchanged.
        std::array<uint8_t, 18> record {};
        if (!m_device.readObdMapConfig(record)) {
            fail(kSetFailed);
            return false;
        }
        putU16(&record[6], periodFromRpm(kObdThresholdRpm)); // the controller holds a period
        std::fill(record.begin() + 8, record.begin() + 16, 0);
        record[17] = 0;
        if (!m_device.writeObdMapConfig(record)) {
            fail(kSetFailed);
            return false;
        }
    }
    return true;
}

void CFirmwareUpdate::fail(const wchar_t* text)
{
    logMessage(LogLevel::Warning, "fw", text);
    userInteraction().message(translate(text), kCaption, MsgIcon::Error);
}

bool CFirmwareUpdate::judgeFile(const std::string& path, const CFlashLayout& layout, CFirmwareFile& file,
                                 uint16_t& fileVersion)
{
    const int32_t controllerVersion = m_device.liveImage().m_devInfo.m_version;
    uint16_t marker = 0;
    std::wstring modelName;
    if (!file.load(path, fileVersion, modelName, marker)) {
        fail(kProgramFailed);
        return false;
    }
    // An image with nothing from the first address on would program nothing:
    // the wrong file as well.
    if (marker != CFirmwareFile::kMarker || modelName != m_device.liveImage().m_devInfo.m_modelName
        || !fitsLayout(file, layout)) {
        fail(kWrongFile);
        return false;
    }
    if (const std::size_t past = bytesPastEnd(file, layout)) {
        char end[16];
        std::snprintf(end, sizeof end, "0x%04X", static_cast<unsigned>(layout.end));
        const std::string line = path + ": " + std::to_string(past) + " image bytes lie past the end of the "
            + "application (" + end + ") and are not written";
        if (onLog)
            onLog(line);
        else
            std::fprintf(stderr, "%s\n", line.c_str());
    }
    if (fileVersion < controllerVersion
        && !userInteraction().question(translate(kDowngrade), kCaption, MsgIcon::Question, false))
        return false;
    if (fileVersion < kFirstIncompatible && controllerVersion >= kFirstIncompatible) {
        fail(kWrongFile);
        return false;
    }
    return true;
}

void CFirmwareUpdate::endOnFuelRule(uint8_t fuelBefore)
{
    // A car that ran on petrol stays there; any other goes back to automatic
    // mode, which switches to LPG only when the controller's own conditions hold.
    if (!CLPGDevice::returnsToAuto(fuelBefore))
        return;
    logInfo("fw", "back to automatic mode");
    if (!m_device.switchToAuto())
        fail(kAutoFailed);
}

bool CFirmwareUpdate::update(bool forced, const std::string& chosen)
{
    m_flashWritten = false;
    if (!forced && !m_device.m_connected)
        return false;
    const CFlashLayout* layout = findFlashLayout(m_device.liveImage().m_devInfo.m_deviceID);
    if (!layout || (!forced && m_device.m_demo)) {
        fail(kProgramFailed);
        return false;
    }
    IUserInteraction& ui = userInteraction();
    if (!chosen.empty()
        && !ui.question(translate(L"Zaprogramować sterownik oprogramowaniem z pliku?") + L"\n"
                            + fromUtf8(std::filesystem::path(chosen).filename().string()),
                        kCaption, MsgIcon::Question, false))
        return false;
    const std::string path = !chosen.empty()
        ? chosen
        : ui.chooseFile(false, translate(L"OPEN"), translate(L"Firmware files (*.afm)|*.afm|"),
                        firmwareFolder(*layout).string(), {});
    if (path.empty())
        return false;
    logInfo("fw", std::string(forced ? "forced" : "user-started") + " update with " + path);

    // Everything that can be told from the file is judged before anything is
    // sent: a refused file leaves the car on the fuel it was on.
    const int32_t controllerVersion = m_device.liveImage().m_devInfo.m_version;
    CFirmwareFile file;
    uint16_t fileVersion = 0;
    if (!judgeFile(path, *layout, file, fileVersion))
        return false;
    // A restore point of what the old firmware held, and one of what the new one holds.
    CHistoryScope history(m_device, "firmware");
    if (!history.ok()) {
        fail(L"Brak punktu przywracania: historia ustawień nie działa.");
        return false;
    }

    // The fuel state once, before the switch to petrol makes every reading say
    // petrol. A controller found in its bootloader ran no application, so
    // there is none; it is taken as unknown, and a new application ends in
    // automatic mode, the controller's ordinary one.
    const uint8_t fuelBefore = forced ? CLPGDevice::kFuelUnknown : m_device.fuelStateBefore();
    if (!forced)
        m_device.switchToPetrolAndWait();

    CWaitCursor wait;
    CPollingPause pause(*this, !forced);
    bool programmed = false;
    m_bootloaderAnswered = false;
    try {
        for (std::size_t i = 0; i < kAttempts && !programmed; ++i)
            programmed = attempt(forced, file, *layout);
    } catch (IError* e) {
        CErrorGuard error(e);
        // The controller may sit in its bootloader now; the next search must find it there.
        logError("fw", "port error while programming");
        m_device.m_connected = false;
        throw error.release();
    }
    if (!programmed) {
        // A controller whose bootloader never answered still runs its
        // application, on the petrol this update forced.
        if (!forced && !m_bootloaderAnswered)
            endOnFuelRule(fuelBefore);
        m_device.m_connected = false;
        fail(kProgramFailed);
        return false;
    }

    m_flashWritten = true;
    ui.sleep(kWaitMs);
    m_device.rebuildModules();
    m_device.m_connected = false;
    // The reconnection reads every block again: the image is the new firmware's.
    const bool reconnected = onReconnect && onReconnect();
    if (!reconnected || !m_device.m_connected) {
        fail(kProgramFailed);
        return false;
    }
    logInfo("fw", "controller connected again after programming");
    const bool migrated = forced || migrateSettings(controllerVersion, fileVersion);
    if (!forced)
        logInfo("fw", migrated ? "settings carried across" : "carrying the settings across failed");
    endOnFuelRule(fuelBefore);
    return migrated;
}

bool CFirmwareUpdate::onDeviceUpdate(const std::string& chosen)
{
    try {
        return update(false, chosen);
    } catch (IError* e) {
        CErrorGuard error(e);
        logMessage(LogLevel::Error, "fw", L"CkorvanaDoc::OnDeviceUpdate(): " + error.format());
        userInteraction().message(
            L"CkorvanaDoc::OnDeviceUpdate()\n" + error.format() + L"\n", kCaption, MsgIcon::Error);
        return false;
    }
}
