#include <app/data/diagrsthread.h>

#include <app/data/diagdata.h>
#include <app/data/demodiag.h>
#include <app/device/demostate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/mutexguard.h>

namespace {

constexpr uint8_t kLpg = 3;

} // namespace

CDiagRSThread::CDiagRSThread(CLPGDevice& device, CDiagData& queue, const std::string& path,
                             std::atomic<bool>* pollingFlag)
    : CDiagInputThread(device, queue, pollingFlag)
    , m_scale(device.image())
{
    m_file.open(path);
}

CDiagRSThread::~CDiagRSThread() = default;

void CDiagRSThread::onStart()
{
    if (!m_device.m_demo) {
        // Under the link lock: a purge inside another thread's exchange would eat its answer.
        CMSGMutex& lock = m_device.linkLock();
        lock.lock();
        CMutexGuard guard(&lock);
        m_device.link().purgeIn();
    }
    m_queue.clear();
}

void CDiagRSThread::onStop()
{
    m_file.close();
    m_device.m_recording = false;
}

uint8_t CDiagRSThread::readOne(CDiag& record)
{
    if (m_device.m_demo) {
        buildDemoRecord(record, m_queue, demoFuelState(), m_scale);
        return kRead;
    }
    const uint8_t status = m_device.readLiveData(record);
    if (status != kRead)
        return status;
    if (record.fuelState() == 4 || record.fuelState() == 5)
        record.setFuelState(kLpg);
    return kRead;
}

void CDiagRSThread::onRecord(CDiag& record)
{
    ++m_sequence;
    if (m_file.isOpen()) {
        CDiagFile::ObdValues obd {};
        for (int i = 0; i < CDiagFile::kObdValues; ++i)
            obd[static_cast<std::size_t>(i)] = m_device.value(i);
        m_file.write(record, m_scale, obd);
    }
    record.setSequence(m_sequence);
    DeviceEventData event { DeviceEvent::ReadingsAppended };
    event.sequence = m_queue.push(record);
    m_device.events().raise(event);
}
