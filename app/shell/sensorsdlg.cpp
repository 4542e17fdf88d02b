// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/sensorsdlg.h>

#include <app/data/levelsensor.h>
#include <app/data/settingsimage.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/log.h>
#include <app/shell/skinimage.h>
#include <app/platform/userinteraction.h>
#include <app/shell/imagebutton.h>
#include <app/shell/imagecheckbox.h>
#include <app/shell/korvanaview.h>
#include <app/shell/unreadline.h>
#include <app/shell/updownctrl.h>
#include <basectrls/ctrlid.h>

#include <app/shell/deviceeventrelay.h>
#include <app/shell/korvanadoc.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTimer>

namespace {

const wchar_t* const kCaption = L"KORVANA";
const wchar_t* const kSetFailed = L"Nie powiodło się ustawienie urządzenia!";
const wchar_t* const kWriteFailed = L"Nie powiodło się wpisanie ustawień do urządzenia!";

using Dlg = CSensorsDlg;

// Labels beside the controls (not in the control set of the device).
constexpr int kTypeLabelId = 1301;
constexpr int kLevelLabelId = 1302;
constexpr int kThresholdLabelIds[4] = { 1303, 1304, 1305, 1306 };

// 360 x 222 dialog units (wide enough for the options' translations); the
// title static takes the top 32 px.
constexpr int kRow[4] = { 48, 66, 84, 102 };
constexpr SCtrlLayout kLayout[] = {
    { kTypeLabelId, ECtrlKind::LabelRight, 136, 28, 26, 14, L"Typ:" },
    { Dlg::kTypeId, ECtrlKind::ComboBox, 164, 26, 188, 16, nullptr },
    { kLevelLabelId, ECtrlKind::Label, 10, 98, 70, 26, L"Poziom gazu" },
    { Dlg::kLevelId, ECtrlKind::ReadOnlyEdit, 82, 102, 46, 16, nullptr },
    { kThresholdLabelIds[0], ECtrlKind::LabelRight, 136, kRow[0] + 2, 26, 14, L"F" },
    { Dlg::kThresholdIds[0], ECtrlKind::ReadOnlyEdit, 164, kRow[0], 40, 16, nullptr },
    { kThresholdLabelIds[1], ECtrlKind::LabelRight, 136, kRow[1] + 2, 26, 14, L"3/4" },
    { Dlg::kThresholdIds[1], ECtrlKind::ReadOnlyEdit, 164, kRow[1], 40, 16, nullptr },
    { kThresholdLabelIds[2], ECtrlKind::LabelRight, 136, kRow[2] + 2, 26, 14, L"1/2" },
    { Dlg::kThresholdIds[2], ECtrlKind::ReadOnlyEdit, 164, kRow[2], 40, 16, nullptr },
    { kThresholdLabelIds[3], ECtrlKind::LabelRight, 136, kRow[3] + 2, 26, 14, L"1/4" },
    { Dlg::kThresholdIds[3], ECtrlKind::ReadOnlyEdit, 164, kRow[3], 40, 16, nullptr },
    { CUnreadLine::kLabelId, ECtrlKind::Label, 10, 178, 342, 14, nullptr },
    { CUnreadLine::kButtonId, ECtrlKind::PushButton, 10, 198, 150, 18, CUnreadLine::kReadAgain },
    { Dlg::kOkId, ECtrlKind::PushButton, 296, 198, 56, 18, L"OK" },
};

struct STypeItem {
    const wchar_t* text;
    int code;
};
const STypeItem kTypes[] = {
    { L"10 - 90 Ohm (1090)", 4 },
    { L"OMB 0 90 Ohm", 11 },
    { L"110-0 Ohm", 5 },
    { L"AEB 1050", 1 },
    { L"CNG MANSI PG", 12 },
    { L"Rezerwa", 9 },
    { L"Napięciowy - CNG", 10 },
};

struct SFlagBox {
    int id;
    const wchar_t* text;
    uint8_t bit;
    const wchar_t* handler;
    int y;
};
const SFlagBox kFlags[] = {
    { Dlg::kValveSupplyId, L"Zasilanie z zaworu:", levelsensor::kSupplyFromValve,
        L"CSensorsDlg::OnClickedChecklevelfromvalve()", 126 },
    { Dlg::kStartInAutoId, L"Start w trybie AUTO po opróżnieniu zbiornika:", levelsensor::kStartInAutoWhenEmpty,
        L"CSensorsDlg::OnBnClickedCheckstartinauto()", 142 },
    { Dlg::kNoRisingLevelId, L"Nie pozwalaj na wzrost poziomu wskazywanego:", levelsensor::kNoRisingLevel,
        L"CSensorsDlg::OnBnClickedCheckgrowthforbided()", 158 },
};

const wchar_t* const kSpinHandlers[4] = { L"CSensorsDlg::OnDeltaposSpinR4()", L"CSensorsDlg::OnDeltaposSpinR3()",
    L"CSensorsDlg::OnDeltaposSpinR2()", L"CSensorsDlg::OnDeltaposSpinR1()" };

// The four thresholds, top spin first: F, 3/4, 1/2, 1/4.
constexpr uint8_t CSensorsSetup::*kThresholds[4]
    = { &CSensorsSetup::m_fuelFull, &CSensorsSetup::m_fuelHgw, &CSensorsSetup::m_fuelHalf, &CSensorsSetup::m_fuelQuarter };

template <class Setup> auto& threshold(Setup& setup, int i)
{
    return setup.*kThresholds[static_cast<std::size_t>(i >= 0 && i < 3 ? i : 3)];
}

QString qs(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

} // namespace

CSensorsDlg::CSensorsDlg(const CPageContext& context, QWidget* parent)
    : CSkinDlg(kResourceId, parent)
    , m_context(context)
{
    setDesignSizeDu(360, 222);
    m_font.setFamilies({ QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans") });
    m_font.setPixelSize(12);
    setTranslator([](const std::wstring& text) { return translate(text); });
    setSkinTitle(qs(translate(L"Czujnik poziomu gazu")));
}

CSensorsDlg::~CSensorsDlg() = default;

std::span<const SCtrlLayout> CSensorsDlg::layoutTable() const
{
    return kLayout;
}

void CSensorsDlg::createControls()
{
    CSkinDlg::createControls();
    auto* console = new CImageButton(this);
    setCtrlId(console, kConsoleId);
    console->setGeometry(CPageLayout::duToPixels(8, 26, 120, 72));
    for (const SFlagBox& flag : kFlags) {
        auto* box = new CImageCheckBox(this);
        box->loadSkins(L"CheckBox_Selected.tif", L"CheckBox_Unselected.tif");
        box->setText(qs(translate(flag.text)));
        box->setGeometry(CPageLayout::duToPixels(10, flag.y, 342, 14));
        setCtrlId(box, flag.id);
    }
    for (std::size_t i = 0; i < 4; ++i) {
        auto* spin = new CUpDownCtrl(this);
        spin->setGeometry(CPageLayout::duToPixels(205, kRow[i], 12, 16));
        setCtrlId(spin, kSpinIds[i]);
    }
}

bool CSensorsDlg::OnInitDialog()
{
    if (!CSkinDlg::OnInitDialog())
        return false;
    for (std::size_t i = 0; i < m_consoleImages.size(); ++i)
        m_consoleImages[i] = skinImage(CkorvanaView::kConsoleFiles[i]);
    if (auto* console = qobject_cast<CImageButton*>(findChildCtrl(this, kConsoleId)))
        console->setPicture(m_consoleImages[static_cast<std::size_t>(m_display.currentImage())]);
    if (auto* type = qobject_cast<QComboBox*>(findChildCtrl(this, kTypeId))) {
        for (const STypeItem& item : kTypes)
            type->addItem(qs(translate(item.text)), item.code);
        connect(type, &QComboBox::activated, this, [this, type](int index) {
            if (index >= 0)
                onSelectType(type->itemData(index).toInt());
        });
    }
    for (const SFlagBox& flag : kFlags)
        if (auto* box = qobject_cast<QAbstractButton*>(findChildCtrl(this, flag.id))) {
            const int id = flag.id;
            connect(box, &QAbstractButton::clicked, this, [this, id] { onToggleFlag(id); });
        }
    for (int i = 0; i < 4; ++i)
        if (auto* spin = qobject_cast<CUpDownCtrl*>(findChildCtrl(this, kSpinIds[static_cast<std::size_t>(i)])))
            connect(spin, &CUpDownCtrl::deltaPos, this, [this, i](int delta) { onDeltaPos(i, delta); });
    if (auto* ok = qobject_cast<QAbstractButton*>(findChildCtrl(this, kOkId))) {
        connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
        ok->setFocus();
    }
    m_unread = new CUnreadLine(
        this, m_context, CReadBlocks::SensorsSetup | CReadBlocks::AdvancedSetup, [this] { showAll(); });
    m_unread->create();
    showAll();
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("timer_%1").arg(kTimerId));
    m_timer->setInterval(kTimerMs);
    connect(m_timer, &QTimer::timeout, this, [this] { onTimer(); });
    m_timer->start();
    connect(&m_context.relay, &CDeviceEventRelay::languageChanged, this, [this] { updateTexts(); });
    return true;
}

bool CSensorsDlg::unread(uint32_t block) const
{
    return m_unread && m_unread->unread(block) != 0;
}

void CSensorsDlg::showAll()
{
    if (m_unread)
        m_unread->refresh();
    showThresholds();
    selectMatchingType();
    // The options are bits of the advanced setup: not read, they are not this car's.
    const bool optionsUnread = unread(CReadBlocks::AdvancedSetup);
    const uint8_t flags = m_context.device.image().m_advancedSetup.m_advancedFlags2;
    for (const SFlagBox& flag : kFlags)
        if (auto* box = qobject_cast<QAbstractButton*>(findChildCtrl(this, flag.id))) {
            const QSignalBlocker quiet(box);
            box->setChecked(!optionsUnread && (flags & flag.bit) != 0);
            box->setEnabled(!optionsUnread);
        }
}

void CSensorsDlg::showThresholds()
{
    const CSensorsSetup& setup = m_context.device.image().m_sensorsSetup;
    const bool thresholdsUnread = unread(CReadBlocks::SensorsSetup);
    for (int i = 0; i < 4; ++i) {
        if (auto* edit = qobject_cast<QLineEdit*>(findChildCtrl(this, kThresholdIds[static_cast<std::size_t>(i)]))) {
            edit->setText(thresholdsUnread ? qs(CUnreadLine::kNoValue) : QString::number(threshold(setup, i)));
            edit->setEnabled(!thresholdsUnread);
        }
        if (QWidget* spin = findChildCtrl(this, kSpinIds[static_cast<std::size_t>(i)]))
            spin->setEnabled(!thresholdsUnread);
    }
}

void CSensorsDlg::selectMatchingType()
{
    auto* type = qobject_cast<QComboBox*>(findChildCtrl(this, kTypeId));
    if (!type)
        return;
    const CSensorsSetup& setup = m_context.device.image().m_sensorsSetup;
    const bool typeUnread = unread(CReadBlocks::SensorsSetup);
    type->setEnabled(!typeUnread);
    type->setPlaceholderText(typeUnread ? qs(CUnreadLine::kNoValue) : QString());
    int found = -1;
    for (int i = 0; i < type->count() && found < 0 && !typeUnread; ++i)
        if (levelsensor::matches(type->itemData(i).toInt(), setup))
            found = i;
    type->setCurrentIndex(found);
}

int CSensorsDlg::selectedCode() const
{
    auto* type = qobject_cast<QComboBox*>(findChildCtrl(this, kTypeId));
    if (!type || type->currentIndex() < 0)
        return -1;
    return type->currentData().toInt();
}

bool CSensorsDlg::writeSensors(const wchar_t* handler, const wchar_t* failure)
{
    if (!m_context.device.isConnected())
        return false;
    bool written = false;
    m_context.doc.runOperation(
        L"Zapis ustawień", handler,
        [&] {
            CWaitCursor wait;
            logInfo("pages", "writing the level-sensor set-up");
            const CWriteReport report = CWriteSession::writeBlocks(m_context.device, handler, { CReadBlocks::SensorsSetup });
            written = report.ok();
            if (!written)
                report.show(failure);
        },
        this);
    return written;
}

void CSensorsDlg::onSelectType(int code)
{
    if (unread(CReadBlocks::SensorsSetup))
        return;
    if (m_context.device.isConnected() && m_context.doc.refuseWhileBusy(this))
        return;
    bool applied = false;
    m_context.device.changeImage(
        [&](CSettingsImage& live) { applied = levelsensor::applyPreset(code, live.m_sensorsSetup); });
    if (!applied)
        return;
    showThresholds();
    writeSensors(L"CSensorsDlg::OnCbnSelchangeCombotype()", kSetFailed);
}

void CSensorsDlg::onToggleFlag(int id)
{
    if (unread(CReadBlocks::AdvancedSetup))
        return;
    if (m_context.device.isConnected() && m_context.doc.refuseWhileBusy(this))
        return;
    for (const SFlagBox& flag : kFlags) {
        if (flag.id != id)
            continue;
        m_context.device.changeImage([&](CSettingsImage& live) { live.m_advancedSetup.m_advancedFlags2 ^= flag.bit; });
        const uint8_t flags = m_context.device.image().m_advancedSetup.m_advancedFlags2;
        if (auto* box = qobject_cast<QAbstractButton*>(findChildCtrl(this, id)))
            box->setChecked((flags & flag.bit) != 0);
        if (!m_context.device.isConnected())
            return;
        m_context.doc.runOperation(
            L"Zapis ustawień", flag.handler,
            [&] {
                CWaitCursor wait;
                logInfo("pages", "writing the advanced set-up (level-sensor option)");
                CWriteSession::writeBlocks(m_context.device, flag.handler, { CReadBlocks::AdvancedSetup }).show(kSetFailed);
            },
            this);
        return;
    }
}

void CSensorsDlg::onDeltaPos(int i, int delta)
{
    if (i < 0 || i >= 4 || unread(CReadBlocks::SensorsSetup))
        return;
    if (m_context.device.isConnected() && m_context.doc.refuseWhileBusy(this))
        return;
    const auto next = levelsensor::step(threshold(m_context.device.image().m_sensorsSetup, i), delta);
    if (!next)
        return;
    m_context.device.changeImage([&](CSettingsImage& live) { threshold(live.m_sensorsSetup, i) = *next; });
    showThresholds();
    selectMatchingType();
    writeSensors(kSpinHandlers[i], kWriteFailed);
}

void CSensorsDlg::onTimer()
{
    CLPGDevice& device = m_context.device;
    if (!device.isConnected())
        return;
    CDiag record;
    if (!device.diagData().latest(record))
        return;
    if (auto* level = qobject_cast<QLineEdit*>(findChildCtrl(this, kLevelId)))
        level->setText(QString::number(record.gasLevel()));
    const int image = m_display.consoleImage(
        record.fuelState(), record.switchMode(), levelIndex(record.gasLevel(), device.image().m_sensorsSetup));
    if (auto* console = qobject_cast<CImageButton*>(findChildCtrl(this, kConsoleId)))
        if (image >= 0 && image < static_cast<int>(m_consoleImages.size()))
            console->setPicture(m_consoleImages[static_cast<std::size_t>(image)]);
}

void CSensorsDlg::updateTexts()
{
    setSkinTitle(qs(translate(L"Czujnik poziomu gazu")));
    for (const SFlagBox& flag : kFlags)
        if (auto* box = qobject_cast<QAbstractButton*>(findChildCtrl(this, flag.id)))
            box->setText(qs(translate(flag.text)));
    if (auto* label = qobject_cast<QLabel*>(findChildCtrl(this, kTypeLabelId)))
        label->setText(qs(translate(L"Typ:")));
    if (auto* label = qobject_cast<QLabel*>(findChildCtrl(this, kLevelLabelId)))
        label->setText(qs(translate(L"Poziom gazu")));
    if (m_unread)
        m_unread->updateTexts();
}
