// SPDX-License-Identifier: GPL-3.0-or-later
// The OBD diagnostic of a device: its relays go through the device's command
// set (records 18, 24 and 27, the corrections command) and its state is the
// device's (connected, demo mode, the gateway bit of the identity, the newest
// readings). obdOf composes it into the device on first use, so every page,
// the service tool and the recording see the same one.
#pragma once

#include <app/tuning/obddiagnostic.h>

class CLPGDevice;

class CDeviceObd final : public CObdDiagnostic {
public:
    explicit CDeviceObd(CLPGDevice& device);

protected:
    bool obdLinkConnected() const override;
    bool obdDemo() const override;
    bool obdGatewayFitted() const override;
    bool obdLatestReadings(CDiag& record) const override;
    bool obdReadSettings(std::array<uint8_t, 12>& record) override;
    bool obdWriteSettings(const std::array<uint8_t, 12>& record) override;
    bool obdReadConfig(std::array<uint8_t, 18>& record) override;
    bool obdWriteConfig(const std::array<uint8_t, 18>& record) override;
    bool obdReadCorrections(double& first, double& second) override;
    bool obdRelay(const Request& request, std::vector<uint8_t>& answer) override;

private:
    CLPGDevice& m_device;
};

// The device's OBD diagnostic, made and composed into it on the first call
// (GUI thread). The const form never makes one: before that it answers with
// an idle diagnostic (not established, no readings, no codes).
CObdDiagnostic& obdOf(CLPGDevice& device);
const CObdDiagnostic& obdOf(const CLPGDevice& device);
