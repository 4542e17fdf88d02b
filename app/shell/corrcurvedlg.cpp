// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/corrcurvedlg.h>

#include <app/data/diag.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/settingblocks.h>
#include <app/shell/korvanadoc.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/tuning/blockundo.h>
#include <basectrls/ctrlid.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>
#include <gradctrls/charts/corrchart.h>

#include <QAbstractButton>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr const wchar_t* kWriteFailed = L"Nie powiodło się wpisanie ustawień do urządzenia!";
constexpr const wchar_t* kClear = L"Kasuj korekty";

QString translatedText(const wchar_t* text)
{
    return QString::fromStdWString(translate(text));
}

} // namespace

CCorrCurveDlg::CCorrCurveDlg(int resourceId, const CPageContext& context, QWidget* parent)
    : CGDIpMultiPageDialog(resourceId, parent)
    , m_context(context)
{
    setTranslator([](const std::wstring& text) { return translate(text); });
}

CCorrCurveDlg::~CCorrCurveDlg() = default;

std::span<const SCtrlLayout> CCorrCurveDlg::layoutTable() const
{
    if (m_layout.empty()) {
        m_layout = {
            { kChart, ECtrlKind::Placeholder, 8, 8, 784, 536, chartText() },
            { kBtnClearCorr, ECtrlKind::PushButton, 8, 556, 240, 34, kClear },
        };
    }
    return m_layout;
}

void CCorrCurveDlg::createControls()
{
    CGDIpMultiPageDialog::createControls();
    m_chart = makeChart();
    m_chart->CreateFromStatic(kChart, this);
    m_chart->setCaptions(translatedText(yCaption()), translatedText(xCaption()));
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
    const bool unread = unreadBlocks(m_context.device, tableBlock()) != 0;
    m_chart->setCurveShown(!unread);
    if (QWidget* clear = findChildCtrl(this, kBtnClearCorr))
        clear->setEnabled(!unread);
    if (unread)
        return;
    const std::span<double> values = table();
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
        m_chart->setCaptions(translatedText(yCaption()), translatedText(xCaption()));
}

void CCorrCurveDlg::onTimer()
{
    CLPGDevice& device = m_context.device;
    if (!m_chart || !device.m_connected)
        return;
    const uint64_t newest = device.diagData().newestSequence();
    if (newest == 0 || newest == m_lastSequence)
        return;
    CDiag record;
    if (!device.diagData().latest(record))
        return;
    m_lastSequence = newest;
    m_chart->setLiveValue(liveValue(record));
}

void CCorrCurveDlg::showError(const wchar_t* handler, const std::wstring& text)
{
    userInteraction().message(
        std::wstring(className()) + L"::" + handler + L"\n" + text + L"\n", L"KORVANA", MsgIcon::Error);
}

CBlockUndo& CCorrCurveDlg::undoStack()
{
    if (!m_undo) {
        CBlockUndo::Table t;
        t.block = static_cast<CReadBlocks::Block>(tableBlock());
        t.get = [this](const CLPGDevice&) {
            const std::span<double> values = table();
            return CBlockUndo::Values(values.begin(), values.end());
        };
        t.set = [this](CLPGDevice&, const CBlockUndo::Values& values) {
            std::span<double> stored = table();
            std::copy_n(values.begin(), std::min(values.size(), stored.size()), stored.begin());
        };
        t.describe = [this](std::size_t i, double v) {
            const std::vector<CCurveEditModel::Point>& points = m_chart->model().points();
            char text[64];
            std::snprintf(text, sizeof text, " %g: %.0f %%", i < points.size() ? points[i].x : 0.0, v);
            const std::string tail = text;
            return translate(chartText()) + L", " + translate(xCaption()) + std::wstring(tail.begin(), tail.end());
        };
        t.handler = className();
        m_undo = std::make_unique<CBlockUndo>(m_context.device, std::move(t));
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
    if (!device.m_connected) {
        refresh(); // nothing is changed without a controller
        return;
    }
    try {
        CWaitCursor wait;
        const std::vector<double> values = m_chart->values();
        undoStack().begin();
        std::span<double> stored = table();
        for (std::size_t i = 0; i < stored.size() && i < values.size(); ++i)
            stored[i] = std::trunc(values[i]);
        if (!writeTable())
            userInteraction().message(translate(kWriteFailed), L"KORVANA", MsgIcon::Error);
        else
            undoStack().commit();
    } catch (IError* e) {
        CErrorGuard error(e);
        showError(L"onCorrChanged()", error.format());
    }
}

void CCorrCurveDlg::onIncrementAll(int step)
{
    CLPGDevice& device = m_context.device;
    if (!device.m_connected || !m_chart || !m_chart->curveShown())
        return;
    try {
        CWaitCursor wait;
        undoStack().begin();
        for (double& v : table())
            v = std::clamp(v + step, -50.0, 50.0);
        if (!writeTable()) {
            userInteraction().message(translate(kWriteFailed), L"KORVANA", MsgIcon::Error);
            return;
        }
        undoStack().commit();
        refresh();
    } catch (IError* e) {
        CErrorGuard error(e);
        showError(L"onIncrementAll()", error.format());
    }
}

void CCorrCurveDlg::OnBnClickedBtnClearCorr()
{
    CLPGDevice& device = m_context.device;
    if (!device.m_connected || !m_chart || !m_chart->curveShown())
        return;
    try {
        CWaitCursor wait;
        undoStack().begin();
        for (double& v : table())
            v = 0;
        if (m_chart)
            m_chart->clearCurve();
        logInfo("corrections", "curve cleared");
        if (!writeTable()) {
            userInteraction().message(translate(kWriteFailed), L"KORVANA", MsgIcon::Error);
            return;
        }
        undoStack().commit();
        refresh();
    } catch (IError* e) {
        CErrorGuard error(e);
        showError(L"OnBnClickedBtnClearCorr()", error.format());
    }
}
