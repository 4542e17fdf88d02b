// SPDX-License-Identifier: GPL-3.0-or-later
// The live readings panel on the right of every tuning and settings page: five
// gauges (engine speed, vacuum, pressure, reducer and gas temperature) and the
// petrol and LPG injector display of each cylinder. A click on an injector
// display sets the controller's emulator mask (petrol cell) or LPG-injector
// mask (LPG cell).
//
// Deriving a page from it:
//   class CMyDlg : public CWspolneOdczytyMultiPageDlg {
//   public:
//       explicit CMyDlg(const CPageContext& context)
//           : CWspolneOdczytyMultiPageDlg(context, kMyDialogId) {}
//   protected:
//       std::span<const SCtrlLayout> layoutTable() const override; // the page's own controls
//       void createControls() override;  // optional: call the base first, then
//                                        // replace placeholders (CreateFromStatic)
//       void onTimer() override;         // optional: call the base first
//       void updateTexts() override;     // optional: call the base too
//   };
// The page's own controls go left of kPanelLeftDu (dialog units of the
// 800 x 600 design, see pagelayout.h); the panel takes the rest. Every control
// keeps its id, so the panel's ids (1015 … 1040) are reserved.
#pragma once

#include <app/data/imultilanggui.h>
#include <app/data/diag.h>
#include <app/data/diagfile.h>
#include <app/data/readingspanel.h>
#include <app/shell/itimerbasedgui.h>
#include <app/shell/pagecontext.h>
#include <gradctrls/multipage/gdipmultipagedialog.h>
#include <imagekit/imageobject.h>

#include <array>
#include <string>
#include <vector>
#include <cstdint>

class CGDIpGaugeDisplay;
class CGDIpInjectorStateDisplay;
class CGDIpStatic;
class QWidget;

// Greys a control out (or back in) without disabling it.
void markStaleWidget(QWidget* widget, bool stale);

class CWspolneOdczytyMultiPageDlg : public CGDIpMultiPageDialog, public ITimerBasedGUI, public IMultilangGUI {
    Q_OBJECT
public:
    // Column titles.
    // The pictures every readings panel shows, as full paths: the dial, then the injectors.
    static std::vector<std::wstring> skinFiles();

    static constexpr int kPetrolTitleId = 1021;
    static constexpr int kLpgTitleId = 1022;
    // Injector displays of cylinders 1 … 8.
    static constexpr std::array<int, 8> kPetrolIds = { 1023, 1025, 1027, 1031, 1033, 1035, 1037, 1039 };
    static constexpr std::array<int, 8> kLpgIds = { 1024, 1026, 1028, 1032, 1034, 1036, 1038, 1040 };
    // Gauges.
    static constexpr int kRpmId = 1015;
    static constexpr int kVacuumId = 1016;
    static constexpr int kPressureId = 1017;
    static constexpr int kReducerId = 1018;
    static constexpr int kGasId = 1019;
    // Where the panel begins, in dialog units of the design; the page's own controls lie left of it.
    static constexpr int kPanelLeftDu = 520;
    // The panel's rows end here; the extended panel puts its tiles below.
    static constexpr int kPanelBottomDu = 470;

    CWspolneOdczytyMultiPageDlg(const CPageContext& context, int resourceId, QWidget* parent = nullptr);
    ~CWspolneOdczytyMultiPageDlg() override;

    // The panel refresh from the newest record; derived pages call it first.
    void onTimer() override;
    void updateTexts() override;
    void activate() override;

    CGDIpGaugeDisplay* gauge(int index) const { return m_gauges[static_cast<std::size_t>(index)]; }
    CGDIpInjectorStateDisplay* petrolDisplay(int i) const { return m_petrol[static_cast<std::size_t>(i)]; }
    CGDIpInjectorStateDisplay* lpgDisplay(int i) const { return m_lpg[static_cast<std::size_t>(i)]; }

    // The injector clicks (also what a mouse press on a display runs).
    // While a recording plays back, the panel shows its records (showPlayed)
    // and no live one.
    void setPlayback(bool on);
    bool playback() const { return m_playback; }
    // After the link went: gauges and cells greyed with "—" for their values,
    // until the next record is shown.
    virtual void setStale(bool stale);
    bool stale() const { return m_stale; }
    static constexpr const wchar_t* kStaleValue = L"—";
    void showPlayed(const CDiagFile::Record& record);
    void onClickedPetrol(int cylinder);
    void onClickedLpg(int cylinder);

protected:
    // Builds the derived page's table (layoutTable()), then the panel.
    void createControls() override;
    bool OnInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    CPageContext m_context;

private:
    void updateInjectorTips();
    void setUpInjectors();
    void setUpGauges();
    // Cells of cylinders beyond the controller's injector count are hidden.
    void showInjectorCount();
    bool sendMask(bool lpg, uint8_t mask);
    void showCells(const readingspanel::CCells& cells);

    std::array<CGDIpGaugeDisplay*, 5> m_gauges {}; // RPM, pressure, vacuum, reducer, gas
    std::array<CGDIpInjectorStateDisplay*, 8> m_petrol {};
    std::array<CGDIpInjectorStateDisplay*, 8> m_lpg {};
    CImageObject m_injGreen;
    CImageObject m_injRed;
    CImageObject m_injWhite;
    uint64_t m_shownSequence = 0;
    bool m_playback = false;
    bool m_stale = false;
    int m_shownInjCount = -1;
};
