// SPDX-License-Identifier: GPL-3.0-or-later
// Error class of the threads library. The library raises it with codes that lie
// outside its message table (-1, and -2 when a thread cannot be started), so a
// report shows message 0 and the failing operation's name as its text.
#pragma once

#include <errkit/ierror.h>

#include <cstdint>

class CThreadError : public IError {
public:
    // The codes the library raises, as the unsigned code member holds them.
    static constexpr uint32_t kFailed = static_cast<uint32_t>(-1);
    static constexpr uint32_t kCreateFailed = static_cast<uint32_t>(-2);

    CThreadError();
    explicit CThreadError(IError* prev);
    CThreadError(uint32_t code, const wchar_t* text, int32_t line, const wchar_t* file);
    CThreadError(uint32_t code, const wchar_t* text, IError* prev, int32_t line, const wchar_t* file);
    CThreadError(const CThreadError& other) = default;
    CThreadError& operator=(const CThreadError& other) = default;
    ~CThreadError() override = default;

    std::wstring name() const override;

protected:
    void setMsgs() override;
};
