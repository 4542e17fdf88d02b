// SPDX-License-Identifier: GPL-3.0-or-later
// "Zaawansowane": injector driving, cut-off, temperature corrections. Every control
// edits one field of the settings image and, while connected, writes its
// block at once; the readings panel is on the right.
#pragma once

#include <app/shell/wspolneodczytymultipagedlg.h>

class CSettingControls;

class CUstawieniaDodatkoweDlg : public CWspolneOdczytyMultiPageDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 315;

    explicit CUstawieniaDodatkoweDlg(const CPageContext& context, QWidget* parent = nullptr);

    CSettingControls* settings() const { return m_settings; }

    void activate() override;
    void updateTexts() override;

    // The name an error thrown while handling the control is shown with.
    static std::wstring handlerName(int controlId);

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;

private:
    CSettingControls* m_settings = nullptr;
};
