// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/deviceobd.h>

#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>

namespace {

// What a device without a diagnostic yet shows: nothing is reached through it.
class CIdleObd final : public CObdDiagnostic {
protected:
    bool obdLinkConnected() const override { return false; }
    bool obdDemo() const override { return false; }
    bool obdGatewayFitted() const override { return false; }
    bool obdLatestReadings(CDiag&) const override { return false; }
    bool obdReadSettings(std::array<uint8_t, 12>&) override { return false; }
    bool obdWriteSettings(const std::array<uint8_t, 12>&) override { return false; }
    bool obdReadConfig(std::array<uint8_t, 18>&) override { return false; }
    bool obdWriteConfig(const std::array<uint8_t, 18>&) override { return false; }
    bool obdReadCorrections(double&, double&) override { return false; }
    bool obdRelay(const Request&, std::vector<uint8_t>&) override { return false; }
};

} // namespace

CDeviceObd::CDeviceObd(CLPGDevice& device)
    : m_device(device)
{
}

bool CDeviceObd::obdLinkConnected() const
{
    return m_device.isConnected();
}

bool CDeviceObd::obdDemo() const
{
    return m_device.isDemo();
}

bool CDeviceObd::obdGatewayFitted() const
{
    return (m_device.liveImage().m_devInfo.m_flags1 & 1) != 0;
}

bool CDeviceObd::obdLatestReadings(CDiag& record) const
{
    return m_device.diagData().latest(record);
}

bool CDeviceObd::obdReadSettings(std::array<uint8_t, 12>& record)
{
    return m_device.readObdSettings(record);
}

bool CDeviceObd::obdWriteSettings(const std::array<uint8_t, 12>& record)
{
    CWriteSession session(m_device, L"CObdDiagnostic");
    return session.writeObdSettings(record);
}

bool CDeviceObd::obdReadConfig(std::array<uint8_t, 18>& record)
{
    return m_device.readObdMapConfig(record);
}

bool CDeviceObd::obdWriteConfig(const std::array<uint8_t, 18>& record)
{
    CWriteSession session(m_device, L"CObdDiagnostic");
    return session.writeObdMapConfig(record);
}

bool CDeviceObd::obdReadCorrections(double& first, double& second)
{
    return m_device.readObdCorrections(first, second);
}

bool CDeviceObd::obdRelay(const Request& request, std::vector<uint8_t>& answer)
{
    answer.assign(kExchangeBufferSize, 0);
    std::size_t received = 0;
    if (!m_device.obdRequest(request, answer, &received))
        return false;
    answer.resize(received);
    return true;
}

CObdDiagnostic& obdOf(CLPGDevice& device)
{
    if (auto* obd = dynamic_cast<CObdDiagnostic*>(device.obdGateway()))
        return *obd;
    auto made = std::make_unique<CDeviceObd>(device);
    CObdDiagnostic& obd = *made;
    device.setObdGateway(std::move(made));
    return obd;
}

const CObdDiagnostic& obdOf(const CLPGDevice& device)
{
    if (const auto* obd = dynamic_cast<const CObdDiagnostic*>(device.obdGateway()))
        return *obd;
    static const CIdleObd idle;
    return idle;
}
