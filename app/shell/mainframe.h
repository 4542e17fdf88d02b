// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: no title bar of the system's own but a caption bar of its
// own (name line, icon, minimise / maximise / close, dragging), the menu, a
// thin border to resize by, and timer 5001 that keeps the link alive and
// drives the view's refresh while the document polls. After a lost link the
// no-connection dialog comes once; the searches after it are silent, and the
// caption line says whether the link is down, searched for or just back.
#pragma once

#include <app/data/imultilanggui.h>
#include <app/shell/connectionwatchdog.h>

#include <string>
#include <QElapsedTimer>
#include <QFont>
#include <QMainWindow>
#include <QTimer>

#include <vector>

class CGDIpCaptionBar;
class CkorvanaDoc;
class CkorvanaView;
class QAction;
class QMenu;
class QMenuBar;

class CMainFrame : public QMainWindow, public IMultilangGUI {
    Q_OBJECT
public:
    static constexpr int kTimerId = 5001;
    static constexpr int kTimerPeriodMs = 100;
    // How long the caption says that the controller answered again.
    static constexpr int kReconnectedNoticeMs = 4000;
    // How long the caption says what a write just stored.
    static constexpr int kWriteNoticeMs = 5000;

    explicit CMainFrame(CkorvanaDoc* doc);
    ~CMainFrame() override;

    // The desktop's work area (the screen less its panels), taken now.
    void placeOnWorkArea();
    // Builds the caption bar and the menu; false when that fails.
    bool OnCreate();

    // A file given at start or dropped on the window: a recording (.osc)
    // plays back on "Odczyty"; a settings file (.settings) is offered for
    // writing into the controller (default No), or without one compared with
    // the settings held; a firmware file (.afm) starts the update with its
    // questions. False for a file of no known kind.
    enum class FileKind { None, Recording, Settings, Firmware };
    static FileKind fileKind(const std::string& path);
    bool openFile(const std::string& path);
    static bool canOpen(const std::string& path);

    void setView(CkorvanaView* view) { m_view = view; }
    CkorvanaView* view() const { return m_view; }
    CGDIpCaptionBar* captionBar() const { return m_captionBar; }
    QMenuBar* mainMenu() const { return m_menuBar; }
    // The action of a command id, or null.
    QAction* commandAction(int commandId) const;
    QFont captionFont() const { return m_captionFont; }
    bool haveCaptionFont() const { return m_haveCaptionFont; }
    // The client area the caption font follows: the window inside its resize border.
    QSize clientSize() const;

    // Timer 5001, every 100 ms; it follows the polling's start and stop (a
    // polling that ended with the link keeps it for the searches).
    void startTimer();
    void stopTimer();
    bool isTimerRunning() const { return m_timer.isActive(); }
    // One tick of timer 5001: the watchdog, then the view's refresh when records are queued.
    void OnTimer();
    const CConnectionWatchdog& watchdog() const { return m_watchdog; }

    // Re-titles the menu in the current language and moves the language check mark.
    void updateTexts() override;
    // The caption line: the product, the link's state when it is not simply
    // connected, and " — DEMO" while the controller is simulated.
    QString captionLine() const;
    void refreshCaption();
    // A short word in the caption line for a while ("Zapisano: …"), translated by the caller.
    void showNotice(const QString& text);
    QString notice() const;
    // Runs a menu command by its id.
    void onCommand(int commandId);
    void OnAppAbout();
    // "Porównaj z plikiem…": a settings file against the settings in memory (the
    // controller's while connected); path empty asks for the file.
    void OnFileCompareSettings(const std::string& path = {});
    // "Historia": the restore points of every controller; with compareSince,
    // that point is compared with the controller now.
    void OnFileHistory(int64_t compareSince = 0);
    // "Samochód": the car and customer of the connected controller.
    void OnFileCar();
    // "Raport dla klienta…": the report's preview.
    void OnFileReport();
    // "Dane warsztatu…": the workshop that heads the report.
    void OnWorkshop();
    // "Cofnij" / "Przywróć": the edit of the map grid shown.
    void OnEditUndo();
    void OnEditRedo();
    // F1: the manual at the chapter of the page shown.
    void OnHelpPage();
    // Ctrl+Tab / Ctrl+Shift+Tab: the next or previous of the seven pages.
    void cyclePage(int step);
    // The chapter of the manual (a file name) for page n of the seven, and for the page shown now.
    static const char* chapterOfPage(int page);
    std::string currentChapter() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct STitled {
        QAction* action;
        const wchar_t* text;
    };

    void followPollingStart();
    void followPollingStop();
    void searchAfterLoss();
    void buildMenu();
    QAction* addCommand(QMenu* menu, const wchar_t* text, int commandId);
    void updateLanguageChecks();
    void updateCommandStates();
    void applyAllMnemonics();
    class CMapArray* shownMapGrid() const;
    class CSettingControls* shownSettingControls() const;
    // The visible page of that class (a correction curve, Kalibracja), if any.
    template <class Page> Page* shownPage() const;
    void OnSize();
    bool RecalcLayout();
    Qt::Edges edgesAt(const QPoint& pos) const;
    void updateBorder();

    CkorvanaDoc* m_doc;
    CkorvanaView* m_view = nullptr;
    CGDIpCaptionBar* m_captionBar = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QFont m_captionFont;
    bool m_haveCaptionFont = false;
    QTimer m_timer;
    CConnectionWatchdog m_watchdog;
    bool m_askOnNextSearch = true; // the dialog comes once after each loss
    bool m_searchAfterLoss = false; // from the caption's refresh before it until its end
    QElapsedTimer m_reconnected; // valid while the caption says the controller is back
    QString m_notice;
    QElapsedTimer m_noticeShown;
    std::vector<STitled> m_titled; // pop-ups and items with their Polish texts
    std::vector<QAction*> m_languageActions;
    std::vector<QAction*> m_pageActions; // Ctrl+1 … 7, Ctrl+Tab, Ctrl+Shift+Tab: on the window, in no menu
};
