// SPDX-License-Identifier: GPL-3.0-or-later
// What happens to the device that more than one part of the program wants to
// hear: the link, the polling, the settings image, the readings, the language
// and the long operations. Any number of listeners; a listener is called on the
// thread that raised the event (the polling thread raises LinkLost,
// ReadingsAppended and PollingStopped when it gives up), so a GUI listener
// hands the event over to its own thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

enum class DeviceEvent {
    LinkConnected,     // a controller was identified (or demo mode began)
    LinkLost,          // reason says why
    PollingStarted,
    PollingStopped,
    ImageChanged,      // block says which part of the settings image
    ReadingsAppended,  // sequence: the newest record's sequence number
    LanguageChanged,
    OperationStarted,  // operation: its name
    OperationFinished,
};

// Parts of the settings image, as the pages refresh them.
enum class ImageBlock {
    All, // a load, a restore, a firmware migration or a new connection
    DevInfo,
    CarInfo,
    Base,
    Adv,
    AdvancedSetup,
    MainCorr,
    SetupTimes1,
    SetupTimes2,
    SensorsSetup,
    PressCorr,
    InjMap,
    MapAxes,
    AutomapSchedule,
    Statistics,
};

struct DeviceEventData {
    explicit DeviceEventData(DeviceEvent kind_ = DeviceEvent::LinkConnected, ImageBlock block_ = ImageBlock::All)
        : kind(kind_)
        , block(block_)
    {
    }

    DeviceEvent kind;
    ImageBlock block = ImageBlock::All;
    uint64_t sequence = 0;
    std::string reason;     // LinkLost
    std::wstring operation; // OperationStarted / OperationFinished
};

class CDeviceEvents {
public:
    using Listener = std::function<void(const DeviceEventData&)>;

    CDeviceEvents() = default;
    CDeviceEvents(const CDeviceEvents&) = delete;
    CDeviceEvents& operator=(const CDeviceEvents&) = delete;

    // Returns an id for remove. Listeners are called in the order they were added.
    int add(Listener listener);
    // Safe from inside a listener (also its own): a removed listener is not
    // called again, not even by an event already being delivered. From another
    // thread, remove waits until a call of that listener in progress has returned,
    // so the listener's owner may be destroyed right after.
    void remove(int id);
    // Calls every listener outside the list's lock.
    void raise(const DeviceEventData& event);

    void raise(DeviceEvent kind) { raise(DeviceEventData { kind }); }
    void imageChanged(ImageBlock block) { raise(DeviceEventData { DeviceEvent::ImageChanged, block }); }
    void linkLost(std::string reason)
    {
        DeviceEventData event { DeviceEvent::LinkLost };
        event.reason = std::move(reason);
        raise(event);
    }

private:
    struct Entry {
        Listener listener;
        std::recursive_mutex calling; // held for each call of listener
        std::atomic<bool> removed { false };
    };
    std::mutex m_lock;
    std::map<int, std::shared_ptr<Entry>> m_listeners;
    int m_nextId = 1;
};

const char* deviceEventName(DeviceEvent kind);
