// SPDX-License-Identifier: GPL-3.0-or-later
// Run-time errors of general code (range, memory, unimplemented operations).
#pragma once

#include <errkit/ierror.h>

class CRunTime : public IError {
public:
    CRunTime();
    explicit CRunTime(IError* prev);
    CRunTime(uint32_t code, const wchar_t* text, int32_t line, const wchar_t* file);
    CRunTime(uint32_t code, const wchar_t* text, IError* prev, int32_t line, const wchar_t* file);
    CRunTime(const CRunTime& other) = default;
    CRunTime& operator=(const CRunTime& other) = default;
    ~CRunTime() override = default;

    std::wstring name() const override;

protected:
    void setMsgs() override;
};
