// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/diagrsthread.h>

#include <app/data/diagdata.h>
#include <app/data/demodiag.h>
#include <app/device/demostate.h>
#include <app/device/deviceevents.h>
#include <app/device/lpgdevice.h>
#include <app/platform/mutexguard.h>

#include <atomic>

namespace {

constexpr uint8_t kLpg = 3;

} // namespace

CDiagRSThread::CDiagRSThread(CLPGDevice& device, CDiagData& queue, const std::string& path,
                             std::atomic<bool>* pollingFlag)
    : CDiagInputThread(device, queue, pollingFlag)
    , m_scale(packScale(CDiagScale(device.liveImage())))
{
    m_imageListener = device.events().add([this](const DeviceEventData& event) {
        if (event.kind == DeviceEvent::ImageChanged)
            m_scale.store(packScale(CDiagScale(m_device.liveImage())), std::memory_order_relaxed);
    });
    m_file.open(path);
}

CDiagRSThread::~CDiagRSThread()
{
    // Still listening only when the thread never ran (the device is there then).
    stopHearingImage();
}

void CDiagRSThread::stopHearingImage()
{
    if (const int id = m_imageListener.exchange(0))
        m_device.events().remove(id);
}

uint64_t CDiagRSThread::packScale(const CDiagScale& scale)
{
    return uint64_t { scale.engineSensor } | uint64_t { scale.lpgSensor } << 8 | uint64_t { scale.advancedFlags } << 16
        | uint64_t { static_cast<uint32_t>(scale.version) } << 32;
}

CDiagScale CDiagRSThread::liveScale() const
{
    const uint64_t packed = m_scale.load(std::memory_order_relaxed);
    CDiagScale scale;
    scale.engineSensor = static_cast<uint8_t>(packed);
    scale.lpgSensor = static_cast<uint8_t>(packed >> 8);
    scale.advancedFlags = static_cast<uint8_t>(packed >> 16);
    scale.version = static_cast<int32_t>(static_cast<uint32_t>(packed >> 32));
    return scale;
}

void CDiagRSThread::onStart()
{
    if (!m_device.m_demo) {
        // Under the link lock: a purge inside another thread's exchange would eat its answer.
        CMSGMutex& lock = m_device.link().lock();
        lock.lock();
        CMutexGuard guard(&lock);
        m_device.link().line().purgeIn();
    }
    m_queue.clear();
}

void CDiagRSThread::onStop()
{
    stopHearingImage();
    m_file.close();
    m_device.session().m_recording = false;
}

uint8_t CDiagRSThread::readOne(CDiag& record)
{
    if (m_device.m_demo) {
        buildDemoRecord(record, m_queue, demoFuelState(), liveScale());
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
        if (const IObdGateway* gateway = m_device.obdGateway())
            for (int i = 0; i < CDiagFile::kObdValues; ++i)
                obd[static_cast<std::size_t>(i)] = gateway->value(i);
        if (m_file.write(record, liveScale(), obd)) {
            // A recording of a set length ends at that line, however long polling runs on.
            const uint32_t limit = m_device.session().m_recordingLimit;
            if (++m_device.session().m_recordedLines == limit) {
                m_file.close();
                m_device.session().m_recording = false;
            }
        } else {
            // Stop at the first loss: later lines after a gap would read as one recording.
            m_device.session().m_recordingError = m_file.error();
            m_file.close();
            m_device.session().m_recording = false;
            m_device.session().m_recordingBroke = true;
        }
    }
    record.setSequence(m_sequence);
    DeviceEventData event { DeviceEvent::ReadingsAppended };
    event.sequence = m_queue.push(record);
    m_device.events().raise(event);
}
