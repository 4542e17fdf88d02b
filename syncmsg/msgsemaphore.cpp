// SPDX-License-Identifier: GPL-3.0-or-later
#include <syncmsg/msgsemaphore.h>

#include <system_error>

namespace {

bool validCount(long count)
{
    return count >= 0 && count <= CMSGSemaphore::kMaxCount;
}

} // namespace

CMSGSemaphore::CMSGSemaphore(long initial)
    : m_semaphore(validCount(initial) ? initial : 0)
    , m_count(validCount(initial) ? initial : 0)
{
    if (!validCount(initial))
        _throw(CThreadError::kFailed, L"CMSGSemaphore::CMSGSemaphore()", 302, L"wirnel");
}

// Nothing can fail when the semaphore goes; it has no system object to close.
CMSGSemaphore::~CMSGSemaphore() = default;

void CMSGSemaphore::down()
{
    try {
        m_semaphore.acquire();
    } catch (const std::system_error&) {
        _throw(CThreadError::kFailed, L"CMSGSemaphore::down()", 332, L"wirnel");
    }
    m_count.fetch_sub(1);
}

void CMSGSemaphore::up()
{
    if (m_count.fetch_add(1) >= kMaxCount) {
        m_count.fetch_sub(1);
        _throw(CThreadError::kFailed, L"CMSGSemaphore::up()", 346, L"wirnel");
    }
    try {
        m_semaphore.release();
    } catch (const std::system_error&) {
        m_count.fetch_sub(1);
        _throw(CThreadError::kFailed, L"CMSGSemaphore::up()", 346, L"wirnel");
    }
}
