// SPDX-License-Identifier: GPL-3.0-or-later
// Starts inserted thread objects and deletes each one after its doWork has
// returned. A recycler thread, itself the first entry of the running list, does
// the deleting; it is the only deleter of worker objects.
//
// Ownership: insert() takes the object when it returns normally; the owner must
// neither delete nor use it after its work has ended. When insert() raises
// CThreadError the caller keeps the object.
//
// A doWork that throws does not end the process: the exception is written to
// stderr (an IError* as its formatted report, then deleted) and the object is
// recycled like any other.
#pragma once

#include <errkit/ierrorhelper.h>
#include <syncmsg/msgevent.h>
#include <syncmsg/msgmutex.h>
#include <syncmsg/msgsemaphore.h>
#include <syncmsg/threaderror.h>

#include <atomic>
#include <cstddef>
#include <deque>
#include <vector>

class CThread;
class CRecycleThread;

class CThreadManager : protected IErrorHelper<CThreadError> {
public:
    CThreadManager(const CThreadManager&) = delete;
    CThreadManager& operator=(const CThreadManager&) = delete;
    // Stops the manager when threads are still listed; that waits for them.
    ~CThreadManager() override;

    // Starts thread with the manager's entry. Refused (CThreadError, code -1)
    // for a null thread, a thread built with a start function (it would never
    // reach the recycler) and once stop() has begun.
    void insert(CThread* thread);
    // Thread objects in the running list, the recycler included.
    std::size_t size() const;
    // Waits until every inserted thread has ended and been deleted, then ends
    // the recycler. mutex, when given and threads still run, is released while
    // waiting (the threads may need it to finish) and taken again afterwards.
    void stop(CMSGMutex* mutex = nullptr);

protected:
    // Starts the recycler; raises CThreadError when it cannot be started.
    CThreadManager();

private:
    friend class CRecycleThread;

    static void entry(void* thread);
    void start(CThread* thread);
    void finished(CThread* thread);
    bool recyclerMayEnd() const;
    void recycleFinished();

    bool m_stopping = false;
    std::vector<CThread*> m_running;
    CMSGMutex m_finishedLock;
    std::deque<CThread*> m_finished;
    CRecycleThread* m_recycler = nullptr;
    CMSGSemaphore m_finishedCount { 0 };
    CMSGEvent m_recyclerEnded;
    mutable CMSGMutex m_lock;
    // Set before the recycler pulses its end, because a pulse that comes before
    // stop() starts waiting would be lost.
    std::atomic<bool> m_recyclerDone { false };
};
