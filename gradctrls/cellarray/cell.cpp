// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/cellarray/cell.h>

#include <gradctrls/cellarray/cellarray.h>

#include <QPainter>

#include <algorithm>

CCell::CCell(CCellArray* owner, const QRect& rect)
    : m_owner(owner)
    , m_rect(rect)
{
}

CCell::~CCell() = default;

QColor CCell::toQColor(uint32_t colour)
{
    return QColor(colour & 0xFF, colour >> 8 & 0xFF, colour >> 16 & 0xFF);
}

void CCell::repaint() const
{
    if (m_owner)
        m_owner->update(m_rect.adjusted(0, 0, 1, 1));
}

void CCell::setSel(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    repaint();
}

void CCell::setCurrent(bool current)
{
    if (m_current == current)
        return;
    m_current = current;
    repaint();
}

void CCell::setTxt(const QString& text)
{
    if (m_text == text)
        return;
    m_text = text;
    repaint();
}

void CCell::setBkColor(uint32_t colour)
{
    if (m_bkColour == colour)
        return;
    m_bkColour = colour;
    repaint();
}

void CCell::setSelBkColor(uint32_t colour)
{
    m_selBkColour = colour;
    if (m_selected)
        repaint();
}

void CCell::setTxtColor(uint32_t colour)
{
    m_txtColour = colour;
    repaint();
}

void CCell::setGridColor(uint32_t colour)
{
    m_gridColour = colour;
    repaint();
}

void CCell::setCurrentCellColor(uint32_t colour)
{
    m_markerColour = colour;
    if (m_current)
        repaint();
}

bool CCell::containsWithBorder(const QPoint& p) const
{
    return left() - 1 < p.x() && p.x() < right() + 1 && top() - 1 < p.y() && p.y() < bottom() + 1;
}

bool CCell::containsStrictly(const QPoint& p) const
{
    return left() < p.x() && p.x() < right() && top() < p.y() && p.y() < bottom();
}

void CCell::paint(QPainter& painter) const
{
    const int w = m_rect.width();
    const int h = m_rect.height();
    // The border takes the pixel right of and below the cell, where the next cell's border lies.
    painter.fillRect(QRect(left(), top(), w + 1, h + 1), toQColor(m_bkColour));
    painter.setPen(toQColor(m_gridColour));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(left(), top(), w, h));
    if (m_selected)
        painter.fillRect(QRect(left() + 1, top() + 1, w - 1, h - 1), toQColor(m_selBkColour));
    if (!m_text.isEmpty()) {
        painter.setPen(toQColor(m_txtColour));
        painter.drawText(m_rect, Qt::AlignCenter, m_text);
    }
    if (!m_current)
        return;
    if (m_markerStyle == MarkerStyle::Square) {
        painter.fillRect(QRect(left() + 5, top() + 5, m_markerSize, m_markerSize), toQColor(m_markerColour));
        return;
    }
    // Three pixels inside the border: thick enough to see across the room, clear of a centred number.
    const int t = std::max(2, std::min(w, h) / 8);
    const QColor colour = toQColor(m_markerColour);
    painter.fillRect(QRect(left() + 1, top() + 1, w - 1, t), colour);
    painter.fillRect(QRect(left() + 1, top() + h - t, w - 1, t), colour);
    painter.fillRect(QRect(left() + 1, top() + 1, t, h - 1), colour);
    painter.fillRect(QRect(left() + w - t, top() + 1, t, h - 1), colour);
}

void CCell::setMarkerStyle(MarkerStyle style)
{
    m_markerStyle = style;
    if (m_current)
        repaint();
}
