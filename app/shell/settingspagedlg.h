// SPDX-License-Identifier: GPL-3.0-or-later
// A settings page: every control edits one field of the settings image and,
// while connected, writes its block at once; the readings panel is on the
// right. A page is its description (SSettingsPage): which controls, and the
// handler names its error boxes show.
#pragma once

#include <app/shell/wspolneodczytymultipagedlg.h>

#include <cstdint>
#include <string>

class CSettingControls;
enum class SettingsPage : uint8_t;

struct SSettingsPage {
    SettingsPage page;
    const char* objectName;
    // The name an error thrown while handling the control is shown with.
    std::wstring (*handlerName)(int controlId);
};

class CSettingsPageDlg : public CWspolneOdczytyMultiPageDlg {
    Q_OBJECT
public:
    CSettingsPageDlg(int resourceId, const SSettingsPage& page, const CPageContext& context, QWidget* parent = nullptr);

    CSettingControls* settings() const { return m_settings; }

    void activate() override;
    void updateTexts() override;

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;

private:
    const SSettingsPage& m_page;
    std::vector<SCtrlLayout> m_layout;
    CSettingControls* m_settings = nullptr;
};
