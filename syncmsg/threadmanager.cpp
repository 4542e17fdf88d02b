// SPDX-License-Identifier: GPL-3.0-or-later
#include <syncmsg/threadmanager.h>

#include <syncmsg/recyclethread.h>
#include <syncmsg/thread.h>

#include <algorithm>
#include <utility>

CThreadManager::CThreadManager()
{
    auto* recycler = new CRecycleThread(*this);
    try {
        std::lock_guard guard(m_lock);
        start(recycler);
        m_recycler = recycler;
    } catch (...) {
        delete recycler;
        throw;
    }
}

CThreadManager::~CThreadManager()
{
    bool listed = false;
    {
        std::lock_guard guard(m_lock);
        listed = !m_running.empty();
    }
    if (!listed)
        return;
    try {
        stop();
    } catch (...) {
        CThread::reportFailure(L"CThreadManager::~CThreadManager()");
    }
}

void CThreadManager::insert(CThread* thread)
{
    std::lock_guard guard(m_lock);
    if (!thread || thread->m_start || m_stopping)
        _throw(CThreadError::kFailed, L"CThreadManager::insert()", __LINE__, L"wirnel");
    start(thread);
}

// Runs under m_lock, so the recycler cannot look for the thread in the running
// list before it has been appended there.
void CThreadManager::start(CThread* thread)
{
    m_running.reserve(m_running.size() + 1);
    thread->m_manager = this;
    try {
        thread->create(nullptr, &CThreadManager::entry);
    } catch (...) {
        thread->m_manager = nullptr;
        throw;
    }
    m_running.push_back(thread);
}

std::size_t CThreadManager::size() const
{
    std::lock_guard guard(m_lock);
    return m_running.size();
}

void CThreadManager::entry(void* argument)
{
    auto* thread = static_cast<CThread*>(argument);
    CThreadManager* manager = thread->m_manager;
    try {
        thread->doWork();
    } catch (...) {
        CThread::reportFailure(L"CThread::doWork()");
    }
    manager->finished(thread);
}

// The last steps of a managed thread; the object may be deleted as soon as the
// semaphore is raised.
void CThreadManager::finished(CThread* thread)
{
    {
        std::lock_guard guard(m_finishedLock);
        m_finished.push_back(thread);
    }
    try {
        m_finishedCount.up();
    } catch (...) {
        CThread::reportFailure(L"CThreadManager::entry()");
    }
}

bool CThreadManager::recyclerMayEnd() const
{
    std::lock_guard guard(m_lock);
    return m_stopping && m_running.size() == 1;
}

void CThreadManager::recycleFinished()
{
    for (;;) {
        CThread* thread = nullptr;
        {
            std::lock_guard guard(m_finishedLock);
            if (m_finished.empty())
                return;
            thread = m_finished.front();
            m_finished.pop_front();
        }
        {
            std::lock_guard guard(m_lock);
            std::erase(m_running, thread);
        }
        delete thread;
    }
}

void CThreadManager::stop(CMSGMutex* mutex)
{
    bool othersRun = false;
    {
        std::lock_guard guard(m_lock);
        if (!m_recycler)
            return;
        othersRun = m_running.size() > 1;
        if (!m_stopping) {
            m_stopping = true;
            if (!othersRun)
                m_finishedCount.up();
        }
    }

    const bool released = othersRun && mutex;
    if (released)
        mutex->unlock();
    while (!m_recyclerDone.load())
        m_recyclerEnded.wait(100);

    // Of several callers, the one that takes the recycler deletes it; deleting
    // waits for the recycler's thread to take its own last steps.
    CThread* recycler = nullptr;
    {
        std::lock_guard guard(m_lock);
        recycler = std::exchange(m_recycler, nullptr);
        std::erase(m_running, recycler);
    }
    if (recycler) {
        delete recycler;
        std::lock_guard guard(m_finishedLock);
        std::erase(m_finished, recycler);
    }
    if (released)
        mutex->lock();
}
