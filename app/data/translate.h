// The program-wide text translation: takes a Polish text, returns the text to show.
// Safe to call from any thread.
#pragma once

#include <string>

std::wstring translate(const std::wstring& text);
