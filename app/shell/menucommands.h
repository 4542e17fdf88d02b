// SPDX-License-Identifier: GPL-3.0-or-later
// Command ids of the main menu and the language items with the language index
// each one selects.
#pragma once

#include <array>

namespace MenuCmd {

constexpr int kSaveSettings = 32773;
constexpr int kReadSettings = 32774;
constexpr int kRestoreFactory = 32775;
constexpr int kFirstLanguage = 32776; // … 32790, in the order of kLanguageItems
constexpr int kLastLanguage = 32790;
constexpr int kDeviceUpdate = 32793;
constexpr int kDocumentation = 32794;
constexpr int kCompareSettings = 32795;
constexpr int kHistory = 32796;
constexpr int kCar = 32797;
constexpr int kReport = 32798;
constexpr int kWorkshop = 32799;
constexpr int kEditUndo = 32800;
constexpr int kEditRedo = 32801;
constexpr int kHelpPage = 32802; // F1: the manual at the chapter of the page shown
constexpr int kFirstPageKey = 32810; // Ctrl+1 … Ctrl+7: the seven pages
constexpr int kNextPage = 32817; // Ctrl+Tab
constexpr int kPreviousPage = 32818; // Ctrl+Shift+Tab
// The framework's standard commands.
constexpr int kAppExit = 57665;
constexpr int kAppAbout = 57664;

struct SLanguageItem {
    const wchar_t* title;
    int languageIndex;
};

inline constexpr std::array<SLanguageItem, 15> kLanguageItems { {
    { L"Polski", 0 },
    { L"Angielski", 1 },
    { L"Rosyjski", 2 },
    { L"Włoski", 3 },
    { L"Niemiecki", 4 },
    { L"Tajski", 5 },
    { L"Francuski", 8 },
    { L"Chorwacki", 14 },
    { L"Serbski", 13 },
    { L"Bośniacki", 15 },
    { L"Hiszpański", 7 },
    { L"Grecki", 11 },
    { L"Słoweński", 19 },
    { L"Bułgarski", 18 },
    { L"Turecki", 6 },
} };

} // namespace MenuCmd
