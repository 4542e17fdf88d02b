// SPDX-License-Identifier: GPL-3.0-or-later
// Tool tips of the push buttons whose few words say less than the click does:
// what it reads or writes, and whether it asks first. Keyed by the button's
// untranslated text; a page whose button does something else under the same
// text gives its own tip through the "tipSource" property.
#pragma once

#include <string>

class QWidget;

// The translated tip of a button with that untranslated text; empty for none.
std::wstring buttonTip(const std::wstring& text);
// Every push button under root again in the current language.
void refreshButtonTips(QWidget* root);
// A tip of this button's own (untranslated), kept across language changes.
void setOwnButtonTip(QWidget* button, const wchar_t* tip);

// The tip of an up-down pair beside a value that is written at once.
inline constexpr const wchar_t* kStepButtonTip = L"Zmienia wartość obok o jeden krok i od razu wpisuje ją do sterownika.";
