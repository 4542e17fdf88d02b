// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/corrcurvedlg.h>

#include <app/data/diag.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/settingblocks.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/shell/korvanadoc.h>
#include <app/tuning/blockundo.h>
#include <app/tuning/correctioncurve.h>
#include <basectrls/ctrlid.h>
#include <gradctrls/charts/corrchart.h>

#include <QAbstractButton>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr const wchar_t* kClear = L"Kasuj korekty";
constexpr const wchar_t* kYCaption = L"Korekta [%]";

QString translatedText(const wchar_t* text)
{
    return QString::fromStdWString(translate(text));
}

} // namespace

CCorrCurveDlg::CCorrCurveDlg(int resourceId, const SCurvePage& page, const CPageContext& context, QWidget* parent)
    : CGDIpMultiPageDialog(resourceId, parent)
    , m_context(context)
    , m_page(page)
{
    setTranslator([](const std::wstring& text) { return translate(text); });
}

CCorrCurveDlg::~CCorrCurveDlg() = default;

std::span<const SCtrlLayout> CCorrCurveDlg::layoutTable() const
{
    if (m_layout.empty()) {
        m_layout = {
            { kChart, ECtrlKind::Placeholder, 8, 8, 784, 536, m_page.chartText },
            { kBtnClearCorr, ECtrlKind::PushButton, 8, 556, 240, 34, kClear },
        };
    }
    return m_layout;
}

void CCorrCurveDlg::createControls()
{
    CGDIpMultiPageDialog::createControls();
    m_chart = m_page.makeChart();
    m_chart->CreateFromStatic(kChart, this);
    m_chart->setCaptions(translatedText(kYCaption), translatedText(m_page.xCaption));
    m_chart->setRefreshValues([this] { refresh(); });
    connect(m_chart, &CCorrChart::corrChanged, this, [this] { onCorrChanged(); });
    connect(m_chart, &CCorrChart::incrementAll, this, [this](int step) { onIncrementAll(step); });
    if (auto* clear = qobject_cast<QAbstractButton*>(findChildCtrl(this, kBtnClearCorr)))
        connect(clear, &QAbstractButton::clicked, this, [this] { OnBnClickedBtnClearCorr(); });
    refresh();
}

void CCorrCurveDlg::refresh()
{
    if (!m_chart)
        return;
    // A table not read from the controller now connected is no curve of this car.
    const bool unread = unreadBlocks(m_context.device, m_page.table().block) != 0;
    m_chart->setCurveShown(!unread);
    if (QWidget* clear = findChildCtrl(this, kBtnClearCorr))
        clear->setEnabled(!unread);
    if (unread)
        return;
    const std::span<const double> values = table();
    m_chart->setValues(std::vector<double>(values.begin(), values.end()));
}

void CCorrCurveDlg::activate()
{
    refresh();
    if (m_chart)
        m_chart->setFocus();
}

void CCorrCurveDlg::updateTexts()
{
    if (auto* clear = qobject_cast<QAbstractButton*>(findChildCtrl(this, kBtnClearCorr)))
        clear->setText(translatedText(kClear));
    if (m_chart)
        m_chart->setCaptions(translatedText(kYCaption), translatedText(m_page.xCaption));
}

void CCorrCurveDlg::onTimer()
{
    CLPGDevice& device = m_context.device;
    if (!m_chart || !device.isConnected())
        return;
    const uint64_t newest = device.diagData().newestSequence();
    if (newest == 0 || newest == m_lastSequence)
        return;
    CDiag record;
    if (!device.diagData().latest(record))
        return;
    m_lastSequence = newest;
    m_chart->setLiveValue(m_page.liveValue(record, device.image()));
}

std::wstring CCorrCurveDlg::handler(const wchar_t* name) const
{
    return std::wstring(m_page.className) + L"::" + name;
}

std::span<const double> CCorrCurveDlg::table() const
{
    return m_page.table().read(m_context.device.image());
}

CBlockUndo& CCorrCurveDlg::undoStack()
{
    if (!m_undo) {
        auto describe = [this](std::size_t i, double v) {
            const std::vector<CCurveEditModel::Point>& points = m_chart->model().points();
            char text[64];
            std::snprintf(text, sizeof text, " %g: %.0f %%", i < points.size() ? points[i].x : 0.0, v);
            const std::string tail = text;
            return translate(m_page.chartText) + L", " + translate(m_page.xCaption) + std::wstring(tail.begin(), tail.end());
        };
        m_undo = std::make_unique<CBlockUndo>(m_context.device, correctioncurve::undoTable(m_page.table(), describe));
    }
    return *m_undo;
}

bool CCorrCurveDlg::canUndo()
{
    return undoStack().canUndo();
}

bool CCorrCurveDlg::canRedo()
{
    return undoStack().canRedo();
}

void CCorrCurveDlg::undo()
{
    if (!m_chart || !m_chart->curveShown() || m_context.doc.refuseWhileBusy(this))
        return;
    undoStack().undo();
    refresh();
}

void CCorrCurveDlg::redo()
{
    if (!m_chart || !m_chart->curveShown() || m_context.doc.refuseWhileBusy(this))
        return;
    undoStack().redo();
    refresh();
}

void CCorrCurveDlg::onCorrChanged()
{
    CLPGDevice& device = m_context.device;
    if (!m_chart || !m_chart->curveShown())
        return;
    if (!device.isConnected()) {
        refresh(); // nothing is changed without a controller
        return;
    }
    const bool ran = m_context.doc.runOperation(
        L"Zapis ustawień", handler(L"onCorrChanged()"),
        [&] {
            undoStack().begin();
            if (correctioncurve::write(m_context.device, m_page.table(), m_chart->values()))
                undoStack().commit();
        },
        this);
    if (!ran)
        refresh(); // refused: the chart shows what the image holds
}

void CCorrCurveDlg::onIncrementAll(int step)
{
    CLPGDevice& device = m_context.device;
    if (!device.isConnected() || !m_chart || !m_chart->curveShown())
        return;
    m_context.doc.runOperation(
        L"Zapis ustawień", handler(L"onIncrementAll()"),
        [&] {
            undoStack().begin();
            if (!correctioncurve::shift(m_context.device, m_page.table(), step))
                return;
            undoStack().commit();
            refresh();
        },
        this);
}

void CCorrCurveDlg::OnBnClickedBtnClearCorr()
{
    CLPGDevice& device = m_context.device;
    if (!device.isConnected() || !m_chart || !m_chart->curveShown())
        return;
    m_context.doc.runOperation(
        L"Kasowanie korekt", handler(L"OnBnClickedBtnClearCorr()"),
        [&] {
            undoStack().begin();
            if (m_chart)
                m_chart->clearCurve();
            logInfo("corrections", "curve cleared");
            if (!correctioncurve::clear(m_context.device, m_page.table()))
                return;
            undoStack().commit();
            refresh();
        },
        this);
}
