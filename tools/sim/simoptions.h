// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's command line.
#pragma once

#include <tools/sim/controller.h>
#include <tools/sim/faultinjector.h>

#include <optional>
#include <string>
#include <vector>

struct SimOptions {
    SimConfig config;
    std::string link; // --link PATH
    std::string state; // --state FILE
    bool pace = false;
    double timeScale = 1.0;
    FaultKind fault = FaultKind::None;
    double faultRate = 0;
    // Identity options given explicitly (they do not override a state file).
    std::vector<std::string> identityGiven;
    // --version without a value: print the program's version and exit.
    bool printVersion = false;
};

// Parses argv; returns nullopt with message set for bad usage or --help
// (help then true).
std::optional<SimOptions> parseSimOptions(const std::vector<std::string>& args, std::string& message, bool& help);

extern const char* const kSimUsage;
