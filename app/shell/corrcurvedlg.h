// SPDX-License-Identifier: GPL-3.0-or-later
// What the two correction-curve pages share: a curve chart filled from the
// settings image in whole percent, written to the controller after every
// edit, shifted as a whole by Ctrl+Up/Down, cleared by "Kasuj korekty", and
// a live marker at the page's sensor value. Nothing is changed or written
// while no controller is connected. CCorTempDlg and CCorPressDlg say which
// table, which write and which sensor.
#pragma once

#include <app/data/imultilanggui.h>
#include <app/shell/itimerbasedgui.h>
#include <app/shell/pagecontext.h>
#include <gradctrls/multipage/gdipmultipagedialog.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class CBlockUndo;
class CCorrChart;
class CDiag;

class CCorrCurveDlg : public CGDIpMultiPageDialog, public ITimerBasedGUI, public IMultilangGUI {
    Q_OBJECT
public:
    static constexpr int kChart = 1500;
    static constexpr int kBtnClearCorr = 1501;

    CCorrCurveDlg(int resourceId, const CPageContext& context, QWidget* parent = nullptr);
    ~CCorrCurveDlg() override;

    CCorrChart* chart() const { return m_chart; }

    // The chart from the settings image, whole percent.
    void refresh();
    void activate() override;
    void onTimer() override;
    void updateTexts() override;

    // Ctrl+Z / Ctrl+Y: the curve's edits of this session, read again before each.
    CBlockUndo& undoStack();
    bool canUndo();
    bool canRedo();
    void undo();
    void redo();

    void onCorrChanged();
    void onIncrementAll(int step);
    void OnBnClickedBtnClearCorr();

protected:
    // The page's table of the settings image.
    virtual std::span<double> table() = 0;
    // Sends the record that carries the table.
    virtual bool writeTable() = 0;
    // The block (CReadBlocks) that carries the table: unread, the page shows no curve.
    virtual uint32_t tableBlock() const = 0;
    // The sensor value of a live record in the chart's x units.
    virtual double liveValue(const CDiag& record) const = 0;
    virtual CCorrChart* makeChart() const = 0;
    virtual const wchar_t* chartText() const = 0;
    virtual const wchar_t* yCaption() const { return L"Korekta [%]"; }
    virtual const wchar_t* xCaption() const = 0;
    // "CCorTempDlg" or "CCorPressDlg", for the error boxes.
    virtual const wchar_t* className() const = 0;

    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;

    CPageContext m_context;

private:
    void showError(const wchar_t* handler, const std::wstring& text);

    CCorrChart* m_chart = nullptr;
    mutable std::vector<SCtrlLayout> m_layout;
    std::unique_ptr<CBlockUndo> m_undo;
    uint64_t m_lastSequence = 0;
};
