// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/lpgdevice.h>

CLPGDevice::CLPGDevice()
{
    hearImageChanged();
}

CLPGDevice::CLPGDevice(IPortTable& ports)
    : m_link(ports)
{
    hearImageChanged();
}

CLPGDevice::~CLPGDevice() = default;

void CLPGDevice::hearImageChanged()
{
    // The first listener: every other one (the relay, the recorder) reads the view already copied.
    m_events.add([this](const DeviceEventData& event) {
        if (event.kind == DeviceEvent::ImageChanged)
            m_view = m_image;
    });
}

void CLPGDevice::changeImage(const std::function<void(CSettingsImage&)>& change)
{
    // Applied to both, so the view never picks up a procedure's unconfirmed values with the edit.
    change(m_image);
    change(m_view);
}

void CLPGDevice::setCarInfo(const CCarInfo& info)
{
    m_image.m_carInfo = info;
    m_view.m_carInfo = info;
}
