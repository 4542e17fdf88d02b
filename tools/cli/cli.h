// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli: the command table and what every command shares. A command
// gets the parsed global options and its own arguments and returns the exit
// code: 0 done, 1 failed (reason on stderr), 2 bad usage, 3 failed with the
// controller left changed (what it holds said on stderr).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CErrorGuard;
class CLPGDevice;
class CSerialDiagnosis;
class IPortTable;
struct CWriteReport;
struct CLeftChanged;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// The controller was changed and the command still failed (the report says what it holds).
constexpr int kExitChanged = 3;

struct CliContext {
    std::string port; // the --port value as given; empty when absent; the first of several
    // Every --port value when more than one was given: the search tries exactly these.
    std::vector<std::string> searchPorts;
    std::vector<std::string> args;
    IPortTable* ports = nullptr;                 // the run's COM numbers (main's)
    const CSerialDiagnosis* diagnosis = nullptr; // why a port cannot be used (main's)
};

struct CliCommand {
    const char* name;
    const char* usage;   // arguments after the name
    const char* summary; // one line for the help text
    int (*run)(const CliContext&);
};

// The command table (main.cpp).
const std::vector<CliCommand>& cliCommands();

int cmdPorts(const CliContext& context);
int cmdRaw(const CliContext& context);
// Connection and live readings (cmd_info.cpp, cmd_live.cpp, cmd_errors.cpp, cmd_switch.cpp).
int cmdInfo(const CliContext& context);
int cmdLive(const CliContext& context);
int cmdErrors(const CliContext& context);
int cmdSwitch(const CliContext& context);
int cmdBackup(const CliContext& context);
int cmdRestore(const CliContext& context);
int cmdFactoryReset(const CliContext& context);
int cmdSettingsDump(const CliContext& context);
// Single settings by key and comparisons (cmd_setting.cpp).
int cmdGet(const CliContext& context);
int cmdSet(const CliContext& context);
int cmdDiff(const CliContext& context);
// The car's engine computer through the controller (cmd_obd.cpp).
int cmdObd(const CliContext& context);
int cmdDtc(const CliContext& context);
// Firmware files and programming (cmd_firmware.cpp).
int cmdAfmInfo(const CliContext& context);
int cmdFlash(const CliContext& context);
// The idle autocalibration (cmd_calibrate.cpp).
int cmdCalibrate(const CliContext& context);
// The injection map (cmd_map.cpp).
int cmdMap(const CliContext& context);
// The 2D chart's maps and the correction computed from them (cmd_automap.cpp).
int cmdAutomap(const CliContext& context);
int cmdMaps(const CliContext& context);
// The restore points of every controller (cmd_history.cpp).
int cmdHistory(const CliContext& context);
// Diagnostic recordings as CSV (cmd_osc2csv.cpp).
int cmdOsc2Csv(const CliContext& context);

// Prints "korvana-cli: message" and the usage line of the command; returns 2.
int usageError(const std::string& command, const std::string& message);
// text (UTF-8) as a JSON string, quotes, backslashes and control characters escaped.
std::string jsonString(const std::string& text);
// Prints "korvana-cli: message" on stderr; returns 1.
int failed(const std::string& message);
// "cannot load the settings from the file: PATH", with why when the file was
// refused unread (no regular file, larger than the limit); returns 1.
int settingsReadFailed(const std::string& path);
// Prints a caught error object's meaning and text on stderr and logs it; returns 1.
int failed(const CErrorGuard& error);

// Whether a --port value has the form of a port (see resolvePort); message
// says why not. Checked before any command runs: a bad one is bad usage.
bool isPortArgument(const std::string& value, std::string& message);
// The COM number for a --port value: "3", "COM3" (any case), or a device path
// (anything with a '/'), which joins the port table. 0 when the value is none
// of these or the table is full; message then says why.
uint32_t resolvePort(IPortTable& ports, const std::string& value, std::string& message);

// Writes and what they show (cli_write.cpp).
// SIGINT, SIGTERM and SIGHUP: during a write they end it the way a failure
// does (put back, fuel mode given back); otherwise they end the tool.
void installWriteSignals();
// 0 when every block of blocks (CReadBlocks bits) was read from the
// controller; else names them on stderr and returns 1.
int requireRead(CLPGDevice& device, uint32_t blocks);
// A write that did not end well: its report on stderr; when the link was lost,
// what the car was left with and the commands that put it back. Returns the
// exit code (0 done, 1 nothing changed, 3 changed).
int writeFailed(const CWriteReport& report, CLPGDevice& device);
// The same for a report the core has shown already: only what the car was left with.
int leftChangedExit(const CWriteReport& report, CLPGDevice& device);
// What a lost link left, with the commands that put it back; returns 3.
int printLeftChanged(const CLeftChanged& left);
