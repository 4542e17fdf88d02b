// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/corrpmdlg.h>

#include <app/data/diag.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/shell/buttontips.h>
#include <app/device/settingblocks.h>
#include <app/device/writesession.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/shell/checkboximages.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/maparray.h>
#include <app/tuning/mapfromobd.h>
#include <app/tuning/deviceobd.h>
#include <basectrls/ctrlid.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>

#include <array>
#include <optional>
#include <vector>

namespace {

const wchar_t* const kMapWriteFailed = L"Nie powiodło się wpisanie mapy wtrysków do urządzenia!";

// The page in dialog units of the 800 x 600 design. Mapping from OBD and its
// three buttons share the lower row; the widths leave room for translations.
// The keys of the grid, in two lines under it.
const std::array<SCtrlLayout, 9> kLayout { {
    { CCorRpmDlg::kTable, ECtrlKind::Placeholder, 8, 8, 784, 450, L"Tabela" },
    { CCorRpmDlg::kHint, ECtrlKind::Label, 8, 460, 784, 28, L"Cyfry i Enter: wpisz wartość · Ctrl+↑/↓ lub Ctrl+kółko: krok" },
    { CCorRpmDlg::kHint2, ECtrlKind::Label, 8, 488, 784, 28,
      L"Shift+strzałki: zaznaczanie · Ctrl+Z: cofnij · prawy przycisk: więcej" },
    { CCorRpmDlg::kBtnClearMap, ECtrlKind::PushButton, 8, 520, 240, 30, L"Kasuj korekty" },
    { CCorRpmDlg::kChkNeighbours, ECtrlKind::CheckBox, 260, 520, 360, 30, L"Zmiana sąsiadujących" },
    { CCorRpmDlg::kChkObdMap, ECtrlKind::CheckBox, 8, 560, 304, 30, L"Mapowanie z OBD" },
    { CCorRpmDlg::kBtnObdMapStart, ECtrlKind::PushButton, 320, 560, 112, 30, L"Start" },
    { CCorRpmDlg::kBtnObdMapStop, ECtrlKind::PushButton, 440, 560, 112, 30, L"Stop" },
    { CCorRpmDlg::kBtnObdMapCalculate, ECtrlKind::PushButton, 560, 560, 232, 30, L"Oblicz korekty" },
} };

} // namespace

CCorRpmDlg::CCorRpmDlg(const CPageContext& context, QWidget* parent)
    : CGDIpMultiPageDialog(kResourceId, parent)
    , m_context(context)
    , m_mapFromObd(std::make_unique<CMapFromOBD>(context.device.image().m_corrMap))
{
    setObjectName(QStringLiteral("corRpmDlg"));
    setTranslator([](const std::wstring& text) { return translate(text); });
}

CCorRpmDlg::~CCorRpmDlg() = default;

std::span<const SCtrlLayout> CCorRpmDlg::layoutTable() const
{
    return kLayout;
}

void CCorRpmDlg::createControls()
{
    CGDIpMultiPageDialog::createControls();
    // The grid takes the placeholder's place and keeps its rectangle (init sizes it to the cells).
    const QWidget* placeholder = findChildCtrl(this, kTable);
    const QRect area = placeholder ? placeholder->geometry() : QRect();
    m_grid = new CMapArray(&m_context.device);
    m_grid->CreateFromStatic(kTable, this);
    m_grid->setOperationRunner([this](const wchar_t* name, const std::function<void()>& body) {
        return m_context.doc.runOperation(name, body, this);
    });
    m_grid->initGrid(getContainerFont() ? *getContainerFont() : font());
    m_grid->setGeometry(area);

    for (int id : { kHint, kHint2 })
        if (auto* hint = qobject_cast<QLabel*>(findChildCtrl(this, id))) {
            hint->setWordWrap(true);
            hint->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        }
    m_neighbours = qobject_cast<QCheckBox*>(findChildCtrl(this, kChkNeighbours));
    m_obdMap = qobject_cast<QCheckBox*>(findChildCtrl(this, kChkObdMap));
    m_boxImages = new CCheckBoxImages(L"CheckBox_Selected.tif", L"CheckBox_Unselected.tif", this);
    m_boxImages->apply(m_neighbours);
    m_boxImages->apply(m_obdMap);
    setOwnButtonTip(m_neighbours,
        L"Powtarzane kroki Ctrl+Góra / Ctrl+Dół zmieniają też komórki wokół zaznaczonych; samo zaznaczenie niczego "
        L"nie wpisuje do sterownika.");
    setOwnButtonTip(m_obdMap,
        L"Pokazuje przyciski mapowania z OBD: Start, Stop i Oblicz korekty; samo zaznaczenie niczego nie wpisuje do "
        L"sterownika.");

    if (auto* clear = qobject_cast<QAbstractButton*>(findChildCtrl(this, kBtnClearMap))) {
        connect(clear, &QAbstractButton::clicked, this, [this] { OnBnClickedBtnClearMap(); });
        setOwnButtonTip(clear, L"Ustawia w sterowniku wszystkie komórki mapy na 0.");
    }
    if (m_neighbours)
        connect(m_neighbours, &QAbstractButton::clicked, this, [this] { OnBnClickedChkNeighbours(); });
    if (m_obdMap)
        connect(m_obdMap, &QAbstractButton::clicked, this, [this] { OnBnClickedChkObdMap(); });
    if (auto* start = qobject_cast<QAbstractButton*>(findChildCtrl(this, kBtnObdMapStart)))
        connect(start, &QAbstractButton::clicked, this, [this] { OnBnClickedBtnObdMapStart(); });
    if (auto* stop = qobject_cast<QAbstractButton*>(findChildCtrl(this, kBtnObdMapStop)))
        connect(stop, &QAbstractButton::clicked, this, [this] { OnBnClickedBtnObdMapStop(); });
    if (auto* calculate = qobject_cast<QAbstractButton*>(findChildCtrl(this, kBtnObdMapCalculate)))
        connect(calculate, &QAbstractButton::clicked, this, [this] { OnClickedBtnObdMapCalculate(); });
    enableObdMapping(false);
    refresh();
}

void CCorRpmDlg::refresh()
{
    const uint32_t unread = unreadBlocks(m_context.device, CReadBlocks::InjMap | CReadBlocks::MapAxes);
    m_mapUnread = unread != 0;
    if (m_grid) {
        m_grid->setUnread(unread & CReadBlocks::InjMap, unread & CReadBlocks::MapAxes);
        m_grid->refresh();
    }
    if (m_obdMap)
        m_obdMap->setEnabled(m_obdMappingEnabled && !m_mapUnread);
    updateObdButtons();
}

void CCorRpmDlg::activate()
{
    enableObdMapping(obdOf(m_context.device).established());
    refresh();
    // Keys reach the grid; a refresh while the fitter types somewhere on the page leaves the focus there.
    const QWidget* focused = QApplication::focusWidget();
    if (m_grid && !(focused && isAncestorOf(focused)))
        m_grid->setFocus();
}

void CCorRpmDlg::updateTexts()
{
    retranslateLayout();
}

void CCorRpmDlg::onTimer()
{
    CLPGDevice& device = m_context.device;
    // The link to the engine computer may come or go while the page is shown.
    if (obdOf(device).established() != m_obdMappingEnabled)
        enableObdMapping(obdOf(device).established());
    if (!m_grid || !device.isConnected())
        return;
    // Only the newest record places the marker; a first tick need not copy the whole queue.
    const uint64_t newest = device.diagData().newestSequence();
    if (newest == 0 || newest == m_lastSequence)
        return;
    if (m_lastSequence == 0 || m_lastSequence > newest)
        m_lastSequence = newest - 1;
    std::vector<CDiag> records;
    const auto since = device.diagData().copySince(m_lastSequence, records);
    m_lastSequence = since.newest;
    if (records.empty())
        return;
    const OperatingPoint point = operatingPointOf(records.back(), device.image().m_devInfo.m_injCount);
    m_grid->markOperatingPoint(point.rpm, point.timeMs);
    if (m_obdMappingRunning)
        obdMappingTick(point.rpm, point.timeMs);
}

bool CCorRpmDlg::preTranslateMessage(QEvent* msg)
{
    if (CGDIpMultiPageDialog::preTranslateMessage(msg))
        return true;
    if (msg->type() != QEvent::KeyPress || !m_grid)
        return false;
    return m_grid->handleKey(static_cast<QKeyEvent*>(msg));
}

void CCorRpmDlg::OnBnClickedBtnClearMap()
{
    CLPGDevice& device = m_context.device;
    if (!device.isConnected())
        return;
    const std::optional<MapValues> before = m_grid ? std::optional<MapValues>(m_grid->model().values()) : std::nullopt;
    bool cleared = false;
    m_context.doc.runOperation(
        L"Kasowanie korekt", L"CCorRpmDlg::OnBnClickedBtnClearMap()",
        [&] {
            CWaitCursor wait;
            CWriteSession session(device, L"CCorRpmDlg::OnBnClickedBtnClearMap()");
            logInfo("map", "clearing the map: command 0x14");
            if (!session.require(CReadBlocks::InjMap) || !session.send(CWriteSession::Command::Command14)) {
                session.finish().show(kMapWriteFailed);
                return;
            }
            logInfo("map", "clearing the map: command 0x13");
            if (!session.send(CWriteSession::Command::Command13)) {
                userInteraction().message(translate(kMapWriteFailed), L"KORVANA", MsgIcon::Error);
                return;
            }
            device.changeImage([](CSettingsImage& image) {
                for (auto& row : image.m_corrMap.m_injMapTable)
                    row.fill(0.0);
            });
            cleared = true;
        },
        this);
    refresh();
    // Undone like a grid edit: the whole map written back, after asking.
    if (cleared && before && m_grid) {
        m_grid->model().refresh();
        m_grid->model().rememberEdit(*before);
    }
}

void CCorRpmDlg::OnBnClickedChkNeighbours()
{
    if (m_grid && m_neighbours)
        m_grid->setChangeNeighbours(m_neighbours->isChecked());
}

void CCorRpmDlg::enableObdMapping(bool enabled)
{
    m_obdMappingEnabled = enabled;
    if (!enabled && m_obdMappingRunning) {
        // The engine computer is gone: collecting ends here, whatever the controller answers.
        m_obdMappingRunning = false;
        if (!m_context.doc.runOperation(L"Mapowanie z OBD", [&] {
                try {
                    m_mapFromObd->stop(m_context.device);
                } catch (IError* e) {
                    CErrorGuard error(e);
                    logSwallowed("map", "CCorRpmDlg::enableObdMapping()", *error);
                }
            }, this))
            logWarning("map", "OBD mapping ended without restoring the automatic corrections");
        showMapAgain();
    }
    if (m_obdMap) {
        m_obdMap->setVisible(enabled);
        m_obdMap->setEnabled(enabled && !m_mapUnread);
        if (!enabled)
            m_obdMap->setChecked(false);
    }
    updateObdButtons();
}

void CCorRpmDlg::updateObdButtons()
{
    const bool shown = m_obdMap && m_obdMap->isChecked() && m_obdMappingEnabled;
    const auto set = [this](int id, bool visible, bool enabled) {
        if (QWidget* control = findChildCtrl(this, id)) {
            control->setVisible(visible);
            control->setEnabled(enabled);
        }
    };
    set(kBtnObdMapStart, shown, shown && !m_obdMappingRunning);
    set(kBtnObdMapStop, shown, shown);
    set(kBtnObdMapCalculate, shown, shown && !m_obdMappingRunning && m_calculateAllowed);
    // Clearing the map under a collection would mix the means with a map that is gone.
    set(kBtnClearMap, true, !shown && !m_mapUnread);
}

void CCorRpmDlg::OnBnClickedChkObdMap()
{
    m_calculateAllowed = false;
    updateObdButtons();
}

void CCorRpmDlg::OnBnClickedBtnObdMapStart()
{
    CLPGDevice& device = m_context.device;
    if (m_obdMappingRunning || !device.isConnected())
        return;
    bool started = false;
    m_context.doc.runOperation(
        L"Mapowanie z OBD", L"CCorRpmDlg::OnBnClickedBtnObdMapStart()",
        [&] {
            started = m_mapFromObd->start(device);
        },
        this);
    if (!started)
        return;
    m_obdMappingRunning = true;
    if (m_grid) {
        // Grey cells that darken with every record the engine spends in them.
        m_grid->setDarkenStep(1.0);
        m_grid->setColourMode(0);
    }
    updateObdButtons();
}

void CCorRpmDlg::OnBnClickedBtnObdMapStop()
{
    if (!m_obdMappingRunning)
        return;
    CLPGDevice& device = m_context.device;
    // Automatic OBD corrections go back on; a refused Stop keeps collecting so it can be pressed again.
    if (!m_context.doc.runOperation(
            L"Mapowanie z OBD", L"CCorRpmDlg::OnBnClickedBtnObdMapStop()", [&] { m_mapFromObd->stop(device); }, this))
        return;
    m_obdMappingRunning = false;
    m_calculateAllowed = true;
    showMapAgain();
    updateObdButtons();
}

void CCorRpmDlg::showMapAgain()
{
    // The grid showed the cell means while collecting; a step edit now must see the map.
    if (!m_grid)
        return;
    m_grid->setColourMode(1);
    refresh();
}

void CCorRpmDlg::obdMappingTick(double rpm, double timeMs)
{
    if (!m_mapFromObd->tick(obdOf(m_context.device), rpm, timeMs) || !m_grid)
        return;
    // Texts only: the backgrounds stay grey while collecting.
    const auto& mean = m_mapFromObd->cellMean();
    for (int r = 0; r < CMapFromOBD::kRows; ++r)
        for (int c = 0; c < CMapFromOBD::kCols; ++c)
            m_grid->model().setCellValue(c, r, mean[static_cast<std::size_t>(r * CMapFromOBD::kCols + c)]);
    m_grid->syncFromModel();
}

void CCorRpmDlg::OnClickedBtnObdMapCalculate()
{
    CLPGDevice& device = m_context.device;
    if (m_obdMappingRunning || !device.isConnected())
        return;
    // The map the corrections are added to, as the image holds it: what an undo writes back.
    std::optional<MapValues> before;
    if (m_grid) {
        m_grid->model().refresh();
        before = m_grid->model().values();
    }
    bool written = false;
    const bool ran = m_context.doc.runOperation(
        L"Oblicz korekty", L"CCorRpmDlg::OnClickedBtnObdMapCalculate()",
        [&] {
            written = m_mapFromObd->calculate(device);
            if (written)
                logInfo("map", "OBD mapping: corrections written");
        },
        this);
    if (!ran)
        return;
    // The image holds the new map even when the controller refused it.
    showMapAgain();
    updateObdButtons();
    // Undone like a grid edit: the whole map written back, after asking. Only what the controller took.
    if (written && before && m_grid) {
        m_grid->model().refresh();
        m_grid->model().rememberEdit(*before);
    }
}
