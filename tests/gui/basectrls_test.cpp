// SPDX-License-Identifier: GPL-3.0-or-later
// Base controls: a composite control placed from a placeholder by id, the
// in-place item editor's commit and cancel, and the number edits' parsing.
#include "guitest.h"

#include <basectrls/compctrl.h>
#include <basectrls/ctrlid.h>
#include <basectrls/floatedit.h>
#include <basectrls/intedit.h>
#include <basectrls/itemedit.h>
#include <basectrls/sortheaderctrl.h>

#include <QLabel>
#include <QStringList>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

TEST(CompCtrl, CreateFromStaticTakesPlaceholderRectAndId)
{
    QWidget page;
    page.resize(400, 300);
    auto* placeholder = new QLabel(&page);
    setCtrlId(placeholder, 1050);
    placeholder->setGeometry(20, 30, 120, 80);
    auto* ctrl = new CCompCtrl;
    ASSERT_TRUE(ctrl->CreateFromStatic(1050, &page));
    EXPECT_EQ(ctrl->geometry(), QRect(20, 30, 120, 80));
    EXPECT_EQ(ctrl->parentWidget(), &page);
    // The id is held once: the placeholder is gone and the control answers to it.
    EXPECT_EQ(guitest::findById(&page, 1050), ctrl);
    EXPECT_EQ(page.findChildren<QLabel*>().size(), 0);

    auto* other = new CCompCtrl;
    EXPECT_FALSE(other->CreateFromStatic(9999, &page));
    delete other;
}

TEST(CompCtrl, CreateNeedsParent)
{
    CCompCtrl orphan;
    EXPECT_FALSE(orphan.Create(QRect(0, 0, 10, 10), nullptr, 5));
    QWidget parent;
    auto* ctrl = new CCompCtrl;
    ASSERT_TRUE(ctrl->Create(QRect(5, 6, 70, 80), &parent, 7));
    EXPECT_EQ(ctrl->geometry(), QRect(5, 6, 70, 80));
    EXPECT_EQ(ctrlId(ctrl), 7);
}

TEST(ItemEdit, EnterCommitsEscapeCancels)
{
    QWidget grid;
    grid.resize(300, 200);
    guitest::showAndSettle(&grid);
    CItemEdit editor(new CIntEdit);
    ASSERT_TRUE(editor.create(&grid));
    QStringList committed;
    int cancelled = 0;
    QObject::connect(&editor, &CItemEdit::committed, [&](const QString& t) { committed << t; });
    QObject::connect(&editor, &CItemEdit::cancelled, [&] { ++cancelled; });

    editor.move(QRect(10, 10, 60, 20));
    editor.setText(QStringLiteral("42"));
    editor.show(true);
    EXPECT_TRUE(editor.getWindow()->isVisible());
    EXPECT_EQ(editor.getWindow()->geometry(), QRect(10, 10, 60, 20));
    guitest::pressKey(editor.getWindow(), Qt::Key_Return);
    ASSERT_EQ(committed.size(), 1);
    EXPECT_EQ(committed.at(0), QStringLiteral("42"));
    EXPECT_FALSE(editor.getWindow()->isVisible());

    editor.show(true);
    guitest::pressKey(editor.getWindow(), Qt::Key_Escape);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(committed.size(), 1);
    EXPECT_FALSE(editor.getWindow()->isVisible());
}

TEST(NumberEdits, ValuesInRangeOnly)
{
    CIntEdit i;
    i.setRange(-10, 250);
    i.setText(QStringLiteral("251"));
    EXPECT_FALSE(i.hasValue());
    EXPECT_EQ(i.value(-99), -99);
    i.setValue(-10);
    EXPECT_EQ(i.value(), -10);

    CFloatEdit f;
    f.setRange(0.0, 10.0);
    f.setDecimals(2);
    f.setText(QStringLiteral("3,25"));
    EXPECT_DOUBLE_EQ(f.value(), 3.25);
    f.setText(QStringLiteral("10.01"));
    EXPECT_FALSE(f.hasValue());
    f.setValue(1.5);
    EXPECT_EQ(f.text(), QStringLiteral("1.50"));
}

TEST(SortHeader, ArrowFollowsColumnAndDirection)
{
    CSortHeaderCtrl header;
    header.SetSortArrow(2, false);
    EXPECT_TRUE(header.isSortIndicatorShown());
    EXPECT_EQ(header.sortIndicatorSection(), 2);
    EXPECT_EQ(header.sortIndicatorOrder(), Qt::DescendingOrder);
    header.SetSortArrow(-1, true);
    EXPECT_FALSE(header.isSortIndicatorShown());
}

} // namespace
