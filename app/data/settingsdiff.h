// SPDX-License-Identifier: GPL-3.0-or-later
// Two settings images compared key by key, each value in the settings pages'
// format and unit where the table knows the key, else as the settings file
// writes it: what a customer's car holds that a saved file does not.
#pragma once

#include <app/data/settingsimage.h>

#include <string>
#include <utility>
#include <vector>

struct CSettingDifference {
    std::string key;
    std::string a; // UTF-8
    std::string b;
};

// Every key of the settings file with the value as the pages show it (table keys) or as the file writes it.
std::vector<std::pair<std::string, std::string>> shownSettings(const CSettingsImage& image);

// The keys whose file values differ, in file order. The save time never
// counts; withController leaves out the identity, its counters and the car
// description, which are no settings a controller holds.
std::vector<CSettingDifference> compareSettings(const CSettingsImage& a, const CSettingsImage& b, bool withController);

// How the pages name a key of compareSettings: "Ustawienia › Temperatura
// przełączenia" (translated), and the unit the page shows beside a value that
// does not carry its own (the table's spins carry theirs). An empty name when
// no page names the key.
struct CShownSettingName {
    std::wstring name;
    std::wstring unit;
};
CShownSettingName shownSettingName(const std::string& key);

// A settings file read for comparing: besides what the reader takes, the four
// advanced-setup keys a file may carry (loading leaves them to the live image).
bool readSettingsForComparison(const std::string& path, CSettingsImage& image);
