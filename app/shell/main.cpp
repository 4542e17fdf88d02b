// SPDX-License-Identifier: GPL-3.0-or-later
// korvana: the configuration and diagnostic program for the LPG injection controller.
#include <app/device/historyrecorder.h>
#include <app/platform/buildinfo.h>
#include <app/platform/consoleinteraction.h>
#include <app/platform/log.h>
#include <app/platform/lpgthreadmanager.h>
#include <app/platform/programdir.h>
#include <app/shell/appoptions.h>
#include <app/shell/guardedapplication.h>
#include <app/shell/korvanaapp.h>
#include <app/shell/mainframe.h>
#include <app/shell/qtinteraction.h>
#include <app/shell/reportrun.h>

#include <QApplication>

#include <cstdio>
#include <optional>

namespace {

// --help and --version; nullopt for a run of the program.
std::optional<int> printUsageOrVersion(const SAppOptions& options)
{
    if (options.help) {
        std::fputs(kAppUsage, stdout);
        std::fputs(kLicenceLine, stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(versionText("korvana").c_str(), stdout);
        return 0;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    // Answered before Qt starts, so that they work without a display; with
    // Qt's own options among the arguments they are answered below.
    {
        std::string ignored;
        const auto early = parseAppOptions(std::vector<std::string>(argv + 1, argv + argc), ignored);
        if (early) {
            if (const auto status = printUsageOrVersion(*early))
                return *status;
        }
    }
    CGuardedApplication application(argc, argv);
    // Qt has taken its own options out of argv by now.
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto options = parseAppOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "korvana: %s\n%s", error.c_str(), kAppUsage);
        return 2;
    }
    if (const auto status = printUsageOrVersion(*options))
        return *status;

    LogOptions log;
    log.file = defaultLogPath();
    log.toStderr = options->verbose;
    configureLog(log);
    logInfo("gui", "korvana started");
    logInfo("gui", "data folders in " + programDir().string());

    CQtInteraction interaction;
    // The report from a terminal shows no window: its messages go to stderr, its questions are No.
    CConsoleInteraction console(false);
    if (options->report.empty())
        setUserInteraction(&interaction);
    else
        setUserInteraction(&console);
    // Every connection and every write leaves its restore points; a store
    // that does not work is said once, and the first write asks whether to go on.
    CHistoryRecorder history;
    CHistoryRecorder::install(&history);
    // Opened and checked beside the window's building: the start says at once
    // whether the store works.
    history.openAhead();
    int status = 1;
    if (!options->report.empty()) {
        status = runReport(*options);
    } else {
        CkorvanaApp app(*options);
        if (app.InitInstance()) {
            interaction.setMainWindow(app.mainFrame());
            status = QApplication::exec();
        } else {
            status = app.exitStatus();
        }
        app.ExitInstance();
    }
    CHistoryRecorder::install(nullptr);
    setUserInteraction(nullptr);
    logInfo("gui", "korvana ended with status " + std::to_string(status));
    // Once polling threads ran, the thread manager ends the process, with this status.
    setExitStatus(status);
    return status;
}
