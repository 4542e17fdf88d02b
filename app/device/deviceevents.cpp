// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/deviceevents.h>

#include <vector>

int CDeviceEvents::add(Listener listener)
{
    std::lock_guard<std::mutex> hold(m_lock);
    const int id = m_nextId++;
    auto entry = std::make_shared<Entry>();
    entry->listener = std::move(listener);
    m_listeners.emplace(id, std::move(entry));
    return id;
}

void CDeviceEvents::remove(int id)
{
    std::shared_ptr<Entry> entry;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        auto found = m_listeners.find(id);
        if (found == m_listeners.end())
            return;
        entry = found->second;
        m_listeners.erase(found);
    }
    entry->removed = true;
    // Waits out a call on another thread; recursive, so a listener may remove itself.
    std::lock_guard<std::recursive_mutex> wait(entry->calling);
}

void CDeviceEvents::raise(const DeviceEventData& event)
{
    std::vector<std::shared_ptr<Entry>> listeners;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        listeners.reserve(m_listeners.size());
        for (const auto& [id, entry] : m_listeners)
            listeners.push_back(entry);
    }
    for (const auto& entry : listeners) {
        std::lock_guard<std::recursive_mutex> calling(entry->calling);
        if (!entry->removed)
            entry->listener(event);
    }
}

const char* deviceEventName(DeviceEvent kind)
{
    switch (kind) {
    case DeviceEvent::LinkConnected:
        return "link connected";
    case DeviceEvent::LinkLost:
        return "link lost";
    case DeviceEvent::PollingStarted:
        return "polling started";
    case DeviceEvent::PollingStopped:
        return "polling stopped";
    case DeviceEvent::ImageChanged:
        return "image changed";
    case DeviceEvent::ReadingsAppended:
        return "readings appended";
    case DeviceEvent::LanguageChanged:
        return "language changed";
    case DeviceEvent::OperationStarted:
        return "operation started";
    case DeviceEvent::OperationFinished:
        break;
    }
    return "operation finished";
}
