// SPDX-License-Identifier: GPL-3.0-or-later
// "Ustawienia": the switch-over conditions, sensors and limits.
#pragma once

#include <app/shell/settingspagedlg.h>

class CUstawieniaDlg : public CSettingsPageDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 314;

    explicit CUstawieniaDlg(const CPageContext& context, QWidget* parent = nullptr);

    // The name an error thrown while handling the control is shown with.
    static std::wstring handlerName(int controlId);
};
