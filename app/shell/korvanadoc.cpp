// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/korvanadoc.h>

#include <app/data/languages.h>
#include <app/data/translate.h>
#include <app/device/controllersearch.h>
#include <app/device/historyrecorder.h>
#include <app/device/writesession.h>
#include <app/platform/log.h>
#include <app/platform/profilestore.h>
#include <app/platform/programdir.h>
#include <app/platform/textcodec.h>
#include <app/platform/userinteraction.h>
#include <app/shell/documentationpath.h>
#include <app/shell/errorbox.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mainframe.h>
#include <app/shell/noconnectiondlg.h>
#include <app/shell/qtinteraction.h>

#include <cstring>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QThread>
#include <QTimer>
#include <QUrl>

CkorvanaDoc* g_korvanaDoc = nullptr;

namespace {

// Longer than one polling cycle with a timed-out exchange.
constexpr unsigned kPollingEndMs = 5000;

ENoConnectionChoice askWithDialog(QWidget* parent, const std::wstring& diagnosis)
{
    CNoConnectionDlg dialog(parent, diagnosis);
    return dialog.ask();
}

// Clears a flag when the scope ends, however it ends.
class CFlagScope {
public:
    explicit CFlagScope(bool& flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~CFlagScope() { m_flag = false; }
    CFlagScope(const CFlagScope&) = delete;
    CFlagScope& operator=(const CFlagScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

CkorvanaDoc::CkorvanaDoc()
    : askNoConnection([this](QWidget* parent) { return askWithDialog(parent, m_searchDiagnosis); })
    , openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); })
    , m_operations(m_device)
    , m_firmware(m_device)
{
    // The no-connection dialog that follows a loss says it, with the cause.
    m_device.session().setLossMessage(false);
    connectRelay();
}

CkorvanaDoc::CkorvanaDoc(IPortTable& ports, CSerialDiagnosis diagnosis)
    : askNoConnection([this](QWidget* parent) { return askWithDialog(parent, m_searchDiagnosis); })
    , openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); })
    , m_device(ports)
    , m_diagnosis(std::move(diagnosis))
    , m_operations(m_device)
    , m_firmware(m_device)
{
    // The no-connection dialog that follows a loss says it, with the cause.
    m_device.session().setLossMessage(false);
    connectRelay();
}

void CkorvanaDoc::connectRelay()
{
    m_firmware.attachToDevice();
    // Once the controller answers again after a write cut off by a lost link:
    // what it was left with, and the offer to put it back (never by itself).
    QObject::connect(&m_relay, &CDeviceEventRelay::linkConnected, &m_relay, [this] {
        QTimer::singleShot(0, &m_relay, [this] { noteHistory(); });
        if (!m_device.leftChanged().empty())
            QTimer::singleShot(0, &m_relay, [this] { offerPutBack(); });
    });
}

void CkorvanaDoc::noteHistory()
{
    CHistoryRecorder* history = CHistoryRecorder::installed();
    if (!history)
        return;
    const std::wstring changed = history->connected(m_device);
    const std::wstring problem = history->problemOnce();
    if (!problem.empty())
        userInteraction().message(problem, L"KORVANA", MsgIcon::Warning);
    if (changed.empty())
        return;
    logInfo("history", toUtf8(changed));
    if (userInteraction().question(changed + L"\n\n" + translate(L"Czy pokazać różnice?"), L"KORVANA",
                                   MsgIcon::Information, false)
        && m_frame)
        m_frame->OnFileHistory(history->changedSincePoint());
}

void CkorvanaDoc::offerPutBack()
{
    const CLeftChanged& left = m_device.leftChanged();
    if (left.empty() || !m_device.isConnected())
        return;
    std::wstring text = translate(L"Połączenie zostało przerwane w trakcie zapisu. W sterowniku pozostało:");
    for (const auto& line : left.describe())
        text += L"\n – " + line;
    text += L"\n\n" + translate(L"Czy przywrócić poprzedni stan?");
    if (!userInteraction().question(text, L"KORVANA", MsgIcon::Warning, true)) {
        logInfo("doc", "what the lost link left changed stays as it is: the fitter said no");
        m_device.leftChanged().clear();
        return;
    }
    runOperation(
        L"Przywrócenie poprzedniego stanu", L"CkorvanaDoc::offerPutBack()",
        [this] { CWriteSession::putBackLeftChanged(m_device).show(L"Nie powiodło się ustawienie urządzenia!"); },
        m_frame);
}

CkorvanaDoc::~CkorvanaDoc()
{
    stopPolling();
    if (g_korvanaDoc == this)
        g_korvanaDoc = nullptr;
}

void CkorvanaDoc::OnNewDocument(CMainFrame* frame)
{
    m_frame = frame;
    g_korvanaDoc = this;
}

CkorvanaView* CkorvanaDoc::view() const
{
    return m_frame ? m_frame->view() : nullptr;
}

void CkorvanaDoc::prepareDevice()
{
    m_device.rebuildModules();
}

void CkorvanaDoc::enterDemoMode()
{
    m_device.session().startDemoMode();
}

bool CkorvanaDoc::refuseWhileBusy(QWidget* owner)
{
    if (!operationRunning())
        return false;
    const std::wstring running = runningOperation();
    logMessage(LogLevel::Info, "gui", L"refused while running: " + running);
    COwnerScope scope(owner);
    userInteraction().message(translate(L"Trwa inna operacja: ") + running, L"KORVANA", MsgIcon::Warning);
    return true;
}

bool CkorvanaDoc::runOperation(const wchar_t* name, const std::function<void()>& body, QWidget* owner)
{
    const std::wstring translatedName = translate(name);
    COperationGuard guard(operation(), translatedName);
    if (!guard) {
        logMessage(LogLevel::Info, "gui", L"refused: " + translatedName + L" while running: " + guard.refusedBy());
        COwnerScope scope(owner);
        userInteraction().message(translate(L"Trwa inna operacja: ") + guard.refusedBy(), L"KORVANA", MsgIcon::Warning);
        return false;
    }
    logMessage(LogLevel::Info, "gui", L"operation started: " + translatedName);
    struct SFinishLog {
        const std::wstring& name;
        ~SFinishLog() { logMessage(LogLevel::Info, "gui", L"operation finished: " + name); }
    } finish { translatedName };
    body();
    return true;
}

bool CkorvanaDoc::runOperation(
    const wchar_t* name, const std::wstring& handler, const std::function<void()>& body, QWidget* owner)
{
    return runOperation(name, [&] { runShowingErrors(handler, body); }, owner);
}

bool CkorvanaDoc::searchController(bool ask, bool afterLoss)
{
    // Started from a timer tick or at start: refused quietly, the next tick tries again.
    COperationGuard guard(operation(), translate(kSearchOperation));
    if (!guard)
        return false;
    CFlagScope searching(m_searching);
    ++m_searchCount;
    logInfo("gui", ask ? "controller search" : "controller search (no dialog)");
    const bool connected = searchSteps(ask, afterLoss);
    logInfo("gui",
        connected ? (m_device.isDemo() ? "search result: demo mode" : "search result: controller connected")
                  : "search result: no connection");
    return connected;
}

bool CkorvanaDoc::searchSteps(bool ask, bool afterLoss)
{
    if (m_startInDemo) {
        // Only the first search is skipped.
        m_startInDemo = false;
        enterDemoMode();
        return true;
    }
    // Ports are opened and closed here; no polling thread may use the link meanwhile.
    // Only the thread is waited for: the frame timer keeps running for the retries.
    if (m_device.session().pollingThreadRunning()) {
        m_device.session().m_polling = false;
        m_device.session().waitPollingEnded(kPollingEndMs);
    }
    const std::string lostPath = afterLoss ? profileStore().lastPortPath() : std::string();
    for (;;) {
        std::vector<SearchAttempt> attempts;
        m_searchDiagnosis.clear();
        if (::searchController(m_device, &attempts))
            return true;
        if (!ask) {
            m_device.session().runWithoutConnection();
            return false;
        }
        m_searchDiagnosis
            = CNoConnectionDlg::diagnosisText(attempts, m_device.link().ports().presentPorts(), m_diagnosis, lostPath);
        logInfo("gui", "no controller answered; no-connection dialog");
        ++m_noConnectionAsked;
        const ENoConnectionChoice choice
            = askNoConnection ? askNoConnection(m_frame) : ENoConnectionChoice::Offline;
        if (choice == ENoConnectionChoice::Retry) {
            logInfo("gui", "no-connection dialog: search again");
            continue;
        }
        logInfo("gui",
            choice == ENoConnectionChoice::Demo ? "no-connection dialog: demo mode"
                                                : "no-connection dialog: without a connection");
        if (choice == ENoConnectionChoice::Demo)
            enterDemoMode();
        else
            m_device.session().runWithoutConnection();
        return m_device.isConnected();
    }
}

std::size_t CkorvanaDoc::queuedRecords()
{
    return static_cast<std::size_t>(m_device.diagData().count());
}

bool CkorvanaDoc::latestRecord(CDiag& record)
{
    reportBrokenRecording();
    return m_device.diagData().latest(record);
}

void CkorvanaDoc::reportBrokenRecording()
{
    if (!m_device.session().recordingBroke()) {
        m_brokenRecordingShown = false;
        return;
    }
    if (m_brokenRecordingShown)
        return;
    // Set first: the message box lets further ticks run.
    m_brokenRecordingShown = true;
    userInteraction().message(translate(L"Zapis pliku diagnostycznego został przerwany:") + L"\n"
            + fromUtf8(m_device.session().m_diagPath) + L"\n" + fromUtf8(std::strerror(m_device.session().recordingError())) + L"\n"
            + std::to_wstring(m_device.session().recordedLines()) + L" " + translate(L"zapisanych rekordów") + L"\n",
        L"KORVANA", MsgIcon::Error);
}

void CkorvanaDoc::OnFileSaveSettings()
{
    runOperation(
        L"Zapis ustawień do pliku", [this] { m_operations.saveToFile(); }, m_frame);
}

void CkorvanaDoc::OnFileReadSettings(const std::string& path)
{
    runOperation(
        L"Wczytywanie ustawień z pliku", [this, path] { m_operations.loadIntoController(path); }, m_frame);
}

void CkorvanaDoc::OnSettingsRestore()
{
    runOperation(
        L"Przywracanie ustawień fabrycznych", [this] { m_operations.restoreFactorySettings(); }, m_frame);
}

bool CkorvanaDoc::writeInitialSetup()
{
    bool written = false;
    runOperation(
        L"Zapis ustawień początkowych", [&] { written = m_operations.writeInitialSetup(); }, m_frame);
    return written;
}

void CkorvanaDoc::OnDeviceUpdate(const std::string& path)
{
    runOperation(
        L"Aktualizacja sterownika", [this, path] { m_firmware.onDeviceUpdate(path); }, m_frame);
}

void CkorvanaDoc::OnDocumentation(const std::string& chapter)
{
    const auto docDir = programDir() / "Doc";
    const auto target = documentationPath(docDir, currentLanguage(), chapter);
    if (target.empty()) {
        logError("gui", "no documentation folder at " + docDir.string());
        userInteraction().message(translate(L"Nie znaleziono dokumentacji. Brak folderu:") + L"\n"
                                      + fromUtf8(docDir.string()),
                                  L"KORVANA", MsgIcon::Error);
        return;
    }
    logInfo("gui", "opening documentation " + target.string());
    if (!openUrl(QUrl::fromLocalFile(QString::fromStdString(target.string()))))
        userInteraction().message(translate(L"Nie można otworzyć dokumentacji:") + L"\n" + fromUtf8(target.string()),
                                  L"KORVANA", MsgIcon::Error);
}

void CkorvanaDoc::OnLanguage(int languageIndex)
{
    if (languageIndex == currentLanguage())
        return;
    setCurrentLanguage(languageIndex);
    m_device.rebuildModules();
    logInfo("gui", "language changed to " + std::to_string(languageIndex));
    updateTexts();
    m_device.events().raise(DeviceEvent::LanguageChanged);
}

void CkorvanaDoc::updateTexts()
{
    if (m_frame)
        m_frame->updateTexts();
    if (CkorvanaView* v = view())
        v->updateTexts();
}

void CkorvanaDoc::startPolling(const std::string& path)
{
    m_device.session().startPolling(path);
}

void CkorvanaDoc::stopPolling()
{
    m_device.session().stopPolling();
}
