// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/settingsrefusal.h>

#include <app/data/settingsfile.h>
#include <app/data/translate.h>
#include <app/platform/boundedread.h>

std::wstring settingsRefusalText(const std::string& path)
{
    switch (probeBoundedFile(path, CSettingsFile::kMaxFileBytes)) {
    case BoundedReadResult::NotRegularFile:
        return L"\n" + translate(L"To nie jest zwykły plik.");
    case BoundedReadResult::TooLarge:
        return L"\n" + translate(L"Plik jest większy niż") + L" "
            + std::to_wstring(CSettingsFile::kMaxFileBytes >> 20) + L" MB.";
    case BoundedReadResult::Read:
    case BoundedReadResult::Unreadable:
        break;
    }
    return {};
}
