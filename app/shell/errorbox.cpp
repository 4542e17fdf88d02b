// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/errorbox.h>
#include <app/platform/userinteraction.h>
#include <errkit/errorguard.h>

bool runShowingErrors(const std::wstring& handler, const std::function<void()>& body)
{
    try {
        body();
        return true;
    } catch (IError* e) {
        CErrorGuard error(e);
        userInteraction().message(handler + L"\n" + error.format() + L"\n", L"KORVANA", MsgIcon::Error);
        return false;
    }
}
