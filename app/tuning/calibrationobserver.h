// SPDX-License-Identifier: GPL-3.0-or-later
// What an autocalibration run tells whoever shows it: the coloured log lines,
// the progress bar, the main corrections that changed and whether a run is in
// progress. The page, the CLI and the tests implement it; every call comes on
// the thread that runs the procedure.
#pragma once

#include <cstdint>
#include <string>

// Log colours, Windows colour values 0x00BBGGRR.
constexpr uint32_t kCalibrationInfoColour = 0xB4FFFF; // information and errors, light yellow
constexpr uint32_t kCalibrationSuccessColour = 0x76F0B4; // success, light green

class ICalibrationObserver {
public:
    virtual ~ICalibrationObserver() = default;

    virtual void clearLog() = 0;
    // One line, already translated.
    virtual void logLine(const std::wstring& text, uint32_t colour) = 0;
    // Progress bar position, 0 … 1000.
    virtual void progress(int position) = 0;
    // The eight main corrections of the image changed (and were sent).
    virtual void mainCorrectionsChanged() { }
    // A run began or ended: the page enables or disables its start button.
    virtual void runningChanged(bool running) { (void)running; }
};
