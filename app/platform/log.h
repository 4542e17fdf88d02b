// SPDX-License-Identifier: GPL-3.0-or-later
// The program's log: levels, time stamps and the writing thread, one line per
// entry. The program and the CLI configure where it goes (a rotated file under
// $XDG_STATE_HOME/korvana/, stderr with --verbose); until then entries reach
// only the extra sinks that tests add. Safe to call from any thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

class IError;

enum class LogLevel { Error = 0, Warning = 1, Info = 2, Debug = 3 };

struct LogOptions {
    // Empty: no file. The folder is created when missing.
    std::string file;
    bool toStderr = false;
    // Entries above this level are dropped from the file and stderr.
    LogLevel level = LogLevel::Debug;
    // The file is rotated (file.1 … file.<keep − 1>) when a line would take it past maxBytes.
    std::size_t maxBytes = 1024 * 1024;
    int keep = 5;
};

// $XDG_STATE_HOME/korvana/korvana.log, else $HOME/.local/state/korvana/korvana.log.
std::string defaultLogPath();

// Replaces the file and stderr settings; the open file (if any) is closed first.
void configureLog(const LogOptions& options);
const LogOptions& logOptions();

// subsystem is a short prefix: "link", "poll", "conn", "doc", "fw", "gui", "cli" …
void logMessage(LogLevel level, const char* subsystem, const std::string& text);
void logMessage(LogLevel level, const char* subsystem, const std::wstring& text);

inline void logError(const char* subsystem, const std::string& text) { logMessage(LogLevel::Error, subsystem, text); }
inline void logWarning(const char* subsystem, const std::string& text) { logMessage(LogLevel::Warning, subsystem, text); }
inline void logInfo(const char* subsystem, const std::string& text) { logMessage(LogLevel::Info, subsystem, text); }
inline void logDebug(const char* subsystem, const std::string& text) { logMessage(LogLevel::Debug, subsystem, text); }

// An error that is not shown to the user: where names the catch site
// ("CLPGDevice::connectOnPort"); the error's whole formatted report follows.
void logSwallowed(const char* subsystem, const char* where, const IError& error);

// Extra receivers of every formatted line (tests, a future log window).
// The sink is called on the logging thread, outside the log's lock.
using LogSink = std::function<void(LogLevel level, const std::string& line)>;
int addLogSink(LogSink sink);
void removeLogSink(int id);
