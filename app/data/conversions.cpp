// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/conversions.h>

#include <app/data/settingsimage.h>
#include <app/data/temprtable.h>

#include <chrono>
#include <cmath>
#include <cstdio>

namespace {

template <typename T>
T saturate(double raw, double low, double high)
{
    if (std::isnan(raw))
        return 0;
    if (raw < low)
        return static_cast<T>(low);
    if (raw > high)
        return static_cast<T>(high);
    return static_cast<T>(raw);
}

} // namespace

double roundHalfAway(double x)
{
    return x >= 0 ? std::trunc((x * 10 + 5) / 10) : std::trunc((x * 10 - 5) / 10);
}

// Negative values take the mirror image of the positive rule: flooring a
// negative value would pull -1.2 down to -1.3.
double roundTo01(double x)
{
    return x >= 0 ? std::floor((x + 0.05) * 10) / 10 : -(std::floor((-x + 0.05) * 10) / 10);
}

double roundTo001(double x)
{
    return x >= 0 ? std::floor((x + 0.005) * 100) / 100 : -(std::floor((-x + 0.005) * 100) / 100);
}

uint8_t toU8(double raw) { return saturate<uint8_t>(raw, 0, 255); }
int8_t toS8(double raw) { return saturate<int8_t>(raw, -128, 127); }
uint16_t toU16(double raw) { return saturate<uint16_t>(raw, 0, 65535); }
int16_t toS16(double raw) { return saturate<int16_t>(raw, -32768, 32767); }
uint32_t toU32(double raw) { return saturate<uint32_t>(raw, 0, 4294967295.0); }

double rpmFromPeriod(uint16_t period)
{
    if (period == 0)
        return 0;
    return roundHalfAway(4800000.0 / period / 100) * 100;
}

uint16_t periodFromRpm(double rpm)
{
    if (!(rpm > 0))
        return 65535;
    return saturate<uint16_t>(roundHalfAway(4800000.0 / rpm), 1, 65535);
}

int temprFromByte(uint8_t byte, int column)
{
    return temprTableEntry(byte, column);
}

uint8_t temprToByte(double celsius, int column)
{
    for (int byte = 0; byte < 256; ++byte) {
        if (temprTableEntry(static_cast<uint8_t>(byte), column) <= celsius)
            return static_cast<uint8_t>(byte);
    }
    return 0;
}

double engineTemprFromByte(const CSettingsImage& image, uint8_t byte)
{
    return temprFromByte(byte, image.m_sensorsSetup.m_temprEngineSensor);
}

uint8_t engineTemprToByte(const CSettingsImage& image, double celsius)
{
    return temprToByte(celsius, image.m_sensorsSetup.m_temprEngineSensor);
}

double lpgTemprFromByte(const CSettingsImage& image, uint8_t byte)
{
    return temprFromByte(byte, image.m_sensorsSetup.m_temprLPGSensor);
}

uint8_t lpgTemprToByte(const CSettingsImage& image, double celsius)
{
    return temprToByte(celsius, image.m_sensorsSetup.m_temprLPGSensor);
}

double pressureFromByte(uint8_t byte)
{
    const double kPa = ((byte * 5.0 / 255) / 5 - 0.04) / 0.004;
    return kPa < 0 ? 0 : kPa;
}

uint8_t pressureToByte(double kPa)
{
    return toU8(roundHalfAway((0.004 * kPa + 0.04) * 5 / (5.0 / 255)));
}

double pressure2FromByte(uint8_t byte)
{
    return (byte / 255.0 + 0.00842) / 0.002421;
}

double voltsFromByte(uint8_t byte)
{
    return byte * 5.0 / 255;
}

double supplyVoltsFromByte(uint8_t byte)
{
    return voltsFromByte(byte) * 6;
}

uint8_t supplyVoltsToByte(double volts)
{
    return toU8(roundHalfAway(volts / 6 / (5.0 / 255)));
}

double fromTicks25(double raw) { return roundTo01(raw * 0.025); }
double toTicks25(double ms) { return roundHalfAway(ms / 0.025); }
double fromTicks4(double raw) { return roundTo001(raw * 0.004); }
double toTicks4(double value) { return roundHalfAway(value / 0.004); }
double fromEmulatorTicks(double raw) { return roundTo001(raw * 25 / 1000); }
double toEmulatorTicks(double seconds) { return roundHalfAway(seconds * 1000 / 25); }
double fromDoubledDropHalf(uint8_t byte) { return byte >> 1; }
double fromDoubled(uint8_t byte) { return byte * 0.5; }
double toDoubledTruncated(double value) { return std::trunc(value * 2); }
double fromTenths(double raw) { return raw / 10; }
double fromTenthsRounded(double raw) { return roundTo01(raw / 10); }
double toTenthsTruncated(double value) { return std::trunc(value * 10); }
double toTenthsRounded(double value) { return roundHalfAway(value * 10); }
double fromFifths(double raw) { return roundTo01(raw / 5); }
double toFifthsRounded(double value) { return roundHalfAway(value * 5); }
double fromPercentByte(uint8_t byte) { return byte - 100.0; }
double toPercentByte(double percent) { return std::trunc(percent + 100); }

double injTimeFromByte(uint8_t byte) { return byte / 5.0; }
uint8_t injTimeToByte(double ms) { return toU8(roundHalfAway(ms * 5)); }
double rpmAxisFromByte(uint8_t byte) { return byte * 100.0; }
uint8_t rpmAxisToByte(double rpm) { return toU8(roundHalfAway(rpm / 100)); }

double automapKmFromRaw(uint16_t raw) { return raw * 50.0; }
uint16_t automapKmToRaw(double km) { return toU16(roundHalfAway(km / 50)); }

uint8_t fuelThreshold(uint8_t byte, uint8_t fuelType)
{
    return fuelType == 1 ? static_cast<uint8_t>(255 - byte) : byte;
}

std::wstring prodDateFromDays(uint16_t days)
{
    using namespace std::chrono;
    const year_month_day date { sys_days { year { 2004 } / April / 1 } + std::chrono::days { days } };
    wchar_t text[16];
    std::swprintf(text, std::size(text), L"%02u/%02u/%04d", static_cast<unsigned>(date.day()),
                  static_cast<unsigned>(date.month()), static_cast<int>(date.year()));
    return text;
}
