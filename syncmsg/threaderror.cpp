// SPDX-License-Identifier: GPL-3.0-or-later
#include <syncmsg/threaderror.h>

CThreadError::CThreadError()
{
    CThreadError::setMsgs();
}

CThreadError::CThreadError(IError* prev)
    : IError(prev)
{
    CThreadError::setMsgs();
}

CThreadError::CThreadError(uint32_t code, const wchar_t* text, int32_t line, const wchar_t* file)
    : IError(code, text, line, file)
{
    CThreadError::setMsgs();
}

CThreadError::CThreadError(uint32_t code, const wchar_t* text, IError* prev, int32_t line, const wchar_t* file)
    : IError(code, text, prev, line, file)
{
    CThreadError::setMsgs();
}

std::wstring CThreadError::name() const
{
    return L"CThreadError";
}

void CThreadError::setMsgs()
{
    m_messages.push_back(L"Błąd biblioteki Wirnel.");
    m_messages.push_back(L"Nie można utworzyć wątku.");
}
