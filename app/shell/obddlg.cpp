// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/obddlg.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/shell/buttontips.h>
#include <app/shell/korvanadoc.h>
#include <app/device/historyrecorder.h>
#include <app/shell/obdadvanceddlg.h>
#include <app/shell/samochoddlg.h>
#include <app/shell/spinbutton.h>
#include <app/tuning/deviceobd.h>
#include <basectrls/ctrlid.h>
#include <errkit/errorguard.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <QListWidget>
#include <functional>

#include <cmath>

namespace {

constexpr const wchar_t* kCaption = L"KORVANA";
constexpr int kVersionAdvanced = 0x305;

// Left of the readings panel (kPanelLeftDu).
constexpr SCtrlLayout kLayout[] = {
    { 1200, ECtrlKind::GroupBox, 8, 4, 462, 78, L"OBD" },
    { 1230, ECtrlKind::Label, 18, 20, 126, 14, L"Włącz OBD" },
    { CObdDlg::kComboEnable, ECtrlKind::ComboBox, 150, 17, 310, 16,
        L"Wyłączone\nWłączone\nOBD CAN Bus\nISO 9141-2 & ISO 14230-4 Slow Init\nISO 14230-4 Fast Init" },
    { 1231, ECtrlKind::Label, 18, 40, 126, 14, L"Protokół:" },
    { CObdDlg::kEditProtocol, ECtrlKind::ReadOnlyEdit, 150, 38, 310, 14, nullptr },
    { 1232, ECtrlKind::Label, 18, 60, 126, 14, L"Wersja:" },
    { CObdDlg::kEditStandard, ECtrlKind::ReadOnlyEdit, 150, 58, 310, 14, nullptr },

    { 1233, ECtrlKind::GroupBox, 8, 86, 462, 100, L"Odczyty OBD" },
    { 1240, ECtrlKind::Label, 18, 104, 90, 14, L"STFT Bank 1" },
    { CObdDlg::kEditReadingFirst + 0, ECtrlKind::ReadOnlyEdit, 110, 102, 80, 14, nullptr },
    { 1250, ECtrlKind::Label, 194, 104, 24, 14, L"%" },
    { 1241, ECtrlKind::Label, 18, 124, 90, 14, L"LTFT Bank 1" },
    { CObdDlg::kEditReadingFirst + 1, ECtrlKind::ReadOnlyEdit, 110, 122, 80, 14, nullptr },
    { 1251, ECtrlKind::Label, 194, 124, 24, 14, L"%" },
    { 1242, ECtrlKind::Label, 18, 144, 90, 14, L"STFT Bank 2" },
    { CObdDlg::kEditReadingFirst + 2, ECtrlKind::ReadOnlyEdit, 110, 142, 80, 14, nullptr },
    { 1252, ECtrlKind::Label, 194, 144, 24, 14, L"%" },
    { 1243, ECtrlKind::Label, 18, 164, 90, 14, L"LTFT Bank 2" },
    { CObdDlg::kEditReadingFirst + 3, ECtrlKind::ReadOnlyEdit, 110, 162, 80, 14, nullptr },
    { 1253, ECtrlKind::Label, 194, 164, 24, 14, L"%" },
    { 1244, ECtrlKind::Label, 248, 104, 90, 14, L"OS Bank 1-1" },
    { CObdDlg::kEditReadingFirst + 4, ECtrlKind::ReadOnlyEdit, 340, 102, 80, 14, nullptr },
    { 1254, ECtrlKind::Label, 424, 104, 24, 14, L"V" },
    { 1245, ECtrlKind::Label, 248, 124, 90, 14, L"OS Bank 1-2" },
    { CObdDlg::kEditReadingFirst + 5, ECtrlKind::ReadOnlyEdit, 340, 122, 80, 14, nullptr },
    { 1255, ECtrlKind::Label, 424, 124, 24, 14, L"V" },
    { 1246, ECtrlKind::Label, 248, 144, 90, 14, L"OS Bank 2-1" },
    { CObdDlg::kEditReadingFirst + 6, ECtrlKind::ReadOnlyEdit, 340, 142, 80, 14, nullptr },
    { 1256, ECtrlKind::Label, 424, 144, 24, 14, L"V" },
    { 1247, ECtrlKind::Label, 248, 164, 90, 14, L"OS Bank 2-2" },
    { CObdDlg::kEditReadingFirst + 7, ECtrlKind::ReadOnlyEdit, 340, 162, 80, 14, nullptr },
    { 1257, ECtrlKind::Label, 424, 164, 24, 14, L"V" },

    { 1234, ECtrlKind::GroupBox, 8, 190, 462, 150, L"Błędy OBD" },
    { CObdDlg::kListCodes, ECtrlKind::Placeholder, 18, 206, 280, 126, nullptr },
    { CObdDlg::kButtonRead, ECtrlKind::PushButton, 306, 206, 156, 24, L"Wczytaj błędy OBD" },
    { CObdDlg::kButtonClear, ECtrlKind::PushButton, 306, 236, 156, 24, L"Kasuj błędy OBD" },
    { CObdDlg::kButtonVin, ECtrlKind::PushButton, 306, 274, 156, 24, L"Odczytaj VIN" },
    { CObdDlg::kEditVin, ECtrlKind::ReadOnlyEdit, 306, 304, 156, 14, nullptr },
};

} // namespace

int CObdDlg::enableItem(uint8_t value)
{
    for (int i = 0; i < 5; ++i)
        if (kEnableValues[i] == value)
            return i;
    return 0;
}

CObdDlg::CObdDlg(const CPageContext& context, QWidget* parent)
    : CWspolneOdczytyExMultiPageDlg(context, kResourceId, parent)
    , m_page2(*this, context.doc, context.device, m_timer)
{
    setObjectName(QStringLiteral("obdPage"));
    setTranslator([](const std::wstring& text) { return translate(text); });
    m_layout.assign(std::begin(kLayout), std::end(kLayout));
    const auto corrections = COBD2Page::layout();
    m_layout.insert(m_layout.end(), corrections.begin(), corrections.end());
}

CObdDlg::~CObdDlg() = default;

std::span<const SCtrlLayout> CObdDlg::layoutTable() const
{
    return m_layout;
}

void CObdDlg::createControls()
{
    CWspolneOdczytyExMultiPageDlg::createControls();
    // The code list and the spins stand where their placeholders were.
    auto replace = [this](int id, QWidget* with) {
        QWidget* placeholder = findChildCtrl(this, id);
        if (!placeholder) {
            delete with;
            return;
        }
        with->setGeometry(placeholder->geometry());
        delete placeholder;
        setCtrlId(with, id);
        with->show();
    };
    auto* list = new QListWidget(this);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    replace(kListCodes, list);
    for (int id :
        { COBD2Page::kSpinAverageCorr, COBD2Page::kSpinMaxCorr, COBD2Page::kSpinNeutral1, COBD2Page::kSpinNeutral2 })
    {
        auto* spin = new CSpinButton(this);
        setOwnButtonTip(spin, kStepButtonTip);
        replace(id, spin);
    }
    // A click moves the injector to the other bank: the tip says which bank a tick means.
    for (int i = 0; i < COBD2Page::kInjectors; ++i) {
        setOwnButtonTip(findChildCtrl(this, COBD2Page::kChkBank1First + i),
            L"Zaznaczony: korekty OBD tego wtryskiwacza według banku 1. Kliknięcie przenosi go do drugiego banku i od "
            L"razu wpisuje to do sterownika.");
        setOwnButtonTip(findChildCtrl(this, COBD2Page::kChkBank2First + i),
            L"Zaznaczony: korekty OBD tego wtryskiwacza według banku 2. Kliknięcie przenosi go do drugiego banku i od "
            L"razu wpisuje to do sterownika.");
    }
}

bool CObdDlg::OnInitDialog()
{
    if (!CWspolneOdczytyExMultiPageDlg::OnInitDialog())
        return false;
    if (auto* combo = qobject_cast<QComboBox*>(findChildCtrl(this, kComboEnable)))
        connect(combo, &QComboBox::activated, this, [this] { OnCbnSelendokComboEnable(); });
    if (auto* button = qobject_cast<QAbstractButton*>(findChildCtrl(this, kButtonRead)))
        connect(button, &QAbstractButton::clicked, this, [this] { OnBnClickedButtonread(); });
    if (auto* button = qobject_cast<QAbstractButton*>(findChildCtrl(this, kButtonClear)))
        connect(button, &QAbstractButton::clicked, this, [this] { OnBnClickedButtonclear(); });
    if (auto* button = qobject_cast<QAbstractButton*>(findChildCtrl(this, kButtonVin)))
        connect(button, &QAbstractButton::clicked, this, [this] { OnBnClickedButtonVin(); });
    auto spin = [this](int id, void (CObdDlg::*handler)(int)) {
        if (auto* s = qobject_cast<CSpinButton*>(findChildCtrl(this, id)))
            connect(s, &CSpinButton::deltaPos, this, [this, handler](int step) { (this->*handler)(step); });
    };
    spin(COBD2Page::kSpinAverageCorr, &CObdDlg::OnDeltaposSpinAverageCorr);
    spin(COBD2Page::kSpinMaxCorr, &CObdDlg::OnDeltaposSpinMaxCorr);
    spin(COBD2Page::kSpinNeutral1, &CObdDlg::OnDeltaposSpinNeutral1);
    spin(COBD2Page::kSpinNeutral2, &CObdDlg::OnDeltaposSpinNeutral2);
    for (int i = 0; i < COBD2Page::kInjectors; ++i)
        for (bool bank2 : { false, true })
            if (auto* box = qobject_cast<QCheckBox*>(
                    findChildCtrl(this, (bank2 ? COBD2Page::kChkBank2First : COBD2Page::kChkBank1First) + i)))
                connect(
                    box, &QCheckBox::clicked, this, [this, i, bank2](bool ticked) { onInjActive(i, bank2, ticked); });
    if (auto* button = qobject_cast<QAbstractButton*>(findChildCtrl(this, COBD2Page::kButtonAdvanced)))
        connect(button, &QAbstractButton::clicked, this, [this] { OnBnClickedButtonAdvanced(); });
    m_page2.connectControls();
    return true;
}

bool CObdDlg::connected() const
{
    return m_context.device.isConnected();
}

QListWidget* CObdDlg::codeList() const
{
    return qobject_cast<QListWidget*>(findChildCtrl(this, kListCodes));
}

QStringList CObdDlg::listedCodes() const
{
    QStringList out;
    if (QListWidget* list = codeList())
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
    return out;
}

void CObdDlg::init()
{
    m_timer.reset();
    m_shownSetup = 0;
}

void CObdDlg::activate()
{
    CWspolneOdczytyExMultiPageDlg::activate();
    const bool advanced = m_context.device.image().m_devInfo.m_version >= kVersionAdvanced;
    if (QWidget* button = findChildCtrl(this, COBD2Page::kButtonAdvanced))
        button->setVisible(advanced);
    initWhenSetupRan();
    m_page2.showConfig();
    showLinkTexts();
    showReadings();
}

// The page fills itself from the records the view's setup step read, once per
// run of that step: a page shown before the step (at start-up, or between a
// reconnection and its setup) would show the empty records as "Wyłączone".
// It waits until it is shown, not at start-up: its detection may take seconds
// on the K-line. Switching pages while another operation runs is no reason for
// a refusal box: it fills itself on a later refresh.
void CObdDlg::initWhenSetupRan()
{
    const unsigned setup = obdOf(m_context.device).setupCount();
    if (setup == m_shownSetup || !connected() || m_context.device.operation().running())
        return;
    m_shownSetup = setup;
    initFromRecords();
}

void CObdDlg::initFromRecords()
{
    CLPGDevice& device = m_context.device;
    emptyReadings();
    const CObdSettingsRecord& settings = obdOf(device).settingsRecord();
    // The demo controller has a car on CAN whatever its records say.
    const bool enabled = settings.enabled != 0 || device.isDemo();
    setEnableCombo(enabled ? settings.protocol : 0);
    obdOf(device).setEstablished(enabled);
    m_page2.showConfig();
    if (!enabled)
        return;
    // The automatic detection, as "Włączone" would run it.
    if (auto* combo = qobject_cast<QComboBox*>(findChildCtrl(this, kComboEnable)))
        combo->setCurrentIndex(enableItem(4));
    OnCbnSelendokComboEnable();
}

void CObdDlg::setEnableCombo(uint8_t value)
{
    if (auto* combo = qobject_cast<QComboBox*>(findChildCtrl(this, kComboEnable)))
        combo->setCurrentIndex(enableItem(value));
}

void CObdDlg::emptyReadings()
{
    obdOf(m_context.device).clearReadingTexts();
    showReadings();
}

void CObdDlg::showReadings()
{
    for (int i = 0; i < CObdDiagnostic::kReadingCount; ++i)
        if (auto* edit = qobject_cast<QLineEdit*>(findChildCtrl(this, kEditReadingFirst + i))) {
            const QString text = QString::fromStdWString(obdOf(m_context.device).readingText(i));
            if (edit->text() != text)
                edit->setText(text);
        }
}

void CObdDlg::showLinkTexts()
{
    CLPGDevice& device = m_context.device;
    const bool up = obdOf(device).established();
    if (auto* edit = qobject_cast<QLineEdit*>(findChildCtrl(this, kEditProtocol)))
        edit->setText(up ? QString::fromStdWString(obdOf(device).protocolText()) : QString());
    if (auto* edit = qobject_cast<QLineEdit*>(findChildCtrl(this, kEditStandard)))
        edit->setText(up ? QString::fromStdWString(obdOf(device).standardText()) : QString());
}

void CObdDlg::updateTexts()
{
    CWspolneOdczytyExMultiPageDlg::updateTexts();
    retranslateLayout();
}

void CObdDlg::onTimer()
{
    CWspolneOdczytyExMultiPageDlg::onTimer();
    // The setup step runs on the view's refresh after a reconnection, while this page may be shown.
    if (obdOf(m_context.device).setupCount() != m_shownSetup) {
        initWhenSetupRan();
        showLinkTexts();
    }
    try {
        const CObdPageTimer::Result result = m_context.device.operation().running()
            ? CObdPageTimer::Result {}
            : m_timer.onTimer(obdOf(m_context.device), connected());
        if (result.polled)
            showReadings();
        if (result.correctionsDue)
            m_page2.refreshActualCorrections();
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("obd", "CObdDlg::onTimer", *error);
    }
}

void CObdDlg::OnCbnSelendokComboEnable()
{
    auto* combo = qobject_cast<QComboBox*>(findChildCtrl(this, kComboEnable));
    if (!combo || !connected())
        return;
    const int item = combo->currentIndex();
    const uint8_t value = item >= 0 && item < 5 ? kEnableValues[item] : 0;
    CLPGDevice& device = m_context.device;
    m_context.doc.runOperation(
        L"Wykrywanie OBD", L"CObdDlg::OnCbnSelendokComboEnable()",
        [&] {
            CWaitCursor wait;
            if (value == 0) {
                if (obdOf(device).switchOff()) {
                    m_page2.showConfig();
                    emptyReadings();
                    m_page2.showActualCorrections({}, {});
                }
                showLinkTexts();
                return;
            }
            emptyReadings();
            QElapsedTimer clock;
            clock.start();
            const uint8_t found = obdOf(device).detect(value);
            m_lastDetectionUs = clock.nsecsElapsed() / 1000;
            logMessage(LogLevel::Info, "obd",
                L"detection " + std::to_wstring(value) + L": protocol " + std::to_wstring(found) + L" after "
                    + std::to_wstring(m_lastDetectionUs) + L" us");
            setEnableCombo(found);
            showLinkTexts();
        },
        this);
}

void CObdDlg::OnBnClickedButtonread()
{
    CLPGDevice& device = m_context.device;
    m_context.doc.runOperation(
        L"Odczyt błędów OBD", L"CObdDlg::OnBnClickedButtonread()",
        [&] {
            CWaitCursor wait;
            if (QListWidget* list = codeList())
                list->clear();
            std::vector<uint16_t> codes;
            obdOf(device).readTroubleCodes(codes);
            QListWidget* list = codeList();
            for (uint16_t code : codes)
                if (list)
                    list->addItem(QString::fromStdWString(description(code)));
            // An empty box would leave the fitter wondering whether anything was read.
            if (list && codes.empty())
                list->addItem(QString::fromStdWString(translate(L"Brak zapisanych kodów")));
            logMessage(LogLevel::Info, "obd", L"trouble codes read: " + std::to_wstring(codes.size()));
        },
        this);
}

void CObdDlg::OnBnClickedButtonclear()
{
    CLPGDevice& device = m_context.device;
    m_context.doc.runOperation(
        L"Kasowanie błędów OBD", L"CObdDlg::OnBnClickedButtonclear()",
        [&] {
            if (obdOf(device).clearTroubleCodes() == CObdDiagnostic::Outcome::Done) {
                if (QListWidget* list = codeList())
                    list->clear();
                logMessage(LogLevel::Info, "obd", L"trouble codes cleared");
            }
        },
        this);
}

void CObdDlg::OnBnClickedButtonVin()
{
    CLPGDevice& device = m_context.device;
    if (!device.isConnected())
        return;
    m_context.doc.runOperation(
        L"Odczyt VIN",
        [&] {
            const std::wstring vin = readVinShown(device);
            if (vin.empty())
                return;
            if (auto* edit = qobject_cast<QLineEdit*>(findChildCtrl(this, kEditVin)))
                edit->setText(QString::fromStdWString(vin));
            if (CHistoryRecorder* history = CHistoryRecorder::installed()) {
                CCarDetails car = history->car();
                car.m_carInfo = device.image().m_carInfo;
                car.m_vin = vin;
                history->setCar(device, car);
            }
        },
        this);
}

namespace {

double editValue(const QWidget* page, int id)
{
    if (auto* edit = qobject_cast<QLineEdit*>(findChildCtrl(page, id)))
        return edit->text().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
    return 0;
}

} // namespace

// A spin of the corrections part: the change, stored when it took, then the
// fields shown again (also when it was refused).
void CObdDlg::changeConfig(const wchar_t* handler, const std::function<bool(CObdMapConfig&)>& change)
{
    if (!connected())
        return;
    m_context.doc.runOperation(
        L"Zapis ustawień", handler,
        [&] {
            if (change(obdOf(m_context.device).mapConfig()))
                m_page2.store();
            m_page2.showConfig();
        },
        this);
}

void CObdDlg::OnDeltaposSpinAverageCorr(int step)
{
    changeConfig(L"CObdDlg::OnDeltaposSpinAverageCorr()", [&](CObdMapConfig& config) {
        return CObdConfigEdit::setAveragingTime(config, editValue(this, COBD2Page::kEditAverageCorr) - step);
    });
}

void CObdDlg::OnDeltaposSpinMaxCorr(int step)
{
    changeConfig(L"CObdDlg::OnDeltaposSpinMaxCorr()", [&](CObdMapConfig& config) {
        return CObdConfigEdit::setMaxCorrection(config, editValue(this, COBD2Page::kEditMaxCorr) - step);
    });
}

void CObdDlg::OnDeltaposSpinNeutral1(int step)
{
    changeConfig(L"CObdDlg::OnDeltaposSpinNeutral1()",
        [&](CObdMapConfig& config) { return CObdConfigEdit::stepNeutral(config, 1, step); });
}

void CObdDlg::OnDeltaposSpinNeutral2(int step)
{
    changeConfig(L"CObdDlg::OnDeltaposSpinNeutral2()",
        [&](CObdMapConfig& config) { return CObdConfigEdit::stepNeutral(config, 2, step); });
}

void CObdDlg::onInjActive(int injector, bool bank2, bool ticked)
{
    if (!connected()) {
        m_page2.showConfig();
        return;
    }
    m_context.doc.runOperation(
        L"Zapis ustawień", L"CObdDlg::onInjActive()",
        [&] {
            // Ticking a box puts the injector on that bank; clearing one puts it on the other.
            const bool onBank2 = bank2 == ticked;
            if (CObdConfigEdit::setInjectorBank(obdOf(m_context.device).mapConfig(), injector, onBank2))
                m_page2.store();
            m_page2.showConfig();
        },
        this);
}

void CObdDlg::OnBnClickedButtonAdvanced()
{
    COBDAdvancedDlg dialog(m_context, this);
    dialog.DoModal();
    showReadings();
}
