// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/mainframe.h>

#include <app/data/languages.h>
#include <app/data/settingsrefusal.h>
#include <app/data/translate.h>
#include <app/platform/log.h>
#include <app/platform/textcodec.h>
#include <app/tuning/docoperations.h>
#include <app/device/lpgdevice.h>
#include <app/platform/documentsdir.h>
#include <app/platform/userinteraction.h>
#include <app/shell/aboutdlg.h>
#include <app/shell/framegeometry.h>
#include <app/shell/gdipcaptionbar.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/device/historyrecorder.h>
#include <app/shell/historiadlg.h>
#include <app/shell/menucommands.h>
#include <app/shell/odczytydlg.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/mapadlg.h>
#include <app/shell/maparray.h>
#include <app/shell/menumnemonics.h>
#include <app/shell/settingcontrols.h>
#include <app/shell/buttontips.h>
#include <app/shell/chart2ddlg.h>
#include <app/shell/corrcurvedlg.h>
#include <app/shell/kalibracjadlg.h>
#include <app/data/recordingpath.h>
#include <app/shell/raportdlg.h>
#include <app/shell/samochoddlg.h>
#include <app/shell/warsztatdlg.h>
#include <app/shell/settingsdiffdlg.h>
#include <app/data/settingsdiff.h>
#include <errkit/errorguard.h>
#include <gradctrls/dialogs/gdippalette.h>

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFontInfo>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <array>
#include <filesystem>

namespace {

constexpr int kBorder = 4; // the resize border around the client area

QString qs(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

// The product name line of the caption bar.
const wchar_t* const kProductLine = L"KORVANA  –  diagnostyka i konfiguracja sterowników LPG";

// Make, model and engine of the connected car, as kept in the image.
std::wstring carTitle(const CLPGDevice& device)
{
    CCarDetails car;
    car.m_carInfo = device.image().m_carInfo;
    return car.title();
}

} // namespace

CMainFrame::CMainFrame(CkorvanaDoc* doc)
    : m_doc(doc)
{
    // Sizing border, minimise and maximise boxes, but no caption of the system's own.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinMaxButtonsHint | Qt::WindowSystemMenuHint);
    setWindowTitle(QStringLiteral("korvana"));
    setMouseTracking(true);
    // Recordings dropped on the window play back.
    setAcceptDrops(true);
    setContentsMargins(kBorder, kBorder, kBorder, kBorder);
    m_timer.setObjectName(QStringLiteral("timer_%1").arg(kTimerId));
    m_timer.setInterval(kTimerPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &CMainFrame::OnTimer);
    if (m_doc) {
        connect(&m_doc->relay(), &CDeviceEventRelay::pollingStarted, this, &CMainFrame::followPollingStart);
        connect(&m_doc->relay(), &CDeviceEventRelay::pollingStopped, this, &CMainFrame::followPollingStop);
        connect(&m_doc->relay(), &CDeviceEventRelay::deviceEvent, this, [this](const DeviceEventData& event) {
            if (event.kind == DeviceEvent::LinkConnected || event.kind == DeviceEvent::LinkLost
                || event.kind == DeviceEvent::OperationStarted || event.kind == DeviceEvent::OperationFinished)
                refreshCaption();
        });
    }
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::placeOnWorkArea()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    setGeometry(screen->availableGeometry());
}

bool CMainFrame::OnCreate()
{
    auto* top = new QWidget(this);
    auto* column = new QVBoxLayout(top);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_captionBar = new CGDIpCaptionBar(top);
    m_captionBar->setObjectName(QStringLiteral("captionBar"));
    m_captionBar->setCaptionText(captionLine());
    const QPixmap icon = CGDIpCaptionBar::programIcon(48);
    m_captionBar->setIcon(QIcon(icon));
    setWindowIcon(QIcon(icon));
    column->addWidget(m_captionBar);

    m_menuBar = new QMenuBar(top);
    m_menuBar->setNativeMenuBar(false);
    m_menuBar->setStyleSheet(QStringLiteral("QMenuBar { background: %1; color: %2; border-bottom: 1px solid %3; }"
                                            "QMenuBar::item { background: transparent; padding: 3px 10px; }"
                                            "QMenuBar::item:selected { background: %4; }")
                                 .arg(GradPalette::backdropTop().name(), GradPalette::buttonText().name(),
                                     GradPalette::panelBorder().name(), GradPalette::selectedBottom().name()));
    column->addWidget(m_menuBar);
    setMenuWidget(top);
    buildMenu();

    // The caption font starts as the application's regular font.
    m_captionFont = QApplication::font();
    m_haveCaptionFont = true;
    OnSize();
    return true;
}

namespace {

// The commands whose click restarts the controller (and switches it to petrol meanwhile) say so.
struct SCommandTip {
    int commandId;
    const wchar_t* tip;
};
constexpr SCommandTip kCommandTips[] = {
    { MenuCmd::kReadSettings, L"Otwiera plik ustawień; z podłączonym sterownikiem proponuje wpisanie go do sterownika, "
                              L"który przełącza się przy tym na benzynę i uruchamia ponownie." },
    { MenuCmd::kRestoreFactory, L"Wpisuje do sterownika ustawienia fabryczne, po pytaniu; sterownik przełącza się przy "
                                L"tym na benzynę i uruchamia ponownie." },
    { MenuCmd::kDeviceUpdate, L"Wpisuje do sterownika nowe oprogramowanie z pliku .afm, po pytaniach; na czas "
                              L"programowania samochód przechodzi na benzynę, potem sterownik uruchamia się ponownie." },
};

} // namespace

QAction* CMainFrame::addCommand(QMenu* menu, const wchar_t* text, int commandId)
{
    QAction* action = menu->addAction(qs(translate(text)));
    action->setData(commandId);
    action->setObjectName(QStringLiteral("cmd_%1").arg(commandId));
    connect(action, &QAction::triggered, this, [this, commandId] { onCommand(commandId); });
    m_titled.push_back({ action, text });
    return action;
}

void CMainFrame::buildMenu()
{
    auto popup = [this](const wchar_t* title) {
        QMenu* menu = m_menuBar->addMenu(qs(translate(title)));
        menu->setToolTipsVisible(true);
        m_titled.push_back({ menu->menuAction(), title });
        return menu;
    };
    QMenu* file = popup(L"Plik");
    addCommand(file, L"Wczytaj ustawienia z pliku...", MenuCmd::kReadSettings)->setShortcut(QKeySequence::Open);
    addCommand(file, L"Zapisz ustawienia do pliku...", MenuCmd::kSaveSettings)->setShortcut(QKeySequence::Save);
    addCommand(file, L"Porównaj z plikiem…", MenuCmd::kCompareSettings);
    addCommand(file, L"Historia", MenuCmd::kHistory);
    addCommand(file, L"Samochód", MenuCmd::kCar);
    addCommand(file, L"Raport dla klienta…", MenuCmd::kReport)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    file->addSeparator();
    addCommand(file, L"Wyjście", MenuCmd::kAppExit)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(file, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);

    QMenu* edit = popup(L"Edycja");
    addCommand(edit, L"Cofnij", MenuCmd::kEditUndo)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    addCommand(edit, L"Przywróć", MenuCmd::kEditRedo)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
    connect(edit, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);
    // The grey items tell the open menu's state only: the keys work on whatever page is shown later.
    connect(edit, &QMenu::aboutToHide, this, [this] {
        for (int id : { MenuCmd::kEditUndo, MenuCmd::kEditRedo })
            if (QAction* action = commandAction(id))
                action->setEnabled(true);
    });

    QMenu* settings = popup(L"Ustawienia");
    addCommand(settings, L"Przywróć ustawienia fabryczne", MenuCmd::kRestoreFactory);
    addCommand(settings, L"Dane warsztatu…", MenuCmd::kWorkshop);

    QMenu* language = popup(L"Język");
    // One language at a time: an exclusive group, drawn as radio items.
    auto* languages = new QActionGroup(this);
    languages->setExclusive(true);
    for (std::size_t i = 0; i < MenuCmd::kLanguageItems.size(); ++i) {
        QAction* action
            = addCommand(language, MenuCmd::kLanguageItems[i].title, MenuCmd::kFirstLanguage + static_cast<int>(i));
        action->setCheckable(true);
        languages->addAction(action);
        m_languageActions.push_back(action);
    }
    connect(language, &QMenu::aboutToShow, this, &CMainFrame::updateLanguageChecks);

    QMenu* info = popup(L"Info");
    addCommand(info, L"Dokumentacja", MenuCmd::kDocumentation);
    addCommand(info, L"Pomoc do tej strony", MenuCmd::kHelpPage)->setShortcut(QKeySequence(Qt::Key_F1));
    addCommand(info, L"Aktualizacja sterownika...", MenuCmd::kDeviceUpdate);
    addCommand(info, L"Informacje", MenuCmd::kAppAbout);
    updateLanguageChecks();
    for (const SCommandTip& t : kCommandTips)
        if (QAction* action = commandAction(t.commandId))
            action->setToolTip(qs(translate(t.tip)));

    // The pages by key: on the window, in no menu, so they work wherever the focus is.
    const auto pageKey = [this](const QList<QKeySequence>& keys, int commandId) {
        auto* action = new QAction(this);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setData(commandId);
        action->setObjectName(QStringLiteral("cmd_%1").arg(commandId));
        connect(action, &QAction::triggered, this, [this, commandId] { onCommand(commandId); });
        addAction(action);
        m_pageActions.push_back(action);
    };
    for (int i = 0; i < 7; ++i)
        pageKey({ QKeySequence(Qt::CTRL | (Qt::Key_1 + i)) }, MenuCmd::kFirstPageKey + i);
    pageKey({ QKeySequence(Qt::CTRL | Qt::Key_Tab) }, MenuCmd::kNextPage);
    pageKey({ QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
              QKeySequence(Qt::CTRL | Qt::Key_Backtab) },
            MenuCmd::kPreviousPage);
    applyAllMnemonics();
}

void CMainFrame::applyAllMnemonics()
{
    if (!m_menuBar)
        return;
    applyMnemonics(m_menuBar);
    for (QAction* popup : m_menuBar->actions())
        applyMnemonics(popup->menu());
}

QAction* CMainFrame::commandAction(int commandId) const
{
    for (const STitled& t : m_titled)
        if (t.action->data().toInt() == commandId && t.action->data().isValid())
            return t.action;
    for (QAction* action : m_pageActions)
        if (action->data().toInt() == commandId)
            return action;
    return nullptr;
}

void CMainFrame::updateLanguageChecks()
{
    const int current = currentLanguage();
    for (std::size_t i = 0; i < m_languageActions.size(); ++i)
        m_languageActions[i]->setChecked(MenuCmd::kLanguageItems[i].languageIndex == current);
}

void CMainFrame::updateCommandStates()
{
    if (QAction* save = commandAction(MenuCmd::kSaveSettings))
        save->setEnabled(m_doc && m_doc->device().isConnected());
    const CMapArray* grid = shownMapGrid();
    const CSettingControls* fields = shownSettingControls();
    CCorrCurveDlg* curve = shownPage<CCorrCurveDlg>();
    CChart2DDlg* chart = shownPage<CChart2DDlg>();
    const CKalibracjaDlg* corrections = shownPage<CKalibracjaDlg>();
    if (QAction* undo = commandAction(MenuCmd::kEditUndo))
        undo->setEnabled((grid && grid->canUndo()) || (fields && fields->canUndo()) || (curve && curve->canUndo())
                         || (chart && chart->canUndo()) || (corrections && corrections->canUndo()));
    if (QAction* redo = commandAction(MenuCmd::kEditRedo))
        redo->setEnabled((grid && grid->canRedo()) || (fields && fields->canRedo()) || (curve && curve->canRedo())
                         || (chart && chart->canRedo()) || (corrections && corrections->canRedo()));
}

template <class Page> Page* CMainFrame::shownPage() const
{
    const auto pages = findChildren<Page*>();
    for (Page* page : pages)
        if (page->isVisible())
            return page;
    return nullptr;
}

CSettingControls* CMainFrame::shownSettingControls() const
{
    const auto all = findChildren<CSettingControls*>();
    for (CSettingControls* controls : all)
        if (controls->page() && controls->page()->isVisible())
            return controls;
    return nullptr;
}

CMapArray* CMainFrame::shownMapGrid() const
{
    const auto grids = findChildren<CMapArray*>();
    for (CMapArray* grid : grids)
        if (grid->isVisible())
            return grid;
    return nullptr;
}

void CMainFrame::OnEditUndo()
{
    if (CMapArray* grid = shownMapGrid())
        grid->undo();
    else if (CSettingControls* fields = shownSettingControls())
        fields->undo();
    else if (CCorrCurveDlg* curve = shownPage<CCorrCurveDlg>())
        curve->undo();
    else if (CChart2DDlg* chart = shownPage<CChart2DDlg>())
        chart->undo();
    else if (CKalibracjaDlg* corrections = shownPage<CKalibracjaDlg>())
        corrections->undo();
}

void CMainFrame::OnEditRedo()
{
    if (CMapArray* grid = shownMapGrid())
        grid->redo();
    else if (CSettingControls* fields = shownSettingControls())
        fields->redo();
    else if (CCorrCurveDlg* curve = shownPage<CCorrCurveDlg>())
        curve->redo();
    else if (CChart2DDlg* chart = shownPage<CChart2DDlg>())
        chart->redo();
    else if (CKalibracjaDlg* corrections = shownPage<CKalibracjaDlg>())
        corrections->redo();
}

const char* CMainFrame::chapterOfPage(int page)
{
    static constexpr std::array<const char*, 7> kChapters { "readings.html", "settings.html", "advanced.html",
                                                            "calibration.html", "map.html", "obd.html", "info.html" };
    return page >= 0 && page < static_cast<int>(kChapters.size()) ? kChapters[static_cast<std::size_t>(page)]
                                                                   : "index.html";
}

std::string CMainFrame::currentChapter() const
{
    if (!m_view || !m_view->multiPage())
        return "index.html";
    const int page = m_view->multiPage()->getActiveIndex() - CkorvanaView::kFirstPage;
    // "Mapa 2D" has a chapter of its own.
    if (page == 4)
        if (auto* mapa = dynamic_cast<CMapaDlg*>(m_view->multiPage()->getActivePage());
            mapa && mapa->multiPage() && mapa->multiPage()->getActiveIndex() == 1)
            return "map-editor.html";
    return chapterOfPage(page);
}

void CMainFrame::OnHelpPage()
{
    if (m_doc)
        m_doc->OnDocumentation(currentChapter());
}

void CMainFrame::cyclePage(int step)
{
    if (!m_view || !m_view->multiPage())
        return;
    const int n = CkorvanaView::kPageCount;
    const int page = m_view->multiPage()->getActiveIndex() - CkorvanaView::kFirstPage;
    m_view->showPage(((page < 0 ? 0 : page) + step + n) % n);
}

void CMainFrame::updateTexts()
{
    for (const STitled& t : m_titled)
        t.action->setText(qs(translate(t.text)));
    for (const SCommandTip& t : kCommandTips)
        if (QAction* action = commandAction(t.commandId))
            action->setToolTip(qs(translate(t.tip)));
    applyAllMnemonics();
    refreshButtonTips(this);
    refreshCaption();
    updateLanguageChecks();
    if (m_menuBar)
        m_menuBar->update();
}

QString CMainFrame::captionLine() const
{
    QString line = qs(translate(kProductLine));
    if (!m_doc || !m_view)
        return line;
    const CLPGDevice& device = m_doc->device();
    // The car being worked on, and its controller, in place of the product's description.
    if (const std::wstring car = carTitle(device); device.isConnected() && !car.empty())
        line = QStringLiteral("KORVANA  –  ") + qs(car) + QStringLiteral("  –  ") + qs(device.image().m_devInfo.m_serial);
    QString state;
    if (m_doc->isSearching() || m_searchAfterLoss)
        state = qs(translate(L"Szukanie sterownika…"));
    else if (!device.isConnected())
        state = qs(translate(L"BRAK POŁĄCZENIA"));
    else if (m_reconnected.isValid() && m_reconnected.elapsed() < kReconnectedNoticeMs)
        state = qs(translate(L"Połączono ze sterownikiem"));
    if (!state.isEmpty())
        line += QStringLiteral("  –  ") + state;
    if (const QString word = notice(); !word.isEmpty())
        line += QStringLiteral("  –  ") + word;
    if (device.isDemo())
        line += qs(translate(L" — DEMO"));
    return line;
}

void CMainFrame::showNotice(const QString& text)
{
    m_notice = text;
    m_noticeShown.start();
    refreshCaption();
}

QString CMainFrame::notice() const
{
    return m_noticeShown.isValid() && m_noticeShown.elapsed() < kWriteNoticeMs ? m_notice : QString();
}

void CMainFrame::refreshCaption()
{
    if (!m_captionBar)
        return;
    const QString line = captionLine();
    if (line != m_captionBar->captionText())
        m_captionBar->setCaptionText(line);
    if (m_view)
        m_view->updateDemoHints();
}

void CMainFrame::onCommand(int commandId)
{
    // About and the documentation only show something; every other command
    // waits until the running operation has ended.
    if (m_doc && commandId != MenuCmd::kAppAbout && commandId != MenuCmd::kDocumentation
        && commandId != MenuCmd::kHelpPage && m_doc->refuseWhileBusy(this))
        return;
    if (commandId >= MenuCmd::kFirstLanguage && commandId <= MenuCmd::kLastLanguage) {
        if (m_doc)
            m_doc->OnLanguage(
                MenuCmd::kLanguageItems[static_cast<std::size_t>(commandId - MenuCmd::kFirstLanguage)].languageIndex);
        updateLanguageChecks();
        return;
    }
    switch (commandId) {
    case MenuCmd::kAppExit:
        close();
        return;
    case MenuCmd::kAppAbout:
        OnAppAbout();
        return;
    case MenuCmd::kNextPage:
        cyclePage(+1);
        return;
    case MenuCmd::kPreviousPage:
        cyclePage(-1);
        return;
    case MenuCmd::kEditUndo:
        OnEditUndo();
        return;
    case MenuCmd::kEditRedo:
        OnEditRedo();
        return;
    default:
        break;
    }
    if (commandId >= MenuCmd::kFirstPageKey && commandId < MenuCmd::kFirstPageKey + CkorvanaView::kPageCount) {
        if (m_view)
            m_view->showPage(commandId - MenuCmd::kFirstPageKey);
        return;
    }
    if (!m_doc)
        return;
    switch (commandId) {
    case MenuCmd::kSaveSettings:
        m_doc->OnFileSaveSettings();
        break;
    case MenuCmd::kReadSettings:
        m_doc->OnFileReadSettings();
        break;
    case MenuCmd::kCompareSettings:
        OnFileCompareSettings();
        break;
    case MenuCmd::kHistory:
        OnFileHistory();
        break;
    case MenuCmd::kCar:
        OnFileCar();
        break;
    case MenuCmd::kReport:
        OnFileReport();
        break;
    case MenuCmd::kWorkshop:
        OnWorkshop();
        break;
    case MenuCmd::kRestoreFactory:
        m_doc->OnSettingsRestore();
        break;
    case MenuCmd::kDeviceUpdate:
        m_doc->OnDeviceUpdate();
        break;
    case MenuCmd::kDocumentation:
        m_doc->OnDocumentation();
        break;
    case MenuCmd::kHelpPage:
        OnHelpPage();
        break;
    default:
        break;
    }
}

void CMainFrame::OnFileCompareSettings(const std::string& chosen)
{
    std::string path = chosen;
    if (path.empty())
        path = userInteraction().chooseFile(false, translate(L"OPEN"), CDocOperations::settingsFilter(),
                                            settingsDirectory(), {});
    if (path.empty())
        return;
    CSettingsImage file;
    if (!readSettingsForComparison(path, file)) {
        userInteraction().message(translate(L"Nie można wczytać ustawień z pliku") + settingsRefusalText(path),
            L"KORVANA", MsgIcon::Error);
        return;
    }
    const bool withController = m_doc->device().isConnected();
    auto differences = compareSettings(file, m_doc->device().image(), withController);
    logInfo("settings", "compared with " + path + ": " + std::to_string(differences.size()) + " differences");
    CSettingsDiffDlg dialog(std::move(differences), QString::fromStdString(std::filesystem::path(path).filename().string()),
                            this);
    dialog.DoModal();
}

void CMainFrame::OnFileHistory(int64_t compareSince)
{
    CHistoryRecorder* history = CHistoryRecorder::installed();
    if (!history || !m_doc)
        return;
    if (!history->store().readable()) {
        userInteraction().message(history->problemText(), L"KORVANA", MsgIcon::Error);
        return;
    }
    CHistoriaDlg dialog(*history, m_doc->device(), this);
    dialog.Create();
    if (compareSince) {
        dialog.selectPoints({ compareSince });
        dialog.compare();
    }
    dialog.DoModal();
}

void CMainFrame::OnFileCar()
{
    if (!m_doc)
        return;
    CLPGDevice& device = m_doc->device();
    CHistoryRecorder* history = CHistoryRecorder::installed();
    CCarDetails car = history ? history->car() : CCarDetails {};
    car.m_carInfo = device.image().m_carInfo;
    std::function<std::wstring()> readVin;
    if (device.isConnected())
        readVin = [this, &device] {
            std::wstring vin;
            m_doc->runOperation(L"Odczyt VIN", [&] { vin = readVinShown(device); }, this);
            return vin;
        };
    CSamochodDlg dialog(car, readVin, this);
    if (dialog.DoModal() != QDialog::Accepted)
        return;
    const CCarDetails chosen = dialog.details();
    if (history) {
        if (!history->setCar(device, chosen))
            userInteraction().message(history->problemText().empty() ? translate(L"Nie udało się zapisać danych samochodu.")
                                                                     : history->problemText(),
                L"KORVANA", MsgIcon::Warning);
    } else {
        device.setCarInfo(chosen.m_carInfo);
    }
    device.events().imageChanged(ImageBlock::CarInfo);
    refreshCaption();
}

void CMainFrame::OnFileReport()
{
    if (!m_doc)
        return;
    CSessionReport report;
    m_doc->runOperation(
        L"Raport dla klienta",
        [&] {
            CWaitCursor wait;
            CHistoryRecorder* history = CHistoryRecorder::installed();
            report = CSessionReport::gather(m_doc->device(), history, history ? history->connectedPoint() : 0);
        },
        this);
    CRaportDlg dialog(std::move(report), this);
    dialog.exec();
}

void CMainFrame::OnWorkshop()
{
    CWarsztatDlg dialog(CWorkshop::load(), this);
    if (dialog.DoModal() != QDialog::Accepted)
        return;
    if (!dialog.workshop().store())
        userInteraction().message(translate(L"Nie udało się zapisać danych warsztatu."), L"KORVANA", MsgIcon::Warning);
}

void CMainFrame::OnAppAbout()
{
    CAboutDlg about(this);
    about.DoModal();
}

void CMainFrame::startTimer()
{
    m_timer.start(kTimerPeriodMs);
}

void CMainFrame::stopTimer()
{
    m_timer.stop();
}

void CMainFrame::followPollingStart()
{
    logInfo("gui", "polling started; frame timer on");
    startTimer();
}

void CMainFrame::followPollingStop()
{
    // A polling that ended with the link leaves the timer to search for the controller.
    if (m_doc && !m_doc->device().isConnected() && m_timer.isActive()) {
        logInfo("gui", "polling stopped with the link down; frame timer keeps searching");
        return;
    }
    logInfo("gui", "polling stopped; frame timer off");
    stopTimer();
}

void CMainFrame::searchAfterLoss()
{
    const bool ask = m_askOnNextSearch;
    m_askOnNextSearch = false;
    m_searchAfterLoss = true;
    refreshCaption();
    if (m_captionBar)
        m_captionBar->repaint(); // the search holds the GUI thread
    bool connected = false;
    // An error must not leave through the timer's event; the next search comes 11 ticks later.
    try {
        connected = m_doc->searchController(ask, ask);
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("gui", "CMainFrame::searchAfterLoss", *error);
    }
    m_searchAfterLoss = false;
    m_watchdog.searchDone(connected);
    if (connected) {
        logInfo(
            "gui", m_doc->device().isDemo() ? "link lost; demo mode chosen" : "controller answered again; reconnected");
        if (!m_doc->device().isDemo())
            m_reconnected.start();
        m_doc->startPolling();
    }
    refreshCaption();
}

void CMainFrame::OnTimer()
{
    if (!m_doc)
        return;
    // A search started by an earlier tick may still run (its dialog pumps the
    // timer); this tick then does nothing.
    if (m_doc->isSearching())
        return;
    CLPGDevice& device = m_doc->device();
    switch (m_watchdog.tick(device.isConnected())) {
    case CConnectionWatchdog::EAction::Lost:
        logWarning("gui", "link lost; the controller is searched for every 11 ticks");
        m_askOnNextSearch = true;
        m_reconnected.invalidate();
        if (m_view)
            m_view->markStale();
        refreshCaption();
        return;
    case CConnectionWatchdog::EAction::Search:
        // A running operation has the link; the search waits for its end.
        if (m_doc->operationRunning())
            m_watchdog.postpone();
        else
            searchAfterLoss();
        break;
    case CConnectionWatchdog::EAction::None:
        break;
    }
    refreshCaption();
    if (m_view && m_doc->queuedRecords() > 0) {
        m_view->onTimer();
        // The next tick comes a full period after the view's work.
        if (m_timer.isActive())
            m_timer.start(kTimerPeriodMs);
    }
}

QSize CMainFrame::clientSize() const
{
    return contentsRect().size();
}

void CMainFrame::OnSize()
{
    if (m_captionBar)
        m_captionBar->setMaximized(isMaximized());
    if (!m_haveCaptionFont || !m_captionBar)
        return;
    const QSize client = clientSize();
    const int height = FrameGeometry::captionFontHeight(client.width(), client.height());
    if (height >= 0)
        return;
    m_captionFont.setPixelSize(-height);
    m_captionFont.setWeight(QFont::Bold);
    m_captionBar->setCaptionFont(m_captionFont);
    m_captionBar->setCaptionHeight(FrameGeometry::captionHeight(height));
    // The menu grows with the window like the view's buttons, never below the desktop's own size.
    if (m_menuBar) {
        QFont menuFont = QApplication::font();
        const int desktopPixels = QFontInfo(menuFont).pixelSize();
        menuFont.setPixelSize(std::max(desktopPixels, -FrameGeometry::viewFontHeight(client.height())));
        m_menuBar->setFont(menuFont);
        for (QAction* popup : m_menuBar->actions())
            if (popup->menu())
                popup->menu()->setFont(menuFont);
    }
}

bool CMainFrame::RecalcLayout()
{
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))
        return false;
    const SFrameSize now { width(), height() };
    const SFrameSize wanted = FrameGeometry::enforceMinimum(now);
    if (wanted == now)
        return false;
    resize(wanted.width, wanted.height);
    return true;
}

void CMainFrame::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (RecalcLayout())
        return; // the enforced size arrives as another resize
    OnSize();
}

void CMainFrame::updateBorder()
{
    const int border = (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) ? 0 : kBorder;
    setContentsMargins(border, border, border, border);
}

void CMainFrame::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && m_captionBar)
        m_captionBar->setActive(isActiveWindow());
    if (event->type() == QEvent::WindowStateChange) {
        updateBorder();
        OnSize();
    }
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // The running operation still uses the device and the windows; the program ends after it.
    if (m_doc && m_doc->refuseWhileBusy(this)) {
        event->ignore();
        return;
    }
    // Polling stops before the frame goes.
    if (m_doc)
        m_doc->stopPolling();
    logInfo("gui", "main window closed");
    QMainWindow::closeEvent(event);
}

Qt::Edges CMainFrame::edgesAt(const QPoint& pos) const
{
    Qt::Edges edges;
    if (contentsMargins().left() == 0)
        return edges;
    const int grip = kBorder * 3; // corners are easier to catch than the thin border
    if (pos.x() < kBorder || (pos.x() < grip && (pos.y() < kBorder || pos.y() >= height() - kBorder)))
        edges |= Qt::LeftEdge;
    if (pos.x() >= width() - kBorder
        || (pos.x() >= width() - grip && (pos.y() < kBorder || pos.y() >= height() - kBorder)))
        edges |= Qt::RightEdge;
    if (pos.y() < kBorder || (pos.y() < grip && (pos.x() < kBorder || pos.x() >= width() - kBorder)))
        edges |= Qt::TopEdge;
    if (pos.y() >= height() - kBorder
        || (pos.y() >= height() - grip && (pos.x() < kBorder || pos.x() >= width() - kBorder)))
        edges |= Qt::BottomEdge;
    return edges;
}

void CMainFrame::mousePressEvent(QMouseEvent* event)
{
    const Qt::Edges edges = edgesAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && edges && windowHandle() && windowHandle()->startSystemResize(edges))
        return;
    QMainWindow::mousePressEvent(event);
}

void CMainFrame::mouseMoveEvent(QMouseEvent* event)
{
    const Qt::Edges edges = edgesAt(event->position().toPoint());
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        shape = Qt::SizeFDiagCursor;
    else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        shape = Qt::SizeBDiagCursor;
    else if (edges & (Qt::LeftEdge | Qt::RightEdge))
        shape = Qt::SizeHorCursor;
    else if (edges & (Qt::TopEdge | Qt::BottomEdge))
        shape = Qt::SizeVerCursor;
    setCursor(shape);
    QMainWindow::mouseMoveEvent(event);
}

void CMainFrame::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.fillRect(rect(), GradPalette::backdropBottom());
    if (contentsMargins().left() > 0) {
        p.setPen(GradPalette::panelBorder());
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    QMainWindow::paintEvent(event);
}

CMainFrame::FileKind CMainFrame::fileKind(const std::string& path)
{
    const auto endsWith = [&](const char* suffix) {
        const std::string ext = suffix;
        if (path.size() < ext.size())
            return false;
        std::string tail = path.substr(path.size() - ext.size());
        std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
        return tail == ext;
    };
    if (endsWith(".settings"))
        return FileKind::Settings;
    if (endsWith(".afm"))
        return FileKind::Firmware;
    if (endsWithOsc(path))
        return FileKind::Recording;
    return FileKind::None;
}

bool CMainFrame::canOpen(const std::string& path)
{
    return fileKind(path) != FileKind::None;
}

bool CMainFrame::openFile(const std::string& path)
{
    if (!canOpen(path) || !m_view || !m_doc)
        return false;
    logInfo("gui", "opening " + path);
    const std::wstring name = fromUtf8(std::filesystem::path(path).filename().string());
    switch (fileKind(path)) {
    case FileKind::Recording: {
        m_view->showPage(0);
        auto* readings = dynamic_cast<COdczytyDlg*>(m_view->multiPage()->getPage(CkorvanaView::kFirstPage));
        return readings && readings->playBack(path);
    }
    case FileKind::Settings:
        // Into the controller only when the fitter says so; without one the file is shown against the settings held.
        if (!m_doc->device().isConnected() || m_doc->device().isDemo()) {
            OnFileCompareSettings(path);
            return true;
        }
        if (m_doc->refuseWhileBusy(this))
            return false;
        if (!userInteraction().question(translate(L"Wpisać do sterownika ustawienia z pliku?") + L"\n" + name,
                                        L"KORVANA", MsgIcon::Question, false))
            return true;
        m_doc->OnFileReadSettings(path);
        return true;
    case FileKind::Firmware:
        if (m_doc->refuseWhileBusy(this))
            return false;
        m_doc->OnDeviceUpdate(path);
        return true;
    case FileKind::None:
        break;
    }
    return false;
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (std::any_of(urls.begin(), urls.end(),
            [](const QUrl& url) { return url.isLocalFile() && canOpen(url.toLocalFile().toStdString()); }))
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    bool opened = false;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile() && canOpen(url.toLocalFile().toStdString()))
            opened = openFile(url.toLocalFile().toStdString()) || opened;
    if (opened)
        event->acceptProposedAction();
}
