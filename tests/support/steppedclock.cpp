// SPDX-License-Identifier: GPL-3.0-or-later
#include "steppedclock.h"

#include <algorithm>

namespace {

// A look again now and then: the participants and free conditions are the
// device's, which does not tell the clock when they change.
constexpr std::chrono::milliseconds kRecheck { 1 };
// Bounds a taking-part thread that never waits again; a passing test never
// comes near it.
constexpr std::chrono::seconds kSettleDeadline { 10 };

} // namespace

CSteppedClock::CSteppedClock(std::function<int()> participants, std::function<bool()> free)
    : m_participants(std::move(participants))
    , m_free(std::move(free))
{
}

uint64_t CSteppedClock::nowMs() const
{
    std::lock_guard lock(m_mutex);
    return m_now;
}

unsigned CSteppedClock::settleTimeouts() const
{
    std::lock_guard lock(m_mutex);
    return m_settleTimeouts;
}

void CSteppedClock::release()
{
    std::lock_guard lock(m_mutex);
    m_released = true;
    m_changed.notify_all();
}

void CSteppedClock::wait(unsigned milliseconds)
{
    std::unique_lock lock(m_mutex);
    if (std::this_thread::get_id() == m_maker) {
        moveTo(lock, m_now + milliseconds, false);
        return;
    }
    if (m_released) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    const uint64_t wake = m_now + milliseconds;
    const auto entry = m_wakes.insert(wake);
    m_changed.notify_all();
    while (m_now < wake && !m_released && !(m_free && m_free()))
        m_changed.wait_for(lock, kRecheck);
    m_wakes.erase(entry);
    m_changed.notify_all();
}

void CSteppedClock::advance(unsigned milliseconds)
{
    std::unique_lock lock(m_mutex);
    moveTo(lock, m_now + milliseconds, true);
}

void CSteppedClock::moveTo(std::unique_lock<std::mutex>& lock, uint64_t target, bool settleEachStep)
{
    if (settleEachStep)
        settle(lock); // a thread that has just started reaches its first wait
    while (m_now < target) {
        uint64_t next = target;
        if (settleEachStep && !m_wakes.empty())
            next = std::min(next, std::max(m_now + 1, *m_wakes.begin()));
        m_now = next;
        m_changed.notify_all();
        if (settleEachStep)
            settle(lock);
    }
}

bool CSteppedClock::settled() const
{
    if (m_released)
        return true;
    if (!m_wakes.empty() && *m_wakes.begin() <= m_now)
        return false; // woken, not yet on its way
    const int asleep = static_cast<int>(m_wakes.size());
    return asleep >= (m_participants ? m_participants() : 0);
}

void CSteppedClock::settle(std::unique_lock<std::mutex>& lock)
{
    const auto deadline = std::chrono::steady_clock::now() + kSettleDeadline;
    while (!settled()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ++m_settleTimeouts;
            return;
        }
        m_changed.wait_for(lock, kRecheck);
    }
}
