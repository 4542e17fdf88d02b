// SPDX-License-Identifier: GPL-3.0-or-later
// The connection operations of the device object: trying a port,
// identification, reading every block after connecting, re-opening the port
// after a port error, and demo mode.
#include <app/device/linkexchange.h>
#include <app/device/lpgdevice.h>

#include <app/data/identity.h>
#include <app/data/translate.h>
#include <app/platform/devicepointer.h>
#include <app/platform/mutexguard.h>
#include <app/platform/iporttable.h>
#include <app/platform/profilestore.h>
#include <app/platform/textcodec.h>
#include <app/platform/userinteraction.h>
#include <app/platform/log.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <iterator>


namespace {

constexpr const wchar_t* kCaption = L"KORVANA";
constexpr unsigned kBlockRetryMs = 131;
constexpr uint8_t kReadingsAllowedMark = 85;
// The version a controller found in its bootloader is given until it is reprogrammed.
constexpr int32_t kBootloaderVersion = 768;
// No value received from the bootloader yet.
constexpr uint16_t kNoBootValue = 0xFFFF;

std::atomic<bool> g_refusalShown { false };

void show(const wchar_t* text, MsgIcon icon)
{
    userInteraction().message(translate(text), kCaption, icon);
}

} // namespace

CLPGDevice::CLifetime::CLifetime(CLPGDevice* device)
    : m_device(device)
{
    g_lpgDevice = device;
}

CLPGDevice::CLifetime::~CLifetime()
{
    m_device->m_polling = false;
    // Every wait inside a polling thread is bounded; this only outlasts them.
    while (!m_device->waitPollingEnded(1000)) { }
    if (g_lpgDevice == m_device)
        g_lpgDevice = nullptr;
}

void CLPGDevice::resetRefusalNotice()
{
    g_refusalShown = false;
}

bool CLPGDevice::connectOnPort(uint32_t n)
{
    const std::string path = m_ports.pathOf(n);
    const std::string port = "COM" + std::to_string(n) + " (" + path + ")";
    logInfo("conn", "trying " + port);
    m_connectFailure = ConnectFailure::None;
    m_connectDetail.clear();
    bool configured = false;
    try {
        configurePort(n);
        configured = true;
        if (!openConnection()) {
            // Identification that succeeded and a sequence that still failed: the link went.
            if (m_connectFailure == ConnectFailure::None)
                m_connectFailure = ConnectFailure::LinkLost;
            logInfo("conn", describeConnectFailure(m_connectFailure, path, m_connectDetail));
            m_link->close();
            return false;
        }
        profileStore().storeLastPort(n, m_ports.pathOf(n), m_ports.byIdOf(n));
        logInfo("conn", "connected on " + port);
        return true;
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("conn", "CLPGDevice::connectOnPort", *error);
        m_connectDetail = toUtf8(error->getText());
        if (!configured && m_link == &m_port && m_port.openError() != 0) {
            m_connectFailure = connectFailureOfOpenError(m_port.openError());
            m_connectDetail = osErrorText(m_port.openError());
        } else {
            m_connectFailure = configured ? ConnectFailure::LinkLost : ConnectFailure::PortError;
        }
        logInfo("conn", describeConnectFailure(m_connectFailure, path, m_connectDetail));
        // The port may be half configured; leave nothing open behind a failed try.
        m_link->close();
        return false;
    }
}

bool CLPGDevice::readBlockTwice(CReadBlocks::Block block)
{
    if (readBlock(block))
        return true;
    // A silent controller would only be waited for a second time.
    if (lastAttemptsSilent())
        return false;
    userInteraction().sleep(kBlockRetryMs);
    return readBlock(block);
}

bool CLPGDevice::openConnection()
{
    if (m_demo)
        return true;
    m_connected = false;
    m_readBlocks.clear();
    m_heldObdSettings.reset();
    m_heldObdConfig.reset();
    if (!identify()) {
        logInfo("conn", "identification failed");
        return false;
    }
    if (!readBlock(CReadBlocks::DevInfo) && (lastAttemptsSilent() || !readBlock(CReadBlocks::DevInfo))) {
        logWarning("conn", "the identity block could not be read");
        show(L"Nie powiodło się odczytanie wersji urządzenia!", MsgIcon::Error);
        if (lastAttemptsSilent())
            return linkLost();
    }
    m_connected = true;
    logInfo("conn", "controller model " + std::to_string(m_image.m_devInfo.m_deviceID) + ", version "
                + std::to_string(m_image.m_devInfo.m_version));

    // The sensor block first: the temperature conversions of later blocks use its sensor types.
    static constexpr CReadBlocks::Block kBlocks[] = {
        CReadBlocks::SensorsSetup,
        CReadBlocks::Base,
        CReadBlocks::Adv,
        CReadBlocks::MainCorr,
        CReadBlocks::SetupTimes1,
        CReadBlocks::SetupTimes2,
        CReadBlocks::InjMap,
        CReadBlocks::AdvancedSetup,
        CReadBlocks::PressCorr,
        CReadBlocks::AutomapSchedule,
        CReadBlocks::MapAxes,
    };
    for (std::size_t i = 0; i < std::size(kBlocks); ++i) {
        if (readBlockTwice(kBlocks[i]))
            continue;
        logWarning("conn", "settings block " + std::to_string(i + 1) + " of the connection sequence not read");
        show(L"Nie powiodło się wczytanie ustawień urządzenia!", MsgIcon::Error);
        // Silence, unlike a disturbed answer, will not pass: every further block would wait as long.
        if (lastAttemptsSilent())
            return linkLost();
    }
    m_events.raise(DeviceEvent::LinkConnected);
    m_events.imageChanged(ImageBlock::All);
    return true;
}

bool CLPGDevice::linkLost()
{
    m_connected = false;
    const std::string reason = "the controller stopped answering while its settings were read";
    logWarning("conn", reason + "; not read: " + toUtf8(m_readBlocks.missingNames()));
    m_events.linkLost(reason);
    userInteraction().message(
        translate(L"Sterownik przestał odpowiadać. Nie wczytano:") + L"\n" + m_readBlocks.missingNames(), kCaption,
        MsgIcon::Error);
    return false;
}

bool CLPGDevice::identify()
{
    ExchangeBuffer buffer {};
    uint8_t length = 0;
    uint8_t type = 0;
    m_connectFailure = ConnectFailure::NoAnswer;
    const bool answered = exchangeWithAttempts(kIdentifyType, kIdentifyRequest.data(), kIdentifyRequest.size(), buffer,
        length, type, isIdentifyAnswer, kIdentifyAttempts);
    if (!answered)
        return false;
    m_readingsAllowed = length >= 3 && buffer[2] == kReadingsAllowedMark;
    logInfo("conn",
        std::string(buffer[0] == kIdentifiedApplication ? "application" : "bootloader") + " answered, model code "
            + std::to_string(buffer[1]) + (m_readingsAllowed ? "" : ", no live readings"));

    if (buffer[0] == kIdentifiedApplication) {
        if (setModel(m_image.m_devInfo, buffer[1])) {
            m_connectFailure = ConnectFailure::None;
            return true;
        }
        logWarning("conn", "model code " + std::to_string(buffer[1]) + " refused");
        m_connectFailure = ConnectFailure::UnknownModel;
        if (!g_refusalShown.exchange(true))
            show(L"Brak połączenia", MsgIcon::Error);
        return false;
    }

    // The bootloader: the model is told by the byte it reports at 0xC5 or 0xC4.
    m_connectFailure = ConnectFailure::Bootloader;
    uint16_t value = kNoBootValue;
    uint8_t model = 0;
    bool known = false;
    if (readBootByte(0xC5, value)) {
        model = value == 251 ? 5 : value == 252 ? 4 : 0;
        known = true;
    } else if (readBootByte(0xC4, value)) {
        model = value == 248 ? 6 : value == 246 ? 16 : 0;
        known = true;
    }
    if (!known && value == kNoBootValue) {
        logWarning("conn", "the bootloader did not tell its model");
        return false;
    }
    if (model == 0) {
        logWarning("conn", "unknown bootloader " + std::to_string(value) + ": told to start its application");
        // A bootloader we cannot name is told to start its application.
        if (bootCommand60())
            command0A();
        return false;
    }
    setModel(m_image.m_devInfo, model);
    m_image.m_devInfo.m_version = kBootloaderVersion;
    logWarning("conn", "controller model " + std::to_string(model) + " found in its bootloader");
    show(L"Sterownik nie jest poprawnie zaprogramowany i wymaga przeprogramowania.", MsgIcon::Information);
    const bool programmed = m_firmwareUpdate ? m_firmwareUpdate(true) : false;
    if (programmed)
        m_connectFailure = ConnectFailure::None;
    return programmed;
}

bool CLPGDevice::reopen()
{
    m_linkLock.lock();
    CMutexGuard guard(&m_linkLock);
    const uint32_t n = m_link->portNr();
    try {
        configurePort(n);
        logInfo("link", "COM" + std::to_string(n) + " re-opened");
        return true;
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("link", "CLPGDevice::reopen", *error);
        return false;
    }
}

void CLPGDevice::startDemoMode()
{
    m_demo = true;
    m_connected = true;
    // The demo's data stands for a controller of its own, whole.
    m_readBlocks.markAll();
    readDevInfo();
    m_heldImage = m_image;
    logInfo("conn", "demo mode");
    m_events.raise(DeviceEvent::LinkConnected);
    m_events.imageChanged(ImageBlock::All);
}

void CLPGDevice::runWithoutConnection()
{
    m_demo = false;
    m_connected = false;
    m_readBlocks.clear();
    m_heldObdSettings.reset();
    m_heldObdConfig.reset();
}
