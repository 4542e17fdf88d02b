// Conversions between the program's wide texts and UTF-8 for terminals, paths and logs.
#pragma once

#include <string>

std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);
