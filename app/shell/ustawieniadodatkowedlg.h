// SPDX-License-Identifier: GPL-3.0-or-later
// "Zaawansowane": injector driving, cut-off, temperature corrections.
#pragma once

#include <app/shell/settingspagedlg.h>

class CUstawieniaDodatkoweDlg : public CSettingsPageDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 315;

    explicit CUstawieniaDodatkoweDlg(const CPageContext& context, QWidget* parent = nullptr);

    // The name an error thrown while handling the control is shown with.
    static std::wstring handlerName(int controlId);
};
