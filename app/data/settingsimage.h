// SPDX-License-Identifier: GPL-3.0-or-later
// The settings image: the program's one in-memory model of everything the
// controller stores, in engineering units (rpm, °C, kPa, s, ms, V, percent).
// A plain value: default construction gives the factory defaults, copies and
// assignments take every member. The controller's byte encodings live in the
// block codecs; the per-member conversions are in conversions.h.
//
// Member paths (m_base.m_switchRPM) are the keys of the settings file. Arrays
// are indexed from 0: m_setupTimes1[0] is the file's "m_setupTimes1[1]".
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Running-time counters reported by the statistics command.
struct CStatistic {
    uint32_t gas = 0; // half-seconds on petrol
    uint32_t lpg = 0; // half-seconds on LPG
    uint16_t modify = 0;

    bool operator==(const CStatistic&) const = default;
};

// The controller's identity; read from it, never written to it.
struct CDevInfo {
    std::wstring m_modelName = L"OREM 33F MOLEX"; // not in the settings file
    int32_t m_version = 0; // high byte major, low byte minor
    int32_t m_injCount = 4;
    std::wstring m_serial; // 16 characters at most
    std::wstring m_prodDate; // "%d/%m/%Y"
    uint8_t m_deviceID = 0; // model code: 4, 5, 6 or 16
    uint32_t m_flags1 = 0;
    uint32_t m_flags2 = 0;
    CStatistic m_statistic;

    bool operator==(const CDevInfo&) const = default;
};

// The car description typed by the fitter; never sent to the controller.
struct CCarInfo {
    std::wstring m_vendor;
    std::wstring m_model;
    std::wstring m_engine;
    std::wstring m_power;
    std::wstring m_prodYear;
    std::wstring m_injectors;
    double m_reductorPress = 0.0;

    bool operator==(const CCarInfo&) const = default;
};

// Basic settings (record 31).
struct CBaseSetup {
    double m_switchRPM = 1200; // rpm
    double m_switchTempr = 35; // °C, engine-sensor column
    uint8_t m_sparkDivider = 1; // 1 … 8, 62 = crankshaft
    double m_switchDelay = 30; // s
    double m_switchMinGasTime = 0; // ms
    double m_switchPressure = 60; // kPa
    double m_emulatorDelay = 1; // s
    double m_pressureGain = 1;
    double m_pressureRef = 100; // kPa
    double m_pressAverageCount = 0.8;
    double m_temprRef = 0; // °C, LPG-sensor column
    double m_temprGain = 0.3;
    double m_temprBottom = 0; // °C, LPG-sensor column
    double m_temprUpper = 80; // °C, LPG-sensor column
    double m_maxRPMHigh = 8000; // rpm
    double m_maxRPMLow = 7000; // rpm
    double m_minVCC = 10; // V
    double m_rpmSignalLevel = 5; // V
    uint8_t m_flags = 0x80;
    std::array<uint8_t, 4> m_pcId {}; // not in the settings file; most significant byte first
    double m_baseExtraTime = 2; // ms; not in the settings file

    bool operator==(const CBaseSetup&) const = default;
};

// m_base.m_flags bits; 0x01 is carried unchanged.
enum : uint8_t {
    kBaseMaxRpmActive = 0x02,
    kBaseContinuousBuzzer = 0x04,
    kBaseSignalSwitchOver = 0x08,
    kBaseDelayedPressure = 0x20,
    kBaseFastSwitchToLpg = 0x40,
    kBaseValveAtSwitchOnly = 0x80,
};

// Advanced injection settings (record 4).
struct CAdvSetup {
    double m_pwmOffset = 4; // ms
    double m_pwm = 50;
    double m_injectorWarmingImpulse = 2; // ms
    double m_warmingTime = 30; // s
    double m_warmingUpperTempr = 50; // °C, engine-sensor column
    uint8_t m_injectorType = 1;
    double m_minLPGTime = 0; // ms
    double m_ignoreLPGTime = 0; // ms
    uint8_t m_engineSignalBehavior = 0;
    uint8_t m_flags = 3;
    double m_cutOffPressSwitch = 150; // kPa
    double m_cutOffExitEmulatorDelay = 0; // s
    double m_cutOffExitDelay = 0; // s
    std::array<uint8_t, 8> m_injConfMap { 0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80 };

    bool operator==(const CAdvSetup&) const = default;
};

// Per-injector main multipliers (record 15).
struct CMainCorr {
    std::array<double, 8> m_mainCorr { 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0 };

    bool operator==(const CMainCorr&) const = default;
};

constexpr int kSetupTimesCount = 39;
constexpr int kTemprCorrCount = 20;
constexpr int kPressCorrCount = 26;
constexpr int kMapRows = 19; // injection-time axis
constexpr int kMapCols = 15; // RPM axis

// Sensor configuration with both correction tables (records 30 and 32).
struct CSensorsSetup {
    uint8_t m_lambdaType = 1;
    uint8_t m_lambdaSecond = 0;
    // Level-sensor thresholds as the fitter sees them; with m_fuelType 1 the
    // controller holds them inverted (fuelThreshold in conversions.h).
    uint8_t m_fuelFull = 90;
    uint8_t m_fuelHgw = 150;
    uint8_t m_fuelHalf = 195;
    uint8_t m_fuelQuarter = 238;
    uint8_t m_fuelRes = 1;
    uint8_t m_fuelType = 1;
    // 0 = 10 kΩ, 1 = 6.8 kΩ, 2 = 4.7 kΩ, 3 = 2.2 kΩ: the column of the temperature table.
    uint8_t m_temprEngineSensor = 0;
    uint8_t m_temprLPGSensor = 0;
    // Not in the settings file. Percent at −20 … 45 °C in steps of 5, then 50 … 100 °C in steps of 10.
    std::array<double, kTemprCorrCount> m_temprCorr {};
    // Not in the settings file. Percent at 0 … 250 hundredths of a bar in steps of 10.
    std::array<double, kPressCorrCount> m_pressCorr {};

    bool operator==(const CSensorsSetup&) const = default;
};

// The injection map and its axes.
struct CCorrMap {
    // Percent; row r belongs to m_injTimeAxis[r], column c to m_rpmAxis[c].
    std::array<std::array<double, kMapCols>, kMapRows> m_injMapTable {};
    uint8_t m_flags = 0;
    // Not in the settings file: petrol injection time breakpoints, ms.
    std::array<double, kMapRows> m_injTimeAxis { 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20 };
    // Not in the settings file: engine-speed breakpoints, rpm.
    std::array<double, kMapCols> m_rpmAxis { 500, 1000, 1500, 2000, 2500, 3000, 3500, 4000, 4500, 5000, 5500, 6000,
        6500, 7000, 7500 };

    bool operator==(const CCorrMap&) const = default;
};

// Further options (record 26).
struct CAdvancedSetup {
    uint32_t m_inspectionCounter = 0; // half-seconds on LPG; not in the settings file
    double m_minimalLPGRPM = 500; // rpm
    double m_switchCorr = 0; // percent
    double m_switchCorrTime = 20; // s
    uint8_t m_advancedFlags = 0x10;
    uint8_t m_advancedFlags2 = 0;
    uint16_t m_advancedFlags3 = 1;
    double m_maxLoadTime = 0; // ms, 0 = off
    double m_minLpgTempr = 0; // °C, LPG-sensor column
    uint8_t m_lubricationShare = 0; // percent; not in the settings file

    bool operator==(const CAdvancedSetup&) const = default;
};

// m_advancedSetup.m_advancedFlags bits; 0x02 is carried unchanged.
enum : uint8_t {
    kAdvInspectionReminder = 0x01,
    kAdvEnrichAtSwitch = 0x04,
    kAdvFuelCng = 0x08, // mirrored into the fuel-word flag (languages.h)
    kAdvPressureSensorAbs4Bar = 0x10, // also selects the second pressure characteristic
    kAdvRpmSignal5V = 0x20,
};

class CSettingsImage {
public:
    bool operator==(const CSettingsImage&) const = default;

    std::wstring m_timeStamp; // "%d-%m-%Y-%H:%M:%S" of the last save to a file
    CDevInfo m_devInfo;
    CCarInfo m_carInfo;
    CBaseSetup m_base;
    CAdvSetup m_adv;
    CMainCorr m_mainCorr;
    // Percent corrections; m_setupTimes1[i] is the curve at petrol time 1.0 + 0.5 × i ms.
    std::array<double, kSetupTimesCount> m_setupTimes1 {};
    std::array<double, kSetupTimesCount> m_setupTimes2 {};
    uint8_t m_tableMask = 0;
    CSensorsSetup m_sensorsSetup;
    CCorrMap m_corrMap;
    CAdvancedSetup m_advancedSetup;
    // The automapping schedule (record 33); not in the settings file.
    uint8_t m_automapMode = 0; // 0 off, 1 once, 2 every m_automapKm
    double m_automapKm = 1000;
    double m_automapDue = 0; // LPG running time in half-seconds
};
