// SPDX-License-Identifier: GPL-3.0-or-later
// "Mapa": the 2D chart of the petrol and LPG maps with the correction curve
// over petrol injection time. "Oblicz korekty" computes a new curve from the
// maps, shows it beside the current one and writes it when the fitter
// agrees; "Cofnij korekty" puts the curve it replaced back. The curve is
// edited on the chart like the other correction curves; the combo sets the
// automapping schedule and the edit shows the kilometres left.
#pragma once

#include <app/shell/mappage.h>
#include <app/tuning/automapping.h>
#include <app/tuning/blockundo.h>

#include <memory>

class CTimeCorrChart;
class QComboBox;
class QLineEdit;

class CChart2DDlg : public CMapPage {
    Q_OBJECT
public:
    static constexpr int kResourceId = 326;
    static constexpr int kChart = 1600;
    static constexpr int kBtnClearCorr = 1607;
    static constexpr int kBtnCreate = 1608;
    static constexpr int kBtnUndo = 1609;
    static constexpr int kLblAutomap = 1610;
    static constexpr int kCmbAutomap = 1611;
    static constexpr int kLblKmLeft = 1612;
    static constexpr int kEdtKmLeft = 1613;
    static constexpr int kChkBlockPetrol = 1614;

    explicit CChart2DDlg(const CPageContext& context, QWidget* parent = nullptr);
    ~CChart2DDlg() override;

    CTimeCorrChart* chart() const { return m_chart; }
    QComboBox* automapCombo() const { return m_combo; }
    QLineEdit* kmLeftEdit() const { return m_kmLeft; }
    const CAutomapping& automapping() const { return m_automap; }

    // Curve, combo and kilometres from the settings image.
    void refresh();
    void activate() override;
    void onTimer() override;
    void updateTexts() override;

    void OnBtnCreate();
    void OnBtnUndo();
    void OnBnClickedBtnClearCorr();
    void OnSelendokCmbAutomap();
    void onCorrChanged();
    void onIncrementAll(int step);

    // Edit → Cofnij / Przywróć: the curve's edits of this session, each read
    // again from the controller first, like the other correction curves.
    bool canUndo();
    bool canRedo();
    void undo();
    void redo();

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;
    void mapsRead() override;
    void slowTick() override;

private:
    void fillCombo();
    void setLegend();
    void updateUndo();
    CBlockUndo& undoStack();
    // One curve edit: run changes the curve; it is kept for undo once written.
    template <class Edit> bool editCurve(const wchar_t* operation, const wchar_t* handler, Edit run);

    CTimeCorrChart* m_chart = nullptr;
    QComboBox* m_combo = nullptr;
    QLineEdit* m_kmLeft = nullptr;
    CAutomapping m_automap;
    std::unique_ptr<CBlockUndo> m_undo;
    uint64_t m_lastSequence = 0;
};
