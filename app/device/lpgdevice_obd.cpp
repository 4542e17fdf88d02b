// SPDX-License-Identifier: GPL-3.0-or-later
// The OBD relays of the command set: connection and configuration records,
// the controller's corrections and single OBD requests.
#include <app/device/lpgdevice.h>

#include <app/platform/log.h>

#include <app/data/blockcodec.h>

#include <algorithm>

namespace {

constexpr std::size_t kObdFrameSize = 12;
constexpr std::size_t kObdCountSize = 2;

} // namespace

bool CLPGDevice::readObdSettings(std::array<uint8_t, 12>& record)
{
    if (m_demo) {
        putU16(&record[8], 0x0201);
        return true;
    }
    ExchangeBuffer buffer {};
    if (!readRecord(0x1B, kRecObdSettings, record.size(), buffer))
        return false;
    std::copy_n(buffer.begin(), record.size(), record.begin());
    m_heldObdSettings = record;
    return true;
}

bool CLPGDevice::writeObdSettings(const std::array<uint8_t, 12>& record)
{
    if (m_demo)
        return true;
    if (!writeRecord(kRecObdSettings, record))
        return false;
    m_heldObdSettings = record;
    return true;
}

bool CLPGDevice::readObdMapConfig(std::array<uint8_t, 18>& record)
{
    if (m_demo)
        return true;
    ExchangeBuffer buffer {};
    if (!readRecord(0x23, kRecObdMapConfig, record.size(), buffer))
        return false;
    // Bytes 6–7 stay the controller's period: whoever shows them converts.
    std::copy_n(buffer.begin(), record.size(), record.begin());
    m_heldObdConfig = record;
    return true;
}

bool CLPGDevice::writeObdMapConfig(const std::array<uint8_t, 18>& record)
{
    if (m_demo)
        return true;
    if (!writeRecord(kRecObdMapConfig, record))
        return false;
    m_heldObdConfig = record;
    return true;
}

bool CLPGDevice::readObdCorrections(double& first, double& second)
{
    if (m_demo) {
        first = 0;
        second = 0;
        return true;
    }
    const auto message = commandMessage(0x27);
    ExchangeBuffer buffer {};
    uint8_t length = 0;
    uint8_t type = 0;
    const bool ok = m_link.exchangeWithAttempts(2, message.data(), message.size(), buffer, length, type,
        [](const ExchangeBuffer& b, uint8_t len, uint8_t t) { return t == 2 && len >= 4 && b[0] == 0x28; });
    if (!ok)
        return false;
    first = buffer[3] - 100.0;
    second = buffer[2] - 100.0;
    return true;
}

bool CLPGDevice::obdRequest(const std::array<uint8_t, 20>& request, std::span<uint8_t> answer, std::size_t* received)
{
    if (m_demo)
        return false;
    ExchangeBuffer buffer {};
    uint8_t length = 0;
    uint8_t type = 0;
    const bool ok = m_link.exchangeWithAttempts(
        kRecObdRequest, request.data(), request.size(), buffer, length, type,
        [](const ExchangeBuffer&, uint8_t len, uint8_t t) { return t == kRecObdAnswer && len >= kObdCountSize; }, 1);
    if (!ok || answer.size() < kObdCountSize) {
        logDebug("obd",
            std::string("request ") + std::to_string(request[0]) + (ok ? ": no room for the answer" : ": no answer"));
        return false;
    }
    const std::size_t copied = std::min<std::size_t>(length, answer.size());
    std::copy_n(buffer.begin(), copied, answer.begin());
    // A count of frames beyond the bytes at hand would send the reader past them.
    const std::size_t whole = (copied - kObdCountSize) / kObdFrameSize;
    if (getU16(answer.data()) > whole)
        putU16(answer.data(), static_cast<uint16_t>(whole));
    if (received)
        *received = copied;
    logDebug("obd", "request " + std::to_string(request[0]) + ": " + std::to_string(copied) + " bytes, "
                 + std::to_string(getU16(answer.data())) + " frames");
    return true;
}

void CLPGDevice::setObdGateway(std::unique_ptr<IObdGateway> gateway)
{
    m_obdGateway = gateway.get();
    m_ownObdGateway = std::move(gateway);
}
