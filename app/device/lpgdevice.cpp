// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/lpgdevice.h>

CLPGDevice::CLPGDevice() = default;

CLPGDevice::CLPGDevice(IPortTable& ports)
    : m_link(ports)
{
}

CLPGDevice::~CLPGDevice() = default;
