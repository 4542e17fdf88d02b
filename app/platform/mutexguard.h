// SPDX-License-Identifier: GPL-3.0-or-later
// Scope guard for a CMSGMutex that its creator has already locked:
// unlocks it on every way out of the scope.
#pragma once

#include <syncmsg/msgmutex.h>

class CMutexGuard {
public:
    explicit CMutexGuard(CMSGMutex* mutex)
        : m_mutex(mutex)
    {
    }
    CMutexGuard(const CMutexGuard&) = delete;
    CMutexGuard& operator=(const CMutexGuard&) = delete;
    virtual ~CMutexGuard()
    {
        if (m_mutex)
            m_mutex->unlock();
    }

private:
    CMSGMutex* m_mutex;
};
