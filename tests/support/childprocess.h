// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a built program for a test and collects its exit code and output,
// killing it when it outlives the time-out (so a hanging tool fails the test
// instead of hanging it).
#pragma once

#include <chrono>
#include <string>
#include <vector>

struct ProgramResult {
    int exitCode = -1; // -1 when it did not exit normally
    bool timedOut = false;
    std::string out;
    std::string err;
};

// Where the program's standard output goes.
enum class ProgramStdout {
    Captured, // into ProgramResult::out
    Full, // /dev/full: every write fails as on a full disk
    // A pipe whose reader has gone, SIGPIPE blocked as under a parent that
    // ignores it: every write fails with EPIPE.
    ClosedPipe,
};

// path gets args as argv[1…]; env entries ("NAME=value") are added to the
// inherited environment, replacing variables of the same name.
ProgramResult runProgram(const std::string& path, const std::vector<std::string>& args,
                         std::chrono::milliseconds timeout, const std::vector<std::string>& env = {},
                         ProgramStdout output = ProgramStdout::Captured);
