// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/settingspagedlg.h>

#include <app/data/translate.h>
#include <app/shell/settingcontrols.h>

CSettingsPageDlg::CSettingsPageDlg(
    int resourceId, const SSettingsPage& page, const CPageContext& context, QWidget* parent)
    : CWspolneOdczytyMultiPageDlg(context, resourceId, parent)
    , m_page(page)
    , m_layout(CSettingControls::layout(page.page))
{
    setObjectName(QString::fromLatin1(page.objectName));
    setTranslator([](const std::wstring& text) { return translate(text); });
}

std::span<const SCtrlLayout> CSettingsPageDlg::layoutTable() const
{
    return m_layout;
}

void CSettingsPageDlg::createControls()
{
    CWspolneOdczytyMultiPageDlg::createControls();
    m_settings = new CSettingControls(this, m_page.page, m_context, m_page.handlerName);
    m_settings->create();
}

void CSettingsPageDlg::activate()
{
    CWspolneOdczytyMultiPageDlg::activate();
    if (m_settings)
        m_settings->refresh();
}

void CSettingsPageDlg::updateTexts()
{
    CWspolneOdczytyMultiPageDlg::updateTexts();
    if (m_settings)
        m_settings->updateTexts();
}
