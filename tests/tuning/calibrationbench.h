// SPDX-License-Identifier: GPL-3.0-or-later
// A bench for the autocalibration without a car: a scripted controller on a
// pseudo-terminal that acknowledges every command and write, answers the reads
// the calibration makes, refuses what a test asks it to and keeps what it was
// sent; and a poller driven by the scripted clock that queues one live record
// per 100 ms, made from what the controller was last told (fuel, main
// correction, LPG cylinders). A test describes the car by the petrol time the
// engine computer gives for that state.
#pragma once

#include <app/device/lpgdevice.h>
#include <app/tuning/autocalibration.h>

#include "ptypeer.h"
#include "scriptedinteraction.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct LoggedLine {
    std::wstring text;
    uint32_t colour = 0;
};

class RecordingObserver : public ICalibrationObserver {
public:
    void clearLog() override { lines.clear(); }
    void logLine(const std::wstring& text, uint32_t colour) override { lines.push_back({ text, colour }); }
    void progress(int position) override { positions.push_back(position); }
    void mainCorrectionsChanged() override { ++correctionsShown; }
    void runningChanged(bool running) override { runningChanges.push_back(running); }

    std::vector<std::wstring> texts() const;
    bool has(const std::wstring& text) const;

    std::vector<LoggedLine> lines;
    std::vector<int> positions;
    std::vector<bool> runningChanges;
    int correctionsShown = 0;
};

// What the controller was told, as the records are made from it.
struct BenchState {
    // 2 petrol, 3 LPG (automatic mode reads as petrol); a warm car in
    // automatic mode has switched to LPG before the run.
    uint8_t fuel = 3;
    int lpgSwitches = 0; // switchToLpg commands so far
    double mainCorr = 0; // cylinder 0, ms, as last written
    uint8_t lpgMask = 0xFF; // command 0x17, reset by a fuel change
};

class CalibrationBench {
public:
    // Every frame the calibration sent: type and plain payload, with the scripted clock when it came.
    struct Sent {
        uint8_t type = 0;
        std::vector<uint8_t> payload;
        uint64_t clockMs = 0;
    };

    explicit CalibrationBench(int injectors = 4);
    ~CalibrationBench();

    // Main corrections the controller holds at the start (all eight), ms.
    void setStoredCorrection(double ms);
    // Byte 20 of record 31.
    void setStoredDelayByte(uint8_t byte);
    void setInjConfMap(int index, uint8_t value);
    void setReducerCelsius(double celsius);
    // What the records say the car runs on until the calibration switches it.
    void setFuelState(uint8_t state);

    // Command codes (type-2 requests) and record types the controller refuses.
    std::set<uint8_t> refusedCommands;
    std::set<uint8_t> refusedRecords;

    // The petrol time of injector k that the engine computer gives in a state;
    // the default is 3.0 ms on petrol and 3.0 + (need − correction) on LPG.
    std::function<double(const BenchState&, int k)> petrolTime;
    double need = 1.3;
    // False: the records show the engine stopped.
    std::atomic<bool> engineOn { true };
    // Called after each record is queued, with the scripted clock.
    std::function<void(uint64_t)> onRecord;

    CalibrationOutcome run(bool perCylinder = false) { return calibration.start(perCylinder); }

    std::vector<Sent> sent() const;
    // Command codes sent, in order.
    std::vector<uint8_t> commands() const;
    // Each main-correction write: cylinder 0's value (ms) and the clock.
    std::vector<std::pair<double, uint64_t>> correctionWrites() const;
    // Byte 20 of each record-31 write.
    std::vector<uint8_t> delayWrites() const;
    std::vector<uint8_t> lpgMasks() const; // arguments of command 0x17

    PtyPeer peer;
    CLPGDevice device;
    CScriptedInteraction ui;
    RecordingObserver observer;
    CAutoCalibration calibration { device, observer };

private:
    std::vector<PtyPeer::Reply> answer(const PtyPeer::Bytes& request);
    void queueRecord();

    CInteractionScope m_scope { ui };
    mutable std::mutex m_lock;
    BenchState m_state;
    std::vector<Sent> m_sent;
    std::vector<uint8_t> m_base;
    std::vector<uint8_t> m_adv;
    std::vector<uint8_t> m_mainCorr;
    uint8_t m_reducerByte = 0;
    std::atomic<uint64_t> m_clock { 0 };
    uint64_t m_nextRecordMs = 0;
    uint32_t m_sequence = 0;
};
