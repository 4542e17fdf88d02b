// SPDX-License-Identifier: GPL-3.0-or-later
#include <errkit/runtime.h>

CRunTime::CRunTime()
{
    CRunTime::setMsgs();
}

CRunTime::CRunTime(IError* prev)
    : IError(prev)
{
    CRunTime::setMsgs();
}

CRunTime::CRunTime(uint32_t code, const wchar_t* text, int32_t line, const wchar_t* file)
    : IError(code, text, line, file)
{
    CRunTime::setMsgs();
}

CRunTime::CRunTime(uint32_t code, const wchar_t* text, IError* prev, int32_t line, const wchar_t* file)
    : IError(code, text, prev, line, file)
{
    CRunTime::setMsgs();
}

std::wstring CRunTime::name() const
{
    return L"CRunTime";
}

void CRunTime::setMsgs()
{
    m_messages.push_back(L"Przekroczyłeś dozwolony zakres.");
    m_messages.push_back(L"Nie udało się dynamicznie przydzielić pamięci.");
    m_messages.push_back(L"Operacja nie zaimplementowana.");
    m_messages.push_back(L"Operacja zaimplementowana częściowo.");
    m_messages.push_back(L"Błąd, errLast nie jest błędem.");
}
