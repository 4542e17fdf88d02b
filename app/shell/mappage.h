// SPDX-License-Identifier: GPL-3.0-or-later
// The part of the "Mapa" page that shows the controller's own maps: both map
// records read every 20th timer tick and after a clear, the bins built from
// them, the two progress bars and the two clear buttons (refused while
// automapping is on). CChart2DDlg adds the chart and the curve.
#pragma once

#include <app/data/imultilanggui.h>
#include <app/shell/itimerbasedgui.h>
#include <app/shell/pagecontext.h>
#include <app/tuning/chartmaps.h>
#include <gradctrls/multipage/gdipmultipagedialog.h>

class QProgressBar;

class CMapPage : public CGDIpMultiPageDialog, public ITimerBasedGUI, public IMultilangGUI {
    Q_OBJECT
public:
    static constexpr int kBtnClrMap = 1601;
    static constexpr int kBtnClrMapLpg = 1602;
    static constexpr int kProgressPetrol = 1603;
    static constexpr int kProgressLpg = 1604;
    static constexpr int kLblProgressPetrol = 1605;
    static constexpr int kLblProgressLpg = 1606;
    // Timer ticks between two reads of the maps.
    static constexpr int kReadEvery = 20;

    CMapPage(int resourceId, const CPageContext& context, QWidget* parent = nullptr);
    ~CMapPage() override;

    const CChartMaps& maps() const { return m_maps; }
    QProgressBar* progressBar(bool lpg) const { return lpg ? m_progressLpg : m_progressPetrol; }

    // Reads both maps (only when connected); false, nothing changed, when
    // either read fails.
    bool readMaps();
    // The bins, bars and chart from two map records as read.
    void showMaps(const CChartMapRecord& petrol, const CChartMapRecord& lpg);
    void onTimer() override;

    void OnBtnClrMap();
    void OnBtnClrMapLpg();

protected:
    void createControls() override;
    // The bins changed.
    virtual void mapsRead() { }
    // Every kReadEvery-th tick, after the maps were read.
    virtual void slowTick() { }
    void clearMap(bool lpg, const wchar_t* handler);

    CPageContext m_context;
    CChartMaps m_maps;

private:
    QProgressBar* m_progressPetrol = nullptr;
    QProgressBar* m_progressLpg = nullptr;
    int m_ticks = 0;
};
