// SPDX-License-Identifier: GPL-3.0-or-later
// The map grid as a control, without a controller: keys and the mouse select
// blocks in the model, steps show in the cells' texts and colours, the header
// editor keeps the axis rules, the operating point leaves a fading trail, and
// the page font reaches the cells. The page's font rule.
#include "guitest.h"

#include <app/shell/mapadlg.h>
#include <app/shell/maparray.h>
#include <gradctrls/cellarray/cellarrayedit.h>
#include <app/shell/mapedit.h>
#include <app/tuning/mapaxes.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace {

class MapGrid : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFont font;
        font.setPixelSize(12);
        m_grid.initGrid(font);
        // What a page refresh does: the (empty) map with its colours.
        const CSettingsImage defaults;
        m_grid.model().load(defaults.m_corrMap.m_injMapTable, defaults.m_corrMap.m_injTimeAxis,
                            defaults.m_corrMap.m_rpmAxis);
        m_grid.syncFromModel();
        guitest::showAndSettle(&m_grid);
    }

    QPoint centre(int column, int row) const { return m_grid.cellAt(row, column)->rect().center(); }
    QString text(int column, int row) const { return m_grid.cellAt(row, column)->getTxt(); }

    void doubleClick(const QPoint& p)
    {
        QMouseEvent press(QEvent::MouseButtonPress, p, m_grid.mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&m_grid, &press);
        QMouseEvent dbl(QEvent::MouseButtonDblClick, p, m_grid.mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(&m_grid, &dbl);
    }

    // Types text into the header editor opened at p and presses Enter.
    void editHeader(const QPoint& p, const QString& typed)
    {
        doubleClick(p);
        ASSERT_NE(m_grid.editor(), nullptr);
        QLineEdit* edit = m_grid.editor()->edit();
        ASSERT_TRUE(edit && edit->isVisible());
        edit->setText(typed);
        guitest::pressKey(edit, Qt::Key_Return);
        guitest::settle();
    }

    CMapArray m_grid { nullptr };
};

TEST_F(MapGrid, KeysSelectABlockAndStepOnlyIt)
{
    // Nothing selected: Ctrl+Up changes nothing.
    guitest::pressKey(&m_grid, Qt::Key_Up, Qt::ControlModifier);
    for (int c = 0; c < kMapCols; ++c)
        for (int r = 0; r < kMapRows; ++r)
            ASSERT_EQ(text(c, r), QStringLiteral("0"));

    // A click, then Shift+Right twice and Shift+Down: three columns by two rows.
    guitest::click(&m_grid, centre(2, 3));
    ASSERT_TRUE(m_grid.model().isSelected(2, 3));
    guitest::pressKey(&m_grid, Qt::Key_Right, Qt::ShiftModifier);
    guitest::pressKey(&m_grid, Qt::Key_Right, Qt::ShiftModifier);
    guitest::pressKey(&m_grid, Qt::Key_Down, Qt::ShiftModifier);
    ASSERT_EQ(m_grid.model().selectionRect(), (MapRect { 2, 3, 4, 4 }));

    guitest::pressKey(&m_grid, Qt::Key_Up, Qt::ControlModifier);
    guitest::pressKey(&m_grid, Qt::Key_Up, Qt::ControlModifier);
    guitest::pressKey(&m_grid, Qt::Key_Down, Qt::ControlModifier);
    for (int c = 0; c < kMapCols; ++c)
        for (int r = 0; r < kMapRows; ++r) {
            const bool inside = c >= 2 && c <= 4 && r >= 3 && r <= 4;
            ASSERT_EQ(text(c, r), inside ? QStringLiteral("1") : QStringLiteral("0")) << c << "," << r;
            ASSERT_EQ(m_grid.cellAt(r, c)->getBkColor(), valueColour(inside ? 1 : 0));
            ASSERT_EQ(m_grid.cellAt(r, c)->isSel(), inside);
        }

    // A plain arrow moves a single-cell selection from the block's first cell.
    guitest::pressKey(&m_grid, Qt::Key_Left);
    EXPECT_EQ(m_grid.model().selectionRect(), (MapRect { 1, 3, 1, 3 }));
    EXPECT_TRUE(m_grid.cellAt(3, 1)->isSel());
    EXPECT_FALSE(m_grid.cellAt(3, 2)->isSel());

    // A drag selects by the mouse; the model follows it.
    guitest::click(&m_grid, centre(10, 10));
    EXPECT_EQ(m_grid.model().selectionRect(), (MapRect { 10, 10, 10, 10 }));
    EXPECT_EQ(m_grid.model().anchor(), (MapCell { 10, 10 }));
}

TEST_F(MapGrid, CopyAndPasteWithoutAController)
{
    m_grid.model().selectRect({ 0, 0, 1, 1 });
    m_grid.syncFromModel();
    guitest::pressKey(&m_grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("ms\t500\t1000\n2.0\t0\t0\n3.0\t0\t0\n"));

    QApplication::clipboard()->setText(QStringLiteral("1\t2\t3\t4\n5\t6\t7\t8\n9\t10\t11\t-60\n"));
    m_grid.model().selectRect({ 5, 6, 5, 6 });
    m_grid.syncFromModel();
    guitest::pressKey(&m_grid, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(text(5, 6), QStringLiteral("1"));
    EXPECT_EQ(text(8, 6), QStringLiteral("4"));
    EXPECT_EQ(text(8, 8), QStringLiteral("-50")) << "clamped";
    EXPECT_EQ(text(9, 8), QStringLiteral("0"));
    EXPECT_EQ(m_grid.model().selectionRect(), (MapRect { 5, 6, 8, 8 }));
}

TEST_F(MapGrid, HeaderEditorKeepsTheAxisRules)
{
    // The time axis here is 2.0, 3.0, … 20.0.
    editHeader(m_grid.getRowHdrs()[0]->rect().center(), QStringLiteral("3,5"));
    EXPECT_EQ(m_grid.getRowHdrs()[0]->getTxt(), QStringLiteral("2.8"));
    editHeader(m_grid.getRowHdrs()[18]->rect().center(), QStringLiteral("60"));
    EXPECT_EQ(m_grid.getRowHdrs()[18]->getTxt(), QStringLiteral("50.0"));
    editHeader(m_grid.getColHdrs()[14]->rect().center(), QStringLiteral("8400"));
    EXPECT_EQ(m_grid.getColHdrs()[14]->getTxt(), QStringLiteral("8000"));
    editHeader(m_grid.getColHdrs()[0]->rect().center(), QStringLiteral("250"));
    EXPECT_EQ(m_grid.getColHdrs()[0]->getTxt(), QStringLiteral("500"));
    // The arrows belong to the editor while it is open.
    doubleClick(m_grid.getColHdrs()[3]->rect().center());
    m_grid.model().selectRect({ 4, 4, 4, 4 });
    m_grid.syncFromModel();
    guitest::pressKey(&m_grid, Qt::Key_Left);
    EXPECT_EQ(m_grid.model().selectionRect(), (MapRect { 4, 4, 4, 4 }));
    m_grid.hideEditCtrl(false);
}

TEST_F(MapGrid, OperatingPointMarksItsCellAndLeavesAFadingTrail)
{
    // Past both axes: the last cell.
    m_grid.markOperatingPoint(9000, 60);
    EXPECT_TRUE(m_grid.cellAt(18, 14)->isCurrent());
    EXPECT_EQ(m_grid.cellAt(18, 14)->getCurrentCellColor(), kMapMarkerColour);

    // Twelve points along the diagonal: the marker on the last, ten cells in the trail.
    for (int i = 0; i < 12; ++i)
        m_grid.markOperatingPoint(600 + 500 * i, 2.5 + i);
    ASSERT_EQ(m_grid.model().trail().size(), CMapModel::kTrailLength);
    int current = 0;
    for (const auto& row : m_grid.getTable())
        for (const CCell* cell : row)
            current += cell->isCurrent();
    EXPECT_EQ(current, 1);
    const MapCell newest = m_grid.model().trail()[0];
    EXPECT_TRUE(m_grid.cellAt(newest.row, newest.column)->isCurrent());

    // Older trail cells carry a thin outline that fades: the second is darker than the ninth; the
    // inside of a trail cell, where its number stands, keeps the cell's own background.
    const QImage image = m_grid.grab().toImage();
    const auto cellRect = [&](std::size_t i) {
        const MapCell cell = m_grid.model().trail()[i];
        return m_grid.cellAt(cell.row, cell.column)->rect();
    };
    const auto outlineAt = [&](std::size_t i) {
        const QRect r = cellRect(i);
        return image.pixelColor(r.left() + 2, r.center().y());
    };
    EXPECT_LT(outlineAt(1).green(), 200) << "a trail cell carries an outline";
    EXPECT_LT(outlineAt(1).green(), outlineAt(8).green()) << "the older, the fainter";
    EXPECT_EQ(image.pixelColor(cellRect(1).left() + 4, cellRect(1).top() + 4), CCell::toQColor(valueColour(0)));
    // The marker is a frame inside the cell's border: the middle of the cell stays free for the number.
    const QRect marked = m_grid.cellAt(newest.row, newest.column)->rect();
    EXPECT_EQ(image.pixelColor(marked.left() + 1, marked.center().y()), CCell::toQColor(kMapMarkerColour));
    EXPECT_EQ(image.pixelColor(marked.left() + 8, marked.center().y()),
              CCell::toQColor(valueColour(0)));
    // A cell never visited keeps its plain background there.
    const QRect plain = m_grid.cellAt(18, 0)->rect();
    EXPECT_EQ(image.pixelColor(plain.left() + 2, plain.center().y()), CCell::toQColor(valueColour(0)));
}

TEST_F(MapGrid, GreyModeDarkensVisitedCellsAndValueModeComesBack)
{
    m_grid.setCellValue(3, 3, 20);
    m_grid.setColourMode(0);
    for (const auto& row : m_grid.getTable())
        for (const CCell* cell : row)
            ASSERT_EQ(cell->getBkColor(), kMapGrey);
    // Leaving a cell leaves it one step darker.
    m_grid.markOperatingPoint(600, 2.5); // column 1, row 1
    m_grid.markOperatingPoint(4100, 10.5);
    EXPECT_EQ(m_grid.cellAt(1, 1)->getBkColor(), darkenColour(kMapGrey, 5.0));
    EXPECT_EQ(m_grid.cellAt(3, 3)->getBkColor(), kMapGrey);
    m_grid.setColourMode(1);
    EXPECT_EQ(m_grid.cellAt(3, 3)->getBkColor(), valueColour(20));
    EXPECT_EQ(m_grid.cellAt(1, 1)->getBkColor(), valueColour(0));
}

TEST_F(MapGrid, PageFontReachesTheCells)
{
    QFont font;
    font.setPixelSize(21);
    static_cast<QWidget&>(m_grid).setFont(font);
    EXPECT_EQ(m_grid.cellFont().pixelSize(), 21);
}

TEST(MapaFont, FollowsTheClientArea)
{
    EXPECT_EQ(CMapaDlg::fontPixelHeight(1200, 975), 14); // √1170000 / 75 = 14.4
    EXPECT_EQ(CMapaDlg::fontPixelHeight(1500, 1000), 16);
    EXPECT_EQ(CMapaDlg::fontPixelHeight(10, 10), 1) << "never a zero font";
}

} // namespace
