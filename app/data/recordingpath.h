// SPDX-License-Identifier: GPL-3.0-or-later
// The paths the polling thread is given to record live readings to.
#pragma once

#include <ctime>
#include <string>

struct CCarInfo;

// What a polling start passes when nothing is to be recorded: no file can be
// opened under this name, so the thread records nothing.
inline constexpr const char* kNoRecordingPath = "\\";

// Whether path may name a diagnostic recording: its last three characters are "osc".
inline bool endsWithOsc(const std::string& path)
{
    return path.size() >= 3 && path.compare(path.size() - 3, 3, "osc") == 0;
}

// The name a new recording is offered: the controller's serial, the car (make
// and model reduced to letters, digits and '-') when known, and the local date
// and time, e.g. "SIM0412345_Skoda-Octavia_2026-12-08_14-05-09.osc".
std::string defaultRecordingName(const std::wstring& serial, const CCarInfo& car, const std::tm& when);
// Text reduced to ASCII letters, digits and single '-' between words; common
// accented Latin letters lose their accents, anything else is dropped.
std::string fileNamePart(const std::wstring& text);
