// SPDX-License-Identifier: GPL-3.0-or-later
// What the Windows twins of the platform code share: UTF-8 paths to the wide
// ones Win32 takes and back, and system errors told as numbers and words.
// Windows only.
#pragma once

#include <cstdint>
#include <string>

// UTF-8 to UTF-16 (invalid bytes become U+FFFD).
std::wstring widen(const std::string& utf8);
// UTF-16 to UTF-8.
std::string narrow(const std::wstring& wide);
// "e (message)" for a GetLastError() value, the message in the system's words.
std::string win32ErrorText(uint32_t error);
// The errno the POSIX code would have seen for a GetLastError() value of a
// failed open: ENOENT for no such port, EBUSY for one another program holds,
// EACCES, else EIO.
int errnoOfWin32(uint32_t error);
