// SPDX-License-Identifier: GPL-3.0-or-later
// A manual-reset event that is only ever pulsed: signal() wakes every thread
// waiting at that moment and leaves the event not signalled, so a pulse with no
// waiter is lost.
#pragma once

#include <errkit/ierrorhelper.h>
#include <syncmsg/threaderror.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>

class CMSGEvent : protected IErrorHelper<CThreadError> {
public:
    static constexpr uint32_t kInfinite = 0xFFFFFFFF;

    CMSGEvent();
    CMSGEvent(const CMSGEvent&) = delete;
    CMSGEvent& operator=(const CMSGEvent&) = delete;
    ~CMSGEvent() override;

    void signal();
    // Waits up to ms milliseconds (kInfinite: no limit) for the next pulse.
    // True when a pulse came, false when the time ran out.
    bool wait(uint32_t ms);

private:
    std::mutex m_mutex;
    std::condition_variable m_pulsed;
    // Counts pulses, so a waiter tells a pulse from a spurious wake-up.
    uint64_t m_pulses = 0;
};
