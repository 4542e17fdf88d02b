// The program's one document: owns the device object for the whole run and
// carries the menu commands that move whole settings between the controller,
// the settings image and files, the controller search with its no-connection
// dialog, the language selection and the start and stop of the live-readings
// polling (with the frame timer).
#pragma once

#include <app/data/imultilanggui.h>
#include <app/data/recordingpath.h>
#include <app/device/docoperations.h>
#include <app/device/firmwareupdate.h>
#include <app/device/lpgdevice.h>

#include <functional>
#include <string>

class CMainFrame;
class CkorvanaView;
class QWidget;

class CkorvanaDoc : public IMultilangGUI {
public:
    CkorvanaDoc();
    ~CkorvanaDoc() override;
    CkorvanaDoc(const CkorvanaDoc&) = delete;
    CkorvanaDoc& operator=(const CkorvanaDoc&) = delete;

    // Stores the main window and publishes the document program-wide.
    void OnNewDocument(CMainFrame* frame);

    CLPGDevice& device() { return m_device; }
    CDocOperations& operations() { return m_operations; }
    CMainFrame* mainFrame() const { return m_frame; }
    CkorvanaView* view() const;

    // --demo: the first search is skipped and demo mode starts at once.
    void setStartInDemo(bool demo) { m_startInDemo = demo; }

    // The controller search: both flags cleared, the ports tried (the last
    // used one first), and with no answer the no-connection dialog (demo mode
    // or offline). True when the link is then connected (demo included).
    // Never runs twice at once: while one (or its dialog) runs, further calls
    // return false at once.
    bool searchController();
    bool isSearching() const { return m_searching; }
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
    void OnFileReadSettings();
    void OnSettingsRestore();
    void OnDeviceUpdate();
    void OnDocumentation();
    // Makes languageIndex current (when it differs), rebuilds the controller's
    // error texts and re-titles the frame, the view and the pages.
    void OnLanguage(int languageIndex);
    bool writeInitialSetup();

    // Starts the polling thread (path: a diagnostic file to record to;
    // kNoRecordingPath records nothing) and with it the frame timer.
    // stopPolling ends both and waits until the thread has left its loop.
    void startPolling(const std::string& path = kNoRecordingPath);
    void stopPolling();
    bool isPolling() const { return m_device.m_polling; }

    // Re-titles the frame, the view and the pages.
    void updateTexts() override;

    // How the no-connection dialog is asked; true chooses demo mode.
    // Replaceable for tests that need no dialog.
    std::function<bool(QWidget* parent)> askNoConnection;

private:
    void refreshActivePage();
    void reportBrokenRecording();

    CLPGDevice m_device;
    CDocOperations m_operations;
    CFirmwareUpdate m_firmware;
    CMainFrame* m_frame = nullptr;
    bool m_startInDemo = false;
    bool m_searching = false;
    int m_deviceListener = 0;
    bool m_brokenRecordingShown = false;
};

// The document, once OnNewDocument has run; null before.
extern CkorvanaDoc* g_korvanaDoc;
