// SPDX-License-Identifier: GPL-3.0-or-later
// The shell's small dialogs and its side of the user-interaction seam: the
// no-connection dialog (texts, demo, offline, closing), the skin title static
// and dragging, the about box, message boxes with their owner, caption, icon
// and default button, the wait cursor, the sleep that keeps events running,
// and the conversion of file-dialog filters.
#include "guitest.h"
#include "shelltest.h"

#include <app/data/languages.h>
#include <app/shell/aboutdlg.h>
#include <app/shell/noconnectiondlg.h>
#include <app/shell/qtinteraction.h>
#include <gradctrls/dialogs/gdipstatic.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/file.h>
#include <unistd.h>

namespace {

using shelltest::EnglishScope;
using shelltest::onNextModal;

QString textOf(QWidget* root, int id)
{
    if (auto* label = guitest::findById<QLabel>(root, id))
        return label->text();
    if (auto* button = guitest::findById<QAbstractButton>(root, id))
        return button->text();
    return {};
}

TEST(NoConnectionDlg, ShowsItsTextsInTheCurrentLanguage)
{
    {
        CNoConnectionDlg dialog;
        ASSERT_TRUE(dialog.Create());
        EXPECT_EQ(textOf(&dialog, 1211), QStringLiteral("BRAK POŁĄCZENIA"));
        EXPECT_EQ(textOf(&dialog, 1), QStringLiteral("Uruchom w trybie demo"));
        EXPECT_EQ(textOf(&dialog, 2), QStringLiteral("Uruchom bez połączenia"));
        EXPECT_EQ(textOf(&dialog, CNoConnectionDlg::kRetryId), QStringLiteral("Ponów"));
        EXPECT_EQ(dialog.skinTitle(), QStringLiteral("KORVANA"));
        EXPECT_EQ(textOf(&dialog, 5000), QStringLiteral("KORVANA"));
        // 409 x 109 dialog units.
        EXPECT_EQ(dialog.size(), QSize(614, 177));
        guitest::showAndSettle(&dialog);
        EXPECT_FALSE(guitest::saveScreenshot(&dialog, QStringLiteral("korvana_no_connection")).isEmpty());
    }
    EnglishScope english({ { QStringLiteral("BRAK POŁĄCZENIA"), QStringLiteral("NO CONNECTION") },
        { QStringLiteral("Uruchom w trybie demo"), QStringLiteral("Start in demo mode") },
        { QStringLiteral("Uruchom bez połączenia"), QStringLiteral("Start without connection") } });
    CNoConnectionDlg dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(textOf(&dialog, 1211), QStringLiteral("NO CONNECTION"));
    EXPECT_EQ(textOf(&dialog, 1), QStringLiteral("Start in demo mode"));
    EXPECT_EQ(textOf(&dialog, 2), QStringLiteral("Start without connection"));
}

// What the search saw goes under the buttons, which stay where they were; a
// port locked by another process names it (this program is never named as
// the one to close: it is said to have the port open itself), no USB adapter
// is said in one line. The diagnosis looks at a /proc of the test's own
// making and at two pseudo-terminals of its own, so nothing else on the
// machine (a getty on ttyS0, a parallel test's search) changes what it sees.
TEST(NoConnectionDlg, ShowsWhatTheSearchSawUnderTheButtons)
{
    auto openPty = [] {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master, 0);
        EXPECT_EQ(::grantpt(master), 0);
        EXPECT_EQ(::unlockpt(master), 0);
        return master;
    };
    const int master = openPty();
    const int silentMaster = openPty();
    ASSERT_GE(master, 0);
    ASSERT_GE(silentMaster, 0);
    const std::string path = ::ptsname(master);
    const std::string silent = ::ptsname(silentMaster);
    const int held = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    // In the made /proc the port is open in this process and in another one.
    QTemporaryDir proc;
    ASSERT_TRUE(proc.isValid());
    const auto holder = [&](const std::string& pid, const char* comm) {
        const std::string dir = proc.path().toStdString() + "/" + pid;
        std::filesystem::create_directories(dir + "/fd");
        std::filesystem::create_symlink(path, dir + "/fd/7");
        std::ofstream(dir + "/comm") << comm << "\n";
    };
    holder(std::to_string(::getpid()), "shell_dialogs");
    const CSerialDiagnosis selfOnly({ proc.path().toStdString(), proc.path().toStdString() + "/sys" });
    const QString self = QString::fromStdWString(CNoConnectionDlg::diagnosisText(
        { { 2, path, ConnectFailure::PortBusy, {} } }, { { 1, "/dev/ttyUSB0", "" } }, selfOnly));
    EXPECT_EQ(self, QString::fromStdString(path) + QStringLiteral(": port już otwarty w tym programie"));
    const pid_t other = 4000000; // above any pid a kernel hands out by default
    holder(std::to_string(other), "minicom");
    const CSerialDiagnosis diagnosis({ proc.path().toStdString(), proc.path().toStdString() + "/sys" });
    const std::vector<SearchAttempt> attempts { { 2, path, ConnectFailure::PortBusy, {} },
                                                { 1, silent, ConnectFailure::NoAnswer, {} } };
    const std::wstring text = CNoConnectionDlg::diagnosisText(attempts, { { 1, "/dev/ttyS0", "serial" } }, diagnosis);
    const QString shown = QString::fromStdWString(text);
    EXPECT_TRUE(shown.contains(QString::fromStdString(path) + QStringLiteral(": port zajęty przez"))) << text.size();
    EXPECT_TRUE(shown.contains(QStringLiteral("(PID %1)").arg(other))) << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("(PID %1)").arg(::getpid()))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Nie wykryto adaptera USB-serial"))) << shown.toStdString();
    EXPECT_EQ(shown.count(QLatin1Char('\n')), 1) << "the silent port adds no line";
    // A silent port with nobody else on it adds nothing; an adapter present drops the last line.
    EXPECT_TRUE(CNoConnectionDlg::diagnosisText({ { 1, silent, ConnectFailure::NoAnswer, {} } },
                                                { { 1, "/dev/ttyUSB0", "usb-FTDI_FT232R-if00-port0" } }, diagnosis)
                    .empty());
    ::close(held);
    ::close(master);
    ::close(silentMaster);

    CNoConnectionDlg plain;
    ASSERT_TRUE(plain.Create());
    EXPECT_EQ(guitest::findById<QLabel>(&plain, CNoConnectionDlg::kDiagnosisId), nullptr);

    CNoConnectionDlg dialog(nullptr, text);
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(textOf(&dialog, CNoConnectionDlg::kDiagnosisId), shown);
    EXPECT_EQ(dialog.width(), plain.width());
    EXPECT_GT(dialog.height(), plain.height());
    for (const int id : { CNoConnectionDlg::kTextId, CNoConnectionDlg::kDemoId, CNoConnectionDlg::kOfflineId })
        EXPECT_EQ(guitest::findById(&dialog, id)->geometry(), guitest::findById(&plain, id)->geometry()) << id;
    guitest::showAndSettle(&dialog);
    EXPECT_FALSE(guitest::saveScreenshot(&dialog, QStringLiteral("korvana_no_connection_diagnosis")).isEmpty());
}

TEST(NoConnectionDlg, DemoIsAcceptedOfflineAndClosingAreNot)
{
    struct Case {
        const char* name;
        std::function<void(QWidget*)> act;
        int result;
    };
    const std::vector<Case> cases = {
        { "demo button", [](QWidget* w) { guitest::click(guitest::findById(w, 1)); }, QDialog::Accepted },
        { "offline button", [](QWidget* w) { guitest::click(guitest::findById(w, 2)); }, QDialog::Rejected },
        { "Enter", [](QWidget* w) { guitest::pressKey(w, Qt::Key_Return); }, QDialog::Accepted },
        { "Escape", [](QWidget* w) { guitest::pressKey(w, Qt::Key_Escape); }, QDialog::Rejected },
        { "closed", [](QWidget* w) { w->close(); }, QDialog::Rejected },
        { "retry button", [](QWidget* w) { guitest::click(guitest::findById(w, CNoConnectionDlg::kRetryId)); },
          CNoConnectionDlg::kRetryResult },
    };
    for (const Case& c : cases) {
        CNoConnectionDlg dialog;
        bool seen = false;
        onNextModal([&](QWidget* modal) {
            seen = modal == &dialog;
            c.act(modal);
        });
        EXPECT_EQ(dialog.DoModal(), c.result) << c.name;
        EXPECT_TRUE(seen) << c.name;
    }
}

// The cause in words: an adapter (USB, or a port named with --port) that opened
// with nothing answering is a silent controller, not a missing adapter; the
// port the link was lost on, gone from the system, is an adapter pulled out.
TEST(NoConnectionDlg, SaysWhetherTheControllerIsSilentOrItsAdapterGone)
{
    const CSerialDiagnosis diagnosis({ "/nonexistent-proc", "/nonexistent-sys" });
    // A board port that is not there: no other test's use of a real one shows up here.
    const std::string kBoard = "/nonexistent-dev/ttyS0";
    const std::vector<SearchAttempt> silent { { 1, "/dev/ttyUSB0", ConnectFailure::NoAnswer, {} } };
    const QString usb = QString::fromStdWString(
        CNoConnectionDlg::diagnosisText(silent, { { 1, "/dev/ttyUSB0", "usb-FTDI_FT232R-if00-port0" } }, diagnosis));
    EXPECT_EQ(usb, QStringLiteral("/dev/ttyUSB0: adapter jest podłączony, ale sterownik nie odpowiada; sprawdź zapłon "
                                  "i przewód do sterownika"));
    const QString named = QString::fromStdWString(CNoConnectionDlg::diagnosisText(
        { { 3, "/tmp/sim", ConnectFailure::NoAnswer, {} } }, { { 3, "/tmp/sim", "--port" } }, diagnosis));
    EXPECT_TRUE(named.startsWith(QStringLiteral("/tmp/sim: adapter jest podłączony"))) << named.toStdString();
    EXPECT_FALSE(named.contains(QStringLiteral("Nie wykryto adaptera"))) << named.toStdString();

    // Lost on /tmp/sim, which is no longer there; the serial port of the board stays silent.
    const QString gone = QString::fromStdWString(CNoConnectionDlg::diagnosisText(
        { { 1, kBoard, ConnectFailure::NoAnswer, {} } }, { { 1, kBoard, "serial" } }, diagnosis,
        "/tmp/sim"));
    EXPECT_EQ(gone, QStringLiteral("/tmp/sim: port zniknął; adapter został odłączony"));
    // Nothing but the board's port, and no loss: no adapter at all.
    EXPECT_EQ(QString::fromStdWString(CNoConnectionDlg::diagnosisText(
                  { { 1, kBoard, ConnectFailure::NoAnswer, {} } }, { { 1, kBoard, "serial" } }, diagnosis)),
        QStringLiteral("Nie wykryto adaptera USB-serial; podłącz przewód sterownika."));
}

TEST(SkinDlg, TitleStaticSpansTheTopAndDragsTheWindow)
{
    CNoConnectionDlg dialog;
    ASSERT_TRUE(dialog.Create());
    guitest::showAndSettle(&dialog);
    auto* title = guitest::findById<CGDIpStatic>(&dialog, 5000);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->geometry(), QRect(0, 0, dialog.width(), 32));
    EXPECT_TRUE(title->font().bold());
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);

    const QPoint before = dialog.pos();
    const QPointF local(10, 10);
    const QPointF global = title->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(title, &press);
    const QPointF moved = global + QPointF(40, 25);
    QMouseEvent move(QEvent::MouseMove, local + QPointF(40, 25), local + QPointF(40, 25), moved, Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(title, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local, local, moved, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(title, &release);
    guitest::settle();
    EXPECT_EQ(dialog.pos(), before + QPoint(40, 25));
}

TEST(AboutDlg, ShowsTheLogoWhenItLoads)
{
    {
        CAboutDlg about;
        ASSERT_TRUE(about.Create());
        EXPECT_EQ(about.skinTitle(), QStringLiteral("KORVANA"));
        EXPECT_TRUE(textOf(&about, CAboutDlg::kNameId).contains(QStringLiteral("Version 8")));
        EXPECT_EQ(textOf(&about, CAboutDlg::kLicenceId), QStringLiteral("Licencja: GNU GPL 3 lub nowsza"));
        EXPECT_NE(guitest::findById(&about, CAboutDlg::kLogoId), nullptr);
        EXPECT_TRUE(about.hasLogo()) << "the build puts ABOUT LOGO.tif into Skins";
        guitest::showAndSettle(&about);
        EXPECT_FALSE(guitest::saveScreenshot(&about, QStringLiteral("korvana_about")).isEmpty());
        about.hide();
        onNextModal([](QWidget* w) { guitest::click(guitest::findById(w, 1)); });
        EXPECT_EQ(about.DoModal(), QDialog::Accepted);
    }
    {
        // In the program's language, like every other dialog.
        openLanguageFiles(std::filesystem::path(KORVANA_RUNTIME_DIR) / "KOR_LANG");
        setCurrentLanguage(1);
        CAboutDlg about;
        EXPECT_TRUE(about.Create());
        setCurrentLanguage(0);
        EXPECT_EQ(textOf(&about, CAboutDlg::kLicenceId), QStringLiteral("Licence: GNU GPL 3 or later"));
    }
    QTemporaryDir empty;
    qputenv("KORVANA_RUNTIME_DIR", empty.path().toLocal8Bit());
    CAboutDlg about;
    qputenv("KORVANA_RUNTIME_DIR", KORVANA_RUNTIME_DIR);
    ASSERT_TRUE(about.Create());
    EXPECT_FALSE(about.hasLogo());
    EXPECT_NE(guitest::findById(&about, CAboutDlg::kLogoId), nullptr); // the button stays, without a picture
}

class QtInteraction : public ::testing::Test {
protected:
    void SetUp() override { setUserInteraction(&m_ui); }
    void TearDown() override { setUserInteraction(nullptr); }
    CQtInteraction m_ui;
};

TEST_F(QtInteraction, MessageIsOwnedByTheReportingWindow)
{
    QWidget window;
    auto* button = new QPushButton(&window);
    guitest::showAndSettle(&window);
    QMessageBox* shown = nullptr;
    QWidget* parent = nullptr;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    onNextModal([&](QWidget* w) {
        shown = qobject_cast<QMessageBox*>(w);
        if (!shown)
            return;
        parent = shown->parentWidget();
        title = shown->windowTitle();
        text = shown->text();
        icon = shown->icon();
        shown->button(QMessageBox::Ok)->click();
    });
    {
        COwnerScope owner(button);
        m_ui.message(L"Nie powiodło się przełączenie na LPG!", L"KORVANA", MsgIcon::Error);
    }
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(parent, button);
    EXPECT_EQ(title, QStringLiteral("KORVANA"));
    EXPECT_EQ(text, QStringLiteral("Nie powiodło się przełączenie na LPG!"));
    EXPECT_EQ(icon, QMessageBox::Critical);
    // Without a scope the main window owns the box.
    m_ui.setMainWindow(&window);
    window.hide();
    std::unique_ptr<QMessageBox> box(m_ui.buildBox(L"x", L"KORVANA", MsgIcon::None, false, true));
    EXPECT_EQ(box->parentWidget(), &window);
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
}

TEST_F(QtInteraction, QuestionDefaultButtonAndAnswer)
{
    for (bool defaultYes : { false, true }) {
        std::unique_ptr<QMessageBox> box(m_ui.buildBox(
            L"Czy chcesz przywrócić ustawienia fabryczne?", L"KORVANA", MsgIcon::Question, true, defaultYes));
        EXPECT_EQ(box->defaultButton(), box->button(defaultYes ? QMessageBox::Yes : QMessageBox::No));
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        // Enter takes the default button.
        onNextModal([](QWidget* w) { guitest::pressKey(w, Qt::Key_Return); });
        EXPECT_EQ(m_ui.question(L"?", L"KORVANA", MsgIcon::Question, defaultYes), defaultYes);
    }
    onNextModal([](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(QMessageBox::Yes)->click(); });
    EXPECT_TRUE(m_ui.question(L"?", L"KORVANA", MsgIcon::Question, false));
}

TEST_F(QtInteraction, WaitCursorNestsAndSleepKeepsEventsRunning)
{
    m_ui.beginWaitCursor();
    m_ui.beginWaitCursor();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    m_ui.endWaitCursor();
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    m_ui.endWaitCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    m_ui.endWaitCursor(); // one too many does no harm
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    int fired = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++fired; });
    timer.start(10);
    QElapsedTimer clock;
    clock.start();
    m_ui.sleep(120);
    EXPECT_GE(clock.elapsed(), 115);
    EXPECT_GE(fired, 3) << "timers must fire while the caller sleeps";
}

TEST(QtFileFilter, ConvertsToQtForm)
{
    EXPECT_EQ(CQtInteraction::qtFilter(L"Settings file (*.settings)|*.settings|"),
        QStringLiteral("Settings file (*.settings)"));
    EXPECT_EQ(CQtInteraction::qtFilter(L"Diagnostic file (*.osc)|*.osc|"), QStringLiteral("Diagnostic file (*.osc)"));
    EXPECT_EQ(CQtInteraction::qtFilter(L"Firmware|*.afm;*.AFM|All files|*.*||"),
        QStringLiteral("Firmware (*.afm *.AFM);;All files (*.*)"));
    EXPECT_EQ(CQtInteraction::qtFilter(L""), QString());
    EXPECT_EQ(CQtInteraction::defaultSuffix(L"Settings file (*.settings)|*.settings|"), QStringLiteral("settings"));
    EXPECT_EQ(CQtInteraction::defaultSuffix(L"All files|*.*|"), QString());
    EXPECT_EQ(CQtInteraction::defaultSuffix(L"broken"), QString());
}

} // namespace
