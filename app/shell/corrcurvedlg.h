// SPDX-License-Identifier: GPL-3.0-or-later
// What the two correction-curve pages share: a curve chart filled from the
// settings image in whole percent, written to the controller after every
// edit, shifted as a whole by Ctrl+Up/Down, cleared by "Kasuj korekty", and
// a live marker at the page's sensor value. Nothing is changed or written
// while no controller is connected. A page is its description (SCurvePage):
// CCorTempDlg and CCorPressDlg give which curve, which chart and which sensor.
#pragma once

#include <app/data/imultilanggui.h>
#include <app/shell/itimerbasedgui.h>
#include <app/shell/pagecontext.h>
#include <gradctrls/multipage/gdipmultipagedialog.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class CBlockUndo;
class CCorrChart;
class CDiag;
class CSettingsImage;
struct CCurveTable;

struct SCurvePage {
    const CCurveTable& (*table)();
    // The sensor value of a live record in the chart's x units.
    double (*liveValue)(const CDiag& record, const CSettingsImage& image);
    CCorrChart* (*makeChart)();
    const wchar_t* chartText;
    const wchar_t* xCaption;
    // The class named in the error boxes ("CCorTempDlg").
    const wchar_t* className;
};

class CCorrCurveDlg : public CGDIpMultiPageDialog, public ITimerBasedGUI, public IMultilangGUI {
    Q_OBJECT
public:
    static constexpr int kChart = 1500;
    static constexpr int kBtnClearCorr = 1501;

    CCorrCurveDlg(int resourceId, const SCurvePage& page, const CPageContext& context, QWidget* parent = nullptr);
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
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;

    CPageContext m_context;

private:
    // "<class>::<name>": the handler named in its error box.
    std::wstring handler(const wchar_t* name) const;
    std::span<const double> table() const;

    const SCurvePage& m_page;
    CCorrChart* m_chart = nullptr;
    mutable std::vector<SCtrlLayout> m_layout;
    std::unique_ptr<CBlockUndo> m_undo;
    uint64_t m_lastSequence = 0;
};
