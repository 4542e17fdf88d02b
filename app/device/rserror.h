// SPDX-License-Identifier: GPL-3.0-or-later
// Errors of the serial port: code 5 when a port cannot be opened, code 6 when
// an operation on an open port fails. Thrown as a heap pointer through
// CSerialPort's _throw; whoever catches it (as IError*) owns and deletes it.
#pragma once

#include <errkit/errorclass.h>

class CRSError : public TError<CRSError> {
public:
    using TError::TError;
    static constexpr const wchar_t* kName = L"CRSError";
    static void messages(std::vector<std::wstring>& table);
};
