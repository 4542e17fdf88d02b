// SPDX-License-Identifier: GPL-3.0-or-later
#include <syncmsg/msgevent.h>

#include <chrono>
#include <system_error>

CMSGEvent::CMSGEvent() = default;

// Nothing can fail when the event goes; it has no system object to close.
CMSGEvent::~CMSGEvent() = default;

void CMSGEvent::signal()
{
    try {
        {
            std::lock_guard lock(m_mutex);
            ++m_pulses;
        }
        m_pulsed.notify_all();
    } catch (const std::system_error&) {
        _throw(CThreadError::kFailed, L"CMSGEvent::signal()", 460, L"wirnel");
    }
}

bool CMSGEvent::wait(uint32_t ms)
{
    bool pulsed = false;
    try {
        std::unique_lock lock(m_mutex);
        const uint64_t seen = m_pulses;
        const auto newPulse = [&] { return m_pulses != seen; };
        if (ms == kInfinite) {
            m_pulsed.wait(lock, newPulse);
            pulsed = true;
        } else {
            pulsed = m_pulsed.wait_for(lock, std::chrono::milliseconds(ms), newPulse);
        }
    } catch (const std::system_error&) {
        _throw(CThreadError::kFailed, L"CMSGEvent::wait()", 473, L"wirnel");
    }
    return pulsed;
}
