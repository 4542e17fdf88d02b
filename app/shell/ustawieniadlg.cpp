// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/ustawieniadlg.h>

#include <app/shell/settingcontrols.h>

namespace {

const SSettingsPage kPage { SettingsPage::Settings, "ustawieniaDlg", &CUstawieniaDlg::handlerName };

} // namespace

CUstawieniaDlg::CUstawieniaDlg(const CPageContext& context, QWidget* parent)
    : CSettingsPageDlg(kResourceId, kPage, context, parent)
{
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
