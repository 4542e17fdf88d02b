// SPDX-License-Identifier: GPL-3.0-or-later
// The main frame of the program built in this process: the minimum-size rule,
// the caption font and height that follow the client area, the menus with
// their command ids and the language check mark, re-titling after a language
// change, timer 5001 with the polling, and the watchdog's searches (11 ticks
// after a loss, then every 11 without the dialog, never two at once).
#include "guitest.h"
#include "shelltest.h"

#include <app/data/languages.h>
#include <app/shell/gdipcaptionbar.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mainframe.h>
#include <app/shell/menucommands.h>
#include <gradctrls/multipage/imultipagebutton.h>

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

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
    ASSERT_EQ(popups.size(), 4);
    const QStringList titles
        = { QStringLiteral("Plik"), QStringLiteral("Ustawienia"), QStringLiteral("Język"), QStringLiteral("Info") };
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(popups[i]->text(), titles[i]);

    auto items = [&](int popup) {
        QList<QPair<QString, int>> out;
        for (QAction* a : popups[popup]->menu()->actions())
            if (!a->isSeparator())
                out.append({ a->text(), a->data().toInt() });
        return out;
    };
    using Items = QList<QPair<QString, int>>;
    EXPECT_EQ(items(0),
        (Items { { QStringLiteral("Wczytaj ustawienia z pliku..."), 32774 },
            { QStringLiteral("Zapisz ustawienia do pliku..."), 32773 },
            { QStringLiteral("Porównaj z plikiem…"), 32795 }, { QStringLiteral("Historia"), 32796 },
            { QStringLiteral("Samochód"), 32797 }, { QStringLiteral("Raport dla klienta…"), 32798 },
            { QStringLiteral("Wyjście"), 57665 } }));
    EXPECT_EQ(items(1),
        (Items { { QStringLiteral("Przywróć ustawienia fabryczne"), 32775 },
            { QStringLiteral("Dane warsztatu…"), 32799 } }));
    EXPECT_EQ(items(3),
        (Items { { QStringLiteral("Dokumentacja"), 32794 }, { QStringLiteral("Aktualizacja sterownika..."), 32793 },
            { QStringLiteral("Informacje"), 57664 } }));
    const QStringList languages = { "Polski", "Angielski", "Rosyjski", "Włoski", "Niemiecki", "Tajski", "Francuski",
        "Chorwacki", "Serbski", "Bośniacki", "Hiszpański", "Grecki", "Słoweński", "Bułgarski", "Turecki" };
    const Items language = items(2);
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
    EXPECT_EQ(m_frame->mainMenu()->actions()[0]->text(), QStringLiteral("File"));
    EXPECT_EQ(m_frame->commandAction(57665)->text(), QStringLiteral("Exit"));
    EXPECT_EQ(m_frame->commandAction(32775)->text(), QStringLiteral("Przywróć ustawienia fabryczne"));
    EXPECT_TRUE(m_frame->commandAction(32777)->isChecked());
    EXPECT_FALSE(m_frame->commandAction(32776)->isChecked());

    CKorMultiPageCtrl* mpc = m_run.app().view()->multiPage();
    auto title = [&](int i) { return dynamic_cast<QAbstractButton*>(mpc->getButton(i)->getWindow())->text(); };
    EXPECT_EQ(title(5), QStringLiteral("Readings"));
    EXPECT_EQ(title(3), QStringLiteral("Console"));
    EXPECT_EQ(title(1), QStringLiteral("LPG"));
    EXPECT_EQ(title(0), QStringLiteral("AUTO"));

    m_frame->commandAction(32776)->trigger(); // back to "Polski"
    EXPECT_EQ(m_frame->mainMenu()->actions()[0]->text(), QStringLiteral("Plik"));
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
