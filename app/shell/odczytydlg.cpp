// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/odczytydlg.h>
#include <app/shell/skinimage.h>

#include <app/data/diagfile.h>
#include <app/data/osccsv.h>
#include <app/data/oscparser.h>
#include <app/data/oscrecording.h>
#include <app/data/readingschart.h>
#include <app/data/recordingpath.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/documentsdir.h>
#include <app/platform/filereplace.h>
#include <app/platform/log.h>
#include <app/platform/textcodec.h>
#include <app/platform/userinteraction.h>
#include <app/shell/buttontips.h>
#include <app/shell/deviceeventrelay.h>
#include <app/shell/imagebutton.h>
#include <app/shell/imagecheckbox.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/levelbar.h>
#include <app/tuning/deviceobd.h>
#include <basectrls/ctrlid.h>
#include <gradctrls/charts/chartlegend.h>
#include <gradctrls/charts/scrollchart.h>
#include <gradctrls/dialogs/gdippalette.h>
#include <gradctrls/dialogs/gdipstatic.h>

#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

#include <climits>
#include <ctime>
#include <filesystem>

namespace {

const wchar_t* const kCaption = L"KORVANA";
const wchar_t* const kOscFilter = L"Diagnostic file (*.osc)|*.osc|";
const wchar_t* const kCsvFilter = L"CSV (*.csv)|*.csv|";

using Dlg = COdczytyDlg;

// The chart's left part of the 800 x 600 design, in dialog units.
constexpr int kLeft = 6;
constexpr int kChartW = 362;
constexpr int kChartH = 400;
constexpr int kLegendW = 144;
constexpr int kBarsTop = 444;
constexpr int kBarsH = 92;
constexpr int kColumn = 38;
constexpr int kRecLeft = 318;
std::vector<SCtrlLayout> buildTable()
{
    std::vector<SCtrlLayout> rows;
    rows.push_back({ Dlg::kChartId, ECtrlKind::Placeholder, kLeft, 6, kChartW, kChartH, nullptr });
    rows.push_back({ Dlg::kLegendId, ECtrlKind::Placeholder, kLeft + kChartW + 2, 6, kLegendW, kChartH, nullptr });
    rows.push_back({ Dlg::kRecordMarkId, ECtrlKind::Placeholder, kLeft, kChartH + 8, kChartW + 2 + kLegendW, 14,
        nullptr });
    rows.push_back({ Dlg::kPlayLabelId, ECtrlKind::Placeholder, kLeft, kChartH + 24, 196, 14, nullptr });
    rows.push_back({ Dlg::kPlaySliderId, ECtrlKind::Placeholder, kLeft + 200, kChartH + 24, 244, 14, nullptr });
    rows.push_back({ Dlg::kPlaySpeedId, ECtrlKind::ComboBox, kLeft + 448, kChartH + 23, 60, 16, nullptr });
    for (int k = 0; k < 8; ++k) {
        const int x = kLeft + 4 + k * kColumn;
        rows.push_back({ Dlg::kFirstBarId + 3 * k, ECtrlKind::Placeholder, x, kBarsTop, 14, kBarsH, nullptr });
        rows.push_back({ Dlg::kFirstBarId + 3 * k + 1, ECtrlKind::Placeholder, x + 16, kBarsTop, 14, kBarsH, nullptr });
        rows.push_back({ Dlg::kFirstBarId + 3 * k + 2, ECtrlKind::LabelCenter, x, kBarsTop + kBarsH + 2, 30, 12,
            nullptr });
    }
    return rows;
}

const std::vector<SCtrlLayout>& table()
{
    static const std::vector<SCtrlLayout> rows = buildTable();
    return rows;
}

struct SRecorderButton {
    int id;
    const wchar_t* text;
    const wchar_t* skin; // null: a text button
    int x, y, cx, cy;
};

constexpr int kBtn = 44;
constexpr int kBtnH = 40;
const SRecorderButton kRecorder[] = {
    { Dlg::kStartId, L"Start", nullptr, kRecLeft, kBarsTop, kBtn, kBtnH },
    { Dlg::kStopId, L"Stop", L"Btn_stop.tif", kRecLeft + (kBtn + 4), kBarsTop, kBtn, kBtnH },
    { Dlg::kRecordId, L"Nagraj", L"Btn_record.tif", kRecLeft + 2 * (kBtn + 4), kBarsTop, kBtn, kBtnH },
    { Dlg::kPlayId, L"Odtwórz", L"Btn_play.tif", kRecLeft + 3 * (kBtn + 4), kBarsTop, kBtn, kBtnH },
    { Dlg::kPrevId, L"<<", L"Btn_prev.tif", kRecLeft, kBarsTop + kBtnH + 6, kBtn, kBtnH },
    { Dlg::kPauseId, L"||", L"Btn_pause.tif", kRecLeft + (kBtn + 4), kBarsTop + kBtnH + 6, kBtn, kBtnH },
    { Dlg::kNextId, L">>", L"Btn_next.tif", kRecLeft + 2 * (kBtn + 4), kBarsTop + kBtnH + 6, kBtn, kBtnH },
    { Dlg::kOpenId, L"Otwórz", L"Btn_open.tif", kRecLeft + 3 * (kBtn + 4), kBarsTop + kBtnH + 6, kBtn, kBtnH },
};

// What a click does, which the picture alone does not say.
struct SRecorderTip {
    int id;
    const wchar_t* tip;
};
const SRecorderTip kRecorderTips[] = {
    { Dlg::kStartId, L"Czyści wykres i zaczyna go od nowa odczytami na żywo." },
    { Dlg::kStopId, L"Zatrzymuje wykres i kończy nagrywanie albo odtwarzanie; odczyty ze sterownika trwają dalej." },
    { Dlg::kRecordId, L"Nagrywa odczyty do wybranego pliku .osc." },
    { Dlg::kPlayId, L"Odtwarza ostatni zapis odczytów albo wybrany plik .osc." },
    { Dlg::kPrevId, L"Przesuwa wykres wstecz." },
    { Dlg::kPauseId, L"Wstrzymuje wykres albo odtwarzanie; ponowne kliknięcie wznawia." },
    { Dlg::kNextId, L"Przesuwa wykres do przodu." },
    { Dlg::kOpenId, L"Otwiera zapis odczytów (.osc) i go odtwarza." },
};

const wchar_t* recorderTip(int id)
{
    for (const SRecorderTip& t : kRecorderTips)
        if (t.id == id)
            return t.tip;
    return L"";
}

// The bars of each cylinder: petrol dark red, LPG green.
const QColor kPetrolBar(0x96, 0x00, 0x00);
const QColor kLpgBar(0x00, 0x50, 0x00);

// The time of a count of records (a record every 100 ms), m:ss or m:ss.s.
QString recordsTime(std::size_t records, bool tenths)
{
    const std::size_t seconds = records / 10;
    const QString time = QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return tenths ? time + QLatin1Char('.') + QString::number(records % 10) : time;
}

// A chart x as the time since the first record, m:ss.s.
QString recordTime(double x, int perRecord)
{
    return recordsTime(static_cast<std::size_t>(std::max(0.0, x / perRecord)), true);
}

int legendGroup(int line)
{
    return static_cast<int>(readingschart::lineInfo(line).group);
}

QString seriesName(int line)
{
    const readingschart::CLineInfo& info = readingschart::lineInfo(line);
    if (info.cylinder >= 0)
        return QString::number(info.cylinder + 1);
    return QString::fromStdWString(translate(info.name));
}

QString seriesUnit(int line)
{
    return QString::fromStdWString(translate(readingschart::lineInfo(line).unit));
}

QString groupTitle(int group)
{
    const auto g = static_cast<readingschart::EGroup>(group);
    QString title = QString::fromStdWString(translate(readingschart::groupTitle(g)));
    // The half-width groups of injection times carry their unit in the title.
    if (g == readingschart::EGroup::PetrolTimes || g == readingschart::EGroup::LpgTimes)
        title += QStringLiteral(", ") + seriesUnit(readingschart::kPetrolLine);
    return title;
}

QString qs(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

} // namespace

COdczytyDlg::COdczytyDlg(const CPageContext& context, QWidget* parent)
    : CWspolneOdczytyMultiPageDlg(context, kResourceId, parent)
{
}

COdczytyDlg::~COdczytyDlg() = default;

std::vector<std::wstring> COdczytyDlg::skinFiles()
{
    std::vector<std::wstring> files;
    for (const SRecorderButton& entry : kRecorder)
        if (entry.skin)
            files.push_back(skinPath(entry.skin).wstring());
    return files;
}

std::span<const SCtrlLayout> COdczytyDlg::layoutTable() const
{
    return table();
}

void COdczytyDlg::createControls()
{
    CWspolneOdczytyMultiPageDlg::createControls();
    m_chart = new CScrollChart;
    if (!m_chart->CreateFromStatic(CScrollChart::kHScroll, this, kChartId)) {
        delete m_chart;
        m_chart = nullptr;
    }
    // Bars replace their placeholders in place, keeping the id.
    for (int k = 0; k < 8; ++k)
        for (int fuel = 0; fuel < 2; ++fuel) {
            const int id = kFirstBarId + 3 * k + fuel;
            QWidget* placeholder = findChildCtrl(this, id);
            auto* bar = new CLevelBar(this);
            bar->setColour(fuel == 0 ? kPetrolBar : kLpgBar);
            if (placeholder) {
                bar->setGeometry(placeholder->geometry());
                bar->stackUnder(placeholder);
                delete placeholder;
            }
            setCtrlId(bar, id);
            m_bars[static_cast<std::size_t>(k)][static_cast<std::size_t>(fuel)] = bar;
        }
    for (int k = 0; k < 8; ++k)
        if (auto* label = qobject_cast<QLabel*>(findChildCtrl(this, kFirstBarId + 3 * k + 2)))
            label->setText(QString::number(k + 1));
    if (QWidget* placeholder = findChildCtrl(this, kRecordMarkId)) {
        m_recordMarkLabel = new CGDIpStatic(this);
        m_recordMarkLabel->setGeometry(placeholder->geometry());
        m_recordMarkLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_recordMarkLabel->setShrinkToFit(true);
        delete placeholder;
        setCtrlId(m_recordMarkLabel, kRecordMarkId);
    }
    if (QWidget* placeholder = findChildCtrl(this, kPlayLabelId)) {
        auto* label = new CGDIpStatic(this);
        label->setGeometry(placeholder->geometry());
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setShrinkToFit(true);
        label->setTextColor(QColor(0x10, 0x50, 0xa0));
        delete placeholder;
        setCtrlId(label, kPlayLabelId);
        label->hide();
    }
    if (QWidget* placeholder = findChildCtrl(this, kPlaySliderId)) {
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setGeometry(placeholder->geometry());
        delete placeholder;
        setCtrlId(slider, kPlaySliderId);
        slider->hide();
    }
    if (auto* speed = qobject_cast<QComboBox*>(findChildCtrl(this, kPlaySpeedId))) {
        for (const double v : kSpeeds)
            speed->addItem(QString::number(v) + QStringLiteral("\u00D7"), v);
        speed->setCurrentIndex(2);
        speed->hide();
    }
    if (QWidget* placeholder = findChildCtrl(this, kLegendId)) {
        m_legend = new CChartLegend(this);
        m_legend->setGeometry(placeholder->geometry());
        delete placeholder;
        setCtrlId(m_legend, kLegendId);
    }
    for (const SRecorderButton& entry : kRecorder) {
        auto* button = new CImageButton(this);
        button->setText(qs(translate(entry.text)));
        setOwnButtonTip(button, recorderTip(entry.id));
        if (entry.skin)
            button->loadSkin(entry.skin);
        button->setGeometry(CPageLayout::duToPixels(entry.x, entry.y, entry.cx, entry.cy));
        setCtrlId(button, entry.id);
    }
    auto* csv = CPageLayout::createCtrl(this,
        { kExportCsvId, ECtrlKind::PushButton, kRecLeft, kBarsTop + 2 * kBtnH + 12, 4 * kBtn + 12, 18, nullptr },
        qs(translate(L"Eksport CSV")));
    if (csv) {
        csv->setGeometry(CPageLayout::duToPixels(kRecLeft, kBarsTop + 2 * kBtnH + 12, 4 * kBtn + 12, 18));
        setCtrlId(csv, kExportCsvId);
        setOwnButtonTip(csv, L"Zapisuje wybrany zapis odczytów (.osc) jako plik CSV; sterownika nie dotyka.");
    }
}

bool COdczytyDlg::OnInitDialog()
{
    if (!CWspolneOdczytyMultiPageDlg::OnInitDialog())
        return false;
    setUpChart();
    setUpLegend();
    showCylinders();
    connect(&m_context.relay, &CDeviceEventRelay::imageChanged, this, [this] { showCylinders(); });
    const std::pair<int, void (COdczytyDlg::*)()> handlers[] = {
        { kStartId, &COdczytyDlg::onStart },
        { kStopId, &COdczytyDlg::onStop },
        { kRecordId, &COdczytyDlg::onRecord },
        { kPlayId, &COdczytyDlg::onPlay },
        { kPauseId, &COdczytyDlg::onPause },
        { kPrevId, &COdczytyDlg::onPrev },
        { kNextId, &COdczytyDlg::onNext },
        { kOpenId, &COdczytyDlg::onOpen },
        { kExportCsvId, &COdczytyDlg::onExportCsv },
    };
    for (const auto& [id, handler] : handlers)
        if (auto* button = qobject_cast<QAbstractButton*>(findChildCtrl(this, id)))
            connect(button, &QAbstractButton::clicked, this, handler);
    m_playTimer = new QTimer(this);
    m_playTimer->setInterval(100);
    connect(m_playTimer, &QTimer::timeout, this, [this] {
        const double ms = static_cast<double>(m_playClock.restart());
        advancePlayback(ms);
    });
    if (auto* slider = qobject_cast<QSlider*>(findChildCtrl(this, kPlaySliderId)))
        connect(slider, &QSlider::sliderMoved, this, [this](int value) { seekPlayback(static_cast<std::size_t>(value)); });
    if (auto* speed = qobject_cast<QComboBox*>(findChildCtrl(this, kPlaySpeedId)))
        connect(speed, &QComboBox::activated, this, [this, speed](int index) {
            setPlaybackSpeed(speed->itemData(index).toDouble());
        });
    return true;
}

void COdczytyDlg::showCylinders()
{
    // A recording played without a controller shows the cylinders it drove.
    if (m_played && !realController())
        return;
    const int n = std::clamp(m_context.device.image().m_devInfo.m_injCount, 0, 8);
    if (n == m_shownCylinders)
        return;
    m_shownCylinders = n;
    for (int k = 0; k < 8; ++k) {
        const bool shown = k < n;
        for (int id : { kFirstBarId + 3 * k, kFirstBarId + 3 * k + 1, kFirstBarId + 3 * k + 2 })
            if (QWidget* ctrl = findChildCtrl(this, id))
                ctrl->setVisible(shown);
        // A cylinder the controller does not have draws no lines.
        showCylinderLines(k, shown);
    }
}

void COdczytyDlg::showCylinderLines(int cylinder, bool shown)
{
    for (const int line : { readingschart::kPetrolLine + cylinder, readingschart::kLpgLine + cylinder }) {
        if (m_legend)
            m_legend->setPresent(static_cast<unsigned>(line), shown);
        if (m_chart)
            onLineBox(line, shown && (!m_legend || m_legend->entry(static_cast<unsigned>(line))->visible));
    }
}

void COdczytyDlg::activate()
{
    showCylinders();
    CWspolneOdczytyMultiPageDlg::activate();
}

void COdczytyDlg::setUpChart()
{
    if (!m_chart)
        return;
    for (int line = 0; line < readingschart::kLineCount; ++line)
        m_chart->AddLine(static_cast<unsigned>(line), [line](double y) { return readingschart::label(line, y); },
            readingschart::lineInfo(line).colour, readingschart::lineInfo(line).style, 2);
    m_chart->SetMaxPoints(readingschart::kMaxPoints);
    // The chart paints its whole area; the page need not paint beneath it on every tick.
    m_chart->setAttribute(Qt::WA_OpaquePaintEvent);
    m_chart->SetGrid(1);
    m_chart->SetHorzDiv(0, false);
    m_chart->ShowScrollBar(false);
    // The legend carries the values; the chart a scale and a cursor.
    m_chart->SetValueLabels(false);
    m_chart->SetAxis(0, seriesUnit(0), { readingschart::kScaleTicks.begin(), readingschart::kScaleTicks.end() });
    m_chart->SetCursor(true, [this](double x) { return recordTime(x, m_xPerRecord); });
    m_chart->SetTimeAxis([this] { return m_xPerRecord * 10.0; });
    connect(m_chart, &CScrollChart::cursorMoved, this, [this](double x) { showValues(x); });
    connect(m_chart, &CScrollChart::cursorLeft, this, [this] {
        showValues(std::nullopt);
        if (!m_paused)
            followNewest();
    });
}

void COdczytyDlg::setUpLegend()
{
    if (!m_legend)
        return;
    std::vector<CChartLegend::SGroup> groups(readingschart::kGroupCount);
    for (int g = 0; g < readingschart::kGroupCount; ++g) {
        groups[static_cast<std::size_t>(g)].title = groupTitle(g);
        const auto group = static_cast<readingschart::EGroup>(g);
        groups[static_cast<std::size_t>(g)].half
            = group == readingschart::EGroup::PetrolTimes || group == readingschart::EGroup::LpgTimes;
    }
    for (int line = 0; line < readingschart::kLineCount; ++line) {
        const readingschart::CLineInfo& info = readingschart::lineInfo(line);
        CChartLegend::SEntry entry;
        entry.line = static_cast<unsigned>(line);
        entry.name = seriesName(line);
        entry.unit = seriesUnit(line);
        entry.colour = info.colour;
        entry.style = info.style;
        groups[static_cast<std::size_t>(legendGroup(line))].entries.push_back(entry);
    }
    m_legend->setGroups(std::move(groups));
    m_legend->setSelected(0);
    connect(m_legend, &CChartLegend::lineToggled, this, [this](unsigned line, bool visible) {
        const bool groupShown = m_legend->groups()[static_cast<std::size_t>(legendGroup(static_cast<int>(line)))].shown;
        onLineBox(static_cast<int>(line), visible && groupShown);
    });
    connect(m_legend, &CChartLegend::groupToggled, this, &COdczytyDlg::onGroupBox);
    connect(m_legend, &CChartLegend::lineSelected, this, [this](unsigned line) {
        if (m_chart)
            m_chart->SetAxis(static_cast<int>(line), seriesUnit(static_cast<int>(line)),
                { readingschart::kScaleTicks.begin(), readingschart::kScaleTicks.end() });
    });
}

void COdczytyDlg::onLineBox(int line, bool shown)
{
    if (m_chart)
        m_chart->ShowLine(static_cast<unsigned>(line), shown, true);
}

void COdczytyDlg::onGroupBox(int group, bool shown)
{
    if (!m_legend)
        return;
    for (const CChartLegend::SEntry& entry : m_legend->groups()[static_cast<std::size_t>(group)].entries)
        onLineBox(static_cast<int>(entry.line), shown && entry.visible && entry.present);
}

void COdczytyDlg::showValues(std::optional<double> x)
{
    if (!m_legend || !m_chart)
        return;
    const CChartData& data = m_chart->data();
    for (const auto& [number, line] : data.lines()) {
        double px = 0, py = 0;
        bool found = false;
        if (x)
            found = data.nearestPoint(number, *x, data.m_xWidth / 50.0, px, py);
        else if (!line.points.empty()) {
            py = line.points.rbegin()->second;
            found = true;
        }
        m_legend->setValue(number, found ? QString::fromStdString(readingschart::label(static_cast<int>(number), py))
                                         : QString());
    }
    // The cursor's time, or the newest record's.
    const double at = x ? *x : (data.lines().empty() || data.lines().begin()->second.points.empty()
                                   ? 0.0 : data.lines().begin()->second.points.rbegin()->first);
    m_legend->setHeading(QStringLiteral("t = ") + recordTime(at, m_xPerRecord));
}

void COdczytyDlg::followNewest()
{
    CChartData& data = m_chart->data();
    data.m_xStart = data.m_xMax - data.m_xWidth;
    data.clampStart();
    m_chart->UpdateScrollInfo();
    m_chart->update();
}

void COdczytyDlg::addPoints(const std::array<double, 27>& points)
{
    for (int line = 0; line < readingschart::kLineCount; ++line)
        m_chart->AddData(static_cast<unsigned>(line), m_counter, points[static_cast<std::size_t>(line)], false);
}

void COdczytyDlg::updateBars(const CDiag& record)
{
    const bool lpg = record.fuelState() == 3;
    for (int k = 0; k < 8; ++k) {
        const int slot = record.injectorSlot(k);
        m_bars[static_cast<std::size_t>(k)][0]->setLevel(record.petrolTime(slot) / kBarFullMs);
        m_bars[static_cast<std::size_t>(k)][1]->setLevel(lpg ? record.lpgTime(slot) / kBarFullMs : 0.0);
    }
}

void COdczytyDlg::onTimer()
{
    CWspolneOdczytyMultiPageDlg::onTimer();
    updateRecordMark();
    if (!m_chart)
        return;
    CLPGDevice& device = m_context.device;
    // While a recording plays, the chart is the recording's: live records wait out of it.
    if (m_played) {
        m_chartSequence = device.diagData().newestSequence();
        return;
    }
    std::vector<CDiag> records;
    const CDiagData::Since since = device.diagData().copySince(m_chartSequence, records);
    m_chartSequence = since.newest;
    if (records.empty())
        return;
    const CDiagScale scale(device.image());
    const readingschart::Trims trims = { obdOf(device).value(0), obdOf(device).value(1), obdOf(device).value(2), obdOf(device).value(3) };
    // The cursor holds the window while the fitter reads under it.
    const std::optional<double> cursor = m_chart->cursorX();
    const double start = m_chart->data().m_xStart;
    for (const CDiag& record : records) {
        addPoints(readingschart::livePoints(record, scale, trims));
        m_counter += readingschart::kLiveStep;
    }
    m_xPerRecord = readingschart::kLiveStep;
    updateBars(records.back());
    if (cursor && !m_paused) {
        m_chart->data().m_xStart = start;
        m_chart->data().clampStart();
        m_chart->UpdateScrollInfo();
        m_chart->update();
        return;
    }
    // Four times a second is as fast as anyone reads a column of numbers; the
    // gauges and cells follow every record.
    if (!m_valuesShown.isValid() || m_valuesShown.elapsed() >= kValuesPeriodMs) {
        m_valuesShown.start();
        showValues(std::nullopt);
    }
    // Held: the window stays where the fitter left it; the new points wait beyond it.
    if (m_paused) {
        m_chart->data().m_xStart = m_heldStart;
        m_chart->data().clampStart();
        m_heldStart = m_chart->data().m_xStart;
        m_chart->UpdateScrollInfo();
        return;
    }
    m_chart->UpdateScrollInfo();
    m_chart->update();
}

void COdczytyDlg::resetChart(bool readMode)
{
    m_chart->Clear();
    m_counter = 0;
    m_chart->ShowScrollBar(false);
    m_chart->SetReadMode(readMode);
    m_chart->update();
}

void COdczytyDlg::onStart()
{
    if (!m_chart)
        return;
    stopPlayback();
    resetChart(false);
    m_paused = false;
}

void COdczytyDlg::onStop()
{
    // Stop ends a playback: back to live readings.
    if (m_played) {
        stopPlayback();
        return;
    }
    // Stop holds the chart and ends a recording that runs; polling goes on.
    if (m_chart && !m_paused) {
        m_paused = true;
        m_heldStart = m_chart->data().m_xStart;
    }
    CLPGDevice& device = m_context.device;
    if (!device.session().isRecording())
        return;
    m_context.doc.runOperation(
        L"Nagrywanie",
        [&] {
            logInfo("pages", "recording ended: " + device.session().m_diagPath);
            device.session().stopPolling();
            m_stoppedRecords = device.session().recordedLines();
            device.session().startPolling(kNoRecordingPath);
        },
        this);
    updateRecordMark();
}

std::string COdczytyDlg::defaultRecordingPath() const
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    const CSettingsImage& image = m_context.device.image();
    return (std::filesystem::path(diagDirectory())
        / defaultRecordingName(image.m_devInfo.m_serial, image.m_carInfo, local)).string();
}

QString COdczytyDlg::recordMark() const
{
    return m_recordMarkLabel ? m_recordMarkLabel->text() : QString();
}

void COdczytyDlg::setRecordMark(const QString& text, bool alarm)
{
    m_recordAlarm = alarm;
    if (!m_recordMarkLabel)
        return;
    m_recordMarkLabel->setText(text);
    m_recordMarkLabel->setTextColor(alarm ? QColor(0xc0, 0x10, 0x10) : GradPalette::pageText());
}

void COdczytyDlg::updateRecordMark()
{
    if (m_recordingPath.empty())
        return;
    const CLPGDevice& device = m_context.device;
    const QString name = QString::fromStdString(std::filesystem::path(m_recordingPath).filename().string());
    if (device.session().isRecording()) {
        // Elapsed time, file and size on every tick while it runs.
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::steady_clock::now() - m_recordingSince).count();
        std::error_code error;
        const auto bytes = std::filesystem::file_size(m_recordingPath, error);
        const QString size = error ? QString()
            : bytes < 1024 * 1024 ? QStringLiteral("%1 kB").arg((bytes + 1023) / 1024)
                                  : QStringLiteral("%1 MB").arg(static_cast<double>(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
        setRecordMark(QStringLiteral("\u25CF ") + qs(translate(L"NAGRYWANIE")) + QStringLiteral("  %1:%2   %3   %4")
                .arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0')).arg(name, size),
            true);
        return;
    }
    // Ended: by Stop, at the length limit, or at a write that failed.
    const uint32_t records = m_stoppedRecords.value_or(device.session().recordedLines());
    m_stoppedRecords.reset();
    const QString length = recordsTime(records, false);
    if (device.session().recordingBroke()) {
        setRecordMark(qs(translate(L"Zapis pliku diagnostycznego został przerwany:")) + QLatin1Char(' ') + name
                + QStringLiteral(" (%1 ").arg(records) + qs(translate(L"rekordów")) + QStringLiteral(", ") + length
                + QLatin1Char(')'),
            true);
    } else {
        setRecordMark(qs(translate(L"Zapisano:")) + QLatin1Char(' ') + name + QStringLiteral(" (%1 ").arg(records)
                + qs(translate(L"rekordów")) + QStringLiteral(", ") + length + QLatin1Char(')'),
            false);
    }
    logInfo("pages", "recording saved: " + m_recordingPath + " (" + std::to_string(records) + " records)");
    m_recordingPath.clear();
}

void COdczytyDlg::onRecord()
{
    const std::string path = userInteraction().chooseFile(
        true, translate(L"SAVE"), translate(kOscFilter), diagDirectory(), defaultRecordingPath());
    if (!endsWithOsc(path))
        return;
    recordTo(path);
}

bool COdczytyDlg::recordTo(const std::string& path)
{
    if (!endsWithOsc(path) || !m_chart)
        return false;
    if (!isRegularFileOrAbsent(path)) {
        userInteraction().message(
            translate(L"Nie można zapisać pliku diagnostycznego:") + L"\n" + fromUtf8(path),
            kCaption, MsgIcon::Error);
        return false;
    }
    bool started = false;
    m_context.doc.runOperation(
        L"Nagrywanie",
        [&] {
            logInfo("pages", "recording to " + path);
            m_context.device.session().stopPolling();
            resetChart(false);
            // The chart starts with the first record the file gets.
            m_chartSequence = m_context.device.diagData().newestSequence();
            started = m_context.device.session().startPolling(path);
            m_paused = false;
        },
        this);
    if (started) {
        m_lastFile = path;
        m_recordingPath = path;
        m_recordingSince = std::chrono::steady_clock::now();
        updateRecordMark();
    }
    return started;
}

void COdczytyDlg::onPlay()
{
    // Playing: go on (from the start once at the end). Live: the last recording again.
    if (m_played) {
        if (m_playShown >= m_played->count())
            seekPlayback(0);
        pausePlayback(false);
        return;
    }
    std::error_code error;
    if (!m_lastFile.empty() && std::filesystem::is_regular_file(m_lastFile, error)) {
        playBack(m_lastFile);
        return;
    }
    onOpen();
}

void COdczytyDlg::onOpen()
{
    const std::string path = userInteraction().chooseFile(
        false, translate(L"OPEN"), translate(kOscFilter), diagDirectory(), m_lastFile);
    if (!endsWithOsc(path))
        return;
    playBack(path);
}

bool COdczytyDlg::playBack(const std::string& path)
{
    if (!endsWithOsc(path) || !m_chart)
        return false;
    // Counted once; then read from where it plays, so a workday's recording
    // plays without being held whole. The live chart stays until the file has opened.
    auto recording = std::make_unique<COscRecording>();
    if (!recording->open(path)) {
        userInteraction().message(
            translate(L"Nie można otworzyć pliku diagnostycznego:") + L"\n" + fromUtf8(path),
            kCaption, MsgIcon::Error);
        return false;
    }
    logInfo("pages", "playing back " + path + " (" + std::to_string(recording->count()) + " records)");
    m_played = std::move(recording);
    m_lastFile = path;
    setPlayback(true);
    // Cylinders without a controller to say: those the recording drove.
    if (!realController() && m_legend) {
        const uint8_t used = m_played->cylindersUsed();
        m_shownCylinders = -1;
        for (int k = 0; k < 8; ++k)
            showCylinderLines(k, (used >> k) & 1);
    }
    m_xPerRecord = readingschart::kPlaybackStep;
    for (const int id : { kPlayLabelId, kPlaySliderId, kPlaySpeedId })
        if (QWidget* ctrl = findChildCtrl(this, id))
            ctrl->show();
    if (auto* slider = qobject_cast<QSlider*>(findChildCtrl(this, kPlaySliderId))) {
        slider->setRange(0, static_cast<int>(std::min<std::size_t>(m_played->count(), INT_MAX)));
        slider->setPageStep(std::max(1, static_cast<int>(m_played->count() / 20)));
    }
    // The held live window is let go: the recording's window follows its position.
    m_paused = false;
    seekPlayback(0);
    pausePlayback(false);
    return true;
}

bool COdczytyDlg::realController() const
{
    return m_context.device.isConnected() && !m_context.device.isDemo();
}

std::size_t COdczytyDlg::playbackLength() const
{
    return m_played ? m_played->count() : 0;
}

void COdczytyDlg::seekPlayback(std::size_t record)
{
    if (!m_played || !m_chart)
        return;
    record = std::min(record, m_played->count());
    // The chart from up to a few windows before the position, so it can be read back.
    constexpr std::size_t kBefore = 600;
    resetChart(true);
    m_playShown = record > kBefore ? record - kBefore : 0;
    m_counter = static_cast<int32_t>(m_playShown) * readingschart::kPlaybackStep;
    m_playPos = static_cast<double>(record);
    playTo(record);
    if (record == 0) {
        // Nothing played yet: the first record on the panel, nothing on the chart.
        std::vector<CDiagFile::Record> first;
        if (m_played->read(0, 1, first) && !first.empty())
            showPlayed(first.front());
    }
    showPlaybackState();
}

void COdczytyDlg::setPlaybackSpeed(double speed)
{
    m_playSpeed = std::clamp(speed, kSpeeds.front(), kSpeeds.back());
    if (auto* box = qobject_cast<QComboBox*>(findChildCtrl(this, kPlaySpeedId)))
        for (int i = 0; i < box->count(); ++i)
            if (box->itemData(i).toDouble() == m_playSpeed)
                box->setCurrentIndex(i);
}

void COdczytyDlg::pausePlayback(bool paused)
{
    if (!m_played)
        return;
    m_playing = !paused && m_playShown < m_played->count();
    if (m_playing) {
        m_playClock.start();
        m_playTimer->start();
    } else {
        m_playTimer->stop();
    }
    showPlaybackState();
}

void COdczytyDlg::advancePlayback(double ms)
{
    if (!m_played || !m_playing)
        return;
    m_playPos = std::min(m_playPos + ms / (COscRecording::kSecondsPerRecord * 1000.0) * m_playSpeed,
        static_cast<double>(m_played->count()));
    playTo(static_cast<std::size_t>(m_playPos));
    if (m_playShown >= m_played->count())
        pausePlayback(true);
    else
        showPlaybackState();
}

void COdczytyDlg::playTo(std::size_t last)
{
    if (!m_played || last <= m_playShown)
        return;
    std::vector<CDiagFile::Record> records;
    if (!m_played->read(m_playShown, last - m_playShown, records)) {
        logWarning("pages", "the recording could no longer be read: " + m_played->path());
        m_playing = false;
        m_playTimer->stop();
        return;
    }
    for (const CDiagFile::Record& record : records) {
        addPoints(readingschart::playbackPoints(record));
        m_counter += readingschart::kPlaybackStep;
    }
    m_playShown += records.size();
    if (!records.empty()) {
        const CDiagFile::Record& shown = records.back();
        showPlayed(shown);
        for (int k = 0; k < 8; ++k) {
            m_bars[static_cast<std::size_t>(k)][0]->setLevel(shown[static_cast<std::size_t>(2 + 2 * k)] / kBarFullMs);
            m_bars[static_cast<std::size_t>(k)][1]->setLevel(
                shown[0] == 3.0 ? shown[static_cast<std::size_t>(3 + 2 * k)] / kBarFullMs : 0.0);
        }
    }
    m_chart->UpdateScrollInfo();
    m_chart->ShowScrollBar(false);
    m_chart->update();
    if (!m_chart->cursorX())
        showValues(std::nullopt);
}

void COdczytyDlg::showPlaybackState()
{
    if (!m_played)
        return;
    const auto time = [](std::size_t records) { return recordsTime(records, false); };
    const QString name = QString::fromStdString(std::filesystem::path(m_played->path()).filename().string());
    if (auto* label = qobject_cast<QLabel*>(findChildCtrl(this, kPlayLabelId)))
        label->setText(qs(translate(L"ODTWARZANIE:")) + QLatin1Char(' ') + name + QStringLiteral("  ")
            + time(m_playShown) + QStringLiteral(" / ") + time(m_played->count())
            + (m_playing ? QString() : QStringLiteral("  \u2016")));
    if (auto* slider = qobject_cast<QSlider*>(findChildCtrl(this, kPlaySliderId)); slider && !slider->isSliderDown()) {
        const QSignalBlocker quiet(slider);
        slider->setValue(static_cast<int>(std::min<std::size_t>(m_playShown, INT_MAX)));
    }
}

void COdczytyDlg::stopPlayback()
{
    if (!m_played)
        return;
    logInfo("pages", "playback ended: " + m_played->path());
    m_playTimer->stop();
    m_playing = false;
    m_played.reset();
    m_playShown = 0;
    for (const int id : { kPlayLabelId, kPlaySliderId, kPlaySpeedId })
        if (QWidget* ctrl = findChildCtrl(this, id))
            ctrl->hide();
    setPlayback(false);
    // Live again, from the records that come now.
    m_paused = false;
    m_xPerRecord = readingschart::kLiveStep;
    resetChart(false);
    m_chartSequence = m_context.device.diagData().newestSequence();
    m_shownCylinders = -1;
    showCylinders();
}

void COdczytyDlg::onPause()
{
    if (!m_chart)
        return;
    if (m_played) {
        pausePlayback(m_playing);
        return;
    }
    if (!m_paused) {
        m_paused = true;
        m_heldStart = m_chart->data().m_xStart;
        return;
    }
    // Resume at the newest data.
    m_paused = false;
    followNewest();
}

void COdczytyDlg::stepWindow(int direction)
{
    if (!m_chart)
        return;
    CChartData& data = m_chart->data();
    data.m_xStart += direction * data.m_xWidth / 10.0;
    if (direction < 0 && data.m_xStart < 0)
        data.m_xStart = 0;
    if (data.m_xStart > data.m_xMax - data.m_xWidth)
        data.m_xStart = data.m_xMax - data.m_xWidth;
    if (data.m_xStart < data.m_xMin)
        data.m_xStart = data.m_xMin;
    if (m_paused)
        m_heldStart = data.m_xStart;
    m_chart->UpdateScrollInfo();
    m_chart->ShowScrollBar(false);
    m_chart->update();
}

void COdczytyDlg::onPrev()
{
    stepWindow(-1);
}

void COdczytyDlg::onNext()
{
    stepWindow(1);
}

void COdczytyDlg::onExportCsv()
{
    const std::string osc = userInteraction().chooseFile(
        false, translate(L"OPEN"), translate(kOscFilter), diagDirectory(), m_lastFile);
    if (osc.empty())
        return;
    std::filesystem::path suggested = std::filesystem::path(osc).filename();
    suggested.replace_extension(".csv");
    const std::string csv = userInteraction().chooseFile(true, translate(L"SAVE"), translate(kCsvFilter),
        std::filesystem::path(osc).parent_path().string(), suggested.string());
    if (csv.empty())
        return;
    exportCsv(osc, csv);
}

bool COdczytyDlg::exportCsv(const std::string& oscPath, const std::string& csvPath)
{
    // Checked in one pass and written in a second, both streamed: a bad line
    // leaves no half CSV, and no recording is held whole.
    const auto noWrite = [](std::string_view) { return true; };
    COscCsv::SFileResult result = COscCsv::convertFile(oscPath, noWrite);
    if (result.status == COscCsv::Status::Unreadable || result.status == COscCsv::Status::NotRegularFile) {
        userInteraction().message(
            translate(L"Nie można otworzyć pliku diagnostycznego:") + L"\n" + fromUtf8(oscPath),
            kCaption, MsgIcon::Error);
        return false;
    }
    const auto badLine = [&result] {
        userInteraction().message(translate(L"Błąd w pliku diagnostycznym, wiersz") + L" "
                + std::to_wstring(result.error.line) + L":\n" + fromUtf8(result.error.message),
            kCaption, MsgIcon::Error);
        return false;
    };
    if (result.status == COscCsv::Status::BadLine)
        return badLine();
    const FileReplaceResult saved = isRegularFileOrAbsent(csvPath)
        ? replaceFileStreamed(csvPath, [&](const FileWriter& write) {
              result = COscCsv::convertFile(oscPath, write);
              return result.status == COscCsv::Status::Done;
          })
        : FileReplaceResult::NotRegularFile;
    if (result.status == COscCsv::Status::BadLine)
        return badLine();
    if (saved != FileReplaceResult::Saved) {
        userInteraction().message(translate(L"Nie można zapisać pliku:") + L"\n" + fromUtf8(csvPath),
            kCaption, MsgIcon::Error);
        return false;
    }
    logInfo("pages", "exported " + oscPath + " to " + csvPath);
    return true;
}

void COdczytyDlg::updateTexts()
{
    CWspolneOdczytyMultiPageDlg::updateTexts();
    if (m_legend) {
        for (int g = 0; g < readingschart::kGroupCount; ++g)
            m_legend->setGroupTitle(g, groupTitle(g));
        for (int line = 0; line < readingschart::kLineCount; ++line)
            m_legend->setEntryText(static_cast<unsigned>(line), seriesName(line), seriesUnit(line));
    }
    if (m_chart && m_chart->GetAxisLine() >= 0)
        m_chart->SetAxis(m_chart->GetAxisLine(), seriesUnit(m_chart->GetAxisLine()),
            { readingschart::kScaleTicks.begin(), readingschart::kScaleTicks.end() });
    for (const SRecorderButton& entry : kRecorder)
        if (auto* button = qobject_cast<QAbstractButton*>(findChildCtrl(this, entry.id))) {
            button->setText(qs(translate(entry.text)));
            setOwnButtonTip(button, recorderTip(entry.id));
        }
    if (auto* csv = qobject_cast<QAbstractButton*>(findChildCtrl(this, kExportCsvId)))
        csv->setText(qs(translate(L"Eksport CSV")));
}
