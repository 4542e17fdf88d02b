// SPDX-License-Identifier: GPL-3.0-or-later
// One cell of the owner-drawn grid (CCellArray): its rectangle in the grid's
// client coordinates, its text and colours, and the selected and "current"
// flags. Colours are 0x00BBGGRR references. Every setter that changes the look
// repaints the cell's rectangle in the owning grid.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include <cstdint>

class CCellArray;
class QPainter;

class CCell {
public:
    CCell(CCellArray* owner, const QRect& rect);
    virtual ~CCell();
    CCell(const CCell&) = delete;
    CCell& operator=(const CCell&) = delete;

    void setSel(bool selected);
    bool isSel() const { return m_selected; }
    void setCurrent(bool current);
    bool isCurrent() const { return m_current; }
    void setTxt(const QString& text);
    const QString& getTxt() const { return m_text; }
    void setBkColor(uint32_t colour);
    uint32_t getBkColor() const { return m_bkColour; }
    void setSelBkColor(uint32_t colour);
    uint32_t getSelBkColor() const { return m_selBkColour; }
    void setTxtColor(uint32_t colour);
    uint32_t getTxtColor() const { return m_txtColour; }
    void setGridColor(uint32_t colour);
    uint32_t getGridColor() const { return m_gridColour; }
    void setCurrentCellColor(uint32_t colour);
    uint32_t getCurrentCellColor() const { return m_markerColour; }
    int markerSize() const { return m_markerSize; }
    // A square in the top-left corner, or a frame inside the border that leaves the text free.
    enum class MarkerStyle { Square, Frame };
    void setMarkerStyle(MarkerStyle style);
    MarkerStyle markerStyle() const { return m_markerStyle; }

    // left, top, right, bottom: right and bottom are the next cell's left and top.
    const QRect& rect() const { return m_rect; }
    void setRect(const QRect& rect) { m_rect = rect; }
    int left() const { return m_rect.left(); }
    int top() const { return m_rect.top(); }
    int right() const { return m_rect.left() + m_rect.width(); }
    int bottom() const { return m_rect.top() + m_rect.height(); }
    // Border pixels count (headers).
    bool containsWithBorder(const QPoint& p) const;
    // Strictly inside (body cells).
    bool containsStrictly(const QPoint& p) const;

    // Background with the border, the selection, the centred text, the marker.
    void paint(QPainter& painter) const;

    static QColor toQColor(uint32_t colour);

private:
    void repaint() const;

    CCellArray* m_owner;
    QRect m_rect;
    QString m_text;
    bool m_selected = false;
    bool m_current = false;
    uint32_t m_bkColour = 0xFFFFFF;
    uint32_t m_txtColour = 0;
    uint32_t m_gridColour = 0;
    uint32_t m_selBkColour = 0xA0FFA0;
    uint32_t m_markerColour = 0;
    int m_markerSize = 10;
    MarkerStyle m_markerStyle = MarkerStyle::Square;
};
