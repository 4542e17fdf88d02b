// SPDX-License-Identifier: GPL-3.0-or-later
// CThread on its own: which function create() runs and with what argument, the
// handle and alive(), one thread per object at a time, the stack size, and a
// throwing body that is reported instead of ending the process.
#include "../support/waitfor.h"

#include <syncmsg/semthread.h>
#include <syncmsg/sthread.h>

#include <errkit/runtime.h>

#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <memory>
#include <stdexcept>

using testwait::waitFor;

namespace {

// A body that waits until the test lets it go.
class CGateThread : public CSThread {
public:
    std::atomic<bool> open { false };
    std::atomic<int> runs { 0 };
    void doWork() override
    {
        ++runs;
        while (!open.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
};

std::atomic<void*> g_seenArgument { nullptr };
void recordArgument(void* argument)
{
    g_seenArgument = argument;
}

TEST(CThread, DefaultEntryRunsDoWorkAndTheHandleIdentifiesTheStart)
{
    CGateThread a;
    CGateThread b;
    EXPECT_EQ(a.get_id(), -1);
    EXPECT_FALSE(a.alive());
    EXPECT_TRUE(a == b); // both unstarted

    a.create();
    b.create();
    EXPECT_NE(a.get_id(), -1);
    EXPECT_NE(a.get_id(), b.get_id());
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a.alive());
    ASSERT_TRUE(waitFor([&] { return a.runs == 1 && b.runs == 1; }));

    a.open = true;
    b.open = true;
    EXPECT_TRUE(waitFor([&] { return !a.alive() && !b.alive(); }));
}

TEST(CThread, StartFunctionGetsTheArgumentOrTheObjectAndEntryGetsTheObject)
{
    int value = 0;
    {
        CSemThread t(&recordArgument);
        g_seenArgument = nullptr;
        t.create(&value);
        ASSERT_TRUE(waitFor([&] { return !t.alive(); }));
        EXPECT_EQ(g_seenArgument.load(), &value);

        // A start function wins over an entry; a null argument means the object.
        g_seenArgument = nullptr;
        t.create(nullptr, &CThread::defaultEntry);
        ASSERT_TRUE(waitFor([&] { return !t.alive(); }));
        EXPECT_EQ(g_seenArgument.load(), static_cast<CThread*>(&t));
    }
    {
        CGateThread t;
        g_seenArgument = nullptr;
        t.create(&value, &recordArgument);
        ASSERT_TRUE(waitFor([&] { return !t.alive(); }));
        EXPECT_EQ(g_seenArgument.load(), static_cast<CThread*>(&t));
        EXPECT_EQ(t.runs, 0);
    }
}

TEST(CThread, OneThreadPerObjectAtATimeThenItCanBeStartedAgain)
{
    CGateThread t;
    t.create();
    const long first = t.get_id();
    try {
        t.create();
        ADD_FAILURE() << "a second start while running was accepted";
    } catch (CThreadError* raw) {
        std::unique_ptr<CThreadError> error(raw);
        EXPECT_EQ(error->getCode(), 4294967294u);
        EXPECT_EQ(error->getLine(), 154);
    }
    EXPECT_EQ(t.get_id(), first);

    t.open = true;
    ASSERT_TRUE(waitFor([&] { return !t.alive(); }));
    t.create();
    EXPECT_NE(t.get_id(), first);
    EXPECT_TRUE(waitFor([&] { return t.runs == 2 && !t.alive(); }));
}

class CStackThread : public CSThread {
public:
    std::size_t stack = 0;
    void doWork() override
    {
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            pthread_attr_getstacksize(&attr, &stack);
            pthread_attr_destroy(&attr);
        }
    }
};

TEST(CThread, StackSizeIsAppliedAndTinyOnesAreRaised)
{
    // Above every default, so an ignored size shows; a cached stack may be larger.
    CStackThread t;
    t.set_stackSize(64 * 1024 * 1024);
    t.create();
    ASSERT_TRUE(waitFor([&] { return !t.alive(); }));
    EXPECT_GE(t.stack, 64u * 1024 * 1024);

    CStackThread tiny;
    tiny.set_stackSize(1);
    tiny.create();
    ASSERT_TRUE(waitFor([&] { return !tiny.alive(); }));
    EXPECT_GE(tiny.stack, static_cast<std::size_t>(PTHREAD_STACK_MIN));
}

class CThrowingThread : public CSThread {
public:
    void doWork() override { throw std::runtime_error("zepsuty"); }
};

TEST(CThread, AThrowingBodyOfAnUnmanagedThreadIsReported)
{
    testing::internal::CaptureStderr();
    {
        CThrowingThread t;
        t.create();
        EXPECT_TRUE(waitFor([&] { return !t.alive(); }));
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "CThread::doWork()\nzepsuty\n");
}

} // namespace
