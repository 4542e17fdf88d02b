// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: starts the program in its fixed order (painting,
// profile, languages, document, frame, view with the controller search, the
// initial update, then the window) and ends it (polling stopped before the
// frame goes, then painting). The QApplication and the user-interaction seam
// are made by main() before it.
#pragma once

#include <app/platform/porttable.h>
#include <app/shell/appoptions.h>

#include <QSettings>

#include <functional>
#include <memory>
#include <thread>

class CkorvanaDoc;
class CkorvanaView;
class CMainFrame;

class CkorvanaApp {
public:
    static constexpr const char* kAppId = "Korvana2013.Tarnwolde.v100";
    static constexpr const char* kProfileKey = "Tarnwolde";

    explicit CkorvanaApp(SAppOptions options = {});
    ~CkorvanaApp();
    CkorvanaApp(const CkorvanaApp&) = delete;
    CkorvanaApp& operator=(const CkorvanaApp&) = delete;

    // False ends the process without a window (with exitStatus()). prepare,
    // when given, sees the document before the window creation runs the
    // controller search.
    bool InitInstance(const std::function<void(CkorvanaDoc&)>& prepare = {});
    // The process's status when InitInstance gave false: 3 when --screenshot
    // saved the no-connection dialog, else 1.
    int exitStatus() const { return m_exitStatus; }
    static constexpr int kNoConnectionStatus = 3;
    // The run's status when --screenshot could not save its picture.
    static constexpr int kScreenshotFailedStatus = 1;
    int ExitInstance();

    CkorvanaDoc* document() const { return m_doc.get(); }
    CMainFrame* mainFrame() const { return m_frame.get(); }
    CkorvanaView* view() const { return m_view; }
    QSettings* profile() const { return m_profile.get(); }
    const SAppOptions& options() const { return m_options; }

private:
    void scheduleQuit();
    // With --screenshot: the no-connection dialog when it is open (saved, then
    // the program ends with status 3), else the main window; a picture that
    // cannot be saved ends the program with status 1.
    void takeScreenshotAndQuit();
    // --dialog: opens the level-sensor or console dialog as its button would.
    void openStartDialog();

    SAppOptions m_options;
    // Loads the font list beside the start: the first text measured waits on it otherwise.
    std::thread m_fontWarmUp;
    // The run's COM numbers: KORVANA_PORTS and --port, then the present ports.
    CPortTable m_ports;
    std::unique_ptr<QSettings> m_profile;
    std::unique_ptr<CkorvanaDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    CkorvanaView* m_view = nullptr; // owned by the frame
    bool m_painting = false;
    int m_exitStatus = 1;
    // The no-connection dialog was saved and closed: the start ends there.
    bool m_quitAtNoConnection = false;
};
