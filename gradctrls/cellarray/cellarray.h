// SPDX-License-Identifier: GPL-3.0-or-later
// The owner-drawn grid: a corner cell, a row of column headers, a column of
// row headers and a table of body cells, all painted by the control. Blocks
// of body cells are selected with the mouse (click, drag, Shift+click from
// the anchor); header texts are edited in place through an attached editor
// when the edit flags allow it. The grid keeps its init-time layout and
// scales it to whatever size its container gives it.
//
// Cells are owned by the grid. The table is row-major: one row per row
// header, one cell per column header.
#pragma once

#include <gradctrls/cellarray/cell.h>
#include <gradctrls/dialogs/gdiptransparentcompctrl.h>

#include <QFont>
#include <QPoint>
#include <QSize>
#include <QStringList>

#include <memory>
#include <vector>

class CCellArrayEdit;

class CCellArray : public CGDIpTransparentCompCtrl {
    Q_OBJECT
public:
    // Edit flags.
    static constexpr unsigned kEditColumnHeaders = 0x02;
    static constexpr unsigned kEditRowHeaders = 0x04;

    CCellArray();
    ~CCellArray() override;

    // Builds every cell (see the .cpp for the order) and sizes the window to
    // the grid. The grid takes ownership of editor (may be null: no editing).
    void init(CCellArrayEdit* editor, const QString& cornerText, int headerHeight, int columnWidth,
              const QStringList& columnTexts, int rowHeight, int rowHeaderWidth, const QStringList& rowTexts,
              uint32_t headerTextColour, uint32_t headerBackColour, uint32_t cellTextColour, uint32_t cellBackColour,
              uint32_t selectedBackColour, uint32_t gridColour, const QFont* font, unsigned flags);
    void setFont(const QFont& font);
    // Ends an in-place edit: with commit the editor's text (CCellArrayEdit::getText)
    // becomes the cell's text; without, the editor gets the old text back.
    void hideEditCtrl(bool commit);
    // Deletes every cell and empties the vectors.
    virtual void v_cleanUp();

    CCell& getFirstCell() { return m_corner; }
    const std::vector<CCell*>& getColHdrs() const { return m_colHdrs; }
    const std::vector<CCell*>& getRowHdrs() const { return m_rowHdrs; }
    const std::vector<std::vector<CCell*>>& getTable() const { return m_table; }
    // The point of the last left-button press.
    QPoint getCtrlPos() const { return m_pressPoint; }
    // Row and column of the body cell last selected by a click; (−1, −1) for none.
    int anchorRow() const { return m_anchorRow; }
    int anchorColumn() const { return m_anchorColumn; }
    void setAnchor(int row, int column);
    CCellArrayEdit* editor() const { return m_editor.get(); }
    // The header being edited: column index (row −1) or row index (column −1); both −1 when none.
    int editedColumn() const { return m_editColumn; }
    int editedRow() const { return m_editRow; }
    const QFont& cellFont() const { return m_font; }

    // The body cell at (row, column), or null outside the table.
    CCell* cellAt(int row, int column) const;
    // Deselects every body cell (only changed cells repaint).
    void clearSelection();
    // The size init gave the window; the layout scales from it.
    QSize baseSize() const { return m_baseSize; }

signals:
    // The selection changed through the mouse.
    void selectionChanged();
    // An in-place edit of a header was committed (row −1 for a column header, column −1 for a row header).
    void headerEdited(int row, int column);

protected:
    virtual void v_draw(QPainter& painter);
    void v_recalcData(const QRect& client) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool onHeader(const QPoint& p) const;
    void selectSpan(int row1, int column1, int row2, int column2);
    void layout(double sx, double sy);
    void startEdit(CCell* cell, int row, int column);

    CCell m_corner { this, QRect() };
    std::vector<CCell*> m_colHdrs;
    std::vector<CCell*> m_rowHdrs;
    std::vector<std::vector<CCell*>> m_table;
    uint32_t m_cellBackColour = 0xFFFFFF;
    uint32_t m_selBackColour = 0xA0FFA0;
    QPoint m_pressPoint;
    std::unique_ptr<CCellArrayEdit> m_editor;
    CCell* m_editCell = nullptr;
    int m_editRow = -1;
    int m_editColumn = -1;
    QFont m_font;
    unsigned m_flags = 0;
    int m_anchorRow = -1;
    int m_anchorColumn = -1;
    // The init-time layout, scaled on every size change.
    int m_headerHeight = 0, m_columnWidth = 0, m_rowHeight = 0, m_rowHeaderWidth = 0;
    QSize m_baseSize;
};
