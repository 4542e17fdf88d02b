// SPDX-License-Identifier: GPL-3.0-or-later
// A recursive lock with the semantics of a critical section: the owning thread
// may lock it again and must unlock it as often.
#pragma once

#include <mutex>

class CMSGMutex {
public:
    CMSGMutex() = default;
    CMSGMutex(const CMSGMutex&) = delete;
    CMSGMutex& operator=(const CMSGMutex&) = delete;
    virtual ~CMSGMutex() = default;

    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }
    // Kept for the library's interface; it takes nothing and always answers -1.
    int tryLock() { return -1; }

private:
    std::recursive_mutex m_mutex;
};
