// SPDX-License-Identifier: GPL-3.0-or-later
#include <syncmsg/recyclethread.h>

#include <syncmsg/threadmanager.h>

CRecycleThread::CRecycleThread(CThreadManager& manager)
    : m_owner(manager)
{
}

CRecycleThread::~CRecycleThread() = default;

void CRecycleThread::doWork()
{
    try {
        for (;;) {
            if (m_owner.recyclerMayEnd())
                break;
            m_owner.m_finishedCount.down();
            if (m_owner.recyclerMayEnd())
                break;
            m_owner.recycleFinished();
        }
    } catch (...) {
        // Ending here keeps stop() from waiting for a recycler that is gone.
        reportFailure(L"CRecycleThread::doWork()");
    }
    m_owner.m_recyclerDone.store(true);
    m_owner.m_recyclerEnded.signal();
}
