// SPDX-License-Identifier: GPL-3.0-or-later
// The program's command line.
//   --demo            skip the controller search and start in demo mode
//   --port PATH       add a serial port (repeatable), e.g. the simulator's pseudo-terminal
//   --lang N          start in language N (0 Polish, 1 English …, 0 … 19)
//   --page N          start on page N (0 Odczyty … 6 Info)
//   --subpage N       with --page 4: show tuning page N of "Mapa" (0 … 3)
//   --dialog NAME     open the dialog behind "Wskazanie" (level), "Konsolka" (console) or
//                     "Historia" (history: the controller's first point against it now) at start
//   --size WxH        window size in pixels
//   --verbose         the log also on stderr
//   --screenshot FILE save the main window (or the no-connection dialog) as PNG, then exit
//   --dump-ui FILE    describe the visible windows as JSON when the screenshot is taken
//   --quit-after MS   exit after MS milliseconds (with --screenshot: save it then)
//   FILE              a file to open once the window shows (a recording plays back)
//   --report FILE     write the customer's report as PDF without a window, then exit
//   --version         print the version, the commit and the licence
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct SAppOptions {
    bool demo = false;
    std::vector<std::string> ports;
    std::optional<int> language;
    std::string screenshot;
    std::string dumpUi;
    std::optional<int> quitAfterMs;
    std::string report; // --report OUT.pdf
    std::optional<int> page;
    std::optional<int> subPage;
    std::string dialog; // "", "level", "console" or "history"
    std::optional<std::pair<int, int>> size;
    bool verbose = false;
    bool help = false;
    std::vector<std::string> files;
    bool version = false;
};

// args without the program name. nullopt with error set for bad usage.
std::optional<SAppOptions> parseAppOptions(const std::vector<std::string>& args, std::string& error);

extern const char* const kAppUsage;
