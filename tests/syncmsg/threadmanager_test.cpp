// SPDX-License-Identifier: GPL-3.0-or-later
// The thread manager: finished thread objects are deleted by the recycler and
// size() drops back, a thousand short threads are all recycled, a throwing
// doWork is reported on stderr and still recycled, stop() waits for running
// threads while it lends out the caller's lock, and refused inserts.
#include "../support/waitfor.h"

#include <syncmsg/multithread.h>
#include <syncmsg/semthread.h>
#include <syncmsg/sthread.h>

#include <errkit/runtime.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <utility>

using testwait::waitFor;

namespace {

using namespace std::chrono_literals;

struct Counts {
    std::atomic<int> ran { 0 };
    std::atomic<int> deleted { 0 };
};

class CProbeThread : public CSThread {
public:
    explicit CProbeThread(Counts& counts, std::function<void()> body = {})
        : m_counts(counts)
        , m_body(std::move(body))
    {
    }
    ~CProbeThread() override { ++m_counts.deleted; }
    void doWork() override
    {
        ++m_counts.ran;
        if (m_body)
            m_body();
    }

private:
    Counts& m_counts;
    std::function<void()> m_body;
};

// A manager that never recycles would hang its destructor, and so the whole run.
void withinSeconds(int seconds, const std::function<void()>& scenario)
{
    auto done = std::async(std::launch::async, scenario);
    if (done.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        std::fprintf(stderr, "scenario still running after %d s\n", seconds);
        std::_Exit(1);
    }
    done.get();
}

TEST(CThreadManager, FinishedThreadIsDeletedAndSizeDropsBack)
{
    withinSeconds(60, [] {
        Counts counts;
        CMultiThread manager;
        EXPECT_EQ(manager.size(), 1u); // the recycler

        std::atomic<bool> release { false };
        manager.insert(new CProbeThread(counts, [&] {
            while (!release.load())
                std::this_thread::sleep_for(1ms);
        }));
        EXPECT_EQ(manager.size(), 2u);
        ASSERT_TRUE(waitFor([&] { return counts.ran == 1; }));
        EXPECT_EQ(counts.deleted, 0);
        release = true;
        EXPECT_TRUE(waitFor([&] { return counts.deleted == 1 && manager.size() == 1; }));

        manager.insert(new CProbeThread(counts));
        EXPECT_TRUE(waitFor([&] { return counts.deleted == 2 && manager.size() == 1; }));
    });
}

TEST(CThreadManager, AThousandShortThreadsAreAllRecycled)
{
    withinSeconds(60, [] {
        Counts counts;
        CMultiThread manager;
        for (int i = 0; i < 1000; ++i)
            manager.insert(new CProbeThread(counts));
        EXPECT_TRUE(waitFor([&] { return counts.deleted == 1000 && manager.size() == 1; }));
        EXPECT_EQ(counts.ran, 1000);
    });
}

TEST(CThreadManager, ThreadsMayInsertThreads)
{
    withinSeconds(60, [] {
        Counts counts;
        CMultiThread manager;
        manager.insert(new CProbeThread(counts, [&] { manager.insert(new CProbeThread(counts)); }));
        EXPECT_TRUE(waitFor([&] { return counts.deleted == 2 && manager.size() == 1; }));
    });
}

TEST(CThreadManager, ThrowingDoWorkIsReportedAndStillRecycled)
{
    withinSeconds(60, [] {
        const std::string dash(68, '-');
        struct Case {
            const char* what;
            std::function<void()> body;
            std::string report;
        };
        const Case cases[] = {
            { "IError*", [] { throw new CRunTime(5, L"poza tabelą", 12, L"odczyt"); },
                "CThread::doWork()\n\n" + dash
                    + "\nklasa:\t\tCRunTime\nkod:\t\t5\nznaczenie:\tPrzekroczyłeś dozwolony zakres.\n"
                      "rozszerzone:\tpoza tabelą\nplik:\t\todczyt\nlinia:\t\t12\npowiązany:\tBrak\n"
                    + dash + "\n" },
            { "std::exception", [] { throw std::runtime_error("brak portu"); }, "CThread::doWork()\nbrak portu\n" },
            { "anything else", [] { throw 7; }, "CThread::doWork()\nunknown exception\n" },
        };
        CMultiThread manager;
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            Counts counts;
            testing::internal::CaptureStderr();
            manager.insert(new CProbeThread(counts, c.body));
            const bool recycled = waitFor([&] { return counts.deleted == 1 && manager.size() == 1; });
            EXPECT_EQ(testing::internal::GetCapturedStderr(), c.report);
            EXPECT_TRUE(recycled);
        }
        // The manager goes on working afterwards.
        Counts counts;
        manager.insert(new CProbeThread(counts));
        EXPECT_TRUE(waitFor([&] { return counts.deleted == 1; }));
    });
}

TEST(CThreadManager, StopWaitsForRunningThreadsWhileLendingTheCallersLock)
{
    withinSeconds(20, [] {
        CMSGMutex callerLock;
        Counts counts;
        CMultiThread manager;
        callerLock.lock();
        // This worker can only finish once stop() has let go of the caller's lock.
        manager.insert(new CProbeThread(counts, [&] {
            callerLock.lock();
            callerLock.unlock();
        }));
        manager.stop(&callerLock);
        EXPECT_EQ(counts.deleted, 1);
        EXPECT_EQ(manager.size(), 0u);

        // stop() took the lock back for its caller.
        std::atomic<bool> otherGot { false };
        std::thread other([&] {
            callerLock.lock();
            otherGot = true;
            callerLock.unlock();
        });
        EXPECT_FALSE(waitFor([&] { return otherGot.load(); }, 50ms));
        callerLock.unlock();
        other.join();
        EXPECT_TRUE(otherGot);

        manager.stop(); // a second stop has nothing left to do
    });
}

TEST(CThreadManager, DestructionWaitsForRunningThreads)
{
    withinSeconds(20, [] {
        Counts counts;
        {
            CMultiThread manager;
            manager.insert(new CProbeThread(counts, [] { std::this_thread::sleep_for(100ms); }));
        }
        EXPECT_EQ(counts.ran, 1);
        EXPECT_EQ(counts.deleted, 1);
    });
}

void noop(void*)
{
}

TEST(CThreadManager, RefusedInsertsLeaveTheThreadWithTheCaller)
{
    Counts counts;
    CMultiThread manager;
    CSemThread withStart(&noop);
    auto refused = [&](CThread* thread) {
        try {
            manager.insert(thread);
        } catch (CThreadError* raw) {
            std::unique_ptr<CThreadError> error(raw);
            return error->getText() == L"CThreadManager::insert()" && error->getCode() == 4294967295u;
        }
        return false;
    };
    EXPECT_TRUE(refused(nullptr));
    EXPECT_TRUE(refused(&withStart)); // would never reach the recycler
    EXPECT_EQ(manager.size(), 1u);

    auto unstartable = std::make_unique<CProbeThread>(counts);
    unstartable->set_stackSize(std::size_t(1) << 60);
    try {
        manager.insert(unstartable.get());
        ADD_FAILURE() << "an unstartable thread was accepted";
    } catch (CThreadError* raw) {
        std::unique_ptr<CThreadError> error(raw);
        EXPECT_EQ(error->getText(), L"CThread::create()");
        EXPECT_EQ(error->getCode(), 4294967294u);
    }
    EXPECT_EQ(manager.size(), 1u);

    manager.stop();
    auto late = std::make_unique<CProbeThread>(counts);
    EXPECT_TRUE(refused(late.get()));
    EXPECT_EQ(counts.ran, 0);
}

} // namespace
