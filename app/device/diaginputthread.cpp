// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/diaginputthread.h>

#include <app/data/diag.h>
#include <app/data/diagdata.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/mutexguard.h>
#include <app/platform/userinteraction.h>
#include <app/platform/log.h>
#include <app/platform/textcodec.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <exception>


namespace {

std::atomic<int> g_faults { 0 };

// Ends the device's count of running polling threads on every way out.
class CRunningMark {
public:
    explicit CRunningMark(std::atomic<int>& count)
        : m_count(count)
    {
    }
    ~CRunningMark() { m_count.fetch_sub(1); }
    CRunningMark(const CRunningMark&) = delete;
    CRunningMark& operator=(const CRunningMark&) = delete;

private:
    std::atomic<int>& m_count;
};

} // namespace

CDiagInputThread::CDiagInputThread(CLPGDevice& device, CDiagData& queue, std::atomic<bool>* pollingFlag)
    : m_device(device)
    , m_queue(queue)
    , m_pollingFlag(pollingFlag)
    , m_name("CDiagRSThread")
{
}

CDiagInputThread::~CDiagInputThread() = default;

int CDiagInputThread::faultCount()
{
    return g_faults.load();
}

void CDiagInputThread::pause(unsigned milliseconds)
{
    m_device.link().line().wait(milliseconds);
}

void CDiagInputThread::doWork()
{
    // The device counted this thread in before starting it.
    CRunningMark mark(m_device.session().m_pollingThreads);
    run();
}

uint32_t CDiagInputThread::portErrorState()
{
    // Under the link lock: the GUI thread may be opening a port for a search.
    CMSGMutex& lock = m_device.link().lock();
    lock.lock();
    CMutexGuard guard(&lock);
    return m_device.link().line().clearCommError();
}

void CDiagInputThread::giveUp()
{
    logWarning("poll", std::string("polling given up: ") + kFaultReason);
    m_queue.clear();
    onStop();
    m_device.m_connected = false;
    *m_pollingFlag = false;
    m_device.events().raise(DeviceEvent::PollingStopped);
    m_device.events().linkLost(kFaultReason);
}

void CDiagInputThread::portFailed()
{
    m_queue.clear();
    // Closes the diagnostic file and clears the recording flag on either way.
    onStop();
    if (!*m_pollingFlag)
        return; // stopped on purpose while the port went away: nobody waits for a message
    const uint32_t state = portErrorState();
    if (state != 0)
        m_device.m_connected = false;
    logError("poll", std::string("polling ended: ") + kPortReason + " (port state " + std::to_string(state) + ")");
    // The polling flag stays set: the program's next steps tell this end from a stop by it.
    m_device.events().linkLost(kPortReason);
    if (m_device.session().lossMessage())
        userInteraction().message(translate(L"Brak połączenia"), L"KORVANA", MsgIcon::None);
}

void CDiagInputThread::run()
{
    // A count left over from a thread that gave up would end this one at its first fault.
    g_faults = 0;
    logDebug("poll", m_name + " running");
    try {
        onStart();
        while (*m_pollingFlag) {
            try {
                CDiag record;
                pause(kPollMs);
                const uint8_t status = readOne(record);
                if (status == kRead) {
                    onRecord(record);
                    g_faults = 0;
                } else if (status == kLinkFault) {
                    const int faults = ++g_faults;
                    logDebug("poll", "link fault " + std::to_string(faults) + " since the last good record");
                    if (faults > kFaultLimit)
                        giveUp();
                }
            } catch (IError* e) {
                CErrorGuard error(e);
                logWarning("poll", "port error, re-opening: " + toUtf8(error.format()));
                pause(kReopenWaitMs);
                if (!m_device.link().reopen())
                    throw error.release();
                logInfo("poll", "port re-opened");
            }
        }
        onStop();
        logDebug("poll", m_name + " left its loop");
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("poll", "CDiagInputThread::run", *error);
        portFailed();
    } catch (const std::exception& e) {
        // Whatever broke inside a cycle, the thread must not take the program with it.
        logError("poll", std::string("CDiagInputThread::run: ") + e.what());
        portFailed();
    }
}
