// SPDX-License-Identifier: GPL-3.0-or-later
// Error class of the threads library. The library raises it with codes that lie
// outside its message table (-1, and -2 when a thread cannot be started), so a
// report shows message 0 and the failing operation's name as its text.
#pragma once

#include <errkit/errorclass.h>

#include <cstdint>

class CThreadError : public TError<CThreadError> {
public:
    // The codes the library raises, as the unsigned code member holds them.
    static constexpr uint32_t kFailed = static_cast<uint32_t>(-1);
    static constexpr uint32_t kCreateFailed = static_cast<uint32_t>(-2);

    using TError::TError;
    static constexpr const wchar_t* kName = L"CThreadError";
    static void messages(std::vector<std::wstring>& table);
};
