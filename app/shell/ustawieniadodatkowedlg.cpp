// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/ustawieniadodatkowedlg.h>

#include <app/shell/settingcontrols.h>

namespace {

const SSettingsPage kPage { SettingsPage::Advanced, "ustawieniaDodatkoweDlg", &CUstawieniaDodatkoweDlg::handlerName };

} // namespace

CUstawieniaDodatkoweDlg::CUstawieniaDodatkoweDlg(const CPageContext& context, QWidget* parent)
    : CSettingsPageDlg(kResourceId, kPage, context, parent)
{
}

std::wstring CUstawieniaDodatkoweDlg::handlerName(int controlId)
{
    switch (controlId) {
    case 1070: return L"CUstawieniaDodatkoweDlg::OnBnClickedCheckwarming()";
    case 1056: return L"CUstawieniaDodatkoweDlg::OnBnClickedChecpetrolcutoff()";
    case 1006: return L"CUstawieniaDodatkoweDlg::OnBnClickedCheck12vinj()";
    case 1007: return L"CUstawieniaDodatkoweDlg::OnBnClickedCheccontininj()";
    case 1008: return L"CUstawieniaDodatkoweDlg::OnBnClickedCheckfastlackrpmfind()";
    case 1069: return L"CUstawieniaDodatkoweDlg::OnBnClickedCheckenrichment()";
    case 1068: return L"CUstawieniaDodatkoweDlg::OnBnClickedCheckpressdelay()";
    case 1057: return L"CUstawieniaDodatkoweDlg::OnBnClickedCheckfastswitch()";
    case 1058: return L"CUstawieniaDodatkoweDlg::OnBnClickedCheckdelayvalves()";
    default: return L"CUstawieniaDodatkoweDlg::OnDeltaposSpin()";
    }
}
