// SPDX-License-Identifier: GPL-3.0-or-later
// The "Mapa" page: a multi-page control with the tuning pages "Mapa",
// "Mapa 2D", "Korekty temperatury" and "Korekty ciśnienia" on the left, the
// live readings panel on the right. The page's font follows its size; its
// timer refreshes the panel first and then the current tuning page.
#pragma once

#include <app/data/readblocks.h>
#include <app/shell/wspolneodczytyexmultipagedlg.h>

#include <QFont>

class CGDIpMultiPageCtrl;
class CUnreadLine;

class CMapaDlg : public CWspolneOdczytyExMultiPageDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 317;
    static constexpr int kMultiPage = 1400;
    static constexpr int kPageCount = 4;
    // The tuning pages take the left part of the page, up to the readings panel (dialog units).
    static constexpr int kTuningWidthDu = kPanelLeftDu;
    // What the tuning pages show: the map and its axes, the correction curves,
    // the 2D chart's curve and the automapping schedule.
    static constexpr uint32_t kShownBlocks = CReadBlocks::InjMap | CReadBlocks::MapAxes | CReadBlocks::SensorsSetup
        | CReadBlocks::PressCorr | CReadBlocks::SetupTimes1 | CReadBlocks::AutomapSchedule;

    explicit CMapaDlg(const CPageContext& context, QWidget* parent = nullptr);
    ~CMapaDlg() override;

    CGDIpMultiPageCtrl* multiPage() const { return m_mpc; }
    CGDIpMultiPageDialog* subPage(int index) const;
    const QFont& pageFont() const { return m_font; }
    CUnreadLine* unreadLine() const { return m_unread; }

    void activate() override;
    void deactivate() override;
    void onTimer() override;
    void updateTexts() override;

    // The pixel height of the page font for a client of width x height.
    static int fontPixelHeight(int width, int height);

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;
    void resizeEvent(QResizeEvent* event) override;
    // The readings panel's part of the timer tick: the gauges, injectors and OBD tiles.
    virtual void refreshObdPanel();

    // ---- The tuning pages ----
    // Builds tuning page i (0 … 3) of the multi-page control. Page 1 is the
    // map grid; 0 ("Mapa", the 2D chart), 2 and 3 (the correction curves)
    // show the empty page until they are built here.
    CGDIpMultiPageDialog* createSubPage(int i, const CPageContext& context);

private:
    CGDIpMultiPageCtrl* m_mpc = nullptr;
    CUnreadLine* m_unread = nullptr;
    QFont m_font;
};
