// SPDX-License-Identifier: GPL-3.0-or-later
// The common part of an error class whose own parts are only its name and its
// message table:
//     class CRunTime : public TError<CRunTime> {
//     public:
//         using TError::TError;
//         static constexpr const wchar_t* kName = L"CRunTime";
//         static void messages(std::vector<std::wstring>& table);
//     };
#pragma once

#include <errkit/ierror.h>

#include <cstdint>
#include <string>
#include <vector>

template <class Derived> class TError : public IError {
public:
    TError() { TError::setMsgs(); }
    explicit TError(IError* prev)
        : IError(prev)
    {
        TError::setMsgs();
    }
    TError(uint32_t code, const wchar_t* text, int32_t line, const wchar_t* file)
        : IError(code, text, line, file)
    {
        TError::setMsgs();
    }
    TError(uint32_t code, const wchar_t* text, IError* prev, int32_t line, const wchar_t* file)
        : IError(code, text, prev, line, file)
    {
        TError::setMsgs();
    }

    std::wstring name() const override { return Derived::kName; }

protected:
    void setMsgs() override { Derived::messages(m_messages); }
};
