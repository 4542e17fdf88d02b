// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/obd2page.h>

#include <app/data/diag.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/userinteraction.h>
#include <app/tuning/deviceobd.h>
#include <basectrls/ctrlid.h>
#include <app/shell/korvanadoc.h>
#include <gradctrls/dialogs/gdipgradientdialog.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {

constexpr SCtrlLayout kLayout[] = {
    { 1360, ECtrlKind::GroupBox, 8, 344, 462, 250, L"Korekty OBD" },
    { 1361, ECtrlKind::Label, 18, 362, 116, 14, L"Włącz korekty" },
    { COBD2Page::kComboCorrOn, ECtrlKind::ComboBox, 138, 359, 328, 16,
        L"Wyłączone\nWłączone - średnia z Bank1 i Bank2\nWłączone - oddzielnie dla Bank1 i Bank2" },
    { 1362, ECtrlKind::Label, 18, 378, 126, 25, L"Czas zmiany korekt" },
    { COBD2Page::kEditAverageCorr, ECtrlKind::ReadOnlyEdit, 150, 382, 46, 14, nullptr },
    { COBD2Page::kSpinAverageCorr, ECtrlKind::Placeholder, 197, 382, 12, 14, nullptr },
    { 1363, ECtrlKind::Label, 212, 384, 20, 14, L"[s]" },
    { 1364, ECtrlKind::Label, 236, 378, 142, 25, L"Zakres korekt OBD" },
    { COBD2Page::kEditMaxCorr, ECtrlKind::ReadOnlyEdit, 380, 382, 46, 14, nullptr },
    { COBD2Page::kSpinMaxCorr, ECtrlKind::Placeholder, 427, 382, 12, 14, nullptr },
    { 1365, ECtrlKind::Label, 442, 384, 26, 14, L"[%]" },
    { 1366, ECtrlKind::LabelCenter, 150, 404, 62, 14, L"Bank 1" },
    { 1367, ECtrlKind::LabelCenter, 244, 404, 62, 14, L"Bank 2" },
    { 1368, ECtrlKind::Label, 18, 422, 126, 14, L"Punkt neutralny" },
    { COBD2Page::kEditNeutral1, ECtrlKind::ReadOnlyEdit, 150, 420, 46, 14, nullptr },
    { COBD2Page::kSpinNeutral1, ECtrlKind::Placeholder, 197, 420, 12, 14, nullptr },
    { COBD2Page::kEditNeutral2, ECtrlKind::ReadOnlyEdit, 244, 420, 46, 14, nullptr },
    { COBD2Page::kSpinNeutral2, ECtrlKind::Placeholder, 291, 420, 12, 14, nullptr },
    { 1369, ECtrlKind::Label, 18, 442, 126, 14, L"Aktualna korekta" },
    { COBD2Page::kEditActualCorr1, ECtrlKind::ReadOnlyEdit, 150, 440, 46, 14, nullptr },
    { COBD2Page::kEditActualCorr2, ECtrlKind::ReadOnlyEdit, 244, 440, 46, 14, nullptr },
    { 1370, ECtrlKind::Label, 18, 466, 126, 14, L"Wtryskiwacz" },
    { COBD2Page::kLabelInjFirst + 0, ECtrlKind::LabelCenter, 150, 466, 30, 14, L"1" },
    { COBD2Page::kLabelInjFirst + 1, ECtrlKind::LabelCenter, 188, 466, 30, 14, L"2" },
    { COBD2Page::kLabelInjFirst + 2, ECtrlKind::LabelCenter, 226, 466, 30, 14, L"3" },
    { COBD2Page::kLabelInjFirst + 3, ECtrlKind::LabelCenter, 264, 466, 30, 14, L"4" },
    { COBD2Page::kLabelInjFirst + 4, ECtrlKind::LabelCenter, 302, 466, 30, 14, L"5" },
    { COBD2Page::kLabelInjFirst + 5, ECtrlKind::LabelCenter, 340, 466, 30, 14, L"6" },
    { COBD2Page::kLabelInjFirst + 6, ECtrlKind::LabelCenter, 378, 466, 30, 14, L"7" },
    { COBD2Page::kLabelInjFirst + 7, ECtrlKind::LabelCenter, 416, 466, 30, 14, L"8" },
    { 1371, ECtrlKind::Label, 18, 486, 126, 14, L"Bank 1" },
    { 1372, ECtrlKind::Label, 18, 506, 126, 14, L"Bank 2" },
    { COBD2Page::kChkBank1First + 0, ECtrlKind::CheckBox, 160, 484, 14, 14, nullptr },
    { COBD2Page::kChkBank1First + 1, ECtrlKind::CheckBox, 198, 484, 14, 14, nullptr },
    { COBD2Page::kChkBank1First + 2, ECtrlKind::CheckBox, 236, 484, 14, 14, nullptr },
    { COBD2Page::kChkBank1First + 3, ECtrlKind::CheckBox, 274, 484, 14, 14, nullptr },
    { COBD2Page::kChkBank1First + 4, ECtrlKind::CheckBox, 312, 484, 14, 14, nullptr },
    { COBD2Page::kChkBank1First + 5, ECtrlKind::CheckBox, 350, 484, 14, 14, nullptr },
    { COBD2Page::kChkBank1First + 6, ECtrlKind::CheckBox, 388, 484, 14, 14, nullptr },
    { COBD2Page::kChkBank1First + 7, ECtrlKind::CheckBox, 426, 484, 14, 14, nullptr },
    { COBD2Page::kChkBank2First + 0, ECtrlKind::CheckBox, 160, 504, 14, 14, nullptr },
    { COBD2Page::kChkBank2First + 1, ECtrlKind::CheckBox, 198, 504, 14, 14, nullptr },
    { COBD2Page::kChkBank2First + 2, ECtrlKind::CheckBox, 236, 504, 14, 14, nullptr },
    { COBD2Page::kChkBank2First + 3, ECtrlKind::CheckBox, 274, 504, 14, 14, nullptr },
    { COBD2Page::kChkBank2First + 4, ECtrlKind::CheckBox, 312, 504, 14, 14, nullptr },
    { COBD2Page::kChkBank2First + 5, ECtrlKind::CheckBox, 350, 504, 14, 14, nullptr },
    { COBD2Page::kChkBank2First + 6, ECtrlKind::CheckBox, 388, 504, 14, 14, nullptr },
    { COBD2Page::kChkBank2First + 7, ECtrlKind::CheckBox, 426, 504, 14, 14, nullptr },
    { COBD2Page::kButtonAdvanced, ECtrlKind::PushButton, 326, 560, 136, 24, L"Zaawansowane" },
};

void setText(QWidget* page, int id, const QString& text)
{
    if (auto* edit = qobject_cast<QLineEdit*>(findChildCtrl(page, id)))
        if (edit->text() != text)
            edit->setText(text);
}

} // namespace

COBD2Page::COBD2Page(CGDIpGradientDialog& page, CkorvanaDoc& doc, CLPGDevice& device, CObdPageTimer& timer)
    : m_page(page)
    , m_doc(doc)
    , m_device(device)
    , m_timer(timer)
{
}

std::span<const SCtrlLayout> COBD2Page::layout()
{
    return kLayout;
}

void COBD2Page::connectControls()
{
    if (auto* combo = qobject_cast<QComboBox*>(findChildCtrl(&m_page, kComboCorrOn)))
        connect(combo, &QComboBox::activated, this, [this] { OnCbnSelendokCombocorron(); });
}

void COBD2Page::showConfig()
{
    const CObdMapConfig& config = obdOf(m_device).mapConfig();
    setText(&m_page, kEditAverageCorr, QString::number(config.averagingTime / 2));
    setText(&m_page, kEditMaxCorr, QString::number(config.maxCorrection));
    setText(&m_page, kEditNeutral1, QString::asprintf("%.0f", double(config.neutral1) - 100.0));
    setText(&m_page, kEditNeutral2, QString::asprintf("%.0f", double(config.neutral2) - 100.0));
    if (auto* combo = qobject_cast<QComboBox*>(findChildCtrl(&m_page, kComboCorrOn)))
        combo->setCurrentIndex(CObdConfigEdit::correctionsItem(config));
    const int injectors = std::clamp<int>(m_device.image().m_devInfo.m_injCount, 1, kInjectors);
    for (int i = 0; i < kInjectors; ++i) {
        const bool bank2 = (config.injectorBanks >> i) & 1;
        const bool fitted = i < injectors;
        if (auto* box = qobject_cast<QCheckBox*>(findChildCtrl(&m_page, kChkBank1First + i))) {
            box->setChecked(!bank2);
            box->setEnabled(fitted);
        }
        if (auto* box = qobject_cast<QCheckBox*>(findChildCtrl(&m_page, kChkBank2First + i))) {
            box->setChecked(bank2);
            box->setEnabled(fitted);
        }
    }
}

void COBD2Page::showActualCorrections(const QString& bank1, const QString& bank2)
{
    setText(&m_page, kEditActualCorr1, bank1);
    setText(&m_page, kEditActualCorr2, bank2);
}

void COBD2Page::refreshActualCorrections()
{
    double bank1 = 0;
    double bank2 = 0;
    if (obdOf(m_device).currentCorrections(bank1, bank2))
        showActualCorrections(QString::asprintf("%.0f", bank1), QString::asprintf("%.0f", bank2));
}

bool COBD2Page::store()
{
    CWaitCursor wait;
    return obdOf(m_device).storeMapConfig();
}

void COBD2Page::OnCbnSelendokCombocorron()
{
    auto* combo = qobject_cast<QComboBox*>(findChildCtrl(&m_page, kComboCorrOn));
    if (!combo || !m_device.isConnected())
        return;
    m_doc.runOperation(
        L"Zapis ustawień", L"COBD2Page::OnCbnSelendokCombocorron()",
        [&] {
            if (CObdConfigEdit::setCorrections(obdOf(m_device).mapConfig(), combo->currentIndex(), m_timer.ltft1Seen(), m_timer.ltft2Seen()))
                store();
        },
        &m_page);
    showConfig();
}
