// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli calibrate [--per-cylinder] [--yes] [--demo]: the idle
// autocalibration of the "Kalibracja" page, the same procedure, with the
// polling thread feeding it as in the program. Each log line goes to stdout as
// it comes, the progress to stderr; Ctrl+C, SIGTERM and a hang-up of the
// terminal are the Stop button (the run ends at its next wait and puts back the
// cylinder switching time and the fuel mode). When the link goes in the middle
// of the run nothing can be put back: the command names what the controller
// was left holding, prints the korvana-cli commands that put it back and exits 3.
#include "cli.h"

#include <app/data/readblocks.h>
#include "cli_connect.h"

#include <app/data/diag.h>
#include <app/device/lpgdevice.h>
#include <app/platform/consoleinteraction.h>
#include <app/platform/textcodec.h>
#include <app/tuning/autocalibration.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>
#include <syncmsg/multithread.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onSignal(int)
{
    g_interrupted = 1;
}

// Stop signals, handled for the whole run and set back to their defaults on every way out.
class CStopSignals {
public:
    CStopSignals()
    {
        g_interrupted = 0;
        for (int s : kStop)
            std::signal(s, onSignal);
#ifdef SIGPIPE
        // A closed terminal or pipe must not end the run before it has put the car back.
        std::signal(SIGPIPE, SIG_IGN);
#endif
    }
    ~CStopSignals()
    {
        for (int s : kStop)
            std::signal(s, SIG_DFL);
#ifdef SIGPIPE
        std::signal(SIGPIPE, SIG_DFL);
#endif
    }
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

private:
#ifdef SIGHUP
    static constexpr int kStop[] = { SIGINT, SIGTERM, SIGHUP };
#else
    static constexpr int kStop[] = { SIGINT, SIGTERM };
#endif
};

// How long a connected controller may take to deliver its first live record.
constexpr auto kFirstRecordWait = std::chrono::seconds(3);

class CCliCalibrationObserver : public ICalibrationObserver {
public:
    void clearLog() override { }
    void logLine(const std::wstring& text, uint32_t) override
    {
        std::fprintf(stdout, "%s\n", toUtf8(text).c_str());
        std::fflush(stdout);
    }
    void progress(int position) override
    {
        const int percent = position / 10;
        if (percent == m_percent)
            return;
        m_percent = percent;
        std::fprintf(stderr, "korvana-cli: %d%%\n", percent);
    }

private:
    int m_percent = -1;
};

// The terminal seam; at each pump an interrupt becomes the Stop button.
class CCalibrationInteraction : public CConsoleInteraction {
public:
    explicit CCalibrationInteraction(bool answerYes)
        : CConsoleInteraction(answerYes)
    {
    }
    void pump() override
    {
        if (g_interrupted && m_calibration) {
            g_interrupted = 0;
            m_calibration->stop();
        }
    }
    CAutoCalibration* m_calibration = nullptr;
};

bool waitFirstRecord(CLPGDevice& device)
{
    const auto deadline = std::chrono::steady_clock::now() + kFirstRecordWait;
    while (device.diagData().count() == 0) {
        if (g_interrupted || std::chrono::steady_clock::now() >= deadline || !device.session().pollingThreadRunning())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// What the run left changed (the link went, or a step putting it back failed), and the commands that put it back.
int reportLeftChanged(const CPutBackList& left, const CliContext& context)
{
    std::fprintf(stderr, "korvana-cli: the calibration ended without putting the controller back; it was left "
                         "holding:\n");
    for (const auto& item : left.items())
        std::fprintf(stderr, "  %s\n", toUtf8(item.description).c_str());
    std::fprintf(stderr, "korvana-cli: to put it back once the controller answers again, run:\n");
    std::vector<std::string> options;
    if (!context.port.empty())
        options = { "--port", context.port };
    for (const auto& command : left.commands(options))
        std::fprintf(stderr, "  %s\n", command.c_str());
    return kExitChanged;
}

int report(CalibrationOutcome outcome)
{
    switch (outcome) {
    case CalibrationOutcome::Success: return kExitOk;
    case CalibrationOutcome::Stopped: return failed("calibration stopped");
    case CalibrationOutcome::EngineStopped: return failed("the engine stopped during the calibration");
    case CalibrationOutcome::Busy: return failed("a calibration is already running");
    case CalibrationOutcome::Refused:
    case CalibrationOutcome::Failed:
    case CalibrationOutcome::Error: return kExitFailed; // its line or box has said why
    }
    return kExitFailed;
}

} // namespace

int cmdCalibrate(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    bool perCylinder = false;
    bool yes = false;
    for (const auto& a : args) {
        if (a == "--per-cylinder")
            perCylinder = true;
        else if (a == "--yes")
            yes = true;
        else
            return usageError("calibrate", "unexpected argument " + a);
    }

    CCalibrationInteraction ui(yes);
    CInteractionScope scope(ui);
    // Not the program's manager: that one ends the process with status 0.
    CMultiThread manager;
    try {
        CLPGDevice device(*context.ports);
        if (const int code = connectDevice(context, demo, device))
            return code;
        if (const int code = requireRead(device, CReadBlocks::Base | CReadBlocks::MainCorr | CReadBlocks::DevInfo))
            return code;
        if (!ui.question(L"The calibration switches the controller between petrol and LPG with the engine idling. "
                         L"Start it?",
                         L"KORVANA", MsgIcon::Question, false))
            return failed("not started: give --yes to start the calibration");
        device.session().setThreadManager(&manager);
        CStopSignals signals;
        if (!device.session().startPolling("\\"))
            return failed("this controller does not give live readings");

        int result = kExitFailed;
        if (!waitFirstRecord(device)) {
            failed("no live readings from the controller");
        } else {
            CCliCalibrationObserver observer;
            CAutoCalibration calibration(device, observer);
            ui.m_calibration = &calibration;
            result = report(calibration.start(perCylinder));
            ui.m_calibration = nullptr;
            if (!calibration.leftChanged().empty())
                result = reportLeftChanged(calibration.leftChanged(), context);
        }
        device.session().stopPolling();
        return result;
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
}
