// SPDX-License-Identifier: GPL-3.0-or-later
// The program's only view: one multi-page control over the whole client area.
// Its column holds five action buttons (AUTO, GAZ, BENZYNA, the console
// picture, the level indication) and seven page buttons. The view refreshes
// the active page, lights the fuel button of the controller's state and
// animates the console picture on the frame timer. Every page and action
// button is built with the page context (document, device, events). When the
// settings image changes the active page reads it again at once; a hidden
// page is marked and reads it when it is next shown.
#pragma once

#include <app/data/imultilanggui.h>
#include <app/device/deviceevents.h>
#include <app/shell/itimerbasedgui.h>
#include <app/shell/pagecontext.h>
#include <app/shell/viewdisplaystate.h>

#include <imagekit/imageobject.h>

#include <QFont>
#include <QWidget>

#include <array>
#include <functional>
#include <vector>

class CkorvanaDoc;
class CKorMultiPageCtrl;
class CConsoleBtn;
class CSwitchToAutoBtn;
class CSwitchToGasBtn;
class CSwitchToPetrolBtn;
class CGDIpMultiPageDialog;
class CDiag;
class CObdShellSteps;

class CkorvanaView : public QWidget, public ITimerBasedGUI, public IMultilangGUI {
    Q_OBJECT
public:
    static constexpr int kButtonCount = 12;
    static constexpr int kFirstPage = 5; // "Odczyty", where the program starts
    static constexpr int kMultiPageId = 1001;
    static constexpr int kPageCount = kButtonCount - kFirstPage; // Odczyty … Info
    // The console pictures, in image-list order.
    static constexpr std::array<const wchar_t*, 7> kConsoleFiles {
        L"KR CON PETROL.tif",
        L"KR CON AUTO.tif",
        L"KR CON R.tif",
        L"KR CON 14.tif",
        L"KR CON 12.tif",
        L"KR CON 34.tif",
        L"KR CON FULL.tif",
    };

    explicit CkorvanaView(CkorvanaDoc* doc, QWidget* parent = nullptr);
    ~CkorvanaView() override;

    // Searches for the controller (unless the document was told to start in
    // demo mode), then builds the control, the buttons and the pages.
    bool OnCreate();
    // Registers with the frame; starts polling when connected, otherwise says "BRAK POŁĄCZENIA".
    void OnInitialUpdate();

    void onTimer() override;
    // The link went: every page's readings are marked stale until records come again.
    void markStale();
    void updateTexts() override;
    // Makes the active page read the settings image again.
    void refreshActivePage();
    // The image changed: the active page reads it now, the hidden ones when next shown.
    void onImageChanged(ImageBlock block);
    bool isPageStale(int index) const;
    // Shows page n of the seven (0 Odczyty … 6 Info); false for another n.
    bool showPage(int n);
    // The pages not shown yet are built after the window appears: one per turn of
    // the event loop from buildPagesLater, all at once from buildAllPages.
    void buildPagesLater();
    // Starts decoding the pictures the first page shows; call once the skins' folder is set.
    static void prefetchSkins();
    void buildAllPages();
    // The fuel buttons' tool tips say so while the controller is simulated.
    void updateDemoHints(bool force = false);

    // Builds the page of a button; unset, the view's own pages. Set before OnCreate.
    std::function<CGDIpMultiPageDialog*(int index, const CPageContext& context)> pageFactory;

    CKorMultiPageCtrl* multiPage() const { return m_mpc; }
    CObdShellSteps* obdSteps() const { return m_obdSteps; }
    CConsoleBtn* consoleButton() const { return m_consoleBtn; }
    CSwitchToAutoBtn* autoButton() const { return m_autoBtn; }
    CSwitchToGasBtn* gasButton() const { return m_gasBtn; }
    CSwitchToPetrolBtn* petrolButton() const { return m_petrolBtn; }
    QFont& viewFont() { return m_viewFont; }
    const CViewDisplayState& displayState() const { return m_display; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void createControls();
    void loadConsoleImages();
    // The page of button index (the empty page for the action buttons).
    CGDIpMultiPageDialog* createPage(int index, const CPageContext& context);
    void onPageActivated(int index);
    void showReadings(const CDiag& record);

    CkorvanaDoc* m_doc;
    CKorMultiPageCtrl* m_mpc = nullptr;
    CObdShellSteps* m_obdSteps = nullptr; // the OBD setup and background poll
    QFont m_viewFont;
    CConsoleBtn* m_consoleBtn = nullptr;
    CSwitchToAutoBtn* m_autoBtn = nullptr;
    CSwitchToGasBtn* m_gasBtn = nullptr;
    CSwitchToPetrolBtn* m_petrolBtn = nullptr;
    CViewDisplayState m_display;
    std::vector<bool> m_stale;
    bool m_demoHints = false;
};
