// SPDX-License-Identifier: GPL-3.0-or-later
// The device's events as Qt signals on the GUI thread. An event raised on the
// GUI thread is emitted at once; one raised on another thread (the polling
// thread) is queued to the GUI thread. A queued event that arrives after the
// relay is gone is dropped with it.
#pragma once

#include <app/device/deviceevents.h>

#include <QObject>
#include <QString>

class CDeviceEventRelay : public QObject {
    Q_OBJECT
public:
    explicit CDeviceEventRelay(CDeviceEvents& events, QObject* parent = nullptr);
    ~CDeviceEventRelay() override;
    CDeviceEventRelay(const CDeviceEventRelay&) = delete;
    CDeviceEventRelay& operator=(const CDeviceEventRelay&) = delete;

signals:
    // Every event, before its own signal below.
    void deviceEvent(const DeviceEventData& event);
    void linkConnected();
    void linkLost(const QString& reason);
    void pollingStarted();
    void pollingStopped();
    void imageChanged(ImageBlock block);
    void languageChanged();
    void operationStarted(const QString& name);
    void operationFinished(const QString& name);

private:
    void deliver(const DeviceEventData& event);

    CDeviceEvents& m_events;
    int m_listener = 0;
};
