// SPDX-License-Identifier: GPL-3.0-or-later
// The settings-file writer and reader: a whole settings image as the 449
// "key TAB value" lines of a .settings file.
#pragma once

#include <app/data/settingsimage.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

// The 449 lines of a settings file in their order: key and value text.
std::vector<std::pair<std::wstring, std::wstring>> settingsLines(const CSettingsImage& image);

// Writes every line into a temporary file and replaces path only when all of
// them were written whole; false when the file cannot be written.
bool writeSettings(const std::string& path, const CSettingsImage& image);

// A line whose value the reader took other than as it stands: no number at
// all ("nan", "0,3", "", read as 0 or its number prefix), or a number its
// member cannot hold (a byte member given 99999 keeps its low 8 bits).
struct CSettingsLineProblem {
    enum Kind { NotANumber, DoesNotFit };
    std::wstring key;
    int line = 0; // from 1
    std::wstring value; // as the file holds it
    Kind kind = NotANumber;
    double lo = 0, hi = 0; // DoesNotFit of an integer member: what it holds; 0, 0 for a number beyond a double
};

// What readSettings can tell besides the image.
struct CSettingsReadReport {
    std::vector<CSettingsLineProblem> rejected; // in line order
    std::map<std::wstring, int> lines; // the line each key read was found on

    int lineOf(const std::wstring& key) const; // 0 when the key was not read
};

// Reads path into image. False when the file cannot be opened or a required
// key is missing; the members read before the missing key keep their new values,
// so callers read into a separate image. Values are taken as they always were;
// report, when given, lists the lines that were not taken as they stand.
bool readSettings(const std::string& path, CSettingsImage& image, CSettingsReadReport* report = nullptr);
