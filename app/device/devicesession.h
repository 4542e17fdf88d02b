// SPDX-License-Identifier: GPL-3.0-or-later
// The connection to one controller: trying a port, identification, reading
// every block after connecting, demo mode, and the polling thread of the live
// readings with its recording. The device object owns one and is what it
// connects; the commands it sends are the device's.
//
// GUI thread unless said otherwise. Messages go through the user-interaction
// seam, translated, captioned "KORVANA".
#pragma once

#include <app/data/readblocks.h>
#include <app/device/connectfailure.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class CLPGDevice;
class CThreadManager;

class CDeviceSession {
public:
    // Publishes the device pointer; the device outlives the session.
    explicit CDeviceSession(CLPGDevice& device);
    // Ends polling and waits, so no polling thread outlives what it uses.
    ~CDeviceSession();
    CDeviceSession(const CDeviceSession&) = delete;
    CDeviceSession& operator=(const CDeviceSession&) = delete;

    // The firmware update in its automatic form, started by identify for a
    // known controller found in its bootloader (forced = true). Returns whether
    // the controller was reprogrammed. Unset, identify reports failure there.
    using FirmwareUpdate = std::function<bool(bool forced)>;
    void setFirmwareUpdate(FirmwareUpdate update) { m_firmwareUpdate = std::move(update); }

    // Opens and configures COM n, then openConnection; on success stores n and
    // its path as the last port of the profile. Error objects are caught and
    // logged (false). A port that failed is closed again. Raises LinkConnected
    // and ImageChanged(All) through openConnection. Why it failed is
    // kept until the next try: lastConnectFailure, and the operating system's
    // words (or the error text) in lastConnectDetail.
    bool connectOnPort(uint32_t n);
    ConnectFailure lastConnectFailure() const { return m_connectFailure; }
    const std::string& lastConnectDetail() const { return m_connectDetail; }
    // True at once in demo mode. Otherwise identify, the identity block and
    // every settings block in the fixed order (one retry after 131 ms and one
    // message per failed block). False when identification failed, or when a
    // read got no byte at all in any attempt: the controller went silent, the
    // remaining blocks are not tried, and a message names the blocks not read.
    bool openConnection();
    // Up to 4 attempts of command 0xCC. Sets m_readingsAllowed from the answer.
    bool identify();
    // Demo mode: both flags set, the fixed demo identity.
    void startDemoMode();
    // Running without a controller: both flags cleared.
    void runWithoutConnection();
    // "Brak połączenia" after a refused model is shown once per run; tests start over.
    static void resetRefusalNotice();

    // Stops when readings are not allowed. Otherwise (after stopping a polling
    // thread that still runs) sets the polling flag, keeps path and starts a
    // CDiagRSThread that records to path (kNoRecordingPath records nothing).
    // True when a thread was started.
    bool startPolling(const std::string& path);
    // Clears the polling flag, raises PollingStopped and waits until the thread
    // has left its loop. startPolling raises PollingStarted before the thread runs.
    void stopPolling();
    // A recording from the readings page: only a path ending in "osc" restarts
    // polling with it; any other path changes nothing and gives false.
    bool startRecording(const std::string& path);
    // Whether a polling thread has its diagnostic file open.
    bool isRecording() const { return m_recording; }
    // Any thread. Lines the last recording wrote whole, and the errno that
    // ended it or kept it from starting (0 while none): a failed write closes
    // the file and ends the recording; polling goes on without it.
    uint32_t recordedLines() const { return m_recordedLines; }
    int recordingError() const { return m_recordingError; }
    // Whether the recording of the last polling start ended at a failed write.
    bool recordingBroke() const { return m_recordingBroke; }
    // Whole lines after which a recording closes its file (0, the default: no
    // limit); polling goes on. Any thread; the polling thread reads it per line.
    void setRecordingLimit(uint32_t lines) { m_recordingLimit = lines; }
    uint32_t recordingLimit() const { return m_recordingLimit; }
    // Any thread: whether a polling thread of this device still runs.
    bool pollingThreadRunning() const { return m_pollingThreads.load() > 0; }
    // Waits (real time) until no polling thread runs; false after timeoutMs.
    bool waitPollingEnded(unsigned timeoutMs) const;
    // The manager that starts polling threads; null (the default) is the
    // program's CLPGThreadManager. A tool that reports its exit status sets its own.
    void setThreadManager(CThreadManager* manager) { m_threadManager = manager; }
    // Whether a polling thread that loses the port says "Brak połączenia" in a
    // box of its own (the default), or leaves the telling to the program, whose
    // no-connection dialog follows the loss.
    void setLossMessage(bool shown) { m_lossMessage = shown; }
    bool lossMessage() const { return m_lossMessage; }

    // Set by startPolling, cleared by stopPolling and by a polling thread that
    // gives up; read by the thread once per cycle.
    std::atomic<bool> m_polling { false };
    // Whether the identification answer allowed live readings (third byte 85).
    std::atomic<bool> m_readingsAllowed { true };
    // The path given to the last startPolling.
    std::string m_diagPath;

private:
    friend class CDiagInputThread;
    friend class CDiagRSThread;
    bool readBlockTwice(CReadBlocks::Block block);
    // openConnection after a silent read: not connected, the blocks not read named.
    bool linkLost();

    CLPGDevice& m_device;
    FirmwareUpdate m_firmwareUpdate;
    // Set by identify, completed by connectOnPort.
    ConnectFailure m_connectFailure = ConnectFailure::None;
    std::string m_connectDetail;
    CThreadManager* m_threadManager = nullptr;
    std::atomic<int> m_pollingThreads { 0 };
    std::atomic<bool> m_recording { false };
    std::atomic<uint32_t> m_recordedLines { 0 };
    std::atomic<int> m_recordingError { 0 };
    std::atomic<bool> m_recordingBroke { false };
    std::atomic<bool> m_lossMessage { true };
    std::atomic<uint32_t> m_recordingLimit { 0 };
};
