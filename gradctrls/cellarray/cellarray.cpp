// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/cellarray/cellarray.h>
#include <gradctrls/dialogs/paintedtext.h>

#include <gradctrls/cellarray/cellarrayedit.h>

#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

CCellArray::CCellArray() = default;

CCellArray::~CCellArray()
{
    v_cleanUp();
}

void CCellArray::v_cleanUp()
{
    m_editCell = nullptr;
    m_editRow = m_editColumn = -1;
    for (auto* cell : m_colHdrs)
        delete cell;
    for (auto* cell : m_rowHdrs)
        delete cell;
    for (auto& row : m_table)
        for (auto* cell : row)
            delete cell;
    m_colHdrs.clear();
    m_rowHdrs.clear();
    m_table.clear();
    m_anchorRow = m_anchorColumn = -1;
}

void CCellArray::init(CCellArrayEdit* editor, const QString& cornerText, int headerHeight, int columnWidth,
                      const QStringList& columnTexts, int rowHeight, int rowHeaderWidth, const QStringList& rowTexts,
                      uint32_t headerTextColour, uint32_t headerBackColour, uint32_t cellTextColour,
                      uint32_t cellBackColour, uint32_t selectedBackColour, uint32_t gridColour, const QFont* font,
                      unsigned flags)
{
    v_cleanUp();
    // 1. Font and flags.
    if (font)
        setFont(*font);
    m_flags = flags;
    // 2. The editor: the previous one goes, the new one is attached to this grid.
    if (editor && editor != m_editor.get()) {
        m_editor.reset(editor);
        m_editor->create(this);
    }
    // 3. Body colours.
    m_cellBackColour = cellBackColour;
    m_selBackColour = selectedBackColour;
    m_headerHeight = headerHeight;
    m_columnWidth = columnWidth;
    m_rowHeight = rowHeight;
    m_rowHeaderWidth = rowHeaderWidth;

    const auto header = [&](CCell* cell, const QString& text) {
        cell->setTxt(text);
        cell->setBkColor(headerBackColour);
        cell->setTxtColor(headerTextColour);
        cell->setGridColor(gridColour);
        cell->setSelBkColor(selectedBackColour);
    };
    // 4. The corner.
    m_corner.setRect(QRect(0, 0, rowHeaderWidth, headerHeight));
    header(&m_corner, cornerText);
    // 5. Column headers from x = rowHeaderWidth.
    int x = rowHeaderWidth;
    for (const QString& text : columnTexts) {
        auto* cell = new CCell(this, QRect(x, 0, columnWidth, headerHeight));
        header(cell, text);
        m_colHdrs.push_back(cell);
        x += columnWidth;
    }
    // 6. Row headers from y = headerHeight.
    int y = headerHeight;
    for (const QString& text : rowTexts) {
        auto* cell = new CCell(this, QRect(0, y, rowHeaderWidth, rowHeight));
        header(cell, text);
        m_rowHdrs.push_back(cell);
        y += rowHeight;
    }
    // 7. The table, row by row.
    for (const CCell* rowHdr : m_rowHdrs) {
        std::vector<CCell*> row;
        for (const CCell* colHdr : m_colHdrs) {
            auto* cell = new CCell(this, QRect(colHdr->left(), rowHdr->top(), columnWidth, rowHeight));
            cell->setBkColor(cellBackColour);
            cell->setTxtColor(cellTextColour);
            cell->setSelBkColor(selectedBackColour);
            cell->setGridColor(gridColour);
            row.push_back(cell);
        }
        m_table.push_back(std::move(row));
    }
    // 8. The window fits the grid.
    const int right = m_colHdrs.empty() ? rowHeaderWidth : m_colHdrs.back()->right();
    const int bottom = m_rowHdrs.empty() ? headerHeight : m_rowHdrs.back()->bottom();
    m_baseSize = QSize(right + 3, bottom + 3);
    resize(m_baseSize);
    layout(1, 1);
    update();
}

void CCellArray::setFont(const QFont& font)
{
    m_font = font;
    QWidget::setFont(font);
    update();
}

void CCellArray::setAnchor(int row, int column)
{
    m_anchorRow = row;
    m_anchorColumn = column;
}

CCell* CCellArray::cellAt(int row, int column) const
{
    if (row < 0 || row >= static_cast<int>(m_table.size()) || column < 0
        || column >= static_cast<int>(m_table[row].size()))
        return nullptr;
    return m_table[row][column];
}

void CCellArray::clearSelection()
{
    for (auto& row : m_table)
        for (auto* cell : row)
            cell->setSel(false);
}

void CCellArray::layout(double sx, double sy)
{
    const auto X = [sx](int v) { return static_cast<int>(std::lround(v * sx)); };
    const auto Y = [sy](int v) { return static_cast<int>(std::lround(v * sy)); };
    const auto place = [](CCell* cell, int l, int t, int r, int b) { cell->setRect(QRect(l, t, r - l, b - t)); };
    place(&m_corner, 0, 0, X(m_rowHeaderWidth), Y(m_headerHeight));
    for (std::size_t c = 0; c < m_colHdrs.size(); ++c) {
        const int l = X(m_rowHeaderWidth + static_cast<int>(c) * m_columnWidth);
        const int r = X(m_rowHeaderWidth + static_cast<int>(c + 1) * m_columnWidth);
        place(m_colHdrs[c], l, 0, r, Y(m_headerHeight));
    }
    for (std::size_t rr = 0; rr < m_rowHdrs.size(); ++rr) {
        const int t = Y(m_headerHeight + static_cast<int>(rr) * m_rowHeight);
        const int b = Y(m_headerHeight + static_cast<int>(rr + 1) * m_rowHeight);
        place(m_rowHdrs[rr], 0, t, X(m_rowHeaderWidth), b);
        for (std::size_t c = 0; c < m_table[rr].size(); ++c)
            place(m_table[rr][c], m_colHdrs[c]->left(), t, m_colHdrs[c]->right(), b);
    }
    if (m_editCell && m_editor)
        m_editor->move(m_editCell->rect().adjusted(1, 1, 0, 0));
}

void CCellArray::v_recalcData(const QRect& client)
{
    if (m_baseSize.isEmpty() || client.isEmpty())
        return;
    layout(double(client.width()) / m_baseSize.width(), double(client.height()) / m_baseSize.height());
}

void CCellArray::paintEvent(QPaintEvent* event)
{
    CGDIpTransparentCompCtrl::paintEvent(event);
    QPainter painter(this);
    painter.setFont(m_font);
    v_draw(painter);
}

void CCellArray::v_draw(QPainter& painter)
{
    m_corner.paint(painter);
    for (const auto* cell : m_colHdrs)
        cell->paint(painter);
    for (const auto* cell : m_rowHdrs)
        cell->paint(painter);
    for (const auto& row : m_table)
        for (const auto* cell : row)
            cell->paint(painter);
    if (paintedtext::recording()) {
        const auto note = [this](const CCell* cell) { paintedtext::note(this, cell->getTxt(), cell->rect()); };
        note(&m_corner);
        for (const auto* cell : m_colHdrs)
            note(cell);
        for (const auto* cell : m_rowHdrs)
            note(cell);
        for (const auto& row : m_table)
            for (const auto* cell : row)
                note(cell);
    }
}

bool CCellArray::onHeader(const QPoint& p) const
{
    if (m_corner.containsWithBorder(p))
        return true;
    for (const auto* cell : m_colHdrs)
        if (cell->containsWithBorder(p))
            return true;
    for (const auto* cell : m_rowHdrs)
        if (cell->containsWithBorder(p))
            return true;
    return false;
}

void CCellArray::selectSpan(int row1, int column1, int row2, int column2)
{
    const int r1 = std::min(row1, row2), r2 = std::max(row1, row2);
    const int c1 = std::min(column1, column2), c2 = std::max(column1, column2);
    for (int r = 0; r < static_cast<int>(m_table.size()); ++r)
        for (int c = 0; c < static_cast<int>(m_table[r].size()); ++c)
            m_table[r][c]->setSel(r >= r1 && r <= r2 && c >= c1 && c <= c2);
}

void CCellArray::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        CGDIpTransparentCompCtrl::mousePressEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint();
    m_pressPoint = p;
    if (m_editCell)
        hideEditCtrl(true);
    if (onHeader(p))
        return;
    for (int r = 0; r < static_cast<int>(m_table.size()); ++r) {
        for (int c = 0; c < static_cast<int>(m_table[r].size()); ++c) {
            CCell* hit = m_table[r][c];
            if (!hit->containsStrictly(p))
                continue;
            if ((event->modifiers() & Qt::ShiftModifier) && m_anchorRow >= 0 && m_anchorColumn >= 0) {
                selectSpan(m_anchorRow, m_anchorColumn, r, c);
            } else {
                const bool select = !hit->isSel();
                for (auto& row : m_table)
                    for (auto* cell : row)
                        if (cell != hit)
                            cell->setSel(false);
                hit->setSel(select);
                if (select)
                    setAnchor(r, c);
                else
                    setAnchor(-1, -1);
            }
            emit selectionChanged();
            return;
        }
    }
}

void CCellArray::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint p = event->position().toPoint();
    if (onHeader(p) || onHeader(m_pressPoint))
        return;
    bool changed = false;
    for (auto& row : m_table) {
        for (auto* cell : row) {
            const bool inside = cell->right() >= m_pressPoint.x() && cell->bottom() >= m_pressPoint.y()
                                && cell->left() <= p.x() && cell->top() <= p.y();
            changed = changed || inside != cell->isSel();
            cell->setSel(inside);
        }
    }
    if (changed)
        emit selectionChanged();
}

void CCellArray::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!m_editor || event->button() != Qt::LeftButton)
        return;
    const QPoint p = event->position().toPoint();
    if (m_flags & kEditColumnHeaders) {
        for (int c = 0; c < static_cast<int>(m_colHdrs.size()); ++c)
            if (m_colHdrs[c]->containsWithBorder(p)) {
                startEdit(m_colHdrs[c], -1, c);
                return;
            }
    }
    if (m_flags & kEditRowHeaders) {
        for (int r = 0; r < static_cast<int>(m_rowHdrs.size()); ++r)
            if (m_rowHdrs[r]->containsWithBorder(p)) {
                startEdit(m_rowHdrs[r], r, -1);
                return;
            }
    }
}

void CCellArray::startEdit(CCell* cell, int row, int column)
{
    m_editor->setText(cell->getTxt());
    m_editor->move(cell->rect().adjusted(1, 1, 0, 0));
    if (QWidget* window = m_editor->getWindow())
        window->setFont(m_font);
    m_editCell = cell;
    m_editRow = row;
    m_editColumn = column;
    m_editor->show(true);
}

void CCellArray::hideEditCtrl(bool commit)
{
    if (!m_editCell || !m_editor)
        return;
    CCell* cell = m_editCell;
    const int row = m_editRow;
    const int column = m_editColumn;
    // Cleared first: hiding the editor moves the focus, which would commit again.
    m_editCell = nullptr;
    m_editRow = m_editColumn = -1;
    if (commit) {
        cell->setTxt(m_editor->getText());
        m_editor->setText(QString());
        m_editor->show(false);
        update();
        emit headerEdited(row, column);
    } else {
        m_editor->setText(cell->getTxt());
        m_editor->show(false);
    }
}
