// SPDX-License-Identifier: GPL-3.0-or-later
// The few POSIX names the core's file and time code uses that the Windows C
// runtime spells otherwise. Empty on POSIX systems. Include after <fcntl.h>,
// <string.h> and <time.h>.
#pragma once

#ifdef _WIN32
#include <cstring>
#include <ctime>
#include <fcntl.h>

// Descriptors of plain files: nothing to block on and no terminal to become
// the controlling one; "close on exec" is Windows' "not inherited".
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef O_NOCTTY
#define O_NOCTTY 0
#endif
#ifndef O_CLOEXEC
#define O_CLOEXEC _O_NOINHERIT
#endif

// The XSI form: 0, or the error number.
inline int strerror_r(int error, char* buffer, std::size_t size)
{
    return strerror_s(buffer, size, error);
}

inline std::time_t timegm(std::tm* tm)
{
    return _mkgmtime(tm);
}
#endif
