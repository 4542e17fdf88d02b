// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/consolesetupdlg.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/shell/checkboximages.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/unreadline.h>
#include <basectrls/ctrlid.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QSignalBlocker>

namespace {

constexpr const wchar_t* kSetFailed = L"Nie powiodło się ustawienie urządzenia!";

// 280 x 174 dialog units; the title static takes the top 32 px.
constexpr SCtrlLayout kLayout[] = {
    { CConsoleSetupDlg::kSignallingId, ECtrlKind::CheckBox, 12, 30, 256, 16, L"Sygnalizacja przełączenia" },
    { CConsoleSetupDlg::kBuzzerId, ECtrlKind::CheckBox, 12, 50, 256, 16, L"Sygnał buzzera ciągły" },
    { CConsoleSetupDlg::kHidePetrolId, ECtrlKind::CheckBox, 12, 70, 256, 16, L"Ukrywanie przełączenia na benzynę" },
    { CConsoleSetupDlg::kSevenLedId, ECtrlKind::CheckBox, 12, 90, 256, 16, L"Konsolka 7 LED" },
    { CConsoleSetupDlg::kBtnWithTemprId, ECtrlKind::CheckBox, 12, 110, 256, 16,
        L"Przycisk multipleksowany z czujnikiem temperatury (do 2012 r)" },
    // Below the boxes, while blocks are not read: the line naming them and the button that reads them again.
    { CUnreadLine::kLabelId, ECtrlKind::Label, 12, 130, 256, 16, nullptr },
    { CUnreadLine::kButtonId, ECtrlKind::PushButton, 12, 152, 150, 18, CUnreadLine::kReadAgain },
    { CConsoleSetupDlg::kOkId, ECtrlKind::PushButton, 212, 152, 56, 18, L"OK" },
};

} // namespace

const CConsoleSetupDlg::SBox* CConsoleSetupDlg::box(int id)
{
    static const SBox boxes[] = {
        { kSignallingId, L"Sygnalizacja przełączenia", true, 0x08, L"CConsoleSetupDlg::OnClickedChkBuzzerSignalling()" },
        { kBuzzerId, L"Sygnał buzzera ciągły", true, 0x04, L"CConsoleSetupDlg::OnClickedChkBuzzerContinous()" },
        { kHidePetrolId, L"Ukrywanie przełączenia na benzynę", false, 0x0020,
            L"CConsoleSetupDlg::OnClickedChkHidePetrol()" },
        { kSevenLedId, L"Konsolka 7 LED", false, 0x0001, L"CConsoleSetupDlg::OnClickedChkCon7led()" },
        { kBtnWithTemprId, L"Przycisk multipleksowany z czujnikiem temperatury (do 2012 r)", false, 0x0002,
            L"CConsoleSetupDlg::OnClickedChkBtnWithRedTempr()" },
    };
    for (const SBox& b : boxes)
        if (b.id == id)
            return &b;
    return nullptr;
}

CConsoleSetupDlg::CConsoleSetupDlg(const CPageContext& context, QWidget* parent)
    : CSkinDlg(kResourceId, parent)
    , m_context(context)
{
    setObjectName(QStringLiteral("consoleSetupDlg"));
    setDesignSizeDu(280, 174);
    setTranslator([](const std::wstring& text) { return translate(text); });
}

std::span<const SCtrlLayout> CConsoleSetupDlg::layoutTable() const
{
    return kLayout;
}

bool CConsoleSetupDlg::OnInitDialog()
{
    if (!CSkinDlg::OnInitDialog())
        return false;
    setSkinTitle(QString::fromStdWString(translate(L"Ustawienia konsolki")));
    m_images = new CCheckBoxImages(L"CheckBox_Selected.tif", L"CheckBox_Unselected.tif", this);
    for (const SCtrlLayout& row : kLayout) {
        auto* check = qobject_cast<QCheckBox*>(findChildCtrl(this, row.id));
        if (!check)
            continue;
        m_images->apply(check);
        const int id = row.id;
        connect(check, &QCheckBox::clicked, this, [this, id] { onBox(id); });
    }
    // The button shared with the temperature sensor is of old consoles only.
    if (QWidget* old = findChildCtrl(this, kBtnWithTemprId))
        old->hide();
    if (auto* ok = qobject_cast<QAbstractButton*>(findChildCtrl(this, kOkId))) {
        connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
        ok->setFocus();
    }
    m_unread
        = new CUnreadLine(this, m_context, CReadBlocks::Base | CReadBlocks::AdvancedSetup, [this] { showBoxes(); });
    m_unread->create();
    showBoxes();
    return true;
}

bool CConsoleSetupDlg::unread(const SBox& b) const
{
    return m_unread && m_unread->unread(b.base ? CReadBlocks::Base : CReadBlocks::AdvancedSetup) != 0;
}

void CConsoleSetupDlg::showBoxes()
{
    const CSettingsImage& image = m_context.device.image();
    if (m_unread)
        m_unread->refresh();
    for (const SCtrlLayout& row : kLayout) {
        const SBox* b = box(row.id);
        auto* check = qobject_cast<QCheckBox*>(findChildCtrl(this, row.id));
        if (!b || !check)
            continue;
        const bool on = b->base ? (image.m_base.m_flags & b->bit) != 0 : (image.m_advancedSetup.m_advancedFlags3 & b->bit) != 0;
        // A bit of a block not read from the controller now connected is not this car's: a dash, disabled.
        const bool unknown = unread(*b);
        const QSignalBlocker quiet(check);
        check->setChecked(on && !unknown);
        check->setProperty(CCheckBoxImages::kNoValueProperty, unknown);
        check->setEnabled(!unknown);
        check->update();
    }
}

void CConsoleSetupDlg::onBox(int id)
{
    const SBox* b = box(id);
    auto* check = qobject_cast<QCheckBox*>(findChildCtrl(this, id));
    if (!b || !check)
        return;
    CLPGDevice& device = m_context.device;
    if (unread(*b)) {
        showBoxes();
        return;
    }
    // Offline a base-block box stores nothing.
    if (b->base && !device.isConnected()) {
        showBoxes();
        return;
    }
    if (device.isConnected() && m_context.doc.refuseWhileBusy(this)) {
        showBoxes();
        return;
    }
    const bool on = check->isChecked();
    device.changeImage([&](CSettingsImage& image) {
        if (b->base)
            image.m_base.m_flags
                = static_cast<uint8_t>(on ? image.m_base.m_flags | b->bit : image.m_base.m_flags & ~b->bit);
        else
            image.m_advancedSetup.m_advancedFlags3
                = static_cast<uint16_t>(on ? image.m_advancedSetup.m_advancedFlags3 | b->bit
                                           : image.m_advancedSetup.m_advancedFlags3 & ~b->bit);
    });
    bool ok = false;
    CWriteReport report;
    m_context.doc.runOperation(
        L"Zapis ustawień", b->handler,
        [&] {
            ok = true; // an error thrown is shown already
            report = CWriteSession::writeBlocks(device, b->handler,
                                                { b->base ? CReadBlocks::Base : CReadBlocks::AdvancedSetup });
            ok = report.ok();
            logInfo("console", std::string("console option written: ") + (ok ? "acknowledged" : "failed"));
        },
        this);
    if (!ok)
        report.show(kSetFailed);
}
