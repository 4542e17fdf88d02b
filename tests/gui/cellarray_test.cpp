// SPDX-License-Identifier: GPL-3.0-or-later
// The owner-drawn cell grid: the cells init builds and the window it sizes,
// selection by click, drag and Shift+click from the anchor, in-place editing
// of headers under the edit flags, scaling, and a screenshot of the 19 × 15
// map grid with a selection and the operating-point marker, with the time a
// whole repaint takes at the size the grid has on a 1920 × 1080 screen.
#include "guitest.h"

#include <app/tuning/mapmodel.h>
#include <gradctrls/cellarray/cellarray.h>
#include <gradctrls/cellarray/cellarrayedit.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

QStringList rpmTexts()
{
    QStringList texts;
    for (double rpm : CSettingsImage().m_corrMap.m_rpmAxis)
        texts << QString::fromStdString(rpmText(rpm));
    return texts;
}

QStringList timeTexts()
{
    QStringList texts;
    for (double ms : CSettingsImage().m_corrMap.m_injTimeAxis)
        texts << QString::fromStdString(timeText(ms));
    return texts;
}

// The grid as the map page sets it up.
void initMapGrid(CCellArray& grid, unsigned flags = 6, CCellArrayEdit* editor = nullptr)
{
    QFont font("Tahoma");
    font.setPixelSize(12);
    grid.init(editor ? editor : new CCellArrayEdit, "ms", 25, 43, rpmTexts(), 25, 43, timeTexts(), 0, 0xC6C6C6, 0,
              0xDEDEDE, 0xA0FFA0, 0, &font, flags);
}

void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons buttons,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPointF local(at);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, local, w->mapToGlobal(local), button, buttons, modifiers);
    QApplication::sendEvent(w, &event);
}

QPoint centre(const CCell* cell)
{
    return QPoint((cell->left() + cell->right()) / 2, (cell->top() + cell->bottom()) / 2);
}

void press(CCellArray& grid, int row, int column, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPoint at = centre(grid.cellAt(row, column));
    mouse(&grid, QEvent::MouseButtonPress, at, Qt::LeftButton, modifiers);
    mouse(&grid, QEvent::MouseButtonRelease, at, Qt::NoButton, modifiers);
}

// Selected cells as (row, column) spans: top-left and bottom-right, or (−1…) when none.
QRect selectedSpan(const CCellArray& grid)
{
    QRect span;
    for (int r = 0; r < 19; ++r)
        for (int c = 0; c < 15; ++c)
            if (grid.cellAt(r, c)->isSel())
                span = span.isNull() ? QRect(c, r, 1, 1) : span.united(QRect(c, r, 1, 1));
    return span;
}

int selectedCount(const CCellArray& grid)
{
    int n = 0;
    for (const auto& row : grid.getTable())
        for (const auto* cell : row)
            n += cell->isSel();
    return n;
}

TEST(CellArray, InitBuildsTheMapGridAndSizesTheWindow)
{
    QWidget page;
    auto* grid = new CCellArray;
    ASSERT_TRUE(grid->Create(QRect(0, 0, 10, 10), &page, 1100));
    initMapGrid(*grid);
    guitest::showAndSettle(&page);
    EXPECT_EQ(grid->getColHdrs().size(), 15u);
    EXPECT_EQ(grid->getRowHdrs().size(), 19u);
    ASSERT_EQ(grid->getTable().size(), 19u);
    for (const auto& row : grid->getTable())
        ASSERT_EQ(row.size(), 15u);
    EXPECT_EQ(grid->size(), QSize(43 + 15 * 43 + 3, 25 + 19 * 25 + 3));
    EXPECT_EQ(grid->getFirstCell().getTxt(), "ms");
    EXPECT_EQ(grid->getColHdrs()[0]->rect(), QRect(43, 0, 43, 25));
    EXPECT_EQ(grid->getRowHdrs()[18]->rect(), QRect(0, 25 + 18 * 25, 43, 25));
    EXPECT_EQ(grid->cellAt(18, 14)->rect(), QRect(43 + 14 * 43, 25 + 18 * 25, 43, 25));
    EXPECT_EQ(grid->cellAt(0, 0)->getBkColor(), 0xDEDEDEu);
    EXPECT_EQ(grid->getColHdrs()[3]->getBkColor(), 0xC6C6C6u);
    EXPECT_EQ(grid->cellAt(0, 0)->markerSize(), 10);

    // Scaled with its container: the layout follows, the selection stays.
    press(*grid, 4, 4);
    guitest::resizeTo(grid, QSize(grid->baseSize().width() * 3 / 2, grid->baseSize().height() * 3 / 2));
    EXPECT_NEAR(grid->cellAt(18, 14)->right(), (43 + 15 * 43) * 1.5, 1);
    EXPECT_NEAR(grid->cellAt(18, 14)->bottom(), (25 + 19 * 25) * 1.5, 1);
    EXPECT_EQ(grid->cellAt(4, 5)->left(), grid->cellAt(4, 4)->right());
    EXPECT_TRUE(grid->cellAt(4, 4)->isSel());
}

TEST(CellArray, ClickToggleDragAndShiftClick)
{
    CCellArray grid;
    initMapGrid(grid);
    int changed = 0;
    QObject::connect(&grid, &CCellArray::selectionChanged, [&changed] { ++changed; });

    press(grid, 3, 5);
    EXPECT_TRUE(grid.cellAt(3, 5)->isSel());
    EXPECT_EQ(grid.anchorRow(), 3);
    EXPECT_EQ(grid.anchorColumn(), 5);
    press(grid, 3, 5); // a selected cell deselects and clears the anchor
    EXPECT_FALSE(grid.cellAt(3, 5)->isSel());
    EXPECT_EQ(grid.anchorRow(), -1);
    press(grid, 3, 5);
    EXPECT_TRUE(grid.cellAt(3, 5)->isSel());
    EXPECT_EQ(grid.anchorColumn(), 5);
    press(grid, 6, 8); // another cell: the only one
    EXPECT_EQ(selectedCount(grid), 1);
    EXPECT_EQ(changed, 4);

    // Shift+click spans from the anchor (6, 8).
    press(grid, 9, 4, Qt::ShiftModifier);
    EXPECT_EQ(selectedSpan(grid), QRect(4, 6, 5, 4));
    EXPECT_EQ(selectedCount(grid), 20);
    EXPECT_EQ(grid.anchorRow(), 6);

    // Drag right and down over a 3 × 2 block.
    const QPoint from = centre(grid.cellAt(2, 2));
    mouse(&grid, QEvent::MouseButtonPress, from, Qt::LeftButton);
    mouse(&grid, QEvent::MouseMove, centre(grid.cellAt(3, 4)), Qt::LeftButton);
    mouse(&grid, QEvent::MouseButtonRelease, centre(grid.cellAt(3, 4)), Qt::NoButton);
    EXPECT_EQ(selectedSpan(grid), QRect(2, 2, 3, 2));
    EXPECT_EQ(selectedCount(grid), 6);
    EXPECT_EQ(grid.getCtrlPos(), from);

    // Leftwards and upwards only cells holding both points count: within the
    // pressed cell that cell, beyond it none.
    const QPoint pressed = centre(grid.cellAt(10, 10));
    mouse(&grid, QEvent::MouseButtonPress, pressed, Qt::LeftButton);
    mouse(&grid, QEvent::MouseMove, pressed - QPoint(8, 5), Qt::LeftButton);
    EXPECT_EQ(selectedSpan(grid), QRect(10, 10, 1, 1));
    mouse(&grid, QEvent::MouseMove, centre(grid.cellAt(7, 6)), Qt::LeftButton);
    EXPECT_EQ(selectedCount(grid), 0);
    press(grid, 10, 10);

    // A press on a header leaves the selection alone.
    const int before = selectedCount(grid);
    mouse(&grid, QEvent::MouseButtonPress, centre(grid.getColHdrs()[2]), Qt::LeftButton);
    mouse(&grid, QEvent::MouseButtonPress, centre(&grid.getFirstCell()), Qt::LeftButton);
    EXPECT_EQ(selectedCount(grid), before);
}

TEST(CellArray, HeadersAreEditedInPlaceUnderTheFlags)
{
    QWidget page;
    auto* grid = new CCellArray;
    ASSERT_TRUE(grid->Create(QRect(0, 0, 10, 10), &page, 1100));
    initMapGrid(*grid, CCellArray::kEditRowHeaders);
    guitest::showAndSettle(&page);
    const QPoint columnHeader = centre(grid->getColHdrs()[4]);
    mouse(grid, QEvent::MouseButtonDblClick, columnHeader, Qt::LeftButton);
    EXPECT_EQ(grid->editedColumn(), -1); // column headers not editable
    EXPECT_FALSE(grid->editor()->edit()->isVisible());

    std::vector<std::pair<int, int>> edited;
    QObject::connect(grid, &CCellArray::headerEdited, [&edited](int row, int column) { edited.emplace_back(row, column); });
    CCell* rowHeader = grid->getRowHdrs()[2];
    const QString old = rowHeader->getTxt();
    mouse(grid, QEvent::MouseButtonDblClick, centre(rowHeader), Qt::LeftButton);
    ASSERT_EQ(grid->editedRow(), 2);
    QLineEdit* edit = grid->editor()->edit();
    EXPECT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->text(), old);
    EXPECT_EQ(edit->geometry(), rowHeader->rect().adjusted(1, 1, 0, 0));
    edit->setText("abc");
    guitest::pressKey(edit, Qt::Key_Escape);
    EXPECT_EQ(rowHeader->getTxt(), old);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_TRUE(edited.empty());

    mouse(grid, QEvent::MouseButtonDblClick, centre(rowHeader), Qt::LeftButton);
    edit->setText("4,4");
    guitest::pressKey(edit, Qt::Key_Return);
    EXPECT_EQ(rowHeader->getTxt(), "4,4");
    EXPECT_EQ(edited, (std::vector<std::pair<int, int>> { { 2, -1 } }));
    EXPECT_EQ(grid->editedRow(), -1);
}

// The map grid coloured from a sample map, a block selected and the engine's cell marked.
void colourFromModel(CCellArray& grid, CMapModel& model)
{
    for (int c = 0; c < kMapCols; ++c)
        for (int r = 0; r < kMapRows; ++r) {
            CCell* cell = grid.cellAt(r, c);
            cell->setTxt(QString::fromStdString(cellText(model.cellValue(c, r))));
            cell->setBkColor(model.background(c, r));
            cell->setCurrentCellColor(kMapMarkerColour);
            cell->setCurrent(model.currentCell() && model.currentCell()->column == c && model.currentCell()->row == r);
        }
}

TEST(CellArray, ScreenshotOfTheMapGridAndRepaintTime)
{
    CMapModel model;
    std::array<std::array<double, kMapCols>, kMapRows> table {};
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapCols; ++c)
            table[r][c] = std::lround(std::clamp(18 * std::sin(r / 5.0) - 2.2 * (c - 6) + (r > 14 ? -25 : 0), -50.0,
                                                 50.0));
    const CSettingsImage image;
    model.load(table, image.m_corrMap.m_injTimeAxis, image.m_corrMap.m_rpmAxis);
    model.markOperatingPoint(2700, 5.3);

    QWidget page;
    auto* grid = new CCellArray;
    ASSERT_TRUE(grid->Create(QRect(10, 10, 10, 10), &page, 1100));
    initMapGrid(*grid);
    colourFromModel(*grid, model);
    for (int r = 4; r <= 6; ++r)
        for (int c = 3; c <= 7; ++c)
            grid->cellAt(r, c)->setSel(true);
    page.resize(grid->width() + 20, grid->height() + 20);
    guitest::showAndSettle(&page);
    const QString small = guitest::saveScreenshot(grid, "cellarray_map_base");
    EXPECT_FALSE(small.isEmpty());

    // On 1920 × 1080 the page's font is −(√(w·h) ÷ 75) = 19 px and the grid scales with it.
    const double scale = 1440.0 / 75 / 12;
    QFont font("Tahoma");
    font.setPixelSize(19);
    grid->setFont(font);
    const QSize big(std::lround(grid->baseSize().width() * scale), std::lround(grid->baseSize().height() * scale));
    page.resize(big + QSize(20, 20));
    guitest::resizeTo(grid, big);
    const QString path = guitest::saveScreenshot(grid, "cellarray_map_1920x1080");
    EXPECT_FALSE(path.isEmpty());

    QImage target(grid->size(), QImage::Format_ARGB32_Premultiplied);
    const int rounds = 50;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i)
        grid->render(&target);
    const double ms = timer.nsecsElapsed() / 1e6 / rounds;
    std::printf("whole-grid repaint at %dx%d: %.2f ms\n", grid->width(), grid->height(), ms);
    RecordProperty("repaint_ms", std::to_string(ms));
}

} // namespace
