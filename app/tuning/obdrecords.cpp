// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/obdrecords.h>

#include <app/data/conversions.h>

namespace {

uint32_t u32At(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16
        | static_cast<uint32_t>(p[3]) << 24;
}

void putU32At(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t u16At(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

void putU16At(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

} // namespace

CObdSettingsRecord CObdSettingsRecord::fromBytes(const std::array<uint8_t, 12>& b)
{
    CObdSettingsRecord r;
    r.requestAddress = u32At(&b[0]);
    r.answerAddress = u32At(&b[4]);
    r.enabled = b[8];
    r.speed = b[9];
    r.byte10 = b[10];
    r.protocol = b[11];
    return r;
}

std::array<uint8_t, 12> CObdSettingsRecord::toBytes() const
{
    std::array<uint8_t, 12> b {};
    putU32At(&b[0], requestAddress);
    putU32At(&b[4], answerAddress);
    b[8] = enabled;
    b[9] = speed;
    b[10] = byte10;
    b[11] = protocol;
    return b;
}

CObdMapConfig CObdMapConfig::fromBytes(const std::array<uint8_t, 18>& b)
{
    CObdMapConfig c;
    c.corrections = b[0];
    c.averagingTime = b[1];
    c.maxCorrection = b[2];
    c.injectorBanks = b[3];
    c.neutral1 = b[4];
    c.neutral2 = b[5];
    c.rpmPeriod = u16At(&b[6]);
    for (std::size_t i = 0; i < c.selectedCodes.size(); ++i)
        c.selectedCodes[i] = u16At(&b[8 + 2 * i]);
    c.byte16 = b[16];
    c.advancedFlags = b[17];
    return c;
}

std::array<uint8_t, 18> CObdMapConfig::toBytes() const
{
    std::array<uint8_t, 18> b {};
    b[0] = corrections;
    b[1] = averagingTime;
    b[2] = maxCorrection;
    b[3] = injectorBanks;
    b[4] = neutral1;
    b[5] = neutral2;
    putU16At(&b[6], rpmPeriod);
    for (std::size_t i = 0; i < selectedCodes.size(); ++i)
        putU16At(&b[8 + 2 * i], selectedCodes[i]);
    b[16] = byte16;
    b[17] = advancedFlags;
    return b;
}

int CObdMapConfig::rpmThreshold() const
{
    return rpmPeriod == 0 ? 0 : static_cast<int>(roundHalfAway(4800000.0 / rpmPeriod));
}

void CObdMapConfig::setRpmThreshold(int rpm)
{
    rpmPeriod = periodFromRpm(rpm);
}
