#include <app/shell/korvanadoc.h>

#include <app/data/languages.h>
#include <app/data/translate.h>
#include <app/device/controllersearch.h>
#include <app/platform/programdir.h>
#include <app/platform/textcodec.h>
#include <app/platform/userinteraction.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mainframe.h>
#include <app/shell/noconnectiondlg.h>
#include <errkit/ierror.h>

#include <cstring>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QThread>
#include <QUrl>

CkorvanaDoc* g_korvanaDoc = nullptr;

namespace {

// Longer than one polling cycle with a timed-out exchange.
constexpr unsigned kPollingEndMs = 5000;

bool askWithDialog(QWidget* parent)
{
    CNoConnectionDlg dialog(parent);
    return dialog.DoModal() == QDialog::Accepted;
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
    : askNoConnection(askWithDialog)
    , m_operations(m_device)
    , m_firmware(m_device)
{
    // The frame timer runs exactly while the document polls; a new image refreshes the page.
    // Only what the GUI thread raises is handled here.
    m_deviceListener = m_device.events().add([this](const DeviceEventData& e) {
        if (!qApp || QThread::currentThread() != qApp->thread())
            return;
        if (e.kind == DeviceEvent::PollingStarted && m_frame)
            m_frame->startTimer();
        else if (e.kind == DeviceEvent::PollingStopped && m_frame)
            m_frame->stopTimer();
        else if (e.kind == DeviceEvent::ImageChanged && e.block == ImageBlock::All)
            refreshActivePage();
    });
    m_firmware.attachToDevice();
}

CkorvanaDoc::~CkorvanaDoc()
{
    stopPolling();
    m_device.events().remove(m_deviceListener);
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
    m_device.startDemoMode();
}

bool CkorvanaDoc::searchController()
{
    if (m_searching)
        return false;
    CFlagScope searching(m_searching);
    if (m_startInDemo) {
        // Only the first search is skipped.
        m_startInDemo = false;
        enterDemoMode();
        return true;
    }
    // Ports are opened and closed here; no polling thread may use the link meanwhile.
    // Only the thread is waited for: the frame timer keeps running for the retries.
    if (m_device.pollingThreadRunning()) {
        m_device.m_polling = false;
        m_device.waitPollingEnded(kPollingEndMs);
    }
    if (::searchController(m_device))
        return true;
    if (askNoConnection && askNoConnection(m_frame))
        enterDemoMode();
    else
        m_device.runWithoutConnection();
    return m_device.m_connected;
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
    if (!m_device.recordingBroke()) {
        m_brokenRecordingShown = false;
        return;
    }
    if (m_brokenRecordingShown)
        return;
    // Set first: the message box lets further ticks run.
    m_brokenRecordingShown = true;
    userInteraction().message(translate(L"Zapis pliku diagnostycznego został przerwany:") + L"\n"
            + fromUtf8(m_device.m_diagPath) + L"\n" + fromUtf8(std::strerror(m_device.recordingError())) + L"\n"
            + std::to_wstring(m_device.recordedLines()) + L" " + translate(L"zapisanych rekordów") + L"\n",
        L"KORVANA", MsgIcon::Error);
}

void CkorvanaDoc::OnFileSaveSettings()
{
    m_operations.saveToFile();
}

void CkorvanaDoc::OnFileReadSettings()
{
    m_operations.loadIntoController();
}

void CkorvanaDoc::OnSettingsRestore()
{
    m_operations.restoreFactorySettings();
}

bool CkorvanaDoc::writeInitialSetup()
{
    return m_operations.writeInitialSetup();
}

void CkorvanaDoc::OnDeviceUpdate()
{
    m_firmware.onDeviceUpdate();
}

void CkorvanaDoc::OnDocumentation()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString((programDir() / "Doc").string())));
}

void CkorvanaDoc::OnLanguage(int languageIndex)
{
    if (languageIndex == currentLanguage())
        return;
    setCurrentLanguage(languageIndex);
    m_device.rebuildModules();
    updateTexts();
}

void CkorvanaDoc::updateTexts()
{
    if (m_frame)
        m_frame->updateTexts();
    if (CkorvanaView* v = view())
        v->updateTexts();
}

void CkorvanaDoc::refreshActivePage()
{
    if (CkorvanaView* v = view())
        v->refreshActivePage();
}

void CkorvanaDoc::startPolling(const std::string& path)
{
    m_device.startPolling(path);
}

void CkorvanaDoc::stopPolling()
{
    m_device.stopPolling();
}
