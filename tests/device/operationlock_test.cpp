// SPDX-License-Identifier: GPL-3.0-or-later
// The lock of the long procedures: one at a time, its events, and a guard
// that releases on every way out.
#include <app/device/deviceevents.h>
#include <app/device/operationlock.h>
#include <errkit/ierror.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Heard {
    explicit Heard(CDeviceEvents& events)
    {
        events.add([this](const DeviceEventData& e) {
            if (e.kind == DeviceEvent::OperationStarted)
                log.push_back(L"+" + e.operation);
            if (e.kind == DeviceEvent::OperationFinished)
                log.push_back(L"-" + e.operation);
        });
    }
    std::vector<std::wstring> log;
};

} // namespace

TEST(OperationLock, OneAtATimeWithItsEvents)
{
    CDeviceEvents events;
    Heard heard(events);
    COperationLock lock(events);
    EXPECT_FALSE(lock.running());
    EXPECT_TRUE(lock.current().empty());
    {
        COperationGuard first(lock, L"Przywracanie ustawień fabrycznych");
        ASSERT_TRUE(first.owns());
        EXPECT_TRUE(lock.running());
        EXPECT_EQ(lock.current(), L"Przywracanie ustawień fabrycznych");

        COperationGuard second(lock, L"Aktualizacja sterownika");
        EXPECT_FALSE(second.owns());
        EXPECT_EQ(second.refusedBy(), L"Przywracanie ustawień fabrycznych");
        EXPECT_FALSE(lock.tryBegin(L"Wyszukiwanie sterownika"));
        EXPECT_EQ(lock.current(), L"Przywracanie ustawień fabrycznych") << "a refusal changes nothing";
    }
    EXPECT_FALSE(lock.running());
    EXPECT_TRUE(lock.current().empty());
    // Exactly one start and one finish: the refused guard raised nothing and released nothing.
    EXPECT_EQ(heard.log,
        (std::vector<std::wstring> { L"+Przywracanie ustawień fabrycznych", L"-Przywracanie ustawień fabrycznych" }));
    lock.end(); // ending with nothing running is harmless
    EXPECT_EQ(heard.log.size(), 2u);

    COperationGuard next(lock, L"Aktualizacja sterownika");
    EXPECT_TRUE(next.owns()) << "the end of the first releases the lock";
    next.release();
    EXPECT_FALSE(lock.running());
}

TEST(OperationLock, ExceptionsReleaseTheGuard)
{
    CDeviceEvents events;
    COperationLock lock(events);
    auto failing = [&](auto thrown) {
        try {
            COperationGuard guard(lock, L"Zapis ustawień");
            ASSERT_TRUE(guard.owns());
            throw thrown;
        } catch (IError* e) {
            delete e;
        } catch (const std::exception&) {
        }
    };
    failing(std::runtime_error("port"));
    EXPECT_FALSE(lock.running());
    failing(new IError());
    EXPECT_FALSE(lock.running());
}

TEST(OperationLock, ListenerMayAskWhoRuns)
{
    CDeviceEvents events;
    COperationLock lock(events);
    std::wstring seen;
    events.add([&](const DeviceEventData& e) {
        if (e.kind == DeviceEvent::OperationStarted)
            seen = lock.current();
    });
    COperationGuard guard(lock, L"Wyszukiwanie sterownika");
    EXPECT_EQ(seen, L"Wyszukiwanie sterownika");
}
