// SPDX-License-Identifier: GPL-3.0-or-later
// A clock the test steps, for the line's waits of a polling thread (through
// CSerialPort::setWaiter): the thread that made the clock (the test's, the GUI
// thread) moves it on; any other thread that waits on it sleeps until the clock
// has passed its wake time. advance moves the clock in the steps the sleepers
// need and after each step lets every taking-part thread finish its work and
// wait again, so what a polling thread does between two waits happens at one
// instant of the clock, however slow the machine. Scripted sleeps of a
// procedure and a real polling thread then keep the program's own order.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

class CSteppedClock {
public:
    // participants: how many threads besides the maker take part now (a
    // device's running polling threads); they must wait on the clock before
    // it moves on. free: while true a sleeper returns at once (polling was
    // stopped), so a stop never waits on the clock.
    CSteppedClock(std::function<int()> participants, std::function<bool()> free);

    uint64_t nowMs() const;
    // From the maker's thread: moves the clock on without waiting for anyone
    // (a wait inside an exchange, which may hold the link). From any other
    // thread: sleeps until the clock has moved milliseconds on.
    void wait(unsigned milliseconds);
    // The maker's thread: moves the clock milliseconds on, step by step.
    void advance(unsigned milliseconds);
    // From here on every wait passes in real time (the test is ending).
    void release();
    // How often the taking-part threads did not wait again within the settle
    // deadline (a thread stuck on something the test holds).
    unsigned settleTimeouts() const;

private:
    void moveTo(std::unique_lock<std::mutex>& lock, uint64_t target, bool settle);
    void settle(std::unique_lock<std::mutex>& lock);
    bool settled() const;

    const std::thread::id m_maker = std::this_thread::get_id();
    std::function<int()> m_participants;
    std::function<bool()> m_free;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    uint64_t m_now = 0;
    std::multiset<uint64_t> m_wakes; // of the threads asleep on the clock
    bool m_released = false;
    unsigned m_settleTimeouts = 0;
};
