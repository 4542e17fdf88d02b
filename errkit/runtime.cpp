// SPDX-License-Identifier: GPL-3.0-or-later
#include <errkit/runtime.h>

void CRunTime::messages(std::vector<std::wstring>& table)
{
    table.push_back(L"Przekroczyłeś dozwolony zakres.");
    table.push_back(L"Nie udało się dynamicznie przydzielić pamięci.");
    table.push_back(L"Operacja nie zaimplementowana.");
    table.push_back(L"Operacja zaimplementowana częściowo.");
    table.push_back(L"Błąd, errLast nie jest błędem.");
}
