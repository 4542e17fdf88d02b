// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/ustawieniadodatkowedlg.h>

#include <app/data/translate.h>
#include <app/shell/settingcontrols.h>

#include <vector>

namespace {

const std::vector<SCtrlLayout>& pageLayout()
{
    static const std::vector<SCtrlLayout> rows = CSettingControls::layout(SettingsPage::Advanced);
    return rows;
}

} // namespace

CUstawieniaDodatkoweDlg::CUstawieniaDodatkoweDlg(const CPageContext& context, QWidget* parent)
    : CWspolneOdczytyMultiPageDlg(context, kResourceId, parent)
{
    setObjectName(QStringLiteral("ustawieniaDodatkoweDlg"));
    setTranslator([](const std::wstring& text) { return translate(text); });
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

std::span<const SCtrlLayout> CUstawieniaDodatkoweDlg::layoutTable() const
{
    return pageLayout();
}

void CUstawieniaDodatkoweDlg::createControls()
{
    CWspolneOdczytyMultiPageDlg::createControls();
    m_settings = new CSettingControls(this, SettingsPage::Advanced, m_context, &CUstawieniaDodatkoweDlg::handlerName);
    m_settings->create();
}

void CUstawieniaDodatkoweDlg::activate()
{
    CWspolneOdczytyMultiPageDlg::activate();
    if (m_settings)
        m_settings->refresh();
}

void CUstawieniaDodatkoweDlg::updateTexts()
{
    CWspolneOdczytyMultiPageDlg::updateTexts();
    if (m_settings)
        m_settings->updateTexts();
}
