// SPDX-License-Identifier: GPL-3.0-or-later
// A small model of the car and of the controller's injection work, advanced in
// fixed 50 ms steps of simulated time: engine speed and load, reducer and LPG
// temperatures, the fuel switch-over (automatic, forced petrol, forced LPG,
// cylinder by cylinder), petrol and LPG injection times, the engine
// computer's fuel trims reacting to the mixture the LPG dosing gives, the
// lambda probes, the tank level, the statistics counters and the petrol / LPG
// maps of the 2D chart. It reads its settings from the store at every step.
#pragma once

#include <tools/sim/simstore.h>
#include <tools/sim/storeview.h>

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

enum class EngineState { Off, Cranking, Idle, Sweep, Hold };
enum class FuelMode { Auto, Petrol, Lpg };

class CEngineModel {
public:
    static constexpr double kStep = 0.05; // seconds
    static constexpr double kAmbient = 20.0; // °C
    // The engine computer regulates the mixture (closed loop) from this reducer temperature.
    static constexpr double kClosedLoopCelsius = 30.0;
    static constexpr std::size_t kLiveLength = 82;

    CEngineModel(CSimStore& store, uint32_t seed);

    // Off, Cranking (starts by itself after 1.5 s), Idle, Sweep (800 → 6200 →
    // 800 rpm every 20 s, load varying on its own period), Hold (fixed rpm).
    void setEngine(EngineState state, double holdRpm = 0);
    EngineState engine() const { return m_engine; }
    // The fuel commands 0x01 / 0x02 / 0x03.
    void setFuelMode(FuelMode mode);
    FuelMode fuelMode() const { return m_mode; }
    // Commands 0x17 / 0x18: which cylinders have their petrol injector cut and
    // which LPG injectors fire; honoured while on LPG, cleared by a fuel change.
    void setPetrolCutMask(uint8_t mask);
    void setLpgMask(uint8_t mask);
    // A controller restart or the bootloader: back to petrol, switch-over anew.
    void restart();
    void setControllerHalted(bool halted);
    void setTankLevel(double percent) { m_tank = percent; }
    // Holds the reducer at a temperature (a test's cold or warm car whatever the
    // time the host takes); nullopt lets it follow the engine again.
    void holdReducer(std::optional<double> celsius)
    {
        m_reducerHeld = celsius;
        if (celsius)
            m_reducer = *celsius;
    }

    void advance(double seconds);
    double time() const { return m_time; }

    // Record 1, 82 bytes.
    std::vector<uint8_t> liveRecord() const;

    bool running() const;
    double rpm() const { return m_rpm; }
    double manifoldKpa() const { return m_manifold; }
    double reducerCelsius() const { return m_reducer; }
    double lpgCelsius() const { return m_lpgTemp; }
    double supplyVolts() const { return m_volts; }
    double lpgPressureKpa() const { return m_pressure; }
    double lambda1Volts() const;
    double lambda2Volts() const;
    double shortTrimPercent() const { return m_stft * 100; }
    double longTrimPercent() const { return m_ltft * 100; }
    uint8_t fuelState() const;
    bool switchPending() const { return m_pending; }
    double petrolTimeMs(int injector) const;
    double lpgTimeMs(int injector) const;
    uint8_t lpgMask1() const;
    uint8_t lpgMask2() const;
    uint8_t injectorMask() const;
    double obdCorrectionPercent() const { return m_obdCorr; }
    double tankLevel() const { return m_tank; }
    double vehicleSpeed() const;
    double coolantCelsius() const;
    // Mixture relative to what the engine needs: +0.05 = 5 % rich.
    double mixtureError() const { return m_mixture; }

    // Manifold and pressure bytes as the controller's sensors give them.
    uint8_t manifoldByte() const;

private:
    void step(double dt);
    void stepEngine(double dt);
    void stepTemperatures(double dt, bool onLpg);
    void stepSwitching(double dt);
    void stepInjection(double dt);
    void stepCounters(double dt);
    double noise(double amplitude);
    // LPG time injector k needs, ms, for the mixture the engine wants at this step.
    double lpgNeed(int k) const;
    bool lpgCylinder(int k) const;
    uint8_t levelByte() const;

    CSimStore& m_store;
    CStoreView m_view;
    std::mt19937 m_rng;

    double m_time = 0;
    double m_pendingTime = 0; // simulated time not yet stepped
    EngineState m_engine = EngineState::Off;
    double m_holdRpm = 0;
    double m_crankTime = 0;
    double m_sweepTime = 0;
    double m_rpm = 0;
    double m_rpmShown = 0;
    double m_manifold = 101;
    double m_volts = 12.4;
    double m_reducer = kAmbient;
    std::optional<double> m_reducerHeld;
    double m_lpgTemp = kAmbient;
    double m_pressure = 0;
    double m_tank = 62;

    FuelMode m_mode = FuelMode::Auto;
    bool m_halted = false;
    bool m_rpmReached = false;
    bool m_armed = false;
    bool m_pending = false;
    double m_delayTimer = 0;
    int m_lpgCount = 0; // cylinders switched to LPG (in order 0, 1, …)
    int m_target = 0;
    double m_stepTimer = 0;
    std::optional<uint8_t> m_mask17;
    std::optional<uint8_t> m_mask18;

    std::array<double, 8> m_base {}; // what the engine computer would inject on petrol
    std::array<double, 8> m_petrol {}; // what it injects (trims included)
    std::array<double, 8> m_lpg {}; // what the controller doses on LPG
    double m_stft = 0;
    double m_ltft = 0;
    double m_mixture = 0;
    double m_obdCorr = 0;
    static constexpr int kStepsPerHalfSecond = 10;
    static constexpr int kStepsPerSample = 2;
    int m_petrolSteps = 0;
    int m_lpgSteps = 0;
    int m_sampleSteps = 0;
};
