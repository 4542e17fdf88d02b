// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/diag.h>

#include <app/data/conversions.h>
#include <app/data/settingsimage.h>

namespace {

constexpr uint8_t kAbs4BarSensor = 0x10;
constexpr int32_t kSecondCharacteristicVersion = 0x250;
// Offsets above this are negative: value − 65 535.
constexpr int kNegativeOffsetFrom = 60000;

} // namespace

CDiagScale::CDiagScale(const CSettingsImage& image)
    : engineSensor(image.m_sensorsSetup.m_temprEngineSensor)
    , lpgSensor(image.m_sensorsSetup.m_temprLPGSensor)
    , version(image.m_devInfo.m_version)
    , advancedFlags(image.m_advancedSetup.m_advancedFlags)
{
}

void CDiag::setU8(std::size_t at, uint8_t value)
{
    if (at < kSize)
        m_bytes[at] = value;
}

uint16_t CDiag::u16(std::size_t at) const
{
    return static_cast<uint16_t>(u8(at) | u8(at + 1) << 8);
}

void CDiag::setU16(std::size_t at, uint16_t value)
{
    setU8(at, static_cast<uint8_t>(value & 0xFF));
    setU8(at + 1, static_cast<uint8_t>(value >> 8));
}

double CDiag::reducerTempr(const CDiagScale& scale) const
{
    return temprFromByte(m_bytes[2], scale.engineSensor);
}

double CDiag::lpgTempr(const CDiagScale& scale) const
{
    return temprFromByte(m_bytes[3], scale.lpgSensor);
}

double CDiag::supplyVoltage() const
{
    return supplyVoltsFromByte(m_bytes[5]);
}

double CDiag::lambda1() const
{
    return voltsFromByte(m_bytes[6]);
}

double CDiag::lambda2() const
{
    return voltsFromByte(m_bytes[7]);
}

double CDiag::lpgPressure() const
{
    return pressureFromByte(m_bytes[8]);
}

double CDiag::manifoldPressure(const CDiagScale& scale) const
{
    const uint8_t byte = m_bytes[10];
    if (scale.version < kSecondCharacteristicVersion || !(scale.advancedFlags & kAbs4BarSensor))
        return 101 - pressureFromByte(byte);
    return pressure2FromByte(byte);
}

double CDiag::rpm() const
{
    const uint16_t period = rpmPeriod();
    if (period == 0)
        return 0;
    const double rpm = 4800000.0 / period;
    return rpm >= 100 ? rpm : 0;
}

uint16_t CDiag::petrolRaw(int i) const
{
    return i >= 0 && i < kSlots ? u16(kPetrolAt + 4 * static_cast<std::size_t>(i)) : 0;
}

uint16_t CDiag::lpgOffset(int i) const
{
    return i >= 0 && i < kSlots ? u16(kOffsetAt + 4 * static_cast<std::size_t>(i)) : 0;
}

double CDiag::petrolTime(int i) const
{
    return petrolRaw(i) * 0.025;
}

double CDiag::lpgTime(int i) const
{
    const double petrol = roundTo001(petrolTime(i));
    if (!(petrol > 0))
        return 0;
    int offset = lpgOffset(i);
    if (offset > kNegativeOffsetFrom)
        offset = -(65535 - offset);
    return roundTo001(offset * 0.025 + petrol);
}

int CDiag::injectorSlot(int k) const
{
    const int first = 2 * k;
    return petrolTime(first + 1) > petrolTime(first) ? first + 1 : first;
}

uint32_t CDiag::sequence() const
{
    return static_cast<uint32_t>(m_bytes[84]) | static_cast<uint32_t>(m_bytes[85]) << 8
        | static_cast<uint32_t>(m_bytes[86]) << 16 | static_cast<uint32_t>(m_bytes[87]) << 24;
}

void CDiag::setSequence(uint32_t n)
{
    for (int i = 0; i < 4; ++i)
        m_bytes[84 + i] = static_cast<uint8_t>(n >> (8 * i));
}
