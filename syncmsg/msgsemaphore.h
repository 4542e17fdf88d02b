// SPDX-License-Identifier: GPL-3.0-or-later
// A counting semaphore with the maximum count 2147483647. A release beyond the
// maximum, and a negative or too large initial count, raise CThreadError.
#pragma once

#include <errkit/ierrorhelper.h>
#include <syncmsg/threaderror.h>

#include <atomic>
#include <semaphore>

class CMSGSemaphore : protected IErrorHelper<CThreadError> {
public:
    static constexpr long kMaxCount = 2147483647;

    explicit CMSGSemaphore(long initial = 0);
    CMSGSemaphore(const CMSGSemaphore&) = delete;
    CMSGSemaphore& operator=(const CMSGSemaphore&) = delete;
    ~CMSGSemaphore() override;

    // Waits without time limit until the count is above zero, then takes one.
    void down();
    // Adds one, waking one waiter.
    void up();

private:
    std::counting_semaphore<kMaxCount> m_semaphore;
    // Mirrors the count so that a release past the maximum is refused, not undefined.
    std::atomic<long> m_count;
};
