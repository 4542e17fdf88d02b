// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/obdadvanceddlg.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/userinteraction.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/spinbutton.h>
#include <app/tuning/obdcodes.h>
#include <app/tuning/obdconfigedit.h>
#include <app/tuning/deviceobd.h>
#include <basectrls/ctrlid.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {

constexpr const wchar_t* kCaption = L"KORVANA";

// 350 x 236 dialog units.
constexpr SCtrlLayout kLayout[] = {
    { 1420, ECtrlKind::Label, 10, 4, 176, 28, L"Korekty OBD dla obrotów powyżej" },
    { COBDAdvancedDlg::kEditRpmForCorr, ECtrlKind::ReadOnlyEdit, 190, 10, 56, 14, nullptr },
    { COBDAdvancedDlg::kSpinRpmForCorr, ECtrlKind::Placeholder, 247, 10, 12, 14, nullptr },
    { 1421, ECtrlKind::Label, 262, 12, 80, 14, L"[obr/min]" },
    { COBDAdvancedDlg::kChkStftInverted, ECtrlKind::CheckBox, 10, 36, 330, 14, L"Korekty STFT odwrócone" },
    { COBDAdvancedDlg::kChkLtftInverted, ECtrlKind::CheckBox, 10, 54, 330, 14, L"Korekty LTFT odwrócone" },
    { COBDAdvancedDlg::kChkCorrDivider, ECtrlKind::CheckBox, 10, 72, 330, 14, L"Dzielnik dla korekt" },
    { 1422, ECtrlKind::GroupBox, 6, 94, 338, 108, L"Kasowanie błędów" },
    { COBDAdvancedDlg::kChkClearErrSet, ECtrlKind::CheckBox, 14, 110, 322, 14, L"Kasowanie wybranych błędów" },
    { COBDAdvancedDlg::kCmbClearErrFirst + 0, ECtrlKind::ComboBox, 26, 128, 130, 14, nullptr },
    { COBDAdvancedDlg::kCmbClearErrFirst + 1, ECtrlKind::ComboBox, 170, 128, 130, 14, nullptr },
    { COBDAdvancedDlg::kCmbClearErrFirst + 2, ECtrlKind::ComboBox, 26, 146, 130, 14, nullptr },
    { COBDAdvancedDlg::kCmbClearErrFirst + 3, ECtrlKind::ComboBox, 170, 146, 130, 14, nullptr },
    { COBDAdvancedDlg::kChkClearErrEmision, ECtrlKind::CheckBox, 14, 166, 322, 14,
        L"Kasowanie błędów emisyjnych P0170 - P0175" },
    { COBDAdvancedDlg::kChkClearAllErr, ECtrlKind::CheckBox, 14, 184, 322, 14, L"Kasowanie wszystkich błędów" },
    { COBDAdvancedDlg::kButtonOk, ECtrlKind::PushButton, 135, 208, 80, 22, L"OK" },
};

} // namespace

COBDAdvancedDlg::COBDAdvancedDlg(const CPageContext& context, QWidget* parent)
    : CGDIpGradientDialog(kResourceId, parent)
    , m_context(context)
{
    setObjectName(QStringLiteral("obdAdvancedDlg"));
    setDesignSizeDu(350, 236);
    setTranslator([](const std::wstring& text) { return translate(text); });
    setWindowTitle(QString::fromStdWString(translate(L"Zaawansowane")));
}

std::span<const SCtrlLayout> COBDAdvancedDlg::layoutTable() const
{
    return kLayout;
}

QString COBDAdvancedDlg::codeText(uint16_t code)
{
    return code ? QString::asprintf("P %.4X", code) : QString();
}

void COBDAdvancedDlg::createControls()
{
    CGDIpGradientDialog::createControls();
    if (QWidget* placeholder = findChildCtrl(this, kSpinRpmForCorr)) {
        auto* spin = new CSpinButton(this);
        spin->setGeometry(placeholder->geometry());
        delete placeholder;
        setCtrlId(spin, kSpinRpmForCorr);
        spin->show();
    }
    // Every combo: none, then the codes of the table, then a stored code the table lacks.
    static const COBDCodes table;
    const CObdMapConfig& config = obdOf(m_context.device).mapConfig();
    for (int i = 0; i < 4; ++i) {
        auto* combo = qobject_cast<QComboBox*>(findChildCtrl(this, kCmbClearErrFirst + i));
        if (!combo)
            continue;
        combo->addItem(QString(), 0);
        for (const auto& entry : table.codes())
            combo->addItem(codeText(entry.first), entry.first);
        const uint16_t stored = config.selectedCodes[static_cast<std::size_t>(i)];
        if (stored && combo->findData(stored) < 0)
            combo->addItem(codeText(stored), stored);
        combo->setMaxVisibleItems(16);
    }
}

bool COBDAdvancedDlg::OnInitDialog()
{
    if (!CGDIpGradientDialog::OnInitDialog())
        return false;
    if (auto* spin = qobject_cast<CSpinButton*>(findChildCtrl(this, kSpinRpmForCorr)))
        connect(spin, &CSpinButton::deltaPos, this, &COBDAdvancedDlg::OnDeltaposSpinRpmForCorr);
    auto box = [this](int id, void (COBDAdvancedDlg::*handler)()) {
        if (auto* b = qobject_cast<QAbstractButton*>(findChildCtrl(this, id)))
            connect(b, &QAbstractButton::clicked, this, handler);
    };
    box(kChkStftInverted, &COBDAdvancedDlg::OnClickedChkStftInverted);
    box(kChkLtftInverted, &COBDAdvancedDlg::OnClickedChkLtftInverted);
    box(kChkCorrDivider, &COBDAdvancedDlg::OnClickedChkCorrDivider);
    box(kChkClearErrSet, &COBDAdvancedDlg::OnClickedChkClearErrSet);
    box(kChkClearAllErr, &COBDAdvancedDlg::OnClickedChkClearAllErr);
    box(kChkClearErrEmision, &COBDAdvancedDlg::OnClickedChkClearErrEmision);
    for (int i = 0; i < 4; ++i)
        if (auto* combo = qobject_cast<QComboBox*>(findChildCtrl(this, kCmbClearErrFirst + i)))
            connect(combo, &QComboBox::activated, this, [this, i] { OnSelendokCmbClearErr1(i); });
    if (auto* ok = qobject_cast<QAbstractButton*>(findChildCtrl(this, kButtonOk)))
        connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
    showConfig();
    return true;
}

void COBDAdvancedDlg::showConfig()
{
    const CObdMapConfig& config = obdOf(m_context.device).mapConfig();
    if (auto* edit = qobject_cast<QLineEdit*>(findChildCtrl(this, kEditRpmForCorr)))
        edit->setText(QString::number(config.rpmThreshold()));
    const std::pair<int, uint8_t> boxes[] = {
        { kChkStftInverted, CObdMapConfig::kStftInverted },
        { kChkLtftInverted, CObdMapConfig::kLtftInverted },
        { kChkCorrDivider, CObdMapConfig::kCorrDivider },
        { kChkClearErrSet, CObdMapConfig::kClearSelected },
        { kChkClearErrEmision, CObdMapConfig::kClearEmission },
        { kChkClearAllErr, CObdMapConfig::kClearAll },
    };
    for (const auto& [id, bit] : boxes)
        if (auto* b = qobject_cast<QCheckBox*>(findChildCtrl(this, id)))
            b->setChecked(config.advancedFlags & bit);
    const bool selective = config.advancedFlags & CObdMapConfig::kClearSelected;
    for (int i = 0; i < 4; ++i)
        if (auto* combo = qobject_cast<QComboBox*>(findChildCtrl(this, kCmbClearErrFirst + i))) {
            const int at = combo->findData(config.selectedCodes[static_cast<std::size_t>(i)]);
            combo->setCurrentIndex(at < 0 ? 0 : at);
            combo->setEnabled(selective);
        }
}

bool COBDAdvancedDlg::store()
{
    CWaitCursor wait;
    return obdOf(m_context.device).storeMapConfig();
}

void COBDAdvancedDlg::OnDeltaposSpinRpmForCorr(int step)
{
    if (!m_context.device.isConnected())
        return;
    m_context.doc.runOperation(
        L"Zapis ustawień", L"COBDAdvancedDlg::OnDeltaposSpinRpmForCorr()",
        [&] {
            CObdMapConfig& config = obdOf(m_context.device).mapConfig();
            if (CObdConfigEdit::stepRpmThreshold(config, config.rpmThreshold(), step))
                store();
        },
        this);
    showConfig();
}

void COBDAdvancedDlg::flag(const char* handler, int id, uint8_t bit)
{
    auto* box = qobject_cast<QCheckBox*>(findChildCtrl(this, id));
    if (!box || !m_context.device.isConnected()) {
        showConfig();
        return;
    }
    m_context.doc.runOperation(
        L"Zapis ustawień", QString::fromLatin1(handler).toStdWString(),
        [&] {
            if (CObdConfigEdit::setAdvancedFlag(obdOf(m_context.device).mapConfig(), bit, box->isChecked()))
                store();
        },
        this);
    showConfig();
}

void COBDAdvancedDlg::OnClickedChkStftInverted()
{
    flag("COBDAdvancedDlg::OnClickedChkStftInverted()", kChkStftInverted, CObdMapConfig::kStftInverted);
}

void COBDAdvancedDlg::OnClickedChkLtftInverted()
{
    flag("COBDAdvancedDlg::OnClickedChkLtftInverted()", kChkLtftInverted, CObdMapConfig::kLtftInverted);
}

void COBDAdvancedDlg::OnClickedChkCorrDivider()
{
    flag("COBDAdvancedDlg::OnClickedChkCorrDivider()", kChkCorrDivider, CObdMapConfig::kCorrDivider);
}

void COBDAdvancedDlg::OnClickedChkClearErrSet()
{
    flag("COBDAdvancedDlg::OnClickedChkClearErrSet()", kChkClearErrSet, CObdMapConfig::kClearSelected);
}

void COBDAdvancedDlg::OnClickedChkClearAllErr()
{
    flag("COBDAdvancedDlg::OnClickedChkClearAllErr()", kChkClearAllErr, CObdMapConfig::kClearAll);
}

void COBDAdvancedDlg::OnClickedChkClearErrEmision()
{
    flag("COBDAdvancedDlg::OnClickedChkClearErrEmision()", kChkClearErrEmision, CObdMapConfig::kClearEmission);
}

void COBDAdvancedDlg::OnSelendokCmbClearErr1(int index)
{
    auto* combo = qobject_cast<QComboBox*>(findChildCtrl(this, kCmbClearErrFirst + index));
    if (!combo || !m_context.device.isConnected()) {
        showConfig();
        return;
    }
    m_context.doc.runOperation(
        L"Zapis ustawień", L"COBDAdvancedDlg::OnSelendokCmbClearErr1()",
        [&] {
            if (CObdConfigEdit::setSelectedCode(obdOf(m_context.device).mapConfig(), index, static_cast<uint16_t>(combo->currentData().toUInt())))
                store();
        },
        this);
    showConfig();
}
