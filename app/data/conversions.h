// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions between the controller's encodings and the settings image's
// engineering units. Reading functions (…FromByte, from…) give the value the
// image holds; writing functions (…ToByte, to…) give the raw number to send.
// Functions returning double give an integer-valued raw number that is not yet
// narrowed: pass it through toU8/toS8/toU16/toS16/toU32 for the field's width.
//
// Which member uses which pair (read / write):
//   m_switchRPM, m_maxRPMHigh, m_maxRPMLow,
//   m_minimalLPGRPM                      rpmFromPeriod / periodFromRpm
//   m_switchTempr, m_warmingUpperTempr   engineTemprFromByte / engineTemprToByte
//   m_temprRef, m_temprBottom, m_temprUpper,
//   m_minLpgTempr                        lpgTemprFromByte / lpgTemprToByte
//   m_switchPressure, m_pressureRef,
//   m_cutOffPressSwitch                  roundHalfAway(pressureFromByte) / pressureToByte
//   m_minVCC                             roundTo01(supplyVoltsFromByte) / supplyVoltsToByte
//   m_switchMinGasTime, m_baseExtraTime, m_pwmOffset, m_injectorWarmingImpulse,
//   m_minLPGTime, m_ignoreLPGTime        fromTicks25 / toTicks25
//   m_mainCorr[i], m_maxLoadTime         fromTicks4 / toTicks4
//   m_emulatorDelay,
//   m_cutOffExitEmulatorDelay            fromEmulatorTicks / toEmulatorTicks
//   m_switchDelay, m_warmingTime,
//   m_switchCorrTime                     fromDoubledDropHalf / toDoubledTruncated
//   m_cutOffExitDelay                    fromDoubled / toDoubledTruncated
//   m_pressureGain (s8)                  fromTenths / toTenthsTruncated
//   m_temprGain                          fromTenths / toTenthsRounded
//   m_rpmSignalLevel                     fromTenthsRounded / toTenthsTruncated
//   m_pressAverageCount                  fromFifths / toFifthsRounded
//   m_setupTimes1/2[i], m_temprCorr[i], m_pressCorr[i],
//   m_injMapTable[r][c]                  fromPercentByte / toPercentByte
//   m_injTimeAxis[r]                     injTimeFromByte / injTimeToByte
//   m_rpmAxis[c]                         rpmAxisFromByte / rpmAxisToByte
//   m_automapKm                          automapKmFromRaw / automapKmToRaw
//   m_fuelFull, m_fuelHgw, m_fuelHalf,
//   m_fuelQuarter                        fuelThreshold (both ways)
//   m_prodDate                           prodDateFromDays
// Members not listed travel as they are (m_pwm, m_switchCorr as s8, flags, codes).
//
// All functions are pure apart from reading the sensor types of the image they
// are given; any thread may call them.
#pragma once

#include <cstdint>
#include <string>

class CSettingsImage;

// Rounding, halves away from zero.
double roundHalfAway(double x); // to a whole number
double roundTo01(double x); // to 0.1
double roundTo001(double x); // to 0.01

// Saturating narrowing of a raw number to a field; NaN gives 0. A value out of
// the field's range is sent as the nearest representable one, never wrapped.
uint8_t toU8(double raw);
int8_t toS8(double raw);
uint16_t toU16(double raw);
int16_t toS16(double raw);
uint32_t toU32(double raw);

// RPM period rule: rpm = round(4 800 000 ÷ p ÷ 100) × 100. A period of 0 has
// no speed and gives 0.
double rpmFromPeriod(uint16_t period);
// p = round(4 800 000 ÷ rpm), kept within 1 … 65535; a speed that is not
// positive gives 65535, the slowest the field can say.
uint16_t periodFromRpm(double rpm);

// Temperature characteristic of one column (sensor code 0 … 3).
int temprFromByte(uint8_t byte, int column);
// The smallest byte whose entry is not above celsius; 0 when every entry is above it.
uint8_t temprToByte(double celsius, int column);
// The same through the image's m_sensorsSetup.m_temprEngineSensor / m_temprLPGSensor.
double engineTemprFromByte(const CSettingsImage& image, uint8_t byte);
uint8_t engineTemprToByte(const CSettingsImage& image, double celsius);
double lpgTemprFromByte(const CSettingsImage& image, uint8_t byte);
uint8_t lpgTemprToByte(const CSettingsImage& image, double celsius);

// Pressure characteristic, kPa, not rounded; 0 below the sensor's zero.
double pressureFromByte(uint8_t byte);
uint8_t pressureToByte(double kPa);
// Second characteristic: manifold pressure with the "ABS 4 bar" sensor on
// controllers from version 0x250.
double pressure2FromByte(uint8_t byte);

// Voltage rule: byte × 5 ÷ 255; the supply voltage is six times that.
double voltsFromByte(uint8_t byte);
double supplyVoltsFromByte(uint8_t byte);
uint8_t supplyVoltsToByte(double volts);

// Units of 0.025 ms: read raw × 0.025 to 0.1, write round(value ÷ 0.025).
double fromTicks25(double raw);
double toTicks25(double ms);
// Units of 0.004: read raw × 0.004 to 0.01, write round(value ÷ 0.004).
double fromTicks4(double raw);
double toTicks4(double value);
// Units of 25 ms: read raw × 25 ÷ 1000 to 0.01, write round(value × 1000 ÷ 25).
double fromEmulatorTicks(double raw);
double toEmulatorTicks(double seconds);
// The byte holds twice the value. fromDoubledDropHalf drops the half (byte
// shifted right by one); fromDoubled keeps it (byte × 0.5).
double fromDoubledDropHalf(uint8_t byte);
double fromDoubled(uint8_t byte);
double toDoubledTruncated(double value);
// Tenths: read raw ÷ 10 (plain, or to 0.1); write value × 10 truncated toward
// zero, or rounded.
double fromTenths(double raw);
double fromTenthsRounded(double raw);
double toTenthsTruncated(double value);
double toTenthsRounded(double value);
// Fifths: read raw ÷ 5 to 0.1, write round(value × 5).
double fromFifths(double raw);
double toFifthsRounded(double value);
// Percent around 100: read byte − 100, write value + 100 truncated toward zero.
double fromPercentByte(uint8_t byte);
double toPercentByte(double percent);

// Map axes: injection time in 0.2 ms units, engine speed in 100 rpm units.
double injTimeFromByte(uint8_t byte);
uint8_t injTimeToByte(double ms);
double rpmAxisFromByte(uint8_t byte);
uint8_t rpmAxisToByte(double rpm);

// Automapping interval: the 16-bit field counts 50 km.
double automapKmFromRaw(uint16_t raw);
uint16_t automapKmToRaw(double km);

// Level-sensor thresholds: with fuelType 1 the controller holds 255 − byte,
// in both directions; otherwise the byte as it is.
uint8_t fuelThreshold(uint8_t byte, uint8_t fuelType);

// Production date: 1 April 2004 plus days, as "%d/%m/%Y".
std::wstring prodDateFromDays(uint16_t days);
