// SPDX-License-Identifier: GPL-3.0-or-later
// The ground the pages stand on: the device's events as Qt signals on the GUI
// thread, one long operation at a time (a tick, a fuel button, a menu command
// and a second procedure refused while one runs; page switching still free),
// pages that read the image again when it changes, the demo caption and tool
// tips, --page, and F1-F5 that leave the action buttons alone.
#include "guitest.h"
#include "shelltest.h"

#include <app/data/languages.h>
#include <app/platform/log.h>
#include <app/shell/deviceeventrelay.h>
#include <app/shell/emptydlg.h>
#include <app/shell/gdipcaptionbar.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mainframe.h>
#include <app/shell/menucommands.h>
#include <app/shell/switchbuttons.h>
#include <errkit/ierror.h>
#include <gradctrls/multipage/imultipagebutton.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

using shelltest::CShellRun;

namespace {

using guitest::waitFor;

SAppOptions demoOptions()
{
    SAppOptions o;
    o.demo = true;
    return o;
}

TEST(Relay, TwoListenersHearOneEvent)
{
    CDeviceEvents events;
    CDeviceEventRelay relay(events);
    std::vector<ImageBlock> first, second;
    QObject::connect(&relay, &CDeviceEventRelay::imageChanged, [&](ImageBlock b) { first.push_back(b); });
    QObject::connect(&relay, &CDeviceEventRelay::imageChanged, [&](ImageBlock b) { second.push_back(b); });
    int stopped = 0;
    QObject::connect(&relay, &CDeviceEventRelay::pollingStopped, [&] { ++stopped; });
    events.imageChanged(ImageBlock::InjMap);
    events.raise(DeviceEvent::PollingStopped);
    EXPECT_EQ(first, std::vector<ImageBlock> { ImageBlock::InjMap });
    EXPECT_EQ(second, std::vector<ImageBlock> { ImageBlock::InjMap });
    EXPECT_EQ(stopped, 1);
}

TEST(Relay, EventsFromAnotherThreadArriveOnTheGuiThread)
{
    CDeviceEvents events;
    CDeviceEventRelay relay(events);
    QThread* heardOn = nullptr;
    quint64 sequence = 0;
    QString reason;
    QObject::connect(&relay, &CDeviceEventRelay::deviceEvent, [&](const DeviceEventData& event) {
        if (event.kind != DeviceEvent::ReadingsAppended)
            return;
        heardOn = QThread::currentThread();
        sequence = event.sequence;
    });
    QObject::connect(&relay, &CDeviceEventRelay::linkLost, [&](const QString& r) { reason = r; });
    std::thread polling([&] {
        DeviceEventData appended { DeviceEvent::ReadingsAppended };
        appended.sequence = 4242;
        events.raise(appended);
        events.linkLost("no answer");
    });
    polling.join();
    EXPECT_EQ(heardOn, nullptr) << "queued, not called on the raising thread";
    ASSERT_TRUE(waitFor([&] { return heardOn != nullptr && !reason.isEmpty(); }));
    EXPECT_EQ(heardOn, QApplication::instance()->thread());
    EXPECT_EQ(sequence, 4242u);
    EXPECT_EQ(reason, QStringLiteral("no answer"));
}

TEST(Relay, QueuedEventsDieWithTheRelay)
{
    CDeviceEvents events;
    int heard = 0;
    auto relay = std::make_unique<CDeviceEventRelay>(events);
    QObject::connect(relay.get(), &CDeviceEventRelay::deviceEvent, [&](const DeviceEventData&) { ++heard; });
    std::thread([&] { events.raise(DeviceEvent::PollingStarted); }).join();
    relay.reset();
    guitest::settle(); // whatever the relay had posted is delivered now, or never
    EXPECT_EQ(heard, 0);
    events.raise(DeviceEvent::PollingStarted); // the listener is gone with the relay
    EXPECT_EQ(heard, 0);
}

class Operation : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_run.start());
        m_doc = m_run.app().document();
        m_frame = m_run.app().mainFrame();
        m_view = m_run.app().view();
        // Ticked by hand.
        m_frame->stopTimer();
        guitest::settle();
    }
    void TearDown() override { m_doc->stopPolling(); }

    CShellRun m_run { demoOptions(), true };
    CkorvanaDoc* m_doc = nullptr;
    CMainFrame* m_frame = nullptr;
    CkorvanaView* m_view = nullptr;
};

TEST_F(Operation, WhileOneRunsEverythingElseWaits)
{
    std::vector<std::string> logged;
    const int sink = addLogSink([&](LogLevel, const std::string& line) { logged.push_back(line); });
    CLPGDevice& device = m_doc->device();
    const std::wstring refusal = L"Trwa inna operacja: Kalibracja";
    bool ran = false;
    const bool done = m_doc->runOperation(L"Kalibracja", [&] {
        ran = true;
        EXPECT_TRUE(m_doc->operationRunning());
        EXPECT_EQ(m_doc->runningOperation(), L"Kalibracja");

        // The link falls during the operation: no tick searches.
        device.m_connected = false;
        const unsigned searches = m_doc->searchCount();
        for (int i = 0; i < 30; ++i) {
            m_frame->OnTimer();
            shelltest::waitMs(1); // the operation pumps
        }
        EXPECT_EQ(m_doc->searchCount(), searches);
        EXPECT_EQ(m_run.noConnectionDialogs, 0);
        device.m_connected = true;

        // A fuel button, a menu command and a second procedure are refused with the message.
        m_run.ui.clearShown();
        guitest::click(m_view->gasButton());
        m_frame->onCommand(MenuCmd::kRestoreFactory);
        bool second = false;
        EXPECT_FALSE(m_doc->runOperation(L"Aktualizacja sterownika", [&] { second = true; }));
        EXPECT_FALSE(second);
        ASSERT_EQ(m_run.ui.shown().size(), 3u);
        for (const auto& shown : m_run.ui.shown()) {
            EXPECT_EQ(shown.text, refusal);
            EXPECT_EQ(shown.caption, L"KORVANA");
            EXPECT_EQ(shown.icon, MsgIcon::Warning);
            EXPECT_FALSE(shown.question) << "the restore never asked";
        }
        // Closing the window waits too.
        m_run.ui.clearShown();
        EXPECT_FALSE(m_frame->close());
        EXPECT_TRUE(m_frame->isVisible());
        ASSERT_EQ(m_run.ui.shown().size(), 1u);
        EXPECT_EQ(m_run.ui.shown()[0].text, refusal);
        // Page switching stays possible.
        m_view->multiPage()->activatePage(CkorvanaView::kFirstPage + 3);
        EXPECT_EQ(m_view->multiPage()->getActiveIndex(), CkorvanaView::kFirstPage + 3);
    });
    EXPECT_TRUE(done);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(m_doc->operationRunning());
    removeLogSink(sink);
    auto loggedLine = [&](const char* text) {
        for (const std::string& line : logged)
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(loggedLine("operation started: Kalibracja"));
    EXPECT_TRUE(loggedLine("refused"));
    EXPECT_TRUE(loggedLine("operation finished: Kalibracja"));

    // Released: the fuel button does its work (demo mode answers).
    m_run.ui.clearShown();
    guitest::click(m_view->gasButton());
    EXPECT_TRUE(m_run.ui.shown().empty());
}

TEST_F(Operation, ASearchDueDuringAnOperationRunsAfterIt)
{
    CLPGDevice& device = m_doc->device();
    m_doc->stopPolling();
    m_frame->OnTimer();
    device.m_connected = false;
    const unsigned searches = m_doc->searchCount();
    m_doc->runOperation(L"Kalibracja", [&] {
        for (int i = 0; i < 20; ++i)
            m_frame->OnTimer();
    });
    EXPECT_EQ(m_doc->searchCount(), searches);
    m_frame->OnTimer();
    EXPECT_EQ(m_doc->searchCount(), searches + 1) << "the postponed search comes on the first free tick";
}

TEST_F(Operation, AnErrorInsideReleasesTheGuard)
{
    bool caught = false;
    try {
        m_doc->runOperation(L"Przywracanie ustawień fabrycznych", [] { throw new IError(); });
    } catch (IError* e) {
        delete e;
        caught = true;
    }
    EXPECT_TRUE(caught);
    EXPECT_FALSE(m_doc->operationRunning());
    try {
        m_doc->runOperation(L"Przywracanie ustawień fabrycznych", [] { throw std::runtime_error("x"); });
    } catch (const std::exception&) {
    }
    EXPECT_FALSE(m_doc->operationRunning());
    bool ran = false;
    EXPECT_TRUE(m_doc->runOperation(L"Kalibracja", [&] { ran = true; }));
    EXPECT_TRUE(ran);
}

TEST_F(Operation, DemoIsAlwaysVisible)
{
    const QString caption = m_frame->captionBar()->captionText();
    EXPECT_TRUE(caption.endsWith(QStringLiteral(" — DEMO"))) << caption.toStdString();
    for (QWidget* button : { static_cast<QWidget*>(m_view->autoButton()), static_cast<QWidget*>(m_view->gasButton()),
             static_cast<QWidget*>(m_view->petrolButton()) }) {
        EXPECT_TRUE(button->toolTip().startsWith(QStringLiteral("Przełącza "))) << "says which fuel it switches to";
        EXPECT_TRUE(button->toolTip().endsWith(QStringLiteral("\nSterownik symulowany (tryb demo)")));
    }

    // A real controller: neither.
    m_doc->device().m_demo = false;
    m_frame->refreshCaption();
    EXPECT_FALSE(m_frame->captionBar()->captionText().contains(QStringLiteral("DEMO")));
    EXPECT_EQ(m_view->gasButton()->toolTip(), QStringLiteral("Przełącza samochód na gaz."));
    m_doc->device().m_demo = true;
}

TEST_F(Operation, FunctionKeysNeverSelectAnActionButton)
{
    CKorMultiPageCtrl* mpc = m_view->multiPage();
    auto selection = [&] {
        std::vector<bool> lit;
        lit.reserve(static_cast<std::size_t>(mpc->getPageCount()));
        for (int i = 0; i < mpc->getPageCount(); ++i)
            lit.push_back(mpc->getButton(i)->isSelected());
        return lit;
    };
    const int start = mpc->getActiveIndex();
    ASSERT_EQ(start, CkorvanaView::kFirstPage);
    const auto before = selection();
    for (int key = Qt::Key_F1; key <= Qt::Key_F5; ++key) {
        guitest::pressKey(mpc->getActivePage(), key);
        guitest::pressKey(mpc, key);
        EXPECT_EQ(mpc->getActiveIndex(), start) << "F" << key - Qt::Key_F1 + 1;
        EXPECT_EQ(selection(), before) << "F" << key - Qt::Key_F1 + 1 << " lit an action button";
    }
    // F6 … F8 keep selecting their pages.
    for (int key = Qt::Key_F6; key <= Qt::Key_F8; ++key) {
        guitest::pressKey(mpc->getActivePage(), key);
        EXPECT_EQ(mpc->getActiveIndex(), key - Qt::Key_F1);
    }
}

TEST_F(Operation, LanguageChangeIsAnEvent)
{
    int heard = 0;
    QObject::connect(&m_doc->relay(), &CDeviceEventRelay::languageChanged, [&] { ++heard; });
    m_doc->OnLanguage(4);
    EXPECT_EQ(heard, 1);
    m_doc->OnLanguage(4); // the same language: nothing changes
    EXPECT_EQ(heard, 1);
    m_doc->OnLanguage(0);
    EXPECT_EQ(heard, 2);
    EXPECT_EQ(currentLanguage(), 0);
}

TEST(StartPage, PageOptionSelectsItsButton)
{
    SAppOptions options = demoOptions();
    options.page = 4;
    CShellRun run(options);
    ASSERT_TRUE(run.start());
    CKorMultiPageCtrl* mpc = run.app().view()->multiPage();
    EXPECT_EQ(mpc->getActiveIndex(), CkorvanaView::kFirstPage + 4);
    EXPECT_TRUE(mpc->getButton(CkorvanaView::kFirstPage + 4)->isSelected());
    EXPECT_EQ(
        mpc->getButton(CkorvanaView::kFirstPage + 4)->getWindow()->property("text").toString(), QStringLiteral("Mapa"));
    run.app().document()->stopPolling();
}

// A page that shows one value of the settings image, read when it is activated.
class ImagePage : public CEmptyDlg {
public:
    ImagePage(int id, CLPGDevice& device)
        : CEmptyDlg(id)
        , m_device(device)
    {
    }
    void activate() override { shown = m_device.image().m_base.m_sparkDivider; }
    int shown = -1;

private:
    CLPGDevice& m_device;
};

TEST(PageRefresh, HiddenPagesNeverShowStaleValues)
{
    CkorvanaDoc doc;
    doc.setStartInDemo(true);
    CkorvanaView view(&doc);
    view.resize(900, 600);
    std::vector<ImagePage*> pages;
    view.pageFactory = [&](int index, const CPageContext& context) -> CGDIpMultiPageDialog* {
        EXPECT_EQ(&context.doc, &doc);
        EXPECT_EQ(&context.device, &doc.device());
        EXPECT_EQ(&context.relay, &doc.relay());
        auto* page = new ImagePage(300 + index, context.device);
        page->Create(view.multiPage());
        pages.push_back(page);
        return page;
    };
    view.OnCreate();
    // Before the window shows, only the buttons' pages and the first page are built.
    ASSERT_EQ(pages.size(), static_cast<std::size_t>(CkorvanaView::kFirstPage + 1));
    view.buildAllPages();
    ASSERT_EQ(pages.size(), static_cast<std::size_t>(CkorvanaView::kButtonCount));
    auto& divider = doc.device().liveImage().m_base.m_sparkDivider;
    const int active = CkorvanaView::kFirstPage;
    const int hidden = CkorvanaView::kFirstPage + 4;
    ASSERT_EQ(view.multiPage()->getActiveIndex(), active);

    // A file load changes the image: the active page reads it at once.
    divider = 5;
    doc.device().events().imageChanged(ImageBlock::All);
    EXPECT_EQ(pages[active]->shown, 5);
    EXPECT_NE(pages[hidden]->shown, 5);
    EXPECT_TRUE(view.isPageStale(hidden));
    EXPECT_FALSE(view.isPageStale(active));

    // The hidden page shows the new value when it is next shown.
    view.multiPage()->activatePage(hidden);
    EXPECT_EQ(pages[hidden]->shown, 5);
    EXPECT_FALSE(view.isPageStale(hidden));

    // A change raised on the polling thread arrives the same way.
    divider = 7;
    std::thread([&] { doc.device().events().imageChanged(ImageBlock::Base); }).join();
    ASSERT_TRUE(waitFor([&] { return pages[hidden]->shown == 7; }));
    view.multiPage()->activatePage(active);
    EXPECT_EQ(pages[active]->shown, 7);
    doc.stopPolling();
}

} // namespace
