// SPDX-License-Identifier: GPL-3.0-or-later
// The user's default language as a Windows-style language identifier
// (primary language | sublanguage << 10): 0x0415 Polish, 0x0407 German,
// 0x040C French …, taken from the locale of LC_ALL, LC_MESSAGES or LANG, the
// first that is set and not empty.
#pragma once

#include <cstdint>
#include <string_view>

// "language[_TERRITORY][.codeset][@modifier]" to its identifier; the language
// alone gives its default sublanguage; "C", "POSIX", empty and unknown
// languages give 0x0409 (English, United States).
uint16_t langIdForLocale(std::string_view locale);

uint16_t userDefaultLangId();
