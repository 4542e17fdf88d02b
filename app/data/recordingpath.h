// The paths the polling thread is given to record live readings to.
#pragma once

#include <string>

// What a polling start passes when nothing is to be recorded: no file can be
// opened under this name, so the thread records nothing.
inline constexpr const char* kNoRecordingPath = "\\";

// Whether path may name a diagnostic recording: its last three characters are "osc".
inline bool endsWithOsc(const std::string& path)
{
    return path.size() >= 3 && path.compare(path.size() - 3, 3, "osc") == 0;
}
