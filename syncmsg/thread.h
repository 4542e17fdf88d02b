// SPDX-License-Identifier: GPL-3.0-or-later
// Base of all threads of the library. A thread object is started with create();
// its body is doWork() unless a start function or an entry is given.
//
// Contract:
// - create() raises CThreadError (code -2) when the thread cannot be started;
//   the caller keeps the object then.
// - An owner must not destroy an object whose thread still runs its body (the
//   derived parts would go first); the base destructor then only waits for the
//   thread's last steps, unless the object is destroyed on its own thread.
// - An exception that escapes a thread body does not end the process: it is
//   written to stderr (an IError* as its formatted report, then deleted).
// - kill, suspend and resume have no safe POSIX counterpart for another thread:
//   they always raise CThreadError (code -1) naming the operation.
// - Thread objects are not copyable.
#pragma once

#include <errkit/ierrorhelper.h>
#include <syncmsg/threaderror.h>

#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <memory>

class CThreadManager;

class CThread : protected IErrorHelper<CThreadError> {
public:
    // A start function or an entry; it receives the argument given to create().
    using ThreadProc = void (*)(void* argument);

    explicit CThread(ThreadProc start = nullptr);
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;
    ~CThread() override;

    // The thread body; empty here.
    virtual void doWork() { }

    // With a start function: runs start(argument), or start(this) when argument
    // is null. Otherwise runs entry(this), or the default entry (doWork) when
    // entry is null.
    void create(void* argument = nullptr, ThreadProc entry = nullptr);
    void kill();
    void suspend();
    void resume();
    // True from create() until the thread's function has returned.
    bool alive() const;
    // 0 keeps the runtime's default; smaller sizes are raised to the system minimum.
    void set_stackSize(std::size_t size) { m_stackSize = size; }
    // The handle: a number unique to each start within the process, -1 until started.
    long get_id() const { return m_handle; }
    bool operator==(const CThread& other) const { return m_handle == other.m_handle; }

    static void defaultEntry(void* thread);

protected:
    // Writes the exception being handled to stderr, headed by where it was caught.
    // Call only inside a catch block.
    static void reportFailure(const wchar_t* where) noexcept;

    ThreadProc m_start;
    long m_handle = -1;
    std::size_t m_stackSize = 0;
    CThreadManager* m_manager = nullptr;

private:
    friend class CThreadManager;

    struct Start;
    static void* trampoline(void* start);
    void join() noexcept;

    pthread_t m_native {};
    bool m_joinable = false;
    // Shared with the running thread, which may outlive this object.
    std::shared_ptr<std::atomic<bool>> m_running;
};
