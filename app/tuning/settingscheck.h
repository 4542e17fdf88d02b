// SPDX-License-Identifier: GPL-3.0-or-later
// A settings image loaded from a file, checked against what the pages allow
// before any of it reaches a controller: every setting of the settings pages
// (their ranges and paired limits), the main corrections (−3.0 … 6.0 ms), the
// correction curves and the injection map cells (−50 … +50 %), and the numbers
// no page edits within what their field of the controller's block can hold.
// With the reader's report, the lines that were no number or did not fit
// their member come first; those are never clamped. A damaged or edited file
// must not send a 100 000 rpm switch-over or a +155 % map cell without a word.
#pragma once

#include <app/data/settingsimage.h>
#include <app/data/settingsio.h>

#include <cstdint>
#include <string>
#include <vector>

struct CSettingProblem {
    std::string key; // settings-file key
    std::wstring value; // in the unit the pages show; a line the reader could not take: as the file holds it
    std::wstring allowed; // "500 … 4000 rpm, step 20", or why the line could not be taken
    int line = 0; // in the file; 0 when not known
    bool clampable = true; // false: no number, or a number its member cannot hold
};

// A value clamping moved, both in the unit the pages show.
struct CSettingMove {
    std::string key;
    std::wstring from;
    std::wstring to;
};

// Every problem: the report's lines and the values outside their ranges;
// empty when all are allowed. With a report the problems carry their line
// numbers and come in the file's order; without, in the table's order.
std::vector<CSettingProblem> checkLoadedSettings(const CSettingsImage& image,
                                                 const CSettingsReadReport* report = nullptr);
// Moves every value outside its range to the nearest allowed one (a value
// that is no number to the neutral one); afterwards checkLoadedSettings
// finds nothing. Returns what it moved, in the order of the check.
std::vector<CSettingMove> clampLoadedSettings(CSettingsImage& image);
// Whether clamping can settle every problem (none comes from a line the reader could not take).
bool allClampable(const std::vector<CSettingProblem>& problems);
// "key (line N): value (range)" lines, "key = value (range)" without a line
// number, one per problem; past maxLines one "… +N" line stands for the rest
// (a message box cannot show a whole damaged map).
std::wstring describeProblems(const std::vector<CSettingProblem>& problems, std::size_t maxLines = SIZE_MAX);
// "KEY: FROM → TO".
std::wstring describeMove(const CSettingMove& move);
// describeMove lines, one per move.
std::wstring describeMoves(const std::vector<CSettingMove>& moves);
