// SPDX-License-Identifier: GPL-3.0-or-later
// CMutexGuard: it releases the lock its creator took on every way out of the
// scope, an exception included, once per guard, and ignores a null lock.
#include <app/platform/mutexguard.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

// Whether another thread gets the lock within the limit; tryLock cannot tell.
bool freeForOthers(CMSGMutex& mutex, std::chrono::milliseconds limit)
{
    std::atomic<bool> got { false };
    std::thread other([&] {
        mutex.lock();
        got = true;
        mutex.unlock();
    });
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!got && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const bool result = got;
    if (!result)
        mutex.unlock(); // the guard left it held by this thread; let the other one finish
    other.join();
    return result;
}

TEST(CMutexGuard, UnlocksWhenAnExceptionLeavesTheScope)
{
    CMSGMutex mutex;
    try {
        mutex.lock();
        CMutexGuard guard(&mutex);
        throw std::runtime_error("przerwane");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(freeForOthers(mutex, std::chrono::seconds(10)));
}

TEST(CMutexGuard, ReleasesOneLevelOfARecursiveLock)
{
    CMSGMutex mutex;
    mutex.lock();
    {
        mutex.lock();
        CMutexGuard inner(&mutex);
    }
    {
        CMutexGuard none(nullptr);
    }
    // Still held once by this thread.
    std::atomic<bool> got { false };
    std::thread other([&] {
        mutex.lock();
        got = true;
        mutex.unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(got);
    mutex.unlock();
    other.join();
    EXPECT_TRUE(got);
}

} // namespace
