// SPDX-License-Identifier: GPL-3.0-or-later
// The device's listener list: several listeners hear one event, removal from
// inside a callback, and removal from another thread waiting for a running call.
#include <app/device/deviceevents.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

TEST(DeviceEvents, EveryListenerHearsEachEventInOrder)
{
    CDeviceEvents events;
    std::vector<int> heard;
    events.add([&](const DeviceEventData& e) { heard.push_back(100 + static_cast<int>(e.block)); });
    events.add([&](const DeviceEventData& e) { heard.push_back(200 + static_cast<int>(e.block)); });
    events.imageChanged(ImageBlock::Base);
    EXPECT_EQ(heard, (std::vector<int> { 100 + int(ImageBlock::Base), 200 + int(ImageBlock::Base) }));
}

TEST(DeviceEvents, RemovalInsideCallbacks)
{
    CDeviceEvents events;
    int first = 0, second = 0;
    int idFirst = 0, idSecond = 0;
    // The first listener removes itself and the second during one delivery.
    idFirst = events.add([&](const DeviceEventData&) {
        ++first;
        events.remove(idFirst);
        events.remove(idSecond);
    });
    idSecond = events.add([&](const DeviceEventData&) { ++second; });
    events.raise(DeviceEvent::PollingStarted);
    events.raise(DeviceEvent::PollingStarted);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0) << "a listener removed during a delivery is not called by it";
    events.remove(12345); // unknown ids are ignored
}

TEST(DeviceEvents, RemoveFromAnotherThreadWaitsForARunningCall)
{
    CDeviceEvents events;
    std::atomic<bool> inside { false }, finished { false };
    const int id = events.add([&](const DeviceEventData&) {
        inside = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        finished = true;
    });
    std::thread poller([&] { events.linkLost("silence"); });
    while (!inside)
        std::this_thread::yield();
    events.remove(id);
    EXPECT_TRUE(finished) << "remove returned while the listener was still running";
    poller.join();
}

TEST(DeviceEvents, CarriesTheReasonAndSequence)
{
    CDeviceEvents events;
    DeviceEventData last { DeviceEvent::LinkConnected };
    events.add([&](const DeviceEventData& e) { last = e; });
    events.linkLost("no answer");
    EXPECT_EQ(last.kind, DeviceEvent::LinkLost);
    EXPECT_EQ(last.reason, "no answer");
    DeviceEventData appended { DeviceEvent::ReadingsAppended };
    appended.sequence = 1ull << 40;
    events.raise(appended);
    EXPECT_EQ(last.sequence, 1ull << 40);
}
