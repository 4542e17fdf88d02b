// SPDX-License-Identifier: GPL-3.0-or-later
// The synchronisation objects: the recursive lock (recursion on one thread,
// exclusion across threads), the counting semaphore, and the pulsed event
// (a pulse wakes a waiter, is not remembered, and a wait times out).
#include "../support/waitfor.h"

#include <syncmsg/msgevent.h>
#include <syncmsg/msgmutex.h>
#include <syncmsg/msgsemaphore.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using testwait::waitFor;

namespace {

using namespace std::chrono_literals;

// Another thread that tries to take the lock; tryLock cannot tell, it always says -1.
class COtherLocker {
public:
    explicit COtherLocker(CMSGMutex& mutex)
        : m_thread([this, &mutex] {
            mutex.lock();
            m_got = true;
            mutex.unlock();
        })
    {
    }
    ~COtherLocker() { m_thread.join(); }
    bool gotWithin(std::chrono::milliseconds limit)
    {
        return waitFor([this] { return m_got.load(); }, limit);
    }

private:
    std::atomic<bool> m_got { false };
    std::thread m_thread;
};

TEST(CMSGMutex, RecursiveOnOneThreadExclusiveAcrossThreads)
{
    CMSGMutex mutex;
    EXPECT_EQ(mutex.tryLock(), -1);
    mutex.lock();
    mutex.lock();
    COtherLocker other(mutex);
    EXPECT_FALSE(other.gotWithin(50ms));
    mutex.unlock();
    EXPECT_FALSE(other.gotWithin(50ms)); // still held once
    mutex.unlock();
    EXPECT_TRUE(other.gotWithin(10s));
}

TEST(CMSGSemaphore, DownTakesTheInitialCountThenWaitsForUp)
{
    CMSGSemaphore semaphore(2);
    semaphore.down();
    semaphore.down();

    std::atomic<bool> passed { false };
    std::thread waiter([&] {
        semaphore.down();
        passed = true;
    });
    EXPECT_FALSE(waitFor([&] { return passed.load(); }, 50ms));
    semaphore.up();
    EXPECT_TRUE(waitFor([&] { return passed.load(); }));
    waiter.join();
}

TEST(CMSGEvent, PulseWakesAWaiter)
{
    CMSGEvent event;
    std::atomic<bool> done { false };
    bool woken = false;
    std::thread waiter([&] {
        woken = event.wait(CMSGEvent::kInfinite);
        done = true;
    });
    // A pulse before the waiter waits is lost, so keep pulsing until it wakes.
    EXPECT_TRUE(waitFor([&] {
        event.signal();
        return done.load();
    }));
    waiter.join();
    EXPECT_TRUE(woken);
}

TEST(CMSGEvent, WaitTimesOutAndAnEarlierPulseIsNotRemembered)
{
    CMSGEvent event;
    event.signal();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.wait(60));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 60ms);
}

} // namespace
