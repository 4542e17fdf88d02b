// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/wspolneodczytymultipagedlg.h>

#include <app/data/readingspanel.h>
#include <app/data/settingsimage.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/shell/errorbox.h>
#include <app/shell/deviceeventrelay.h>
#include <app/shell/korvanadoc.h>
#include <basectrls/ctrlid.h>
#include <errkit/utf8.h>
#include <gradctrls/dialogs/gdipstatic.h>
#include <gradctrls/displays/gdipgaugedisplay.h>
#include <gradctrls/displays/gdipinjectorstatedisplay.h>

#include <QEvent>
#include <QGraphicsColorizeEffect>
#include <QMouseEvent>

#include <memory>
#include <vector>

namespace {

const wchar_t* const kCaption = L"KORVANA";

using Dlg = CWspolneOdczytyMultiPageDlg;

// Dialog units of the 800 x 600 design. A gauge is 90 x 83 du, square in pixels.
constexpr int kGaugeW = 90;
constexpr int kGaugeH = 83;
constexpr int kCellX[2] = { 530, 662 };
constexpr int kCellW = 126;
constexpr int kCellH = 30;
constexpr int kCellTop = 194;
constexpr int kCellStep = 34;

std::vector<SCtrlLayout> panelTable()
{
    std::vector<SCtrlLayout> rows = {
        { Dlg::kRpmId, ECtrlKind::Placeholder, 525, 4, kGaugeW, kGaugeH, nullptr },
        { Dlg::kPressureId, ECtrlKind::Placeholder, 615, 4, kGaugeW, kGaugeH, nullptr },
        { Dlg::kVacuumId, ECtrlKind::Placeholder, 705, 4, kGaugeW, kGaugeH, nullptr },
        { Dlg::kReducerId, ECtrlKind::Placeholder, 570, 89, kGaugeW, kGaugeH, nullptr },
        { Dlg::kGasId, ECtrlKind::Placeholder, 660, 89, kGaugeW, kGaugeH, nullptr },
        { Dlg::kPetrolTitleId, ECtrlKind::LabelCenter, kCellX[0], 176, kCellW, 14, L"BENZYNA" },
        { Dlg::kLpgTitleId, ECtrlKind::LabelCenter, kCellX[1], 176, kCellW, 14, L"GAZ" },
    };
    for (int i = 0; i < 8; ++i) {
        const int y = kCellTop + i * kCellStep;
        rows.push_back({ Dlg::kPetrolIds[static_cast<std::size_t>(i)], ECtrlKind::Placeholder, kCellX[0], y, kCellW,
            kCellH, nullptr });
        rows.push_back(
            { Dlg::kLpgIds[static_cast<std::size_t>(i)], ECtrlKind::Placeholder, kCellX[1], y, kCellW, kCellH, nullptr });
    }
    return rows;
}

// Ids of the gauges in the order of readingspanel::EGauge, with their titles.
constexpr int kGaugeIds[readingspanel::kGaugeCount] = { Dlg::kRpmId, Dlg::kPressureId, Dlg::kVacuumId,
    Dlg::kReducerId, Dlg::kGasId };
const wchar_t* const kGaugeTitles[readingspanel::kGaugeCount] = { L"RPM", L"Ciśnienie", L"Podciśnienie",
    L"Reduktor", L"Gaz" };

QString translated(const wchar_t* text)
{
    return QString::fromStdWString(translate(text));
}

// A petrol cell's title: the language's letter for petrol and the cylinder ("B1" in Polish).
QString petrolTitle(std::size_t cylinder)
{
    return translated(L"B") + QString::number(cylinder + 1);
}

// The dial picture every panel shares; loaded by the first panel that finds it.
CImageObject& sharedGauge()
{
    static CImageObject picture;
    return picture;
}

} // namespace

CWspolneOdczytyMultiPageDlg::CWspolneOdczytyMultiPageDlg(const CPageContext& context, int resourceId, QWidget* parent)
    : CGDIpMultiPageDialog(resourceId, parent)
    , m_context(context)
{
    setTranslator([](const std::wstring& text) { return translate(text); });
}

CWspolneOdczytyMultiPageDlg::~CWspolneOdczytyMultiPageDlg() = default;

void CWspolneOdczytyMultiPageDlg::createControls()
{
    CGDIpMultiPageDialog::createControls();
    const std::vector<SCtrlLayout> rows = panelTable();
    CPageLayout::build(this, rows, [](const std::wstring& text) { return translate(text); });
    for (int g = 0; g < readingspanel::kGaugeCount; ++g) {
        auto* gauge = new CGDIpGaugeDisplay;
        if (!gauge->CreateFromStatic(kGaugeIds[g], this)) {
            delete gauge;
            gauge = nullptr;
        }
        m_gauges[static_cast<std::size_t>(g)] = gauge;
    }
    for (std::size_t i = 0; i < 8; ++i) {
        auto* petrol = new CGDIpInjectorStateDisplay;
        petrol->CreateFromStatic(kPetrolIds[i], this);
        petrol->installEventFilter(this);
        m_petrol[i] = petrol;
        auto* lpg = new CGDIpInjectorStateDisplay;
        lpg->CreateFromStatic(kLpgIds[i], this);
        lpg->installEventFilter(this);
        m_lpg[i] = lpg;
    }
}

bool CWspolneOdczytyMultiPageDlg::OnInitDialog()
{
    if (!CGDIpMultiPageDialog::OnInitDialog())
        return false;
    setUpInjectors();
    updateInjectorTips();
    setUpGauges();
    showInjectorCount();
    // Texts follow a language change through the view, which calls updateTexts of every page.
    connect(&m_context.relay, &CDeviceEventRelay::imageChanged, this, [this] { showInjectorCount(); });
    return true;
}

std::vector<std::wstring> CWspolneOdczytyMultiPageDlg::skinFiles()
{
    // The dial first: it is the largest.
    const std::wstring skins = CGDIpInjectorStateDisplay::getPath();
    return { CGDIpGaugeDisplay::getPath() + L"Gauge.tif", skins + L"Injector_Green.tif", skins + L"Injector_Red.tif",
        skins + L"Injector_White.tif" };
}

void CWspolneOdczytyMultiPageDlg::setUpInjectors()
{
    const std::wstring skins = CGDIpInjectorStateDisplay::getPath();
    const std::vector<std::wstring> files = skinFiles();
    // Each picture only when the one before it loaded.
    const bool loaded = m_injGreen.Load(files[1]) && m_injRed.Load(files[2]) && m_injWhite.Load(files[3]);
    for (std::size_t i = 0; i < 8; ++i) {
        m_petrol[i]->valueText()->setText(QString());
        m_lpg[i]->valueText()->setText(QString());
    }
    if (!loaded) {
        logInfo("gui", "injector picture missing in " + toUtf8(skins));
        // Without all three pictures the displays stay bare.
        for (std::size_t i = 0; i < 8; ++i) {
            m_petrol[i]->titleText()->setText(QString());
            m_lpg[i]->titleText()->setText(QString());
        }
        return;
    }
    CGDIpInjectorStateDisplay& first = *m_petrol[0];
    first.setInternalImages(&m_injRed, &m_injGreen, &m_injWhite);
    first.m_state = readingspanel::kStateOff;
    first.titleText()->setText(petrolTitle(0));
    first.valueText()->setText(QString());
    first.Invalidate();
    for (std::size_t i = 1; i < 8; ++i) {
        *m_petrol[i] = first;
        m_petrol[i]->titleText()->setText(petrolTitle(i));
        m_petrol[i]->Invalidate();
    }
    CGDIpInjectorStateDisplay& firstLpg = *m_lpg[0];
    firstLpg = first;
    firstLpg.m_state = readingspanel::kStateIdle;
    firstLpg.titleText()->setText(QStringLiteral("G1"));
    firstLpg.Invalidate();
    for (std::size_t i = 1; i < 8; ++i) {
        *m_lpg[i] = firstLpg;
        m_lpg[i]->titleText()->setText(QStringLiteral("G%1").arg(i + 1));
        m_lpg[i]->Invalidate();
    }
}

void CWspolneOdczytyMultiPageDlg::setUpGauges()
{
    CImageObject& dial = sharedGauge();
    const std::wstring file = skinFiles().front();
    if (!dial.IsLoaded() && !dial.Load(file)) {
        logInfo("gui", "gauge picture missing: " + toUtf8(file));
        return;
    }
    CGDIpGaugeDisplay* rpm = m_gauges[0];
    if (!rpm)
        return;
    rpm->setInternalImage(&dial);
    rpm->setAngleRange(68, 292);
    if (QFont* font = getContainerFont()) {
        rpm->valueText()->setFont(*font);
        rpm->titleText()->setFont(*font);
    }
    for (std::size_t g = 1; g < m_gauges.size(); ++g)
        if (m_gauges[g])
            *m_gauges[g] = *rpm;
    for (int g = 0; g < readingspanel::kGaugeCount; ++g)
        if (CGDIpGaugeDisplay* gauge = m_gauges[static_cast<std::size_t>(g)]) {
            gauge->titleText()->setText(translated(kGaugeTitles[g]));
            gauge->valueText()->setText(QString());
        }
}

void CWspolneOdczytyMultiPageDlg::showInjectorCount()
{
    int n = m_context.device.image().m_devInfo.m_injCount;
    n = std::clamp(n, 0, 8);
    if (n == m_shownInjCount)
        return;
    m_shownInjCount = n;
    for (int i = 0; i < 8; ++i) {
        m_petrol[static_cast<std::size_t>(i)]->setVisible(i < n);
        m_lpg[static_cast<std::size_t>(i)]->setVisible(i < n);
    }
}

void CWspolneOdczytyMultiPageDlg::activate()
{
    showInjectorCount();
    m_shownSequence = 0;
    onTimer();
}

void CWspolneOdczytyMultiPageDlg::onTimer()
{
    CLPGDevice& device = m_context.device;
    // A recording played back shows its own records.
    if (m_playback || !device.isConnected())
        return;
    CDiag record;
    if (!device.diagData().latest(record))
        return;
    // The same record again changes nothing on the panel.
    if (device.diagData().newestSequence() == m_shownSequence)
        return;
    m_shownSequence = device.diagData().newestSequence();
    setStale(false);
    showCells(readingspanel::compute(record, device.image()));
}

void markStaleWidget(QWidget* widget, bool stale)
{
    if (!widget)
        return;
    if (!stale) {
        widget->setGraphicsEffect(nullptr);
        return;
    }
    auto* grey = new QGraphicsColorizeEffect(widget);
    grey->setColor(QColor(128, 128, 128));
    grey->setStrength(1.0);
    widget->setGraphicsEffect(grey);
}

void CWspolneOdczytyMultiPageDlg::setStale(bool stale)
{
    if (stale == m_stale)
        return;
    m_stale = stale;
    // The next record is shown whole, even one with the sequence shown last.
    m_shownSequence = 0;
    const QString none = QString::fromWCharArray(kStaleValue);
    for (CGDIpGaugeDisplay* gauge : m_gauges) {
        if (!gauge)
            continue;
        markStaleWidget(gauge, stale);
        if (stale)
            gauge->valueText()->setText(none);
    }
    for (const auto* cells : { &m_petrol, &m_lpg }) {
        for (CGDIpInjectorStateDisplay* cell : *cells) {
            if (!cell)
                continue;
            markStaleWidget(cell, stale);
            if (stale)
                cell->valueText()->setText(none);
        }
    }
}

void CWspolneOdczytyMultiPageDlg::setPlayback(bool on)
{
    m_playback = on;
    // Back to live: the next record is shown even when it is the one shown before.
    m_shownSequence = 0;
}

void CWspolneOdczytyMultiPageDlg::showPlayed(const CDiagFile::Record& record)
{
    setStale(false);
    showCells(readingspanel::computePlayed(record));
}

void CWspolneOdczytyMultiPageDlg::showCells(const readingspanel::CCells& cells)
{
    for (std::size_t i = 0; i < 8; ++i) {
        if (cells.petrol[i])
            m_petrol[i]->valueText()->setText(QString::fromStdWString(*cells.petrol[i]));
        if (cells.lpg[i])
            m_lpg[i]->valueText()->setText(QString::fromStdWString(*cells.lpg[i]));
        if (m_petrol[i]->m_state != cells.petrolState[i]) {
            m_petrol[i]->m_state = cells.petrolState[i];
            m_petrol[i]->Invalidate();
        }
        if (m_lpg[i]->m_state != cells.lpgState[i]) {
            m_lpg[i]->m_state = cells.lpgState[i];
            m_lpg[i]->Invalidate();
        }
    }
    for (std::size_t g = 0; g < m_gauges.size(); ++g)
        if (CGDIpGaugeDisplay* gauge = m_gauges[g]) {
            gauge->setPos(cells.gauges[g].position);
            const QString text = QString::fromStdWString(cells.gauges[g].text);
            if (gauge->valueText()->text() != text)
                gauge->valueText()->setText(text);
        }
}

void CWspolneOdczytyMultiPageDlg::updateInjectorTips()
{
    // The icon's key and what a click on it does.
    for (std::size_t i = 0; i < 8; ++i) {
        const QString n = QString::number(i + 1);
        if (m_petrol[i])
            m_petrol[i]->setToolTip(
                translated(L"B%1: wtryskiwacz benzyny cylindra %1. Kliknięcie (na gazie) włącza lub wyłącza jego emulator.")
                    .arg(n));
        if (m_lpg[i])
            m_lpg[i]->setToolTip(
                translated(L"G%1: wtryskiwacz gazu cylindra %1. Kliknięcie (na gazie) wyłącza lub włącza ten wtryskiwacz.")
                    .arg(n));
    }
}

void CWspolneOdczytyMultiPageDlg::updateTexts()
{
    updateInjectorTips();
    if (QWidget* petrol = findChildCtrl(this, kPetrolTitleId))
        if (auto* label = qobject_cast<QLabel*>(petrol))
            label->setText(translated(L"BENZYNA"));
    if (QWidget* lpg = findChildCtrl(this, kLpgTitleId))
        if (auto* label = qobject_cast<QLabel*>(lpg))
            label->setText(translated(L"GAZ"));
    // Bare cells (no pictures) carry no title.
    for (std::size_t i = 0; i < 8; ++i)
        if (m_petrol[i] && !m_petrol[i]->titleText()->text().isEmpty())
            m_petrol[i]->titleText()->setText(petrolTitle(i));
    if (!sharedGauge().IsLoaded())
        return;
    for (int g = 0; g < readingspanel::kGaugeCount; ++g)
        if (CGDIpGaugeDisplay* gauge = m_gauges[static_cast<std::size_t>(g)])
            gauge->titleText()->setText(translated(kGaugeTitles[g]));
}

bool CWspolneOdczytyMultiPageDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        for (int i = 0; i < 8; ++i) {
            if (watched == m_petrol[static_cast<std::size_t>(i)]) {
                onClickedPetrol(i);
                return true;
            }
            if (watched == m_lpg[static_cast<std::size_t>(i)]) {
                onClickedLpg(i);
                return true;
            }
        }
    }
    return CGDIpMultiPageDialog::eventFilter(watched, event);
}

namespace {

// Whether the controller answers a record now and runs on LPG.
bool runsOnLpg(CLPGDevice& device)
{
    if (!device.isConnected())
        return false;
    CDiag record;
    return device.readLiveData(record) == CLPGDevice::kLiveOk && record.fuelState() == 3;
}

} // namespace

void CWspolneOdczytyMultiPageDlg::onClickedPetrol(int cylinder)
{
    // A played record is no car to switch.
    if (m_playback)
        return;
    if (cylinder < 0 || cylinder >= 8 || !m_context.device.isConnected())
        return;
    m_context.doc.runOperation(
        L"Maska emulatorów", L"CWorkingInjectors::onGasInj()",
        [&] {
            CWaitCursor wait;
            if (!runsOnLpg(m_context.device))
                return;
            std::array<int, 8> states {};
            for (std::size_t k = 0; k < 8; ++k)
                states[k] = m_petrol[k]->m_state;
            const auto change
                = readingspanel::clickPetrol(cylinder, states, m_context.device.image().m_adv.m_injConfMap);
            for (std::size_t k = 0; k < 8; ++k)
                if (m_petrol[k]->m_state != change.states[k]) {
                    m_petrol[k]->m_state = change.states[k];
                    m_petrol[k]->Invalidate();
                }
            sendMask(false, change.mask);
        },
        this);
}

void CWspolneOdczytyMultiPageDlg::onClickedLpg(int cylinder)
{
    // A played record is no car to switch.
    if (m_playback)
        return;
    if (cylinder < 0 || cylinder >= 8 || !m_context.device.isConnected())
        return;
    m_context.doc.runOperation(
        L"Maska wtryskiwaczy LPG", L"CWspolneOdczytyMultiPageDlg::onClickedGasInj()",
        [&] {
            CWaitCursor wait;
            if (!runsOnLpg(m_context.device))
                return;
            std::array<int, 8> petrol {};
            std::array<int, 8> lpg {};
            for (std::size_t k = 0; k < 8; ++k) {
                petrol[k] = m_petrol[k]->m_state;
                lpg[k] = m_lpg[k]->m_state;
            }
            const auto change = readingspanel::clickLpg(cylinder, petrol, lpg);
            if (!change)
                return;
            const auto at = static_cast<std::size_t>(cylinder);
            m_lpg[at]->m_state = change->states[at];
            m_lpg[at]->Invalidate();
            sendMask(true, change->mask);
        },
        this);
}

bool CWspolneOdczytyMultiPageDlg::sendMask(bool lpg, uint8_t mask)
{
    // Sent inside the caller's operation.
    bool done = false;
    runShowingErrors(L"CWspolneOdczytyMultiPageDlg::onSetEmulators()", [&] {
        logInfo("pages", std::string(lpg ? "LPG injector mask " : "emulator mask ") + std::to_string(mask));
        CWriteSession session(m_context.device, L"CWspolneOdczytyMultiPageDlg::onSetEmulators()");
        done = session.send(lpg ? CWriteSession::Command::Injectors : CWriteSession::Command::Emulators, mask);
        if (!done)
            userInteraction().message(translate(L"Nie powiodło się ustawienie urządzenia!"), kCaption, MsgIcon::Error);
    });
    return done;
}
