// SPDX-License-Identifier: GPL-3.0-or-later
// The idle autocalibration: lets the engine idle on petrol and on LPG in turn,
// compares the petrol injection time the car's engine computer gives in each
// state and moves the main correction by the difference; it also takes the
// reducer pressure at idle as the working pressure. Two procedures: all
// cylinders at once, or cylinder by cylinder.
//
// Runs on the thread that owns the device's GUI work. Waits pump and sleep
// through the user-interaction seam, so a Stop (stop(), called from inside a
// pump) ends the run at its next wait. Live records come from the device's
// readings queue, which the polling thread fills; the procedure only reads it.
//
// An aborted run (Stop, a failed command, the engine stopping, a caught error)
// puts back what it changed for its own sake: the kept emulator delay is
// written back and the controller goes to automatic mode, or to petrol when
// the car ran on petrol before the run. Main corrections and the pressure
// settings already written stay. When the link went in the middle of the run
// nothing is tried: what was left changed stays named in leftChanged(), the
// log says it, and offerPutBack() asks the fitter, once the link is back,
// whether to put it back (never without the question).
//
// Error objects thrown inside a procedure are caught, shown in a message box
// with the procedure's name and deleted; start() and the procedures never throw
// IError*.
#pragma once

#include <app/data/diag.h>
#include <app/device/putbacklist.h>
#include <app/device/writesession.h>
#include <app/tuning/calibrationobserver.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class CDiagData;
class CLPGDevice;

enum class CalibrationOutcome {
    Success,
    Busy, // a run is already in progress
    Refused, // reducer too cold, or no live readings to judge by
    Failed, // a failure line was logged
    Stopped, // Stop was pressed
    EngineStopped, // the engine stopped during a wait (no line, as the page does)
    Error, // an error object was caught and shown
};

class CAutoCalibration {
public:
    static constexpr int kRecordsPerMeasurement = 20; // N
    static constexpr int kDemoWaitRecords = 5;
    static constexpr double kStartCelsius = 50.0;
    static constexpr double kEngineRunningMs = 0.2;
    static constexpr double kMinCorrection = -3.0;
    static constexpr double kMaxCorrection = 6.0;
    static constexpr double kRecommendedLow = 0.5;
    static constexpr double kRecommendedHigh = 1.5;
    static constexpr double kStepMs = 0.2;
    static constexpr unsigned kStepPauseMs = 2000;
    static constexpr unsigned kAutoPauseMs = 9900; // 99 × 100 ms
    // A wait that sees no new record for this long ends: polling has stopped.
    static constexpr unsigned kNoReadingsMs = 5000;
    static constexpr int kProgressEnd = 1000;
    static constexpr int kProgressBeforeLastWrite = 990;
    // m_advancedSetup.m_advancedFlags: the injector-size advice is not logged.
    static constexpr uint8_t kNoAdviceFlag = 0x08;

    CAutoCalibration(CLPGDevice& device, ICalibrationObserver& observer);
    CAutoCalibration(const CAutoCalibration&) = delete;
    CAutoCalibration& operator=(const CAutoCalibration&) = delete;

    // The start button, the one entry point that pumps: clears the log, checks
    // the reducer temperature in the newest record, then runs the per-cylinder
    // procedure (perCylinder and not in demo mode) or the normal one.
    CalibrationOutcome start(bool perCylinder);
    // The stop button: while running, logs "Autokalibracja przerwana", clears
    // running and sets the progress to 0; the procedure ends at its next wait.
    void stop();
    bool running() const { return m_running; }

    // What the last run left changed and could not put back (the link went):
    // the emulator delay and the fuel mode, with how to put each back.
    const CPutBackList& leftChanged() const { return m_leftChanged; }
    // After the link came back: when the last run left something changed in
    // this controller, names it and asks whether to put it back; Yes writes
    // the saved values and switches to automatic mode (petrol when the car ran
    // on petrol before). No forgets it. True when everything was put back.
    bool offerPutBack();

    // The two procedures; start() is the way in, these assume running is set.
    CalibrationOutcome autocalibrationNormal();
    CalibrationOutcome autocalibrationPerOneCylinder();

    // W: records to wait after a fuel change.
    static int waitingLength(double emulatorDelay, int injectors, bool demo);
    // Records the progress bar counts to: 8W + 7N + 15, or (n + 2)(W + N) + 15 per cylinder.
    static int progressTotal(bool perCylinder, int waitLength, int injectors);
    // 10 × round(100 × counted / total).
    static int progressPosition(double counted, int total);
    // The single-bit masks of the active cylinders, alternately from the front and the back.
    static std::vector<uint8_t> cylinderOrder(const std::vector<int>& active);
    // The three differences' rejection rule: the kept ones, in sorted order.
    static std::vector<double> keptDifferences(std::array<double, 3> differences);
    static bool warmEnough(double reducerCelsius) { return reducerCelsius >= kStartCelsius; }

private:
    // ---- Shared steps (autocalibration.cpp) ----
    int injectors() const;
    void log(const std::wstring& fixedText, uint32_t colour = kCalibrationInfoColour);
    void logRaw(const std::wstring& text, uint32_t colour = kCalibrationInfoColour);
    // Logs the failure line (translated), marks the run failed; returns false.
    bool fail(const wchar_t* line);
    bool check(bool done, const wchar_t* failureLine) { return done || fail(failureLine); }
    void setProgress(int position);
    void beginProgress(int waitLength, bool perCylinder);
    bool engineRunning(const CDiag& record) const;
    // Waits, pumping, until k records newer than the newest one now have come.
    bool waitRecords(int k, std::vector<CDiag>* gathered = nullptr);
    bool measureIdle(double& time, double& pressure);
    // measureIdle, with the failure line when it fails while still running.
    bool measure(double& time, double& pressure);
    // A pumped pause that ends early (false) when Stop is pressed.
    bool pause(unsigned milliseconds);
    void pressureStep(double pressure);
    // All eight corrections := value, written and shown.
    bool setAllCorrections(double value);
    // Keeps the emulator delay and writes base settings with the run's own.
    bool setRunDelay(double delay);
    bool switchFuel(CWriteSession::Command command, const wchar_t* failureLine);
    // A command or a block through the write path; the run puts back what it changed itself.
    bool send(CWriteSession::Command command, uint8_t mask = 0);
    bool writeBlock(CReadBlocks::Block block);
    // After a switch to LPG: one live record read through the link must show LPG.
    bool confirmLpg();
    void logSuccess();
    void logAdviceLines(bool smallerInjectors);
    void logTooSmall(const wchar_t* firstLine, const wchar_t* rangeLine);
    // Puts back the delay and automatic mode after a run that did not finish,
    // unless the link went: then it only names what was left changed.
    void restoreAfterAbort();
    // A new run keeps what an earlier one left changed in this controller (its
    // values from before are the car's own); any other record is dropped.
    void beginRun();
    // The items of the left-changed record: the run's delay written, a fuel mode sent.
    void noteDelay(double runDelay);
    void noteFuel(CWriteSession::Command command);
    // After a failed step: whether the controller stopped answering.
    void noteLinkState();
    bool linkGone() const;
    void logLeftChanged();
    void showError(const wchar_t* title, const wchar_t* method, const std::wstring& report);


    // ---- The procedures' bodies (autocalibration.cpp, autocalibration_percylinder.cpp) ----
    bool runNormal();
    bool runPerCylinder();
    bool perCylinderStep(uint8_t lpgMask, int waitLength, double petrolTime, double& correction);
    bool stepCorrections(double delta);

    CLPGDevice& m_device;
    ICalibrationObserver& m_observer;
    std::atomic<bool> m_running { false };
    CalibrationOutcome m_outcome = CalibrationOutcome::Success;
    double m_progressBase = 0;
    int m_progressTotal = 1;
    // What the run changed and must put back when it does not finish, by key.
    static constexpr const char* kDelayKey = "m_base.m_emulatorDelay";
    static constexpr const char* kFuelKey = "fuel";
    CPutBackList m_leftChanged;
    double m_keptDelay = 0;
    // The fuel state the car was in before the run (no pending switch to LPG).
    bool m_petrolBefore = false;
    // The controller stopped answering (silence, a port error, readings gone).
    bool m_linkLost = false;
};

// "%g"-like text of a number as the log shows it (default stream formatting).
std::wstring calibrationNumber(double value);
