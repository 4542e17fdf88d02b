// SPDX-License-Identifier: GPL-3.0-or-later
// Run-time errors of general code (range, memory, unimplemented operations).
#pragma once

#include <errkit/errorclass.h>

class CRunTime : public TError<CRunTime> {
public:
    using TError::TError;
    static constexpr const wchar_t* kName = L"CRunTime";
    static void messages(std::vector<std::wstring>& table);
};
