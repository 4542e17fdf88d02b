// Conversions between the program's wide texts and UTF-8 for terminals, paths and logs.
#pragma once

#include <errkit/utf8.h>

#include <string>

std::wstring fromUtf8(const std::string& text);
