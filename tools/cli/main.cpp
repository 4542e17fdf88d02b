// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli: the service tool for scripts and headless checks.
// Usage: korvana-cli [--port P] [--lang N] [--verbose] COMMAND [ARGS…]
#include "cli.h"
#include "cli_connect.h"

#include <app/data/historystore.h>
#include <app/device/historyrecorder.h>
#include <app/platform/buildinfo.h>
#include <app/platform/log.h>
#include <app/platform/lpgthreadmanager.h>
#include <app/platform/porttable.h>
#include <app/platform/serialdiagnosis.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

const std::vector<CliCommand>& cliCommands()
{
    static const std::vector<CliCommand> commands = {
        { "ports", "", "list the present serial ports: number, path, description", cmdPorts },
        { "raw", "TYPE [HEX]", "one exchange: request type TYPE (decimal), payload HEX; prints the answer", cmdRaw },
        { "info", "[--json] [--demo]", "connect, read every block and print the identity and counters", cmdInfo },
        { "live", "[--count N] [--osc FILE] [--demo]", "poll live readings: one line per record, or record FILE.osc",
          cmdLive },
        { "errors", "[--clear] [--demo]", "the controller's stored errors, one per line; --clear clears them",
          cmdErrors },
        { "switch", "petrol|lpg|auto [--demo]", "switch the controller's fuel mode", cmdSwitch },
        { "backup", "FILE.settings [--demo]",
          "connect, read every block and save them to a settings file (not when a block could not be read)",
          cmdBackup },
        { "restore", "FILE.settings --yes [--clamp] [--demo]",
          "write a settings file into the controller; values outside the pages' ranges refuse it, or --clamp "
          "moves them into range",
          cmdRestore },
        { "get", "KEY [--demo]", "one setting by its settings-file key, as the settings pages show it", cmdGet },
        { "set", "KEY VALUE [KEY VALUE ...] [--demo]",
          "change settings by key with the pages' ranges; each changed block written once and read back", cmdSet },
        { "diff", "A.settings [B.settings] [--demo]",
          "settings that differ between a file and the controller (or two files): key TAB A TAB B", cmdDiff },
        { "factory-reset", "[--yes] [--demo]", "restore the factory settings (asks; --yes answers Yes)",
          cmdFactoryReset },
        { "settings-dump", "FILE.settings", "offline: read a settings file and print its values in key order",
          cmdSettingsDump },
        { "afm-info", "FILE.afm", "offline: check a firmware file and print its version, model and size", cmdAfmInfo },
        { "obd", "[--json] [--connect] [--vin] [--demo]",
          "the car's engine computer: protocol, standard, address and the eight OBD readings; --vin: the car's VIN",
          cmdObd },
        { "dtc", "[--clear --yes] [--demo]", "the car's stored OBD trouble codes, one per line; --clear clears them",
          cmdDtc },
        { "flash", "FILE.afm [--yes]", "program the controller with a firmware file; --yes allows an older version",
          cmdFlash },
        { "calibrate", "[--per-cylinder] [--yes] [--demo]",
          "idle autocalibration of the main correction; --yes starts it, Ctrl+C stops it", cmdCalibrate },
        { "map", "get [--csv] | set FILE.csv | step ROW COL ROWS COLS DELTA [--neighbours]  [--demo]",
          "the injection map: print it, write it from a CSV file, or step a block as Ctrl+Up/Down does", cmdMap },
        { "automap", "[--write] [--demo]",
          "the correction curve from the petrol and LPG maps: coverage, old, change, new; --write writes it",
          cmdAutomap },
        { "maps", "[--csv] [--demo]", "the petrol and LPG maps of the 2D chart as pressure bins", cmdMaps },
        { "osc2csv", "IN.osc [OUT.csv]", "offline: a diagnostic recording as CSV (to stdout without OUT)",
          cmdOsc2Csv },
        { "history", "[--serial S] [--json] | show ID | diff ID [ID2] | restore ID [--only GROUP...] [--force] --yes"
                     " | export ID FILE.settings | note ID TEXT",
          "the restore points kept of every controller: list, show, compare, put back, export, annotate",
          cmdHistory },
    };
    return commands;
}

namespace {

void printHelp()
{
    std::cout << "usage: korvana-cli [--port P] [--lang N] [--verbose] [--no-history] COMMAND [ARGS...]\n"
                 "       korvana-cli --help | --version\n"
                 "  --port P   the port: a number (3 or COM3) or a device path (/dev/ttyUSB0); given\n"
                 "             more than once, the search tries exactly those ports, all at once\n"
                 "  --lang N   language of the messages, 0 ... 19 (0 Polish, 1 English); default: the locale's\n"
                 "  --verbose  the log on stderr as well (it always goes to "
              << defaultLogPath()
              << ")\n"
                 "  --no-history  write even when no restore point can be kept (the history at\n"
                 "             "
              << CHistoryStore::defaultPath()
              << " does not work)\n"
                 "commands:\n";
    for (const auto& c : cliCommands())
        std::cout << "  " << c.name << (*c.usage ? " " : "") << c.usage << "\n      " << c.summary << "\n";
    std::cout << "exit codes: 0 done, 1 failed, 2 bad usage, 3 failed after the controller was changed\n"
              << kLicenceLine;
}

// Whatever a command printed must have reached standard output: a full disk
// or a closed pipe behind it is a failure, not an empty "success".
int checkStandardOutput(int status)
{
    errno = 0;
    std::cout.flush();
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (flushed && !std::ferror(stdout) && std::cout.good())
        return status;
    failed(std::string("cannot write to standard output")
        + (error != 0 ? std::string(": ") + std::strerror(error) : std::string()));
    return status == kExitOk ? kExitFailed : status;
}

} // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    // The same bytes as on Linux, so scripts read one format: UTF-8 and bare
    // line feeds, which the console shows as they are.
    ::SetConsoleOutputCP(CP_UTF8);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    ::_setmode(::_fileno(stdin), _O_BINARY);
#endif
    CPortTable ports;
    addEnvironmentPorts(ports);
    const CSerialDiagnosis diagnosis;
    CliContext context;
    context.ports = &ports;
    context.diagnosis = &diagnosis;
    std::string command;
    bool verbose = false;
    bool portGiven = false;
    bool noHistory = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printHelp();
            return kExitOk;
        }
        if (arg == "--version") {
            std::cout << versionText("korvana-cli");
            return kExitOk;
        }
        if (arg == "--verbose" || arg == "-v") {
            verbose = true;
            continue;
        }
        if (arg == "--no-history") {
            noHistory = true;
            continue;
        }
        if (arg == "--port" || arg.rfind("--port=", 0) == 0) {
            if (arg == "--port" && i + 1 >= argc)
                return usageError(command, "--port needs a value");
            context.searchPorts.push_back(arg == "--port" ? argv[++i] : arg.substr(std::strlen("--port=")));
            portGiven = true;
            continue;
        }
        if (command.empty() && arg == "--lang") {
            int index = -1;
            const std::string value = i + 1 < argc ? argv[++i] : "";
            if (value.empty() || value.size() > 2 || value.find_first_not_of("0123456789") != std::string::npos
                || (index = std::stoi(value)) > 19)
                return usageError(command, "--lang takes a language index 0 ... 19, not '" + value + "'");
            setCliLanguage(index);
            continue;
        }
        if (command.empty()) {
            if (arg.rfind("--", 0) == 0)
                return usageError(command, "unknown option " + arg);
            command = arg;
        } else {
            context.args.push_back(arg);
        }
    }
    if (command.empty())
        return usageError(command, "no command given");
    LogOptions log;
    log.file = defaultLogPath();
    log.toStderr = verbose;
    configureLog(log);
    std::string line = "korvana-cli";
    for (int i = 1; i < argc; ++i)
        line += std::string(" ") + argv[i];
    logInfo("cli", line);
    // Messages that come from the program's texts follow its language.
    initCliLanguage();
    installWriteSignals();
    // Every connection and every write leaves its restore points.
    static CHistoryRecorder history(CHistoryStore::defaultPath(),
        noHistory ? CHistoryRecorder::WithoutHistory::Allow : CHistoryRecorder::WithoutHistory::Refuse);
    CHistoryRecorder::install(&history);
    std::string why;
    for (const auto& port : context.searchPorts) {
        if (!isPortArgument(port, why))
            return usageError(command, why);
    }
    if (portGiven)
        context.port = context.searchPorts.front();
    // One --port means that port alone, as it always did.
    if (context.searchPorts.size() < 2)
        context.searchPorts.clear();
    for (const auto& c : cliCommands()) {
        if (command == c.name) {
            const int status = checkStandardOutput(c.run(context));
            logInfo("cli", command + " ended with status " + std::to_string(status));
            // Polling threads end the process through the thread manager: it must end with this status.
            setExitStatus(status);
            return status;
        }
    }
    return usageError("", "unknown command " + command);
}
