// SPDX-License-Identifier: GPL-3.0-or-later
// The program-wide text translation: takes a Polish text, returns the text to
// show in the current language (languages.h), with "CNG" for the first "LPG"
// while the fuel-word flag is set. Texts stay Polish until initLanguages()
// has run. Safe to call from any thread.
#pragma once

#include <string>

std::wstring translate(const std::wstring& text);

// Test seam: while set, every text asked for is handed to the observer first,
// on the asking thread (so the observer must be thread-safe). Unset (null),
// translate() pays one atomic load for it.
using TranslateObserver = void (*)(const std::wstring& text);
void setTranslateObserver(TranslateObserver observer);
