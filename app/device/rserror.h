// SPDX-License-Identifier: GPL-3.0-or-later
// Errors of the serial port: code 5 when a port cannot be opened, code 6 when
// an operation on an open port fails. Thrown as a heap pointer through
// CSerialPort's _throw; whoever catches it (as IError*) owns and deletes it.
#pragma once

#include <errkit/ierror.h>

class CRSError : public IError {
public:
    CRSError();
    explicit CRSError(IError* prev);
    CRSError(uint32_t code, const wchar_t* text, int32_t line, const wchar_t* file);
    CRSError(uint32_t code, const wchar_t* text, IError* prev, int32_t line, const wchar_t* file);
    CRSError(const CRSError& other) = default;
    CRSError& operator=(const CRSError& other) = default;
    ~CRSError() override = default;

    std::wstring name() const override;

protected:
    void setMsgs() override;
};
