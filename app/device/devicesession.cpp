// SPDX-License-Identifier: GPL-3.0-or-later
// The connection to one controller: trying a port, identification, reading
// every block after connecting, demo mode, and starting and stopping the
// polling thread of the live readings.
#include <app/device/devicesession.h>

#include <app/device/diagrsthread.h>
#include <app/device/linkexchange.h>
#include <app/device/lpgdevice.h>
#include <app/data/recordingpath.h>
#include <app/platform/lpgthreadmanager.h>

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

#include <chrono>
#include <iterator>
#include <thread>


namespace {

constexpr const wchar_t* kCaption = L"KORVANA";
constexpr unsigned kBlockRetryMs = 131;
constexpr uint8_t kReadingsAllowedMark = 85;
// The version a controller found in its bootloader is given until it is reprogrammed.
constexpr int32_t kBootloaderVersion = 768;
// No value received from the bootloader yet.
constexpr uint16_t kNoBootValue = 0xFFFF;
// Longer than any single step of a polling cycle: an exchange that times out,
// or the wait and re-opening after a port error.
constexpr unsigned kStopWaitMs = 5000;

std::atomic<bool> g_refusalShown { false };

void show(const wchar_t* text, MsgIcon icon)
{
    userInteraction().message(translate(text), kCaption, icon);
}

} // namespace

CDeviceSession::CDeviceSession(CLPGDevice& device)
    : m_device(device)
{
    g_lpgDevice = &device;
}

CDeviceSession::~CDeviceSession()
{
    m_polling = false;
    // Every wait inside a polling thread is bounded; this only outlasts them.
    while (!waitPollingEnded(1000)) { }
    if (g_lpgDevice == &m_device)
        g_lpgDevice = nullptr;
}

void CDeviceSession::resetRefusalNotice()
{
    g_refusalShown = false;
}

bool CDeviceSession::connectOnPort(uint32_t n)
{
    const std::string path = m_device.m_link.ports().pathOf(n);
    const std::string port = "COM" + std::to_string(n) + " (" + path + ")";
    logInfo("conn", "trying " + port);
    m_connectFailure = ConnectFailure::None;
    m_connectDetail.clear();
    bool configured = false;
    try {
        m_device.m_link.configurePort(n);
        configured = true;
        if (!openConnection()) {
            // Identification that succeeded and a sequence that still failed: the link went.
            if (m_connectFailure == ConnectFailure::None)
                m_connectFailure = ConnectFailure::LinkLost;
            logInfo("conn", describeConnectFailure(m_connectFailure, path, m_connectDetail));
            m_device.m_link.line().close();
            return false;
        }
        profileStore().storeLastPort(n, m_device.m_link.ports().pathOf(n), m_device.m_link.ports().byIdOf(n));
        logInfo("conn", "connected on " + port);
        return true;
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("conn", "CLPGDevice::connectOnPort", *error);
        m_connectDetail = toUtf8(error->getText());
        if (!configured && &m_device.m_link.line() == &m_device.m_link.port() && m_device.m_link.port().openError() != 0) {
            m_connectFailure = connectFailureOfOpenError(m_device.m_link.port().openError());
            m_connectDetail = osErrorText(m_device.m_link.port().openError());
        } else {
            m_connectFailure = configured ? ConnectFailure::LinkLost : ConnectFailure::PortError;
        }
        logInfo("conn", describeConnectFailure(m_connectFailure, path, m_connectDetail));
        // The port may be half configured; leave nothing open behind a failed try.
        m_device.m_link.line().close();
        return false;
    }
}

bool CDeviceSession::readBlockTwice(CReadBlocks::Block block)
{
    if (m_device.readBlock(block))
        return true;
    // A silent controller would only be waited for a second time.
    if (CDeviceLink::lastAttemptsSilent())
        return false;
    userInteraction().sleep(kBlockRetryMs);
    return m_device.readBlock(block);
}

bool CDeviceSession::openConnection()
{
    if (m_device.m_demo)
        return true;
    m_device.m_connected = false;
    m_device.m_readBlocks.clear();
    m_device.m_heldObdSettings.reset();
    m_device.m_heldObdConfig.reset();
    if (!identify()) {
        logInfo("conn", "identification failed");
        return false;
    }
    if (!m_device.readBlock(CReadBlocks::DevInfo) && (CDeviceLink::lastAttemptsSilent() || !m_device.readBlock(CReadBlocks::DevInfo))) {
        logWarning("conn", "the identity block could not be read");
        show(L"Nie powiodło się odczytanie wersji urządzenia!", MsgIcon::Error);
        if (CDeviceLink::lastAttemptsSilent())
            return linkLost();
    }
    m_device.m_connected = true;
    logInfo("conn", "controller model " + std::to_string(m_device.m_image.m_devInfo.m_deviceID) + ", version "
                + std::to_string(m_device.m_image.m_devInfo.m_version));

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
        if (CDeviceLink::lastAttemptsSilent())
            return linkLost();
    }
    m_device.m_events.raise(DeviceEvent::LinkConnected);
    m_device.m_events.imageChanged(ImageBlock::All);
    return true;
}

bool CDeviceSession::linkLost()
{
    m_device.m_connected = false;
    const std::string reason = "the controller stopped answering while its settings were read";
    logWarning("conn", reason + "; not read: " + toUtf8(m_device.m_readBlocks.missingNames()));
    m_device.m_events.linkLost(reason);
    userInteraction().message(
        translate(L"Sterownik przestał odpowiadać. Nie wczytano:") + L"\n" + m_device.m_readBlocks.missingNames(), kCaption,
        MsgIcon::Error);
    return false;
}

bool CDeviceSession::identify()
{
    ExchangeBuffer buffer {};
    uint8_t length = 0;
    uint8_t type = 0;
    m_connectFailure = ConnectFailure::NoAnswer;
    const bool answered = m_device.m_link.exchangeWithAttempts(kIdentifyType, kIdentifyRequest.data(), kIdentifyRequest.size(), buffer,
        length, type, isIdentifyAnswer, kIdentifyAttempts);
    if (!answered)
        return false;
    m_readingsAllowed = length >= 3 && buffer[2] == kReadingsAllowedMark;
    logInfo("conn",
        std::string(buffer[0] == kIdentifiedApplication ? "application" : "bootloader") + " answered, model code "
            + std::to_string(buffer[1]) + (m_readingsAllowed ? "" : ", no live readings"));

    if (buffer[0] == kIdentifiedApplication) {
        if (setModel(m_device.m_image.m_devInfo, buffer[1])) {
            m_device.showLiveImage();
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
    if (m_device.readBootByte(0xC5, value)) {
        model = value == 251 ? 5 : value == 252 ? 4 : 0;
        known = true;
    } else if (m_device.readBootByte(0xC4, value)) {
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
        if (m_device.bootCommand60())
            m_device.command0A();
        return false;
    }
    setModel(m_device.m_image.m_devInfo, model);
    m_device.m_image.m_devInfo.m_version = kBootloaderVersion;
    m_device.showLiveImage();
    logWarning("conn", "controller model " + std::to_string(model) + " found in its bootloader");
    show(L"Sterownik nie jest poprawnie zaprogramowany i wymaga przeprogramowania.", MsgIcon::Information);
    const bool programmed = m_firmwareUpdate ? m_firmwareUpdate(true) : false;
    if (programmed)
        m_connectFailure = ConnectFailure::None;
    return programmed;
}

void CDeviceSession::startDemoMode()
{
    m_device.m_demo = true;
    m_device.m_connected = true;
    // The demo's data stands for a controller of its own, whole.
    m_device.m_readBlocks.markAll();
    m_device.readDevInfo();
    m_device.m_heldImage = m_device.m_image;
    logInfo("conn", "demo mode");
    m_device.m_events.raise(DeviceEvent::LinkConnected);
    m_device.m_events.imageChanged(ImageBlock::All);
}

void CDeviceSession::runWithoutConnection()
{
    m_device.m_demo = false;
    m_device.m_connected = false;
    m_device.m_readBlocks.clear();
    m_device.m_heldObdSettings.reset();
    m_device.m_heldObdConfig.reset();
}

bool CDeviceSession::waitPollingEnded(unsigned timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_pollingThreads.load() > 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool CDeviceSession::startPolling(const std::string& path)
{
    if (!m_readingsAllowed) {
        logInfo("poll", "this controller gives no live readings");
        stopPolling();
        return false;
    }
    // Two threads would poll side by side and both feed the queue.
    if (pollingThreadRunning())
        stopPolling();

    m_polling = true;
    m_diagPath = path;
    auto* thread = new CDiagRSThread(m_device, m_device.m_diagData, path, &m_polling);
    m_recording = thread->recording();
    m_recordedLines = 0;
    m_recordingError = thread->openError();
    m_recordingBroke = false;
    m_pollingThreads.fetch_add(1);
    logInfo("poll", std::string("polling started") + (m_recording ? ", recording to " + path : std::string()));
    // Before the thread runs: what it raises (LinkLost, PollingStopped) must come after this.
    m_device.m_events.raise(DeviceEvent::PollingStarted);
    try {
        CThreadManager& manager = m_threadManager ? *m_threadManager : lpgThreadManager();
        manager.insert(thread);
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("poll", "CLPGDevice::startPolling", *error);
        // The manager refused the thread and left it to us.
        m_pollingThreads.fetch_sub(1);
        m_recording = false;
        m_polling = false;
        delete thread;
        m_device.m_events.raise(DeviceEvent::PollingStopped);
        return false;
    }
    return true;
}

void CDeviceSession::stopPolling()
{
    const bool wasPolling = m_polling.exchange(false);
    if (wasPolling)
        logInfo("poll", "polling stopped");
    m_device.m_events.raise(DeviceEvent::PollingStopped);
    // Until the thread has left its loop, so what follows has the link and the queue to itself.
    if (!waitPollingEnded(kStopWaitMs))
        logWarning("poll", "the polling thread did not end within " + std::to_string(kStopWaitMs) + " ms");
}

bool CDeviceSession::startRecording(const std::string& path)
{
    if (!endsWithOsc(path))
        return false;
    stopPolling();
    return startPolling(path);
}
