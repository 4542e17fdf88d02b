// SPDX-License-Identifier: GPL-3.0-or-later
// Wide texts to UTF-8 for terminals, logs and paths; invalid code points become U+FFFD.
#pragma once

#include <string>

std::string toUtf8(const std::wstring& text);
