// SPDX-License-Identifier: GPL-3.0-or-later
#include <syncmsg/threaderror.h>

void CThreadError::messages(std::vector<std::wstring>& table)
{
    table.push_back(L"Błąd biblioteki Wirnel.");
    table.push_back(L"Nie można utworzyć wątku.");
}
