// SPDX-License-Identifier: GPL-3.0-or-later
// The car's OBD side, reached through the controller's gateway. The device
// holds it through this interface only: the layer above implements it over
// the device's command set and keeps its state, so the device never depends
// on it. What the device itself needs of it is the readings a recording writes.
#pragma once

class IObdGateway {
public:
    IObdGateway() = default;
    IObdGateway(const IObdGateway&) = delete;
    IObdGateway& operator=(const IObdGateway&) = delete;
    virtual ~IObdGateway() = default;

    // Any thread: the number at the start of reading i's text; 0 when there is
    // none or i is out of range.
    virtual double value(int i) const = 0;
};
