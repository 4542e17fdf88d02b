// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/deviceeventrelay.h>

#include <QThread>

CDeviceEventRelay::CDeviceEventRelay(CDeviceEvents& events, QObject* parent)
    : QObject(parent)
    , m_events(events)
{
    m_listener = m_events.add([this](const DeviceEventData& event) {
        if (QThread::currentThread() == thread()) {
            deliver(event);
            return;
        }
        // The context object drops the call when the relay is destroyed first.
        QMetaObject::invokeMethod(
            this, [this, event] { deliver(event); }, Qt::QueuedConnection);
    });
}

CDeviceEventRelay::~CDeviceEventRelay()
{
    // Waits out a call running on another thread; nothing reaches this object afterwards.
    m_events.remove(m_listener);
}

void CDeviceEventRelay::deliver(const DeviceEventData& event)
{
    emit deviceEvent(event);
    switch (event.kind) {
    case DeviceEvent::LinkConnected:
        emit linkConnected();
        break;
    case DeviceEvent::LinkLost:
        emit linkLost(QString::fromStdString(event.reason));
        break;
    case DeviceEvent::PollingStarted:
        emit pollingStarted();
        break;
    case DeviceEvent::PollingStopped:
        emit pollingStopped();
        break;
    case DeviceEvent::ImageChanged:
        emit imageChanged(event.block);
        break;
    case DeviceEvent::ReadingsAppended:
        break; // the pages read the newest readings on their timer
    case DeviceEvent::LanguageChanged:
        emit languageChanged();
        break;
    case DeviceEvent::OperationStarted:
        emit operationStarted(QString::fromStdWString(event.operation));
        break;
    case DeviceEvent::OperationFinished:
        emit operationFinished(QString::fromStdWString(event.operation));
        break;
    }
}
