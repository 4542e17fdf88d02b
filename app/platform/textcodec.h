// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions between the program's wide texts and UTF-8 for terminals, paths and logs.
#pragma once

#include <errkit/utf8.h>

#include <string>
#include <string_view>

std::wstring fromUtf8(const std::string& text);

// Text read from a file, fit to be quoted in a message: control characters
// (C0, DEL and C1) and bytes that are not UTF-8 are shown as \xNN, so a file
// can neither drive the terminal that shows the message (an ESC sequence
// recolours or retitles it) nor make the message itself invalid UTF-8.
std::string escapeControls(std::string_view text);
std::wstring escapeControls(std::wstring_view text);
