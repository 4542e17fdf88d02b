// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/deviceerrorbase.h>

#include <app/data/translate.h>

#include <cstdio>

std::vector<std::wstring> CDeviceErrorBase::decode(uint8_t b) const
{
    std::vector<std::wstring> out;
    for (unsigned k = 0; k < 8; ++k) {
        if (!(b & (1u << k)))
            continue;
        if (k < m_messages.size()) {
            out.push_back(m_messages[k]);
        } else {
            wchar_t hex[8];
            std::swprintf(hex, sizeof hex / sizeof hex[0], L"%x", 1u << k);
            out.push_back(translate(L"Nieznany kod błędu") + L" = 0x" + hex);
        }
    }
    return out;
}

void CDeviceErrorBase::addMessage(const std::wstring& text)
{
    m_messages.push_back(translate(text));
}
