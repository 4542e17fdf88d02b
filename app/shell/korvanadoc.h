// SPDX-License-Identifier: GPL-3.0-or-later
// The program's one document: owns the device object for the whole run and
// carries the menu commands that move whole settings between the controller,
// the settings image and files, the controller search with its no-connection
// dialog, the language selection and the start and stop of the live-readings
// polling. It holds the running long operation: one at a time, every other
// procedure refused while it runs.
#pragma once

#include <app/data/imultilanggui.h>
#include <app/data/recordingpath.h>
#include <app/tuning/docoperations.h>
#include <app/device/firmwareupdate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/serialdiagnosis.h>
#include <app/shell/deviceeventrelay.h>
#include <app/shell/noconnectiondlg.h>
#include <app/shell/pagecontext.h>

#include <functional>
#include <string>

class CMainFrame;
class CkorvanaView;
class QUrl;
class QWidget;

class CkorvanaDoc : public IMultilangGUI {
public:
    // A device with a port table of its own; this system's diagnosis.
    CkorvanaDoc();
    // The program's port table (not owned; it outlives the document) and the
    // diagnosis of the ports a search found no controller on.
    CkorvanaDoc(IPortTable& ports, CSerialDiagnosis diagnosis);
    ~CkorvanaDoc() override;
    CkorvanaDoc(const CkorvanaDoc&) = delete;
    CkorvanaDoc& operator=(const CkorvanaDoc&) = delete;

    // Stores the main window and publishes the document program-wide.
    void OnNewDocument(CMainFrame* frame);

    CLPGDevice& device() { return m_device; }
    // The device's events, re-emitted on the GUI thread.
    CDeviceEventRelay& relay() { return m_relay; }
    // What the view hands to the pages and buttons it builds.
    CPageContext pageContext() { return { *this, m_device, m_relay }; }
    CDocOperations& operations() { return m_operations; }
    CMainFrame* mainFrame() const { return m_frame; }
    CkorvanaView* view() const;

    // --demo: the first search is skipped and demo mode starts at once.
    void setStartInDemo(bool demo) { m_startInDemo = demo; }

    // The running long operation (its name, or none).
    COperationLock& operation() { return m_device.operation(); }
    bool operationRunning() { return operation().running(); }
    std::wstring runningOperation() { return operation().current(); }
    // Runs body as the named operation (the name is translated), holding the
    // lock for its whole run and releasing it however body ends. While another
    // operation runs, nothing is run: "Trwa inna operacja: " and the running
    // one's name are shown (owned by owner) and the answer is false.
    bool runOperation(const wchar_t* name, const std::function<void()>& body, QWidget* owner = nullptr);
    // The same, an error thrown by body shown in the handler's error box
    // (errorbox.h): how a page's handler runs a long operation.
    bool runOperation(
        const wchar_t* name, const std::wstring& handler, const std::function<void()>& body, QWidget* owner = nullptr);
    // After a write cut off by a lost link, once the controller answers again:
    // names what was left changed and, when the fitter says yes, puts it back.
    void offerPutBack();
    // After a connection: the restore point "connected", the history's trouble
    // once, and what changed since this PC last saw the controller, with the
    // offer to see it.
    void noteHistory();
    // True (after the refusal message) when an operation runs.
    bool refuseWhileBusy(QWidget* owner = nullptr);
    static constexpr const wchar_t* kSearchOperation = L"Wyszukiwanie sterownika";

    // The controller search: both flags cleared, the ports tried (the last
    // used one first), and with no answer the no-connection dialog (demo mode
    // or offline, or "Ponów": search again) unless ask is false. True when the
    // link is then connected (demo included). An operation of its own: never
    // runs twice at once, nor inside another operation (false at once).
    // afterLoss: the link to a controller has just gone; the dialog tells what
    // became of its port.
    bool searchController(bool ask = true, bool afterLoss = false);
    bool isSearching() const { return m_searching; }
    // How many searches have run (tests count the silent ones by it).
    unsigned searchCount() const { return m_searchCount; }
    // How many times the no-connection dialog was asked in this run.
    unsigned noConnectionAsked() const { return m_noConnectionAsked; }
    // Both flags set and the fixed demo identity loaded.
    void enterDemoMode();
    // Before the first search: the controller's error kinds in the current language.
    void prepareDevice();

    // The live-readings queue: how many records wait, and a copy of the newest.
    // The view asks every tick; a recording that broke off is reported then, once.
    std::size_t queuedRecords();
    bool latestRecord(CDiag& record);

    // Menu commands.
    void OnFileSaveSettings();
    // path empty asks for the file.
    void OnFileReadSettings(const std::string& path = {});
    void OnSettingsRestore();
    // path empty asks for the file; a given one is asked about first (default No).
    void OnDeviceUpdate(const std::string& path = {});
    // The manual in the current language, at chapter (a file of the manual) when given.
    void OnDocumentation(const std::string& chapter = {});
    // Makes languageIndex current (when it differs), rebuilds the controller's
    // error texts and re-titles the frame, the view and the pages.
    void OnLanguage(int languageIndex);
    bool writeInitialSetup();

    // Starts the polling thread (path: a diagnostic file to record to;
    // kNoRecordingPath records nothing); the frame timer follows its events.
    // stopPolling ends it and waits until the thread has left its loop.
    void startPolling(const std::string& path = kNoRecordingPath);
    void stopPolling();
    bool isPolling() const { return m_device.session().m_polling; }

    // Re-titles the frame, the view and the pages.
    void updateTexts() override;

    // How the no-connection dialog is asked. Replaceable for tests that need no dialog.
    std::function<ENoConnectionChoice(QWidget* parent)> askNoConnection;
    // How the manual is opened (the desktop's opener); replaceable so tests
    // see the URL without starting a browser.
    std::function<bool(const QUrl& url)> openUrl;
    // What the last search that found nothing saw on the ports, for that dialog.
    const std::wstring& searchDiagnosis() const { return m_searchDiagnosis; }

private:
    void connectRelay();
    void reportBrokenRecording();
    bool searchSteps(bool ask, bool afterLoss);

    CLPGDevice m_device;
    CSerialDiagnosis m_diagnosis;
    std::wstring m_searchDiagnosis;
    CDeviceEventRelay m_relay { m_device.events() };
    CDocOperations m_operations;
    CFirmwareUpdate m_firmware;
    CMainFrame* m_frame = nullptr;
    bool m_startInDemo = false;
    bool m_searching = false;
    bool m_brokenRecordingShown = false;
    unsigned m_searchCount = 0;
    unsigned m_noConnectionAsked = 0;
};

// The document, once OnNewDocument has run; null before.
extern CkorvanaDoc* g_korvanaDoc;
