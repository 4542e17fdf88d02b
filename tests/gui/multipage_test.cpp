// SPDX-License-Identifier: GPL-3.0-or-later
// The multi-page control: the page made active by insertion, activation by
// index and by button press (the order of deactivate and activate, a press on
// the active button), F1 to F8 from inside a page, titles, and the button
// column placed from the layout shares.
#include "guitest.h"

#include <gradctrls/multipage/gdipmultipagectrl.h>
#include <gradctrls/multipage/gdipmultipagedialog.h>
#include <gradctrls/multipage/gdipmultipagegradientbutton.h>

#include <QLineEdit>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

// A page with one edit (id 1000 + n) that logs the control's calls.
class LoggingPage : public CGDIpMultiPageDialog {
public:
    LoggingPage(int n, Log& log)
        : CGDIpMultiPageDialog(313 + n)
        , m_n(n)
        , m_log(log)
    {
    }
    void init() override { m_log.push_back("init " + std::to_string(m_n)); }
    void activate() override { m_log.push_back("activate " + std::to_string(m_n)); }
    void deactivate() override { m_log.push_back("deactivate " + std::to_string(m_n)); }

protected:
    void createControls() override
    {
        auto* edit = new QLineEdit(this);
        setCtrlId(edit, 1000 + m_n);
        edit->setGeometry(100, 100, 300, 30);
    }

private:
    int m_n;
    Log& m_log;
};

class MultiPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_ctrl = new CGDIpMultiPageCtrl;
        m_ctrl->setButtonFont(&m_font);
        ASSERT_TRUE(m_ctrl->Create(QRect(0, 0, 1000, 1000), &m_window, 100));
        m_window.resize(1000, 1000);
        guitest::showAndSettle(&m_window);
    }

    LoggingPage* insert(int n)
    {
        auto* page = new LoggingPage(n, m_log);
        page->setContainerFont(&m_font);
        EXPECT_TRUE(page->Create(m_ctrl));
        auto* button = new CGDIpMultiPageGradientButton;
        button->m_extent = 0.05;
        m_buttons.push_back(button);
        m_ctrl->insertPage(QStringLiteral("Page %1").arg(n), button, page);
        return page;
    }

    void insertPages(int count)
    {
        for (int i = 0; i < count; ++i)
            insert(i);
        guitest::settle();
        m_log.clear();
    }

    QFont m_font{QStringLiteral("DejaVu Sans"), 10};
    QWidget m_window;
    CGDIpMultiPageCtrl* m_ctrl = nullptr;
    std::vector<CGDIpMultiPageGradientButton*> m_buttons;
    Log m_log;
};

TEST_F(MultiPage, InsertingLeavesLastPageActiveAndShown)
{
    EXPECT_EQ(m_ctrl->getActivePage(), nullptr);
    EXPECT_EQ(m_ctrl->getActiveIndex(), -1);
    LoggingPage* pages[3] = {insert(0), insert(1), insert(2)};
    EXPECT_EQ(m_log, (Log{"init 0", "init 1", "init 2"}));
    EXPECT_EQ(m_ctrl->getPageCount(), 3);
    EXPECT_EQ(m_ctrl->getActivePage(), pages[2]);
    EXPECT_EQ(m_ctrl->getActiveIndex(), 2);
    EXPECT_FALSE(m_buttons[0]->isSelected());
    EXPECT_FALSE(m_buttons[1]->isSelected());
    EXPECT_TRUE(m_buttons[2]->isSelected());
    EXPECT_FALSE(pages[0]->isVisible());
    EXPECT_FALSE(pages[1]->isVisible());
    EXPECT_TRUE(pages[2]->isVisible());
    EXPECT_EQ(pages[2]->getIndex(), 2);
    // A page lives inside the control, never as a window of its own.
    EXPECT_FALSE(pages[2]->isWindow());
    EXPECT_EQ(pages[2]->parentWidget(), m_ctrl);
    EXPECT_EQ(pages[2]->getMPC(), m_ctrl);
}

TEST_F(MultiPage, PagesBuiltLaterAreBuiltOnceWhenFirstNeeded)
{
    insertPages(1);
    Log built;
    std::vector<LoggingPage*> pages(4, nullptr);
    for (int n = 1; n <= 3; ++n) {
        auto* button = new CGDIpMultiPageGradientButton;
        m_buttons.push_back(button);
        m_ctrl->insertPage(QStringLiteral("Page %1").arg(n), button, [this, n, &built, &pages]() -> CGDIpMultiPageDialog* {
            built.push_back("build " + std::to_string(n));
            auto* page = new LoggingPage(n, m_log);
            page->setContainerFont(&m_font);
            page->Create(m_ctrl);
            pages[static_cast<std::size_t>(n)] = page;
            return page;
        });
    }
    // Inserting one to build later leaves the shown page as it was.
    EXPECT_TRUE(built.empty());
    EXPECT_EQ(m_ctrl->getPageCount(), 4);
    EXPECT_EQ(m_ctrl->getActiveIndex(), 0);
    EXPECT_TRUE(m_buttons[0]->isSelected());
    EXPECT_FALSE(m_buttons[2]->isSelected());
    EXPECT_TRUE(m_ctrl->hasPendingPages());
    EXPECT_EQ(m_ctrl->getBuiltPage(2), nullptr);

    // Shown: built, placed in the page area and activated.
    m_ctrl->activatePage(2);
    EXPECT_EQ(built, (Log{"build 2"}));
    EXPECT_EQ(m_log, (Log{"init 2", "deactivate 0", "activate 2"}));
    EXPECT_TRUE(pages[2]->isVisible());
    EXPECT_EQ(pages[2]->geometry(), m_ctrl->getPageArea());
    EXPECT_EQ(pages[2]->getMPC(), m_ctrl);

    // Asked for: built hidden; the rest one at a time, each once.
    EXPECT_EQ(m_ctrl->getPage(3), pages[3]);
    EXPECT_FALSE(pages[3]->isVisible());
    EXPECT_EQ(m_ctrl->buildPendingPages(1), 1);
    EXPECT_EQ(built, (Log{"build 2", "build 3", "build 1"}));
    EXPECT_FALSE(m_ctrl->hasPendingPages());
    EXPECT_EQ(m_ctrl->buildPendingPages(5), 0);
    EXPECT_EQ(m_ctrl->getPage(1), pages[1]);
    EXPECT_EQ(m_ctrl->getActivePage(), pages[2]);
}

TEST_F(MultiPage, IndexOutsidePagesDoesNothing)
{
    insertPages(12);
    m_ctrl->activatePage(5);
    m_log.clear();
    m_ctrl->activatePage(12);
    m_ctrl->activatePage(-1);
    EXPECT_TRUE(m_log.empty());
    EXPECT_EQ(m_ctrl->getActiveIndex(), 5);
    EXPECT_EQ(m_ctrl->getPage(12), nullptr);
    EXPECT_EQ(m_ctrl->getPage(-1), nullptr);
    EXPECT_NE(m_ctrl->getPage(11), nullptr);
}

TEST_F(MultiPage, ButtonPressDeactivatesThenActivates)
{
    insertPages(3);
    guitest::click(m_buttons[0]);
    EXPECT_EQ(m_log, (Log{"deactivate 2", "activate 0"}));
    EXPECT_EQ(m_ctrl->getActiveIndex(), 0);
    EXPECT_TRUE(m_buttons[0]->isSelected());
    EXPECT_FALSE(m_buttons[2]->isSelected());
    EXPECT_TRUE(m_ctrl->getPage(0)->isVisible());
    EXPECT_FALSE(m_ctrl->getPage(2)->isVisible());
    // The window's focus child (it takes the focus whenever the window is active).
    EXPECT_EQ(m_window.focusWidget(), m_buttons[0]);
}

TEST_F(MultiPage, PressOnActiveButtonChangesNothing)
{
    insertPages(3);
    m_ctrl->activatePage(1);
    m_log.clear();
    guitest::click(m_buttons[1]);
    m_ctrl->activatePage(1);
    EXPECT_TRUE(m_log.empty());
    EXPECT_TRUE(m_buttons[1]->isSelected());
    EXPECT_TRUE(m_ctrl->getPage(1)->isVisible());
}

TEST_F(MultiPage, FunctionKeysFromInsideAnyPage)
{
    insertPages(12);
    for (int from : {0, 5, 11}) {
        m_ctrl->activatePage(from);
        QWidget* edit = guitest::findById(m_ctrl->getPage(from), 1000 + from);
        ASSERT_NE(edit, nullptr);
        guitest::pressKey(edit, Qt::Key_F3);
        EXPECT_EQ(m_ctrl->getActiveIndex(), 2) << "from page " << from;
        EXPECT_TRUE(m_ctrl->getPage(2)->isVisible());
    }
    QWidget* edit = guitest::findById(m_ctrl->getPage(2), 1002);
    guitest::pressKey(edit, Qt::Key_F9);
    EXPECT_EQ(m_ctrl->getActiveIndex(), 2);
    guitest::pressKey(edit, Qt::Key_F8);
    EXPECT_EQ(m_ctrl->getActiveIndex(), 7);
    guitest::pressKey(m_ctrl->getPage(7), Qt::Key_F1);
    EXPECT_EQ(m_ctrl->getActiveIndex(), 0);
    // With the focus on a page button the keys work as well.
    guitest::pressKey(m_buttons[0], Qt::Key_F5);
    EXPECT_EQ(m_ctrl->getActiveIndex(), 4);
}

TEST_F(MultiPage, FunctionKeyBeyondPagesDoesNothing)
{
    insertPages(3);
    guitest::pressKey(guitest::findById(m_ctrl->getPage(2), 1002), Qt::Key_F5);
    EXPECT_EQ(m_ctrl->getActiveIndex(), 2);
    EXPECT_TRUE(m_log.empty());
}

TEST_F(MultiPage, EscapeDoesNotCloseAPage)
{
    insertPages(2);
    guitest::pressKey(guitest::findById(m_ctrl->getPage(1), 1001), Qt::Key_Escape);
    EXPECT_TRUE(m_ctrl->getPage(1)->isVisible());
}

TEST_F(MultiPage, ChangeTitleOnlyForExistingPages)
{
    insertPages(3);
    m_ctrl->changeTitle(1, QStringLiteral("Ustawienia"));
    m_ctrl->changeTitle(3, QStringLiteral("nothing"));
    m_ctrl->changeTitle(-1, QStringLiteral("nothing"));
    EXPECT_EQ(m_buttons[0]->text(), QStringLiteral("Page 0"));
    EXPECT_EQ(m_buttons[1]->text(), QStringLiteral("Ustawienia"));
    EXPECT_EQ(m_buttons[2]->text(), QStringLiteral("Page 2"));
}

TEST_F(MultiPage, ButtonColumnFollowsLeadExtentAndInset)
{
    // The main view's first shares: a lead starts a new group, zero lead follows on.
    struct Share {
        double lead, extent, inset;
        int top, height;
    };
    const Share shares[] = {{0.1, 0.05, 0.0, 100, 50},  {0.0, 0.05, 0.0, 150, 50}, {0.0, 0.15, 0.0, 200, 150},
                            {0.51, 0.05, 0.5, 510, 50}, {0.0, 0.05, 0.0, 560, 50}};
    for (int i = 0; i < 5; ++i)
        insert(i);
    for (int i = 0; i < 5; ++i) {
        m_buttons[static_cast<size_t>(i)]->m_lead = shares[i].lead;
        m_buttons[static_cast<size_t>(i)]->m_extent = shares[i].extent;
        m_buttons[static_cast<size_t>(i)]->m_inset = shares[i].inset;
    }
    m_ctrl->resize(1000, 1000);
    m_ctrl->recalcLayout();
    const int fullWidth = m_buttons[0]->width();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(m_buttons[static_cast<size_t>(i)]->y(), shares[i].top) << i;
        EXPECT_EQ(m_buttons[static_cast<size_t>(i)]->height(), shares[i].height) << i;
    }
    // An inset of 0.5 takes a quarter of the width from each side.
    EXPECT_EQ(m_buttons[3]->width(), fullWidth - 2 * (fullWidth / 4));
    EXPECT_EQ(m_buttons[3]->x(), m_buttons[0]->x() + fullWidth / 4);

    // The pages fill the area right of the column, and scale with it.
    const QRect area = m_ctrl->getPageArea();
    EXPECT_GT(area.left(), m_buttons[0]->geometry().right());
    EXPECT_EQ(m_ctrl->getActivePage()->geometry(), area);
    m_ctrl->resize(500, 1000);
    EXPECT_EQ(m_ctrl->getActivePage()->geometry(), m_ctrl->getPageArea());
    EXPECT_EQ(m_buttons[0]->y(), 100);
}

TEST_F(MultiPage, BackgroundFollowsClientRectangle)
{
    // The main view adds its own grey panels this way.
    struct PanelCtrl : CGDIpMultiPageCtrl {
        void recalcBackground(const QRect& client) override
        {
            CGDIpMultiPageCtrl::recalcBackground(client);
            const int w = client.width();
            const int h = client.height();
            m_background.push_back({QRectF(w / 300, h / 200, w - 2 * (w / 300), h / 2 - 2 * (h / 200)),
                                    Qt::gray, Qt::darkGray, 0.0, QColor()});
        }
    };
    auto* ctrl = new PanelCtrl;
    ASSERT_TRUE(ctrl->Create(QRect(0, 0, 600, 400), &m_window, 101));
    ctrl->resize(900, 600);
    ASSERT_EQ(ctrl->getBackground().size(), 2u);
    EXPECT_EQ(ctrl->getBackground()[0].rect, QRectF(0, 0, 900, 600));
    EXPECT_EQ(ctrl->getBackground()[1].rect, QRectF(3, 3, 894, 294));
}

} // namespace
