// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/chart2ddlg.h>

#include <app/data/conversions.h>
#include <app/data/diag.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/settingblocks.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/unreadline.h>
#include <app/tuning/correctioncurve.h>
#include <basectrls/ctrlid.h>
#include <gradctrls/charts/timecorrchart.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace {

constexpr const wchar_t* kUndo = L"Cofnij korekty";
// Each y axis names its unit and the series drawn against it.
constexpr const wchar_t* kCorrAxis = L"Korekty [%] – krzywa i propozycja";
constexpr const wchar_t* kPressureAxis = L"Ciśnienie kolektora [kPa] – punkty map";

// The page in dialog units of the 800 x 600 design.
// The buttons sit in two rows of three so that a translation twice as long
// as the Polish still reads in full; the labels may take two lines.
const std::array<SCtrlLayout, 15> kLayout { {
    { CChart2DDlg::kChart, ECtrlKind::Placeholder, 8, 8, 784, 412, L"Wykres 2D" },
    { CMapPage::kBtnClrMap, ECtrlKind::PushButton, 8, 428, 256, 30, L"Kasuj benzynową" },
    { CMapPage::kBtnClrMapLpg, ECtrlKind::PushButton, 272, 428, 256, 30, L"Kasuj gazową" },
    { CChart2DDlg::kBtnClearCorr, ECtrlKind::PushButton, 536, 428, 256, 30, L"Kasuj korekty" },
    { CChart2DDlg::kBtnCreate, ECtrlKind::PushButton, 8, 462, 256, 30, L"Oblicz korekty" },
    { CChart2DDlg::kBtnUndo, ECtrlKind::PushButton, 272, 462, 256, 30, kUndo },
    { CMapPage::kLblProgressPetrol, ECtrlKind::Label, 8, 500, 196, 32, L"Ilość punktów benzyna" },
    { CMapPage::kProgressPetrol, ECtrlKind::Placeholder, 208, 505, 216, 22, nullptr },
    { CMapPage::kLblProgressLpg, ECtrlKind::Label, 8, 540, 196, 32, L"Ilość punktów LPG" },
    { CMapPage::kProgressLpg, ECtrlKind::Placeholder, 208, 545, 216, 22, nullptr },
    { CChart2DDlg::kLblAutomap, ECtrlKind::Label, 432, 500, 360, 20, L"Automapowanie" },
    { CChart2DDlg::kCmbAutomap, ECtrlKind::ComboBox, 432, 520, 360, 26, nullptr },
    { CChart2DDlg::kLblKmLeft, ECtrlKind::Label, 432, 550, 180, 30, L"pozostało [km]" },
    { CChart2DDlg::kEdtKmLeft, ECtrlKind::ReadOnlyEdit, 616, 552, 176, 26, nullptr },
    { CChart2DDlg::kChkBlockPetrol, ECtrlKind::CheckBox, 8, 578, 416, 18, L"Blokuj benzynę" },
} };

QString translatedText(const wchar_t* text)
{
    return QString::fromStdWString(translate(text));
}

std::vector<double> vectorOf(const CorrCurve& curve)
{
    return std::vector<double>(curve.begin(), curve.end());
}

} // namespace

CChart2DDlg::CChart2DDlg(const CPageContext& context, QWidget* parent)
    : CMapPage(kResourceId, context, parent)
{
    setObjectName(QStringLiteral("chart2DDlg"));
}

CChart2DDlg::~CChart2DDlg() = default;

std::span<const SCtrlLayout> CChart2DDlg::layoutTable() const
{
    return kLayout;
}

void CChart2DDlg::createControls()
{
    CMapPage::createControls();
    m_chart = new CTimeCorrChart;
    m_chart->CreateFromStatic(kChart, this);
    m_chart->setCaptions(translatedText(kCorrAxis), translatedText(L"Czas [ms]"));
    m_chart->setPressureCaption(translatedText(kPressureAxis));
    setLegend();
    m_chart->setRefreshValues([this] { m_chart->setValues(vectorOf(m_context.device.image().m_setupTimes1)); });
    connect(m_chart, &CCorrChart::corrChanged, this, [this] { onCorrChanged(); });
    connect(m_chart, &CCorrChart::incrementAll, this, [this](int step) { onIncrementAll(step); });

    auto button = [this](int id, void (CChart2DDlg::*handler)()) {
        if (auto* b = qobject_cast<QAbstractButton*>(findChildCtrl(this, id)))
            connect(b, &QAbstractButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    button(kBtnClearCorr, &CChart2DDlg::OnBnClickedBtnClearCorr);
    button(kBtnCreate, &CChart2DDlg::OnBtnCreate);
    button(kBtnUndo, &CChart2DDlg::OnBtnUndo);
    if (QWidget* block = findChildCtrl(this, kChkBlockPetrol))
        block->hide();
    m_combo = qobject_cast<QComboBox*>(findChildCtrl(this, kCmbAutomap));
    m_kmLeft = qobject_cast<QLineEdit*>(findChildCtrl(this, kEdtKmLeft));
    fillCombo();
    if (m_combo)
        connect(m_combo, &QComboBox::activated, this, [this](int) { OnSelendokCmbAutomap(); });
    refresh();
}

void CChart2DDlg::fillCombo()
{
    if (!m_combo)
        return;
    const QSignalBlocker block(m_combo);
    const int current = m_combo->currentIndex();
    m_combo->clear();
    for (const auto& item : CAutomapping::comboItems())
        m_combo->addItem(translatedText(item.text), item.value);
    m_combo->setCurrentIndex(current);
}

void CChart2DDlg::updateUndo()
{
    if (QWidget* undo = findChildCtrl(this, kBtnUndo))
        undo->setEnabled(m_automap.canUndo());
}

void CChart2DDlg::refresh()
{
    const CSettingsImage& image = m_context.device.image();
    // What was not read from the controller now connected is not shown as the car's, nor changed.
    const uint32_t unread = unreadBlocks(m_context.device, CReadBlocks::SetupTimes1 | CReadBlocks::AutomapSchedule);
    const bool curveUnread = (unread & CReadBlocks::SetupTimes1) != 0;
    const bool scheduleUnread = (unread & CReadBlocks::AutomapSchedule) != 0;
    if (m_chart) {
        m_chart->setCurveShown(!curveUnread);
        if (!curveUnread)
            m_chart->setValues(vectorOf(image.m_setupTimes1));
    }
    for (int id : { kBtnClearCorr, kBtnCreate })
        if (QWidget* button = findChildCtrl(this, id))
            button->setEnabled(!curveUnread);
    if (m_combo) {
        const QSignalBlocker block(m_combo);
        m_combo->setPlaceholderText(QString::fromStdWString(CUnreadLine::kNoValue));
        m_combo->setCurrentIndex(scheduleUnread ? -1 : std::max(0, m_combo->findData(CAutomapping::comboValue(image))));
        m_combo->setEnabled(!scheduleUnread);
    }
    if (m_kmLeft)
        m_kmLeft->setText(scheduleUnread ? QString::fromStdWString(CUnreadLine::kNoValue)
                                         : QString::fromStdWString(CAutomapping::kmLeftShown(image)));
    updateUndo();
}

void CChart2DDlg::activate()
{
    refresh();
    readMaps();
    if (m_chart)
        m_chart->setFocus();
}

void CChart2DDlg::updateTexts()
{
    retranslateLayout();
    fillCombo();
    if (m_chart) {
        m_chart->setCaptions(translatedText(kCorrAxis), translatedText(L"Czas [ms]"));
        m_chart->setPressureCaption(translatedText(kPressureAxis));
        setLegend();
    }
}

void CChart2DDlg::setLegend()
{
    m_chart->setLegend(
        translatedText(L"Mapa benzynowa"), translatedText(L"Mapa gazowa"), translatedText(L"Proponowane korekty"));
}

void CChart2DDlg::mapsRead()
{
    if (!m_chart)
        return;
    std::vector<CMapSample> samples;
    for (const CChartPoint& p : m_maps.chartPoints())
        samples.push_back({ p.timeMs, p.pressureKPa, p.lpg });
    m_chart->setMapPoints(std::move(samples));
}

void CChart2DDlg::slowTick()
{
    if (m_kmLeft)
        m_kmLeft->setText(QString::fromStdWString(CAutomapping::kmLeftShown(m_context.device.image())));
}

void CChart2DDlg::onTimer()
{
    CLPGDevice& device = m_context.device;
    if (m_chart && device.isConnected()) {
        const uint64_t newest = device.diagData().newestSequence();
        CDiag record;
        if (newest != 0 && newest != m_lastSequence && device.diagData().latest(record)) {
            m_lastSequence = newest;
            double time = 0;
            for (int i = 0; i < 2 * device.image().m_devInfo.m_injCount; ++i)
                time = std::max(time, record.petrolTime(i));
            const double pressure = record.manifoldPressure(CDiagScale(device.image()));
            m_chart->setLivePoint(std::make_pair(roundTo001(time), std::max(0.0, pressure)));
        }
    }
    CMapPage::onTimer();
}

CBlockUndo& CChart2DDlg::undoStack()
{
    if (!m_undo) {
        // Point i lies at petrol time 1.0 + 0.5 × i ms.
        auto describe = [](std::size_t i, double v) {
            char text[64];
            std::snprintf(text, sizeof text, " %g: %.0f %%", 1.0 + 0.5 * static_cast<double>(i), v);
            const std::string tail = text;
            return translate(L"Korekty") + L", " + translate(L"Czas [ms]") + std::wstring(tail.begin(), tail.end());
        };
        m_undo = std::make_unique<CBlockUndo>(
            m_context.device, correctioncurve::undoTable(correctioncurve::automapping(), describe));
    }
    return *m_undo;
}

bool CChart2DDlg::canUndo()
{
    return undoStack().canUndo();
}

bool CChart2DDlg::canRedo()
{
    return undoStack().canRedo();
}

void CChart2DDlg::undo()
{
    if (!m_chart || !m_chart->curveShown() || m_context.doc.refuseWhileBusy(this))
        return;
    undoStack().undo();
    refresh();
}

void CChart2DDlg::redo()
{
    if (!m_chart || !m_chart->curveShown() || m_context.doc.refuseWhileBusy(this))
        return;
    undoStack().redo();
    refresh();
}

template <class Edit> bool CChart2DDlg::editCurve(const wchar_t* operation, const wchar_t* handler, Edit run)
{
    return m_context.doc.runOperation(
        operation, handler,
        [&] {
            undoStack().begin();
            if (run())
                undoStack().commit();
        },
        this);
}

void CChart2DDlg::OnBtnCreate()
{
    CLPGDevice& device = m_context.device;
    if (!device.isConnected())
        return;
    m_context.doc.runOperation(
        L"Obliczanie korekt", L"CChart2DDlg::OnBtnCreate()",
        [&] {
            logInfo("automap", "computing the correction from the maps");
            undoStack().begin();
            const bool written = m_automap.create(device, m_maps, [this](const CAutomapProposal& proposal) {
                if (!m_chart)
                    return;
                m_chart->setProposal(vectorOf(proposal.newCurve));
                m_chart->repaint();
            });
            if (written)
                undoStack().commit();
        },
        this);
    if (m_chart)
        m_chart->setProposal({});
    refresh();
    readMaps();
}

void CChart2DDlg::OnBtnUndo()
{
    editCurve(L"Przywrócenie poprzedniego stanu", L"CChart2DDlg::OnBtnUndo()", [&] {
        if (!m_automap.undo(m_context.device))
            return false;
        logInfo("automap", "the previous curve is back");
        return true;
    });
    refresh();
}

void CChart2DDlg::OnBnClickedBtnClearCorr()
{
    editCurve(L"Kasowanie korekt", L"CChart2DDlg::OnBnClickedBtnClearCorr()", [&] {
        if (!CAutomapping::clearCurve(m_context.device))
            return false;
        if (m_chart)
            m_chart->clearCurve();
        return true;
    });
    refresh();
}

void CChart2DDlg::OnSelendokCmbAutomap()
{
    if (!m_combo)
        return;
    m_context.doc.runOperation(
        L"Zapis ustawień", L"CChart2DDlg::OnSelendokCmbAutomap()",
        [&] { CAutomapping::setSchedule(m_context.device, m_combo->currentData().toInt()); }, this);
    refresh();
}

void CChart2DDlg::onCorrChanged()
{
    if (!m_chart || !m_chart->curveShown())
        return;
    if (!m_context.device.isConnected()) {
        refresh(); // nothing is changed without a controller
        return;
    }
    const bool ran = editCurve(L"Zapis ustawień", L"CChart2DDlg::onCorrChanged()", [&] {
        CorrCurve values {};
        const std::vector<double> shown = m_chart->values();
        std::copy_n(shown.begin(), std::min(shown.size(), values.size()), values.begin());
        return CAutomapping::writeCurve(m_context.device, values);
    });
    if (!ran)
        refresh(); // refused: the chart shows what the image holds
}

void CChart2DDlg::onIncrementAll(int step)
{
    if (m_chart && !m_chart->curveShown())
        return;
    editCurve(L"Zapis ustawień", L"CChart2DDlg::onIncrementAll()",
              [&] { return CAutomapping::incrementAll(m_context.device, step); });
    refresh();
}
