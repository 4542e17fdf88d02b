// SPDX-License-Identifier: GPL-3.0-or-later
// The main frame of the program built in this process: the minimum-size rule,
// the caption font and height that follow the client area, the menus with
// their command ids and the language check mark, re-titling after a language
// change, timer 5001 with the polling, and the watchdog's searches (11 ticks
// after a loss, then every 11 without the dialog, never two at once).
#include "guitest.h"
#include "shelltest.h"

#include <app/data/languages.h>
#include <app/data/settingfields.h>
#include <app/shell/gdipcaptionbar.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mainframe.h>
#include <app/shell/mapadlg.h>
#include <app/shell/menucommands.h>
#include <app/shell/menumnemonics.h>
#include <app/shell/uidump.h>
#include <gradctrls/multipage/gdipmultipagectrl.h>
#include <gradctrls/multipage/imultipagebutton.h>

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QActionGroup>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenuBar>
#include <QSet>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <map>
#include <set>

using shelltest::CShellRun;

namespace {

SAppOptions demoOptions()
{
    SAppOptions o;
    o.demo = true;
    return o;
}

class Frame : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_run.start());
        m_frame = m_run.app().mainFrame();
        ASSERT_NE(m_frame, nullptr);
        guitest::settle();
    }
    CShellRun m_run { demoOptions() };
    CMainFrame* m_frame = nullptr;
};

TEST_F(Frame, StartsFramelessOnTheWorkAreaInDemoMode)
{
    EXPECT_TRUE(m_frame->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(m_frame->isVisible());
    EXPECT_FALSE(m_frame->isMaximized());
    EXPECT_TRUE(m_run.app().document()->device().m_demo);
    EXPECT_TRUE(m_run.app().document()->device().m_connected);
    EXPECT_EQ(m_run.noConnectionDialogs, 0) << "--demo skips the search";
    EXPECT_TRUE(m_run.ui.shown().empty());
}

TEST_F(Frame, MinimumSizeRule)
{
    guitest::resizeTo(m_frame, QSize(759, 600));
    EXPECT_EQ(m_frame->size(), QSize(800, 600));
    guitest::resizeTo(m_frame, QSize(760, 600));
    EXPECT_EQ(m_frame->size(), QSize(760, 600));
    guitest::resizeTo(m_frame, QSize(1000, 529));
    EXPECT_EQ(m_frame->size(), QSize(1000, 530));
    guitest::resizeTo(m_frame, QSize(300, 200));
    EXPECT_EQ(m_frame->size(), QSize(800, 530));
}

TEST_F(Frame, CaptionFontAndHeightFollowTheClientArea)
{
    const QSize border = m_frame->size() - m_frame->clientSize();
    guitest::resizeTo(m_frame, QSize(1200, 900) + border);
    ASSERT_EQ(m_frame->clientSize(), QSize(1200, 900));
    CGDIpCaptionBar* caption = m_frame->captionBar();
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(m_frame->captionFont().pixelSize(), 17);
    EXPECT_TRUE(m_frame->captionFont().bold());
    EXPECT_EQ(caption->font().pixelSize(), 17);
    EXPECT_EQ(caption->height(), 34);

    guitest::resizeTo(m_frame, QSize(1920, 1080) + border);
    EXPECT_EQ(caption->font().pixelSize(), 24);
    EXPECT_EQ(caption->height(), 48);
    EXPECT_FALSE(caption->captionText().isEmpty());
}

TEST_F(Frame, MenusHoldTheItemsWithTheirCommandIds)
{
    const QList<QAction*> popups = m_frame->mainMenu()->actions();
    ASSERT_EQ(popups.size(), 5);
    const QStringList titles = { QStringLiteral("Plik"), QStringLiteral("Edycja"), QStringLiteral("Ustawienia"),
                                 QStringLiteral("Język"), QStringLiteral("Info") };
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(withoutMnemonic(popups[i]->text()), titles[i]);

    auto items = [&](int popup) {
        QList<QPair<QString, int>> out;
        for (QAction* a : popups[popup]->menu()->actions())
            if (!a->isSeparator())
                out.append({ withoutMnemonic(a->text()), a->data().toInt() });
        return out;
    };
    using Items = QList<QPair<QString, int>>;
    EXPECT_EQ(items(0),
        (Items { { QStringLiteral("Wczytaj ustawienia z pliku..."), 32774 },
            { QStringLiteral("Zapisz ustawienia do pliku..."), 32773 },
            { QStringLiteral("Porównaj z plikiem…"), 32795 }, { QStringLiteral("Historia"), 32796 },
            { QStringLiteral("Samochód"), 32797 }, { QStringLiteral("Raport dla klienta…"), 32798 },
            { QStringLiteral("Wyjście"), 57665 } }));
    EXPECT_EQ(items(1), (Items { { QStringLiteral("Cofnij"), 32800 }, { QStringLiteral("Przywróć"), 32801 } }));
    EXPECT_EQ(items(2),
        (Items { { QStringLiteral("Przywróć ustawienia fabryczne"), 32775 },
            { QStringLiteral("Dane warsztatu…"), 32799 } }));
    EXPECT_EQ(items(4),
        (Items { { QStringLiteral("Dokumentacja"), 32794 }, { QStringLiteral("Pomoc do tej strony"), 32802 },
            { QStringLiteral("Aktualizacja sterownika..."), 32793 }, { QStringLiteral("Informacje"), 57664 } }));
    const QStringList languages = { "Polski", "Angielski", "Rosyjski", "Włoski", "Niemiecki", "Tajski", "Francuski",
        "Chorwacki", "Serbski", "Bośniacki", "Hiszpański", "Grecki", "Słoweński", "Bułgarski", "Turecki" };
    const Items language = items(3);
    ASSERT_EQ(language.size(), 15);
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(language[i].first, languages[i]);
        EXPECT_EQ(language[i].second, 32776 + i);
    }
}

TEST_F(Frame, LanguageItemsSelectTheirIndexAndMoveTheCheckMark)
{
    // Menu order → language index.
    const int expected[15] = { 0, 1, 2, 3, 4, 5, 8, 14, 13, 15, 7, 11, 19, 18, 6 };
    for (int i = 0; i < 15; ++i) {
        m_frame->commandAction(32776 + i)->trigger();
        EXPECT_EQ(currentLanguage(), expected[i]) << i;
        for (int j = 0; j < 15; ++j)
            EXPECT_EQ(m_frame->commandAction(32776 + j)->isChecked(), i == j) << i << " " << j;
    }
    m_frame->commandAction(32776)->trigger();
    EXPECT_EQ(currentLanguage(), 0);
}

// Keys through the shortcut map, as a keyboard sends them: pages, files, undo, help and quit.
TEST_F(Frame, EachShortcutReachesItsCommand)
{
    m_frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
    CkorvanaView* view = m_run.app().view();
    const auto page = [&] { return view->multiPage()->getActiveIndex() - CkorvanaView::kFirstPage; };
    ASSERT_EQ(page(), 0);
    QTest::keyClick(m_frame, Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(page(), 2);
    QTest::keyClick(m_frame, Qt::Key_7, Qt::ControlModifier);
    EXPECT_EQ(page(), 6);
    QTest::keyClick(m_frame, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(page(), 0) << "Ctrl+Tab goes round";
    QTest::keyClick(m_frame, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(page(), 6);
    QTest::keyClick(m_frame, Qt::Key_5, Qt::ControlModifier);
    EXPECT_EQ(page(), 4);

    // F1: the manual at the shown page's chapter ("Mapa 2D" has its own).
    std::vector<QString> opened;
    m_run.app().document()->openUrl = [&](const QUrl& url) {
        opened.push_back(url.fileName());
        return true;
    };
    QTest::keyClick(m_frame, Qt::Key_F1);
    QTest::keyClick(m_frame, Qt::Key_2, Qt::ControlModifier);
    QTest::keyClick(m_frame, Qt::Key_F1);
    EXPECT_EQ(opened, (std::vector<QString> { QStringLiteral("map-editor.html"), QStringLiteral("settings.html") }));
    EXPECT_EQ(page(), 1) << "F1 shows no page";

    // Ctrl+O and Ctrl+S ask for their files (the scripted answer is none).
    const std::size_t before = m_run.ui.fileRequests().size();
    QTest::keyClick(m_frame, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(m_frame, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(m_run.ui.fileRequests().size(), before + 2);
    EXPECT_FALSE(m_run.ui.fileRequests()[before]);
    EXPECT_TRUE(m_run.ui.fileRequests()[before + 1]);

    // The menus show the keys.
    EXPECT_EQ(m_frame->commandAction(32774)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(m_frame->commandAction(32800)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    EXPECT_EQ(m_frame->commandAction(32801)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Y")));
    EXPECT_EQ(m_frame->commandAction(32798)->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    // One language at a time: the items are one exclusive group.
    const QActionGroup* group = m_frame->commandAction(32776)->actionGroup();
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->isExclusive());
    EXPECT_EQ(group->actions().size(), 15);

    QTest::keyClick(m_frame, Qt::Key_Q, Qt::ControlModifier);
    guitest::settle();
    EXPECT_FALSE(m_frame->isVisible()) << "Ctrl+Q quits";
}

// What --dump-ui says of the menus: the keys, and the languages as one exclusive group.
TEST_F(Frame, UiDumpShowsTheShortcutsAndTheExclusiveLanguageGroup)
{
    const QJsonObject root = QJsonDocument::fromJson(describeUi()).object();
    std::map<QString, QString> shortcuts;
    std::set<int> languageGroups;
    int languages = 0;
    for (const QJsonValue menu : root.value(QStringLiteral("menus")).toArray()) {
        const bool isLanguage = withoutMnemonic(menu[QStringLiteral("title")].toString()) == QStringLiteral("Język");
        for (const QJsonValue action : menu[QStringLiteral("actions")].toArray()) {
            shortcuts[withoutMnemonic(action[QStringLiteral("text")].toString())] = action[QStringLiteral("shortcut")].toString();
            if (isLanguage) {
                ++languages;
                EXPECT_TRUE(action[QStringLiteral("checkable")].toBool());
                languageGroups.insert(action[QStringLiteral("exclusiveGroup")].toInt(-1));
            }
        }
    }
    EXPECT_EQ(shortcuts[QStringLiteral("Wczytaj ustawienia z pliku...")], QStringLiteral("Ctrl+O"));
    EXPECT_EQ(shortcuts[QStringLiteral("Zapisz ustawienia do pliku...")], QStringLiteral("Ctrl+S"));
    EXPECT_EQ(shortcuts[QStringLiteral("Wyjście")], QStringLiteral("Ctrl+Q"));
    EXPECT_EQ(shortcuts[QStringLiteral("Cofnij")], QStringLiteral("Ctrl+Z"));
    EXPECT_EQ(shortcuts[QStringLiteral("Przywróć")], QStringLiteral("Ctrl+Y"));
    EXPECT_EQ(shortcuts[QStringLiteral("Pomoc do tej strony")], QStringLiteral("F1"));
    EXPECT_EQ(languages, 15);
    ASSERT_EQ(languageGroups.size(), 1u);
    EXPECT_GT(*languageGroups.begin(), 0) << "a group number, not null";
}

// Every push button whose few words say less than its click (on each page and
// sub-page, in Polish and in English) has a tool tip, as --dump-ui shows it.
TEST_F(Frame, ShortPushButtonsHaveToolTips)
{
    CkorvanaView* view = m_run.app().view();
    const auto check = [&](const QString& where) {
        const QJsonObject root = QJsonDocument::fromJson(describeUi()).object();
        int seen = 0;
        for (const QJsonValue w : root.value(QStringLiteral("widgets")).toArray()) {
            const QString cls = w[QStringLiteral("class")].toString();
            const QString text = withoutMnemonic(w[QStringLiteral("fullText")].toString()).trimmed();
            if ((cls != QStringLiteral("CGDIpGradientButton") && cls != QStringLiteral("QPushButton"))
                || text.isEmpty() || text.size() > 24 || text == QStringLiteral("OK"))
                continue;
            ++seen;
            EXPECT_FALSE(w[QStringLiteral("toolTip")].toString().isEmpty()) << where.toStdString() << ": \""
                                                                             << text.toStdString() << "\"";
        }
        return seen;
    };
    for (int language : { 0, 1 }) {
        m_frame->onCommand(MenuCmd::kFirstLanguage + language);
        int buttons = 0;
        for (int page = 0; page < 7; ++page) {
            ASSERT_TRUE(view->showPage(page));
            guitest::settle();
            buttons += check(QStringLiteral("page %1").arg(page));
        }
        ASSERT_TRUE(view->showPage(4));
        auto* mapa = dynamic_cast<CMapaDlg*>(view->multiPage()->getActivePage());
        auto* pages = mapa ? mapa->multiPage() : nullptr;
        ASSERT_NE(pages, nullptr);
        for (int sub = 0; sub < 4; ++sub) {
            pages->activatePage(sub);
            guitest::settle();
            buttons += check(QStringLiteral("Mapa %1").arg(sub));
        }
        EXPECT_GE(buttons, 10) << "the pages' buttons were looked at";
    }
}

// The buttons outside the layout tables — the window's caption buttons, the
// picture buttons, the up-down arrows, the fuel buttons, every check box —
// say what a click does, not only their text; every click that switches the
// fuel or restarts the controller says so, menu commands included, as
// --dump-ui shows it.
TEST_F(Frame, PictureAndToolButtonsSayWhatAClickDoes)
{
    CkorvanaView* view = m_run.app().view();
    const QSet<QString> kinds { QStringLiteral("QAbstractButton"), QStringLiteral("QToolButton"),
        QStringLiteral("CImageButton"), QStringLiteral("CConsoleBtn"), QStringLiteral("CCPPBtn"),
        QStringLiteral("CSwitchToAutoBtn"), QStringLiteral("CSwitchToGasBtn"), QStringLiteral("CSwitchToPetrolBtn"),
        QStringLiteral("QCheckBox"), QStringLiteral("CImageCheckBox") };
    std::map<QString, QString> tipByName; // ctrl_<id> → tip, Polish
    int boxes = 0;
    const auto check = [&](const QString& where, bool polish) {
        const QJsonObject root = QJsonDocument::fromJson(describeUi()).object();
        int seen = 0;
        for (const QJsonValue w : root.value(QStringLiteral("widgets")).toArray()) {
            const QString cls = w[QStringLiteral("class")].toString();
            const QString tip = w[QStringLiteral("toolTip")].toString();
            if (polish)
                tipByName[w[QStringLiteral("name")].toString()] = tip;
            if (!kinds.contains(cls))
                continue;
            ++seen;
            if (cls.endsWith(QStringLiteral("CheckBox")))
                ++boxes;
            const QString text = w[QStringLiteral("fullText")].toString();
            EXPECT_FALSE(tip.isEmpty()) << where.toStdString() << ": " << cls.toStdString() << " \"" << text.toStdString()
                                        << "\" " << w[QStringLiteral("name")].toString().toStdString();
            EXPECT_NE(tip, text) << where.toStdString() << ": the tip only repeats \"" << text.toStdString() << "\"";
            if (polish && cls.startsWith(QStringLiteral("CSwitchTo"))) {
                EXPECT_TRUE(tip.startsWith(QStringLiteral("Przełącza "))) << tip.toStdString();
            }
        }
        return seen;
    };
    for (int language : { 1, 0 }) {
        m_frame->onCommand(MenuCmd::kFirstLanguage + language);
        int buttons = 0;
        for (int page = 0; page < 7; ++page) {
            ASSERT_TRUE(view->showPage(page));
            guitest::settle();
            buttons += check(QStringLiteral("page %1").arg(page), language == 0);
        }
        ASSERT_TRUE(view->showPage(4));
        auto* mapa = dynamic_cast<CMapaDlg*>(view->multiPage()->getActivePage());
        ASSERT_NE(mapa ? mapa->multiPage() : nullptr, nullptr);
        for (int sub = 0; sub < 4; ++sub) {
            mapa->multiPage()->activatePage(sub);
            guitest::settle();
            buttons += check(QStringLiteral("Mapa %1").arg(sub), language == 0);
        }
        EXPECT_GE(buttons, 7 * 8) << "the caption, fuel and picture buttons of every page were looked at";
    }
    // Kalibracja 2, Mapa 2D 2, OBD 16, the settings pages' boxes: twice over.
    EXPECT_GE(boxes, 2 * 20) << "the check boxes were looked at";

    // The settings whose change restarts the controller: the box or the list says so (Polish, the last pass).
    int restarting = 0;
    for (const CSettingField& f : CSettingsTable::fields()) {
        if (!f.restart)
            continue;
        ++restarting;
        const QString name = QStringLiteral("ctrl_%1").arg(f.controlId);
        ASSERT_TRUE(tipByName.count(name)) << f.key;
        EXPECT_TRUE(tipByName[name].contains(QStringLiteral("uruchamia ponownie"))) << f.key << ": "
                                                                                      << tipByName[name].toStdString();
    }
    EXPECT_GE(restarting, 4);

    std::map<QString, QString> menuTips;
    const QJsonObject root = QJsonDocument::fromJson(describeUi()).object();
    for (const QJsonValue menu : root.value(QStringLiteral("menus")).toArray())
        for (const QJsonValue action : menu[QStringLiteral("actions")].toArray())
            menuTips[withoutMnemonic(action[QStringLiteral("text")].toString())] = action[QStringLiteral("toolTip")].toString();
    for (const char* command : { "Wczytaj ustawienia z pliku...", "Przywróć ustawienia fabryczne", "Aktualizacja sterownika..." })
        EXPECT_TRUE(menuTips[QString::fromUtf8(command)].contains(QStringLiteral("uruchamia"))) << command;
    EXPECT_TRUE(menuTips[QStringLiteral("Dokumentacja")].isEmpty()) << "no tip that only repeats the text";
}

// Every menu's items get distinct mnemonics in any language, the texts themselves untouched.
TEST(MenuMnemonics, FirstFreeLetterOfEachItem)
{
    EXPECT_EQ(withMnemonics({ QStringLiteral("Plik"), QStringLiteral("Edycja"), QStringLiteral("Ustawienia"),
                              QStringLiteral("Język"), QStringLiteral("Info") }),
              (QStringList { QStringLiteral("&Plik"), QStringLiteral("&Edycja"), QStringLiteral("&Ustawienia"),
                             QStringLiteral("&Język"), QStringLiteral("&Info") }));
    // Taken letters are skipped case-insensitively; "&" shows as itself; nothing free, no mark.
    EXPECT_EQ(withMnemonics({ QStringLiteral("Save"), QStringLiteral("save as"), QStringLiteral("A & B"),
                              QStringLiteral("sav"), QStringLiteral("as") }),
              (QStringList { QStringLiteral("&Save"), QStringLiteral("s&ave as"), QStringLiteral("A && &B"),
                             QStringLiteral("sa&v"), QStringLiteral("as") }));
    EXPECT_EQ(withoutMnemonic(QStringLiteral("s&ave && go")), QStringLiteral("save & go"));
}

TEST_F(Frame, LanguageSwitchRetitlesMenuAndButtons)
{
    setCurrentLanguage(0);
    m_frame->updateTexts();
    shelltest::EnglishScope english({ { QStringLiteral("Plik"), QStringLiteral("File") },
        { QStringLiteral("Wyjście"), QStringLiteral("Exit") },
        { QStringLiteral("Odczyty"), QStringLiteral("Readings") },
        { QStringLiteral("Konsolka"), QStringLiteral("Console") }, { QStringLiteral("GAZ"), QStringLiteral("LPG") } });
    setCurrentLanguage(0); // the scope made English current; the menu must do it
    m_frame->commandAction(32777)->trigger(); // "Angielski"
    EXPECT_EQ(currentLanguage(), 1);
    EXPECT_EQ(m_frame->mainMenu()->actions()[0]->text(), QStringLiteral("&File"));
    EXPECT_EQ(m_frame->commandAction(57665)->text(), QStringLiteral("&Exit"));
    EXPECT_EQ(withoutMnemonic(m_frame->commandAction(32775)->text()), QStringLiteral("Przywróć ustawienia fabryczne"));
    EXPECT_TRUE(m_frame->commandAction(32777)->isChecked());
    EXPECT_FALSE(m_frame->commandAction(32776)->isChecked());

    CKorMultiPageCtrl* mpc = m_run.app().view()->multiPage();
    auto title = [&](int i) { return dynamic_cast<QAbstractButton*>(mpc->getButton(i)->getWindow())->text(); };
    EXPECT_EQ(title(5), QStringLiteral("Readings"));
    EXPECT_EQ(title(3), QStringLiteral("Console"));
    EXPECT_EQ(title(1), QStringLiteral("LPG"));
    EXPECT_EQ(title(0), QStringLiteral("AUTO"));

    m_frame->commandAction(32776)->trigger(); // back to "Polski"
    EXPECT_EQ(m_frame->mainMenu()->actions()[0]->text(), QStringLiteral("&Plik"));
    EXPECT_EQ(title(3), QStringLiteral("Konsolka"));
}

TEST_F(Frame, TimerRunsWithThePollingOnly)
{
    CkorvanaDoc* doc = m_run.app().document();
    EXPECT_TRUE(doc->isPolling()) << "a demo start polls";
    EXPECT_TRUE(m_frame->isTimerRunning());
    doc->stopPolling();
    EXPECT_FALSE(m_frame->isTimerRunning());
    doc->startPolling();
    EXPECT_TRUE(m_frame->isTimerRunning());
    m_frame->close();
    EXPECT_FALSE(m_frame->isTimerRunning()) << "closing the frame stops the polling";
    EXPECT_FALSE(doc->isPolling());
}

TEST(FrameLanguage, StartsInTheLanguageOfTheOption)
{
    SAppOptions options = demoOptions();
    options.language = 4;
    CShellRun run(options);
    ASSERT_TRUE(run.start());
    EXPECT_EQ(currentLanguage(), 4);
    CMainFrame* frame = run.app().mainFrame();
    EXPECT_TRUE(frame->commandAction(32780)->isChecked()); // "Niemiecki"
    EXPECT_FALSE(frame->commandAction(32776)->isChecked());
    setCurrentLanguage(0);
}

// Ticks the frame timer by hand until the next search; -1 when none comes.
int ticksToSearch(CMainFrame* frame, CShellRun& run, int limit = 40)
{
    const unsigned before = run.app().document()->searchCount();
    for (int i = 1; i <= limit; ++i) {
        frame->OnTimer();
        if (run.app().document()->searchCount() != before)
            return i;
    }
    return -1;
}

TEST(FrameWatchdog, SearchesElevenTicksAfterALossAndEveryElevenAfter)
{
    CShellRun run({}, false);
    ASSERT_TRUE(run.start());
    ASSERT_EQ(run.noConnectionDialogs, 1); // the start-up search found nothing
    CMainFrame* frame = run.app().mainFrame();
    CLPGDevice& device = run.app().document()->device();
    EXPECT_FALSE(frame->isTimerRunning()) << "an offline start polls nothing";

    device.m_connected = true; // as if a controller had answered
    for (int i = 0; i < 5; ++i)
        frame->OnTimer();
    EXPECT_EQ(run.noConnectionDialogs, 1);
    device.m_connected = false; // the link falls
    EXPECT_EQ(ticksToSearch(frame, run), 12) << "the loss tick, then 11 more";
    EXPECT_EQ(run.noConnectionDialogs, 2) << "the first search after the loss asks";
    EXPECT_EQ(ticksToSearch(frame, run), 11);
    EXPECT_EQ(ticksToSearch(frame, run), 11);
    EXPECT_EQ(run.noConnectionDialogs, 2) << "the searches after it are silent";
    EXPECT_TRUE(frame->captionBar()->captionText().endsWith(QStringLiteral("BRAK POŁĄCZENIA")))
        << frame->captionBar()->captionText().toStdString();

    // A second loss asks once again.
    device.m_connected = true;
    frame->OnTimer();
    device.m_connected = false;
    EXPECT_EQ(ticksToSearch(frame, run), 12);
    EXPECT_EQ(run.noConnectionDialogs, 3);
}

TEST(FrameWatchdog, NeverTwoSearchesAtOnce)
{
    CShellRun run({}, false);
    ASSERT_TRUE(run.start());
    CMainFrame* frame = run.app().mainFrame();
    CkorvanaDoc* doc = run.app().document();
    int nested = 0;
    // Ticks that arrive while the dialog is open do nothing.
    doc->askNoConnection = [&](QWidget*) {
        ++run.noConnectionDialogs;
        EXPECT_TRUE(doc->isSearching());
        for (int i = 0; i < 30; ++i)
            frame->OnTimer();
        EXPECT_FALSE(doc->searchController());
        ++nested;
        return ENoConnectionChoice::Offline;
    };
    doc->device().m_connected = true;
    frame->OnTimer();
    doc->device().m_connected = false;
    EXPECT_EQ(ticksToSearch(frame, run), 12);
    EXPECT_EQ(nested, 1);
    EXPECT_FALSE(doc->isSearching());
    EXPECT_EQ(frame->watchdog().reconnectCountdown(), 10);
}

TEST(FrameWatchdog, DemoChosenInARetryStartsPolling)
{
    CShellRun run({}, false);
    ASSERT_TRUE(run.start());
    CMainFrame* frame = run.app().mainFrame();
    CkorvanaDoc* doc = run.app().document();
    doc->device().m_connected = true;
    frame->OnTimer();
    doc->device().m_connected = false;
    run.answerDemo = true;
    EXPECT_EQ(ticksToSearch(frame, run), 12);
    EXPECT_TRUE(doc->device().m_demo);
    EXPECT_TRUE(doc->isPolling());
    EXPECT_TRUE(frame->isTimerRunning());
    doc->stopPolling();
}

} // namespace
