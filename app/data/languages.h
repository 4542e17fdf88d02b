// SPDX-License-Identifier: GPL-3.0-or-later
// The program-wide language state behind translate(): the twenty language
// slots, the current language index and the fuel-word flag. Language indices
// are those of the language menu (0 Polish, 1 English, 2 Russian …).
// Every function may be called from any thread.
#pragma once

#include <app/data/langfile.h>

#include <cstdint>
#include <filesystem>

constexpr int kLangSlotCount = 20;
constexpr int kLanguageCount = 20; // indices 0 … 19

// Slot 0 … 19; null outside.
CLangFile* langSlot(int slot);
// The slot that translates language index; −1 when texts are shown as written
// (Polish, index 10, or an index outside 0 … 19).
int langSlotOfIndex(int languageIndex);

// Opens the fifteen language files of dir into their slots in the start-up
// order ("SPAIN.txt" twice), each read when first needed; a missing file
// leaves its slot closed.
void openLanguageFiles(const std::filesystem::path& dir);
// Start-up: the files of "KOR_LANG" beside the program, then the current index
// from the user's locale.
void initLanguages();

// The index the user's language identifier starts the program in.
int languageIndexForLangId(uint16_t langId);

// 0 (Polish) until initLanguages or the language menu sets it.
int currentLanguage();
void setCurrentLanguage(int languageIndex);

// While set, translate() shows "CNG" for the first "LPG" of every text.
bool fuelWordFlag();
void setFuelWordFlag(bool cng);
// Mirrors bit 0x08 of m_advancedSetup.m_advancedFlags; called whenever that
// block is read from or written to the controller.
void mirrorFuelWordFlag(uint8_t advancedFlags);
