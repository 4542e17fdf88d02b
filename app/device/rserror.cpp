// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/rserror.h>

#include <app/data/translate.h>

CRSError::CRSError()
{
    CRSError::setMsgs();
}

CRSError::CRSError(IError* prev)
    : IError(prev)
{
    CRSError::setMsgs();
}

CRSError::CRSError(uint32_t code, const wchar_t* text, int32_t line, const wchar_t* file)
    : IError(code, text, line, file)
{
    CRSError::setMsgs();
}

CRSError::CRSError(uint32_t code, const wchar_t* text, IError* prev, int32_t line, const wchar_t* file)
    : IError(code, text, prev, line, file)
{
    CRSError::setMsgs();
}

std::wstring CRSError::name() const
{
    return L"CRSError";
}

void CRSError::setMsgs()
{
    // Translated when the error is built, so a loaded language file may replace them.
    m_messages.push_back(translate(L"Nie można otworzyć portu RS."));
    m_messages.push_back(translate(L"Nie można wykonać operacji na RS."));
}
