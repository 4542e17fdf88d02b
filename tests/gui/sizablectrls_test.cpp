// SPDX-License-Identifier: GPL-3.0-or-later
// Proportional scaling of children (gradient dialogs and composite controls):
// the 1600 x 1200 -> 800 x 600 case and truncation, an unchanged size, a child
// made after init, the combo box's closed height, init run twice, resizeCtrl,
// fonts handed to the children, and the creation order of composite controls.
#include "guitest.h"

#include <gradctrls/dialogs/gdipgradientcombobox.h>
#include <gradctrls/dialogs/gdipgradientdialog.h>
#include <gradctrls/dialogs/gdipstatic.h>
#include <gradctrls/dialogs/gdiptransparentcompctrl.h>
#include <gradctrls/dialogs/igdiphelper.h>

#include <QElapsedTimer>
#include <QFont>
#include <QLabel>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

QWidget* addChild(QWidget* parent, int id, const QRect& rect)
{
    auto* w = new QLabel(parent);
    setCtrlId(w, id);
    w->setGeometry(rect);
    return w;
}

// A dialog created at a reference size of w x h pixels, with children placed before creation ends.
class TestDialog : public CGDIpGradientDialog {
public:
    TestDialog(int w, int h, std::vector<std::pair<int, QRect>> children)
        : CGDIpGradientDialog(900)
        , m_children(std::move(children))
    {
        setDesignSize(QSize(w, h));
    }

protected:
    void createControls() override
    {
        for (const auto& [id, rect] : m_children)
            addChild(this, id, rect);
    }

private:
    std::vector<std::pair<int, QRect>> m_children;
};

std::unique_ptr<TestDialog> makeDialog(int w, int h, std::vector<std::pair<int, QRect>> children)
{
    auto dlg = std::make_unique<TestDialog>(w, h, std::move(children));
    EXPECT_TRUE(dlg->Create());
    guitest::showAndSettle(dlg.get());
    return dlg;
}

QRect edges(int l, int t, int r, int b)
{
    return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
}

TEST(Scaling, HalfSizePageHalvesEveryEdge)
{
    auto dlg = makeDialog(1600, 1200, {{1001, edges(100, 200, 300, 260)}});
    guitest::resizeTo(dlg.get(), QSize(800, 600));
    EXPECT_EQ(guitest::findById(dlg.get(), 1001)->geometry(), edges(50, 100, 150, 130));
}

TEST(Scaling, EdgesTruncateTowardZero)
{
    // Reference 1000 x 1000 shown at 333 x 667: sx = 0.333, sy = 0.667.
    struct Case {
        QRect recorded;
        QRect expected;
    };
    const Case cases[] = {
        // left 10*.333=3.33->3; right .333*20+3=9.66->9; top 10*.667=6.67->6; bottom .667*20+6=19.34->19
        {edges(10, 10, 30, 30), edges(3, 6, 9, 19)},
        {edges(0, 0, 1000, 1000), edges(0, 0, 333, 667)},
        // left 166.5->166; right .333*3+166=166.999->166 (the width truncates to nothing);
        // top 166.75->166; bottom .667*3+166=168.001->168
        {edges(500, 250, 503, 253), edges(166, 166, 166, 168)},
    };
    int id = 2000;
    std::vector<std::pair<int, QRect>> children;
    for (const Case& c : cases)
        children.push_back({id++, c.recorded});
    auto dlg = makeDialog(1000, 1000, children);
    guitest::resizeTo(dlg.get(), QSize(333, 667));
    id = 2000;
    for (const Case& c : cases)
        EXPECT_EQ(guitest::findById(dlg.get(), id++)->geometry(), c.expected) << "case " << id - 2000;
}

TEST(Scaling, SameSizeLeavesChildrenAlone)
{
    const QRect odd[] = {QRect(7, 13, 33, 19), QRect(101, 57, 211, 23), QRect(0, 0, 1, 1)};
    auto dlg = makeDialog(701, 503, {{1, odd[0]}, {2, odd[1]}, {3, odd[2]}});
    guitest::resizeTo(dlg.get(), QSize(350, 900));
    guitest::resizeTo(dlg.get(), QSize(701, 503));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(guitest::findById(dlg.get(), i + 1)->geometry(), odd[i]);
}

TEST(Scaling, ChildMadeAfterInitStaysUntilInitRunsAgain)
{
    auto dlg = makeDialog(1600, 1200, {{1001, edges(100, 200, 300, 260)}});
    QWidget* late = addChild(dlg.get(), 1500, QRect(40, 40, 80, 20));
    late->show();
    guitest::resizeTo(dlg.get(), QSize(800, 600));
    guitest::resizeTo(dlg.get(), QSize(1200, 900));
    EXPECT_EQ(late->geometry(), QRect(40, 40, 80, 20));

    // Recorded now, at 1200 x 900, against the 1600 x 1200 reference.
    dlg->ISizableCtrlsContainer::init();
    guitest::resizeTo(dlg.get(), QSize(800, 600));
    EXPECT_EQ(late->geometry(), QRect(20, 20, 40, 10));
}

TEST(Scaling, ChildrenWithoutIdAreNotTouched)
{
    auto dlg = makeDialog(1600, 1200, {});
    auto* anonymous = new QLabel(dlg.get());
    anonymous->setGeometry(10, 10, 100, 100);
    dlg->ISizableCtrlsContainer::init();
    guitest::resizeTo(dlg.get(), QSize(800, 600));
    EXPECT_EQ(anonymous->geometry(), QRect(10, 10, 100, 100));
    EXPECT_TRUE(dlg->getRecords().empty());
}

TEST(Scaling, ComboScalesClosedFieldNotList)
{
    struct ComboDialog : CGDIpGradientDialog {
        ComboDialog()
            : CGDIpGradientDialog(901)
        {
            setDesignSize(QSize(1600, 1200));
        }
        void createControls() override
        {
            combo = new CGDIpGradientComboBox(this);
            setCtrlId(combo, 1115);
            combo->addItems({"a", "b", "c"});
            combo->setMaxVisibleItems(12);
            // As a dialog template gives it: the rectangle reaches over the open list.
            combo->setGeometry(edges(100, 200, 300, 500));
            combo->setClosedHeight(60);
        }
        CGDIpGradientComboBox* combo = nullptr;
    } dlg;
    ASSERT_TRUE(dlg.Create());
    guitest::showAndSettle(&dlg);
    EXPECT_EQ(dlg.getRecords().front().bottom, 260);
    guitest::resizeTo(&dlg, QSize(800, 600));
    EXPECT_EQ(dlg.combo->geometry(), edges(50, 100, 150, 130));
    EXPECT_EQ(dlg.combo->maxVisibleItems(), 12);
    guitest::resizeTo(&dlg, QSize(3200, 2400));
    EXPECT_EQ(dlg.combo->height(), 120);
    EXPECT_EQ(dlg.combo->maxVisibleItems(), 12);
}

TEST(Scaling, InitTwiceAppendsAndLaterRecordWins)
{
    auto dlg = makeDialog(1000, 1000, {{1, edges(100, 100, 200, 200)}, {2, edges(300, 300, 400, 400)}});
    ASSERT_EQ(dlg->getRecords().size(), 2u);
    guitest::findById(dlg.get(), 1)->setGeometry(edges(500, 500, 600, 700));
    dlg->ISizableCtrlsContainer::init();
    EXPECT_EQ(dlg->getRecords().size(), 4u);
    guitest::resizeTo(dlg.get(), QSize(500, 500));
    EXPECT_EQ(guitest::findById(dlg.get(), 1)->geometry(), edges(250, 250, 300, 350));
    EXPECT_EQ(guitest::findById(dlg.get(), 2)->geometry(), edges(150, 150, 200, 200));
}

TEST(Scaling, ResizeCtrlGrowsFirstRecordOnly)
{
    auto dlg = makeDialog(1000, 1000, {{7, edges(100, 100, 200, 200)}});
    dlg->resizeCtrl(7, 100, 50);
    dlg->resizeCtrl(12345, 999, 999);
    guitest::resizeTo(dlg.get(), QSize(500, 500));
    EXPECT_EQ(guitest::findById(dlg.get(), 7)->geometry(), edges(50, 50, 150, 125));
}

TEST(Scaling, ZeroReferenceSizeLeavesChildrenAlone)
{
    auto dlg = makeDialog(1000, 1000, {{7, edges(100, 100, 200, 200)}});
    dlg->setOrygSize(0, 1000);
    guitest::resizeTo(dlg.get(), QSize(500, 500));
    EXPECT_EQ(guitest::findById(dlg.get(), 7)->geometry(), edges(100, 100, 200, 200));
}

TEST(Scaling, ContainerFontReachesChildren)
{
    QFont big(QStringLiteral("DejaVu Sans"), 21);
    struct FontDialog : CGDIpGradientDialog {
        FontDialog()
            : CGDIpGradientDialog(902)
        {
            setDesignSize(QSize(400, 300));
        }
        void createControls() override
        {
            text = new CGDIpStatic(this);
            setCtrlId(text, 5);
            text->setGeometry(10, 10, 100, 20);
            fixed = new CGDIpStatic(this);
            setCtrlId(fixed, 6);
            fixed->setGeometry(10, 40, 100, 20);
            fixed->setFollowContainerFont(false);
        }
        CGDIpStatic* text = nullptr;
        CGDIpStatic* fixed = nullptr;
    } dlg;
    dlg.setContainerFont(&big);
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.text->getOwnFont(), &big);
    EXPECT_EQ(dlg.text->font().pointSize(), 21);

    // A font that follows the window: the next resize hands the new height to every child.
    big.setPointSize(13);
    QFont other(QStringLiteral("DejaVu Sans"), 8);
    dlg.fixed->setOwnFont(&other);
    guitest::showAndSettle(&dlg);
    guitest::resizeTo(&dlg, QSize(200, 150));
    EXPECT_EQ(dlg.text->font().pointSize(), 13);
    EXPECT_EQ(dlg.fixed->getOwnFont(), &other);
}

TEST(Scaling, LargestPageResizesQuickly)
{
    // The advanced settings page holds 131 controls; a resize must stay well inside a frame.
    std::vector<std::pair<int, QRect>> children;
    for (int i = 0; i < 131; ++i)
        children.push_back({3000 + i, QRect((i % 10) * 110, (i / 10) * 70, 100, 30)});
    auto dlg = makeDialog(1200, 975, children);
    QElapsedTimer timer;
    timer.start();
    const int rounds = 40;
    for (int i = 0; i < rounds; ++i)
        guitest::resizeTo(dlg.get(), QSize(800 + (i % 2) * 400, 600 + (i % 2) * 300));
    const double perResize = double(timer.elapsed()) / rounds;
    std::printf("[ measure  ] 131 controls: %.2f ms per resize\n", perResize);
    EXPECT_LT(perResize, 50.0);
    guitest::resizeTo(dlg.get(), QSize(600, 1950));
    EXPECT_EQ(guitest::findById(dlg.get(), 3130)->geometry(), QRect(0, 1820, 50, 60));
}

TEST(GDIpHelper, StartCountsUsersAndTiffIsReadable)
{
    EXPECT_TRUE(IGDIpHelper::canReadTiff());
    ASSERT_TRUE(IGDIpHelper::startupGDIp());
    EXPECT_TRUE(IGDIpHelper::isStarted());
    ASSERT_TRUE(IGDIpHelper::startupGDIp());
    IGDIpHelper::shoutdownGDIp();
    EXPECT_TRUE(IGDIpHelper::isStarted());
    IGDIpHelper::shoutdownGDIp();
    EXPECT_FALSE(IGDIpHelper::isStarted());
    IGDIpHelper::shoutdownGDIp();
    EXPECT_FALSE(IGDIpHelper::isStarted());
}

// A composite control that logs its creation steps and makes one child in each.
class LoggingCompCtrl : public CGDIpTransparentCompCtrl {
public:
    std::vector<std::string> log;
    QWidget* scaled = nullptr;
    QWidget* own = nullptr;

protected:
    void createSizableCtrls() override
    {
        log.push_back("sizable");
        scaled = addChild(this, 5000, QRect(0, 0, width() / 2, height() / 2));
    }
    void createOwnCtrls() override
    {
        log.push_back("own records=" + std::to_string(getRecords().size()));
        own = addChild(this, 5001, QRect(1, 1, 10, 10));
    }
    void v_recalcData(const QRect& client) override
    {
        log.push_back("data " + std::to_string(client.width()) + "x" + std::to_string(client.height()));
    }
};

TEST(CompCtrlScaling, CreationOrderAndScaledChildren)
{
    QWidget page;
    page.resize(800, 600);
    auto* ctrl = new LoggingCompCtrl;
    ASSERT_TRUE(ctrl->Create(QRect(10, 10, 200, 100), &page, 1200));
    ASSERT_GE(ctrl->log.size(), 2u);
    EXPECT_EQ(ctrl->log[0], "sizable");
    // The own children come after the records were taken, so they have none.
    EXPECT_EQ(ctrl->log[1], "own records=1");
    EXPECT_EQ(ctrl->getOrygSize(), QSize(200, 100));

    guitest::showAndSettle(&page);
    ctrl->log.clear();
    ctrl->resize(400, 50);
    EXPECT_EQ(ctrl->scaled->geometry(), QRect(0, 0, 200, 25));
    EXPECT_EQ(ctrl->own->geometry(), QRect(1, 1, 10, 10));
    ASSERT_FALSE(ctrl->log.empty());
    EXPECT_EQ(ctrl->log.back(), "data 400x50");
}

TEST(CompCtrlScaling, FromPlaceholderTakesItsSizeAsReference)
{
    QWidget page;
    addChild(&page, 1300, QRect(30, 40, 300, 200));
    auto* ctrl = new LoggingCompCtrl;
    ASSERT_TRUE(ctrl->CreateFromStatic(1300, &page));
    EXPECT_EQ(ctrl->geometry(), QRect(30, 40, 300, 200));
    EXPECT_EQ(ctrl->getOrygSize(), QSize(300, 200));
    EXPECT_EQ(ctrl->scaled->geometry(), QRect(0, 0, 150, 100));
}

} // namespace
