// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/ustawieniadlg.h>

#include <app/data/translate.h>
#include <app/shell/settingcontrols.h>

#include <vector>

namespace {

const std::vector<SCtrlLayout>& pageLayout()
{
    static const std::vector<SCtrlLayout> rows = CSettingControls::layout(SettingsPage::Settings);
    return rows;
}

} // namespace

CUstawieniaDlg::CUstawieniaDlg(const CPageContext& context, QWidget* parent)
    : CWspolneOdczytyMultiPageDlg(context, kResourceId, parent)
{
    setObjectName(QStringLiteral("ustawieniaDlg"));
    setTranslator([](const std::wstring& text) { return translate(text); });
}

std::wstring CUstawieniaDlg::handlerName(int controlId)
{
    switch (controlId) {
    case 1107: return L"CUstawieniaDlg::OnSelendokComboinjtype()";
    case 1092: return L"CSettingsView::OnCbnSelendokComborpmsource()";
    case 1057: return L"CUstawieniaDlg::OnBnClickedCheckrpmmax()";
    case 1058:
    case 1059: return L"CUstawieniaDlg::OnDeltaposSpinMaxLoad()";
    default: return L"CUstawieniaDlg::OnDeltaposSpinRpmSwitch()";
    }
}

std::span<const SCtrlLayout> CUstawieniaDlg::layoutTable() const
{
    return pageLayout();
}

void CUstawieniaDlg::createControls()
{
    CWspolneOdczytyMultiPageDlg::createControls();
    m_settings = new CSettingControls(this, SettingsPage::Settings, m_context, &CUstawieniaDlg::handlerName);
    m_settings->create();
}

void CUstawieniaDlg::activate()
{
    CWspolneOdczytyMultiPageDlg::activate();
    if (m_settings)
        m_settings->refresh();
}

void CUstawieniaDlg::updateTexts()
{
    CWspolneOdczytyMultiPageDlg::updateTexts();
    if (m_settings)
        m_settings->updateTexts();
}
