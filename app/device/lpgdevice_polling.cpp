// SPDX-License-Identifier: GPL-3.0-or-later
// Starting and stopping the polling thread of the live readings.
#include <app/device/lpgdevice.h>

#include <app/device/diagrsthread.h>
#include <app/data/recordingpath.h>
#include <app/platform/lpgthreadmanager.h>
#include <app/platform/log.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <chrono>
#include <thread>

namespace {

// Longer than any single step of a polling cycle: an exchange that times out,
// or the wait and re-opening after a port error.
constexpr unsigned kStopWaitMs = 5000;

} // namespace

bool CLPGDevice::waitPollingEnded(unsigned timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_pollingThreads.load() > 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool CLPGDevice::startPolling(const std::string& path)
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
    auto* thread = new CDiagRSThread(*this, m_diagData, path, &m_polling);
    m_recording = thread->recording();
    m_recordedLines = 0;
    m_recordingError = thread->openError();
    m_recordingBroke = false;
    m_pollingThreads.fetch_add(1);
    logInfo("poll", std::string("polling started") + (m_recording ? ", recording to " + path : std::string()));
    // Before the thread runs: what it raises (LinkLost, PollingStopped) must come after this.
    m_events.raise(DeviceEvent::PollingStarted);
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
        m_events.raise(DeviceEvent::PollingStopped);
        return false;
    }
    return true;
}

void CLPGDevice::stopPolling()
{
    const bool wasPolling = m_polling.exchange(false);
    if (wasPolling)
        logInfo("poll", "polling stopped");
    m_events.raise(DeviceEvent::PollingStopped);
    // Until the thread has left its loop, so what follows has the link and the queue to itself.
    if (!waitPollingEnded(kStopWaitMs))
        logWarning("poll", "the polling thread did not end within " + std::to_string(kStopWaitMs) + " ms");
}

bool CLPGDevice::startRecording(const std::string& path)
{
    if (!endsWithOsc(path))
        return false;
    stopPolling();
    return startPolling(path);
}
