// SPDX-License-Identifier: GPL-3.0-or-later
// The gradient settings of a control (two colours and a direction) and the
// painting of a gradient rectangle shared by every control of the library.
#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

class IGDIpGradientCtrl {
public:
    virtual ~IGDIpGradientCtrl() = default;

    void setGradientColors(const QColor& from, const QColor& to);
    // Vertical: from at the top to to at the bottom; otherwise left to right.
    void setGradientVertical(bool vertical) { m_vertical = vertical; }
    QColor gradientFrom() const { return m_from; }
    QColor gradientTo() const { return m_to; }
    bool gradientVertical() const { return m_vertical; }

    // Fills rect with a gradient and, when border is valid, a one-pixel border;
    // a positive radius rounds the corners. Antialiased.
    static void drawGradientRect(QPainter& painter, const QRectF& rect, const QColor& from, const QColor& to,
                                 bool vertical, qreal radius = 0.0, const QColor& border = QColor());
    // The same with this control's settings.
    void drawGradient(QPainter& painter, const QRectF& rect, qreal radius = 0.0,
                      const QColor& border = QColor()) const;

protected:
    QColor m_from;
    QColor m_to;
    bool m_vertical = true;
};
