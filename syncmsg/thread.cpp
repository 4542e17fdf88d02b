// SPDX-License-Identifier: GPL-3.0-or-later
#include <syncmsg/thread.h>

#include <errkit/errorguard.h>
#include <errkit/utf8.h>

#include <cxxabi.h>
#include <unistd.h>

#ifndef PTHREAD_STACK_MIN
#define PTHREAD_STACK_MIN 16384 // winpthreads names no minimum
#endif

#include <algorithm>
#include <cerrno>
#include <exception>
#include <string>

namespace {

std::atomic<long> g_lastHandle { 0 };

// One write per report, so reports of threads failing together do not interleave.
void writeStderr(const std::string& text)
{
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
}

} // namespace

struct CThread::Start {
    ThreadProc proc;
    void* argument;
    std::shared_ptr<std::atomic<bool>> running;
};

CThread::CThread(ThreadProc start)
    : m_start(start)
{
}

CThread::~CThread()
{
    join();
}

void CThread::join() noexcept
{
    if (!m_joinable)
        return;
    m_joinable = false;
    if (pthread_equal(pthread_self(), m_native))
        pthread_detach(m_native);
    else
        pthread_join(m_native, nullptr);
}

void CThread::create(void* argument, ThreadProc entry)
{
    ThreadProc proc = nullptr;
    void* procArgument = this;
    int32_t line = 154;
    if (m_start) {
        proc = m_start;
        if (argument)
            procArgument = argument;
        line = 149;
    } else {
        proc = entry ? entry : &CThread::defaultEntry;
    }

    if (m_joinable) {
        // One object drives one thread at a time; a finished one is reaped first.
        if (alive())
            _throw(CThreadError::kCreateFailed, L"CThread::create()", line, L"wirnel");
        join();
    }

    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0)
        _throw(CThreadError::kCreateFailed, L"CThread::create()", line, L"wirnel");
    int rc = 0;
    if (m_stackSize != 0)
        rc = pthread_attr_setstacksize(&attr, std::max<std::size_t>(m_stackSize, PTHREAD_STACK_MIN));

    // Published before the thread runs: its body may read them at once.
    const long previousHandle = m_handle;
    m_handle = ++g_lastHandle;
    m_running = std::make_shared<std::atomic<bool>>(true);
    auto* start = new Start { proc, procArgument, m_running };
    if (rc == 0)
        rc = pthread_create(&m_native, &attr, &CThread::trampoline, start);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete start;
        m_running.reset();
        m_handle = previousHandle;
        _throw(CThreadError::kCreateFailed, L"CThread::create()", line, L"wirnel");
    }
    m_joinable = true;
}

void* CThread::trampoline(void* start)
{
    Start* s = static_cast<Start*>(start);
    try {
        s->proc(s->argument);
    } catch (abi::__forced_unwind&) {
        s->running->store(false);
        delete s;
        throw;
    } catch (...) {
        reportFailure(L"CThread::create()");
    }
    // The thread object may be gone by now (a manager deletes it once its work
    // has ended); only the shared flag is touched.
    s->running->store(false);
    delete s;
    return nullptr;
}

void CThread::defaultEntry(void* thread)
{
    try {
        static_cast<CThread*>(thread)->doWork();
    } catch (...) {
        reportFailure(L"CThread::doWork()");
    }
}

void CThread::kill()
{
    _throw(CThreadError::kFailed, L"CThread::kill()", 162, L"wirnel");
}

void CThread::suspend()
{
    _throw(CThreadError::kFailed, L"CThread::suspend()", 173, L"wirnel");
}

void CThread::resume()
{
    _throw(CThreadError::kFailed, L"CThread::resume()", 184, L"wirnel");
}

bool CThread::alive() const
{
    return m_running && m_running->load();
}

void CThread::reportFailure(const wchar_t* where) noexcept
{
    try {
        std::string report = toUtf8(where) + "\n";
        try {
            throw;
        } catch (IError* e) {
            const CErrorGuard error(e);
            std::wstring text = error ? error.format() : std::wstring(L"(null error)");
            std::erase(text, L'\r');
            report += toUtf8(text);
        } catch (const std::exception& e) {
            report += e.what();
        } catch (...) {
            report += "unknown exception";
        }
        report += "\n";
        writeStderr(report);
    } catch (...) {
        writeStderr("thread failure (no report: out of memory)\n");
    }
}
