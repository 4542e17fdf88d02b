// SPDX-License-Identifier: GPL-3.0-or-later
// Fuel switching, the live readings, the action commands and the 2D-chart
// maps of the command set.
#include <app/device/lpgdevice.h>

#include <app/data/blockcodec.h>
#include <app/device/demostate.h>
#include <app/platform/userinteraction.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr uint8_t kPetrol = 2;
constexpr uint8_t kLpg = 3;
constexpr unsigned kPetrolPollMs = 56;
constexpr unsigned kDemoPetrolWaitMs = 300;
constexpr uint8_t kLiveDataRecord = 1;

} // namespace

uint8_t CLPGDevice::readLiveData(CDiag& record)
{
    if (m_demo) {
        fillDemoReadings(record);
        return kLiveOk;
    }
    ExchangeBuffer buffer {};
    const auto message = commandMessage(0x24);
    std::copy(message.begin(), message.end(), buffer.begin());
    uint8_t length = static_cast<uint8_t>(message.size());
    uint8_t type = 2;
    if (m_link.exchangeChecked(buffer, length, type) != 0)
        return kLiveLinkFault;
    // With no answer the type is still the request's own, so it reads as "another type".
    if (type != kLiveDataRecord)
        return kLiveOtherType;
    std::memset(record.bytes(), 0, CDiag::kClearedBytes);
    // The length byte counts the payload and its checksum; never more than the record holds.
    std::memcpy(record.bytes(), buffer.data(), std::min<std::size_t>(length, CDiag::kSize));
    return kLiveOk;
}

bool CLPGDevice::switchToLpg()
{
    if (m_demo) {
        setDemoFuelState(kLpg);
        return true;
    }
    return sendCommand(0x01);
}

bool CLPGDevice::switchToPetrol()
{
    if (m_demo) {
        setDemoFuelState(kPetrol);
        return true;
    }
    return sendCommand(0x02);
}

bool CLPGDevice::switchToAuto()
{
    // Automatic mode starts from petrol; whether that step was acknowledged does not matter.
    switchToPetrol();
    if (m_demo)
        return true;
    return sendCommand(0x03);
}

bool CLPGDevice::switchToPetrolAndWait()
{
    IUserInteraction& ui = userInteraction();
    if (m_demo) {
        ui.sleep(kDemoPetrolWaitMs);
        switchToPetrol();
        return true;
    }
    // The controller leaves LPG one cylinder per emulator delay.
    const double n = m_image.m_devInfo.m_injCount;
    const double d = m_image.m_base.m_emulatorDelay;
    if (!switchToPetrol())
        return false;
    const double c = std::floor(n * d * 1000 / kPetrolPollMs);
    // Less than one step (or nonsense in the image) has no count of its own:
    // the wait is then bounded by time instead of running until petrol shows.
    // The upper clamp only keeps the conversion defined.
    const long steps
        = !(c >= 1) ? static_cast<long>(kPetrolWaitBoundMs / kPetrolPollMs) : static_cast<long>(std::min(c, 1e6)) - 1;
    uint8_t fuel = kLpg;
    for (long i = 0; i < steps; ++i) {
        CDiag scratch;
        if (readLiveData(scratch) == kLiveOk)
            fuel = scratch.fuelState();
        ui.sleep(kPetrolPollMs);
        ui.pump();
        if (fuel == kPetrol)
            return true;
    }
    return fuel == kPetrol;
}

bool CLPGDevice::command0A()
{
    // Sent in demo mode as well: only the bootloader paths use it.
    return sendCommand(0x0A, 3);
}

bool CLPGDevice::command0AOnPetrol()
{
    if (m_demo) {
        switchToPetrolAndWait();
        return true;
    }
    if (!switchToPetrolAndWait())
        return false;
    return sendCommand(0x0A);
}

bool CLPGDevice::command13()
{
    return m_demo || sendCommand(0x13);
}

bool CLPGDevice::command14()
{
    return m_demo || sendCommand(0x14);
}

bool CLPGDevice::writeRecord13(const std::array<uint8_t, 6>& record)
{
    return m_demo || writeRecord(kRecRecord13, record);
}

bool CLPGDevice::command17(uint8_t n)
{
    return m_demo || sendCommand(0x17, kLinkAttempts, n);
}

bool CLPGDevice::command18(uint8_t n)
{
    return m_demo || sendCommand(0x18, kLinkAttempts, n);
}

bool CLPGDevice::clearPetrolMap()
{
    return m_demo || sendCommand(0x1C);
}

bool CLPGDevice::clearLpgMap()
{
    return m_demo || sendCommand(0x1D);
}

bool CLPGDevice::readChartMap(uint8_t code, uint8_t recordType, std::array<uint8_t, kChartMapLength>& map)
{
    if (m_demo) {
        map = demoChartMap();
        return true;
    }
    const auto message = commandMessage(code);
    ExchangeBuffer buffer {};
    uint8_t length = 0;
    uint8_t type = 0;
    const bool ok = m_link.exchangeWithAttempts(2, message.data(), message.size(), buffer, length, type,
        [recordType](
            const ExchangeBuffer&, uint8_t len, uint8_t t) { return t == recordType && len == kChartMapLength; });
    if (!ok)
        return false;
    std::copy_n(buffer.begin(), kChartMapLength, map.begin());
    return true;
}

bool CLPGDevice::readPetrolMap(std::array<uint8_t, kChartMapLength>& map)
{
    return readChartMap(0x25, kRecPetrolMap, map);
}

bool CLPGDevice::readLpgMap(std::array<uint8_t, kChartMapLength>& map)
{
    return readChartMap(0x26, kRecLpgMap, map);
}
