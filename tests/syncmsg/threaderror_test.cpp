// SPDX-License-Identifier: GPL-3.0-or-later
// CThreadError: its report (code -1 lies outside the table, so message 0 shows),
// messages 5 and 6, and the text, code, line and file of every failure the
// library raises that a test can bring about.
#include "../support/waitfor.h"

#include <syncmsg/msgsemaphore.h>
#include <syncmsg/semthread.h>
#include <syncmsg/sthread.h>
#include <syncmsg/threaderror.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using testwait::waitFor;

namespace {

TEST(CThreadError, FormatsCodeMinusOneWithMessageZero)
{
    CThreadError error(static_cast<uint32_t>(-1), L"CThread::kill()", 162, L"wirnel");
    const std::wstring dash(68, L'-');
    EXPECT_EQ(error.format(),
        L"\r\n" + dash
            + L"\r\nklasa:\t\tCThreadError\r\nkod:\t\t4294967295\r\n"
              L"znaczenie:\tBłąd z poza zdefiniowanego zakresu\r\nrozszerzone:\tCThread::kill()\r\n"
              L"plik:\t\twirnel\r\nlinia:\t\t162\r\npowiązany:\tBrak\r\n"
            + dash);
}

TEST(CThreadError, AppendsItsTwoMessagesAfterTheBaseFive)
{
    CThreadError error;
    const std::pair<uint32_t, std::wstring> table[] = {
        { 4, L"Błąd czasu wykonania" },
        { 5, L"Błąd biblioteki Wirnel." },
        { 6, L"Nie można utworzyć wątku." },
        { 7, L"Błąd z poza zdefiniowanego zakresu" },
    };
    for (const auto& [code, message] : table) {
        error.setCode(code);
        EXPECT_EQ(error.getMsg(), message) << code;
    }
    CThreadError copy(error);
    EXPECT_EQ(copy.name(), L"CThreadError");
    EXPECT_EQ(copy.getMsg(), L"Błąd z poza zdefiniowanego zakresu");
}

void noop(void*)
{
}

struct Raised {
    const char* what;
    std::function<void()> action;
    const wchar_t* text;
    uint32_t code;
    int32_t line;
};

TEST(CThreadError, EveryReachableFailureCarriesItsTextCodeLineAndFile)
{
    // Far beyond any address space, so the thread's stack cannot be mapped.
    const std::size_t hugeStack = std::size_t(1) << 60;
    const Raised table[] = {
        { "kill", [] { CSThread().kill(); }, L"CThread::kill()", 4294967295u, 162 },
        { "suspend", [] { CSThread().suspend(); }, L"CThread::suspend()", 4294967295u, 173 },
        { "resume", [] { CSThread().resume(); }, L"CThread::resume()", 4294967295u, 184 },
        { "semaphore below zero", [] { CMSGSemaphore s(-1); }, L"CMSGSemaphore::CMSGSemaphore()", 4294967295u, 302 },
        { "create with entry",
            [&] {
                CSThread t;
                t.set_stackSize(hugeStack);
                t.create();
            },
            L"CThread::create()", 4294967294u, 154 },
        { "create with start function",
            [&] {
                CSemThread t(&noop);
                t.set_stackSize(hugeStack);
                t.create();
            },
            L"CThread::create()", 4294967294u, 149 },
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        try {
            row.action();
            ADD_FAILURE() << "nothing raised";
        } catch (CThreadError* raw) {
            std::unique_ptr<CThreadError> error(raw);
            EXPECT_EQ(error->getText(), row.text);
            EXPECT_EQ(error->getCode(), row.code);
            EXPECT_EQ(error->getLine(), row.line);
            EXPECT_EQ(error->getFile(), L"wirnel");
            EXPECT_EQ(error->getPrev(), nullptr);
        }
    }
}

TEST(CThreadError, AFailedCreateLeavesTheObjectUnstartedAndReusable)
{
    CSThread t;
    t.set_stackSize(std::size_t(1) << 60);
    bool raised = false;
    try {
        t.create();
    } catch (IError* e) {
        delete e;
        raised = true;
    }
    EXPECT_TRUE(raised);
    EXPECT_EQ(t.get_id(), -1);
    EXPECT_FALSE(t.alive());

    t.set_stackSize(0);
    t.create();
    EXPECT_NE(t.get_id(), -1);
    EXPECT_TRUE(waitFor([&] { return !t.alive(); }));
}

} // namespace
