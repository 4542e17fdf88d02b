// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/rserror.h>

#include <app/data/translate.h>

void CRSError::messages(std::vector<std::wstring>& table)
{
    // Translated when the error is built, so a loaded language file may replace them.
    table.push_back(translate(L"Nie można otworzyć portu RS."));
    table.push_back(translate(L"Nie można wykonać operacji na RS."));
}
