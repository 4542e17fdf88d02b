// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/korvanaapp.h>

#include <app/data/languages.h>
#include <app/device/historyrecorder.h>
#include <app/platform/filereplace.h>
#include <app/platform/log.h>
#include <app/platform/porttable.h>
#include <app/platform/programdir.h>
#include <app/platform/textcodec.h>
#include <app/shell/consolebtn.h>
#include <app/shell/cppbtn.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mainframe.h>
#include <app/shell/mapadlg.h>
#include <app/shell/noconnectiondlg.h>
#include <app/shell/programstyle.h>
#include <app/shell/qtinteraction.h>
#include <app/shell/uidump.h>
#include <gradctrls/multipage/gdipmultipagectrl.h>
#include <gradctrls/dialogs/igdiphelper.h>
#include <gradctrls/displays/gdipgaugedisplay.h>

#include <QApplication>
#include <QBuffer>
#include <app/shell/buttontips.h>
#include <gradctrls/layout/pagelayout.h>

#include <QDialog>
#include <QFontMetrics>
#include <QTimer>

#include <cstdio>

CkorvanaApp::CkorvanaApp(SAppOptions options)
    : m_options(std::move(options))
{
}

CkorvanaApp::~CkorvanaApp()
{
    ExitInstance();
}

bool CkorvanaApp::InitInstance(const std::function<void(CkorvanaDoc&)>& prepare)
{
    // 1. Painting.
    m_painting = IGDIpHelper::startupGDIp();
    if (!m_painting)
        return false;
    // The system's font list takes some 10 ms to load; the first text the
    // window measures would wait for it. Loaded beside the start instead
    // (the font database is safe to use from any thread).
    m_fontWarmUp = std::thread([] { QFontMetrics(QApplication::font()).height(); });
    QApplication::setStyle(new CProgramStyle);
    // The controls take their pictures from where the program found its data.
    CGDIpGaugeDisplay::setPath((programDir() / "Skins").wstring() + L"/");
    CkorvanaView::prefetchSkins();
    // 3. The framework's own start: names that window systems group the windows by.
    QCoreApplication::setOrganizationName(QString::fromLatin1(kProfileKey));
    QCoreApplication::setApplicationName(QStringLiteral("korvana"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("KORVANA"));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kAppId));
    // 6. The framework's profile (no list of recent files).
    m_profile = std::make_unique<QSettings>(QString::fromLatin1(kProfileKey), QStringLiteral("korvana"));

    initLanguages();
    if (m_options.language)
        setCurrentLanguage(*m_options.language);
    addEnvironmentPorts(m_ports);
    for (const std::string& path : m_options.ports)
        m_ports.addPath(path, "--port");

    // 7-8. Document, frame and view, in the order the window creation runs them.
    m_doc = std::make_unique<CkorvanaDoc>(m_ports, CSerialDiagnosis());
    m_doc->setStartInDemo(m_options.demo);
    if (prepare)
        prepare(*m_doc);
    CPageLayout::setButtonTips(buttonTip);
    m_frame = std::make_unique<CMainFrame>(m_doc.get());
    m_doc->OnNewDocument(m_frame.get());
    if (auto* qt = dynamic_cast<CQtInteraction*>(&userInteraction()))
        qt->setMainWindow(m_frame.get());
    m_frame->placeOnWorkArea();
    if (m_options.size)
        m_frame->resize(m_options.size->first, m_options.size->second);
    if (!m_frame->OnCreate())
        return false;
    // Counted from here, so that a no-connection dialog during the search is taken too.
    scheduleQuit();
    m_view = new CkorvanaView(m_doc.get(), m_frame.get());
    m_frame->setCentralWidget(m_view);
    m_view->OnCreate();
    if (m_quitAtNoConnection)
        return false;
    if (m_options.page)
        m_view->showPage(*m_options.page);
    if (m_options.subPage) {
        m_view->buildAllPages();
        if (auto* mapa = m_view->findChild<CMapaDlg*>(); mapa && mapa->multiPage())
            mapa->multiPage()->activatePage(*m_options.subPage);
    }
    if (!m_options.dialog.empty())
        QTimer::singleShot(0, m_view, [this] { openStartDialog(); });
    m_view->OnInitialUpdate();

    // 9. Shown as it is: the frame already covers the work area (or has the asked size).
    m_frame->show();
    for (const std::string& file : m_options.files)
        QTimer::singleShot(0, m_frame.get(), [this, file] {
            if (!CMainFrame::canOpen(file) || !m_frame->openFile(file))
                std::fprintf(stderr, "korvana: cannot open %s\n", file.c_str());
        });
    // A mark for start-up timing: posted events, the window's first paint
    // among them, are handled before a zero timer fires.
    QTimer::singleShot(0, m_frame.get(), [this] {
        logInfo("gui", "first window shown");
        if (m_fontWarmUp.joinable())
            m_fontWarmUp.join();
        m_view->buildPagesLater();
    });
    return true;
}

void CkorvanaApp::scheduleQuit()
{
    if (m_options.screenshot.empty() && m_options.dumpUi.empty() && !m_options.quitAfterMs)
        return;
    const int after = m_options.quitAfterMs.value_or(1000);
    QTimer::singleShot(after, qApp, [this] { takeScreenshotAndQuit(); });
}

void CkorvanaApp::openStartDialog()
{
    // The same clicks a fitter makes; the dialogs are modal, so this returns when they close.
    if (m_options.dialog == "level") {
        if (auto* level = m_view->findChild<CCPPBtn*>())
            level->onClick();
    } else if (m_options.dialog == "console") {
        if (CConsoleBtn* console = m_view->consoleButton())
            console->onDblClick();
    } else if (m_options.dialog == "history") {
        int64_t first = 0;
        if (CHistoryRecorder* history = CHistoryRecorder::installed(); history && history->store().readable()) {
            const auto points = history->store().list(toUtf8(m_doc->device().image().m_devInfo.m_serial));
            if (!points.empty())
                first = points.front().id;
        }
        m_frame->OnFileHistory(first);
    }
}

void CkorvanaApp::takeScreenshotAndQuit()
{
    CNoConnectionDlg* dialog = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* candidate = qobject_cast<CNoConnectionDlg*>(widget); candidate && candidate->isVisible())
            dialog = candidate;
    // A dialog opened by --dialog is the picture, and is closed before the quit.
    auto* startDialog = dialog || m_options.dialog.empty() ? nullptr : qobject_cast<QDialog*>(QApplication::activeModalWidget());
    // A picture asked for and not saved fails the run: a script must not take the old file for it.
    bool saved = true;
    if (!m_options.screenshot.empty()) {
        QWidget* shown = dialog ? static_cast<QWidget*>(dialog) : m_frame.get();
        if (startDialog)
            shown = startDialog;
        // Saved as every whole file is: never over a FIFO or a device node.
        QByteArray png;
        QBuffer buffer(&png);
        const bool encoded = shown && buffer.open(QIODevice::WriteOnly) && shown->grab().save(&buffer, "PNG");
        if (shown && (!encoded
                || replaceFile(m_options.screenshot, std::string_view(png.constData(), static_cast<std::size_t>(png.size())))
                    != FileReplaceResult::Saved)) {
            std::fprintf(stderr, "korvana: cannot write %s\n", m_options.screenshot.c_str());
            saved = false;
        }
    }
    if (!m_options.dumpUi.empty()) {
        // The description is of the whole window, however soon it is asked for.
        if (m_view)
            m_view->buildAllPages();
        const QByteArray json = describeUi();
        if (replaceFile(m_options.dumpUi, std::string_view(json.constData(), static_cast<std::size_t>(json.size())))
            != FileReplaceResult::Saved) {
            std::fprintf(stderr, "korvana: cannot write %s\n", m_options.dumpUi.c_str());
            saved = false;
        }
    }
    if (dialog) {
        // No controller answered: the dialog is the picture, and the status says so.
        logInfo("gui", "quit with the no-connection dialog open");
        m_exitStatus = saved ? kNoConnectionStatus : kScreenshotFailedStatus;
        m_quitAtNoConnection = true;
        dialog->reject();
        QCoreApplication::exit(m_exitStatus);
        return;
    }
    if (startDialog)
        startDialog->reject();
    // Closing would be refused with a box while an operation runs; the quit ends it all the same.
    if (m_frame && !(m_doc && m_doc->operationRunning()))
        m_frame->close();
    QCoreApplication::exit(saved ? 0 : kScreenshotFailedStatus);
}

int CkorvanaApp::ExitInstance()
{
    if (m_fontWarmUp.joinable())
        m_fontWarmUp.join();
    // Polling stops before the frame is destroyed.
    if (m_doc)
        m_doc->stopPolling();
    m_view = nullptr;
    m_frame.reset();
    m_doc.reset();
    m_profile.reset();
    if (m_painting) {
        IGDIpHelper::shoutdownGDIp();
        m_painting = false;
    }
    return 0;
}
