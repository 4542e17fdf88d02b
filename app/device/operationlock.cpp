// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/operationlock.h>

#include <app/device/deviceevents.h>
#include <app/platform/log.h>
#include <errkit/errorguard.h>

#include <exception>

namespace {

DeviceEventData operationEvent(DeviceEvent kind, const std::wstring& name)
{
    DeviceEventData event { kind };
    event.operation = name;
    return event;
}

} // namespace

COperationLock::COperationLock(CDeviceEvents& events)
    : m_events(events)
{
}

bool COperationLock::tryBegin(const std::wstring& name)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_running)
            return false;
        m_running = true;
        m_current = name;
    }
    // Outside the lock: a listener may ask who runs.
    m_events.raise(operationEvent(DeviceEvent::OperationStarted, name));
    return true;
}

void COperationLock::end()
{
    std::wstring name;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_running)
            return;
        m_running = false;
        name.swap(m_current);
    }
    m_events.raise(operationEvent(DeviceEvent::OperationFinished, name));
}

bool COperationLock::running() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_running;
}

std::wstring COperationLock::current() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_current;
}

COperationGuard::COperationGuard(COperationLock& lock, const std::wstring& name)
    : m_lock(lock)
{
    m_owns = m_lock.tryBegin(name);
    if (!m_owns)
        m_refusedBy = m_lock.current();
}

COperationGuard::~COperationGuard()
{
    release();
}

void COperationGuard::release()
{
    if (!m_owns)
        return;
    m_owns = false;
    // A listener that throws must not escape a destructor.
    try {
        m_lock.end();
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("op", "COperationGuard::release", *error);
    } catch (const std::exception& e) {
        logError("op", std::string("COperationGuard::release: ") + e.what());
    } catch (...) {
        logError("op", "COperationGuard::release: unknown exception");
    }
}
