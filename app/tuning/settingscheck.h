// A settings image loaded from a file, checked against what the pages allow
// before any of it reaches a controller: every setting of the settings pages
// (their ranges and paired limits), the main corrections (−3.0 … 6.0 ms) and
// the injection map cells (−50 … +50 %). A damaged or edited file must not
// send a 100 000 rpm switch-over or a +155 % map cell without a word.
#pragma once

#include <app/data/settingsimage.h>

#include <cstdint>
#include <string>
#include <vector>

struct CSettingProblem {
    std::string key; // settings-file key
    std::wstring value; // in the unit the pages show
    std::wstring allowed; // "500 … 4000 rpm, step 20"
};

// Every value outside its range, in file order of the table; empty when all are allowed.
std::vector<CSettingProblem> checkLoadedSettings(const CSettingsImage& image);
// Moves every value outside its range to the nearest allowed one.
void clampLoadedSettings(CSettingsImage& image);
// "key = value (range)" lines, one per problem; past maxLines one "… +N" line
// stands for the rest (a message box cannot show a whole damaged map).
std::wstring describeProblems(const std::vector<CSettingProblem>& problems, std::size_t maxLines = SIZE_MAX);
