#include <app/data/diaginputthread.h>

#include <app/data/diag.h>
#include <app/data/diagdata.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/mutexguard.h>
#include <app/platform/userinteraction.h>
#include <errkit/ierror.h>

#include <chrono>
#include <thread>

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
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void CDiagInputThread::doWork()
{
    // The device counted this thread in before starting it.
    CRunningMark mark(m_device.m_pollingThreads);
    run();
}

uint32_t CDiagInputThread::portErrorState()
{
    // Under the link lock: the GUI thread may be opening a port for a search.
    CMSGMutex& lock = m_device.linkLock();
    lock.lock();
    CMutexGuard guard(&lock);
    return m_device.port().clearCommError();
}

void CDiagInputThread::giveUp()
{
    m_queue.clear();
    onStop();
    m_device.m_connected = false;
    *m_pollingFlag = false;
}

void CDiagInputThread::run()
{
    // A count left over from a thread that gave up would end this one at its first fault.
    g_faults = 0;
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
                } else if (status == kLinkFault && ++g_faults > kFaultLimit) {
                    giveUp();
                }
            } catch (IError* e) {
                pause(kReopenWaitMs);
                if (!m_device.reopen())
                    throw;
                delete e;
            }
        }
        onStop();
    } catch (IError* e) {
        m_queue.clear();
        if (*m_pollingFlag) {
            onStop();
            if (portErrorState() != 0)
                m_device.m_connected = false;
            userInteraction().message(translate(L"Brak połączenia"), L"KORVANA", MsgIcon::None);
        }
        delete e;
    }
}
