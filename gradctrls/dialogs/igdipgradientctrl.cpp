// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/dialogs/igdipgradientctrl.h>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

void IGDIpGradientCtrl::setGradientColors(const QColor& from, const QColor& to)
{
    m_from = from;
    m_to = to;
}

void IGDIpGradientCtrl::drawGradientRect(QPainter& painter, const QRectF& rect, const QColor& from, const QColor& to,
                                         bool vertical, qreal radius, const QColor& border)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    QLinearGradient gradient(rect.topLeft(), vertical ? rect.bottomLeft() : rect.topRight());
    gradient.setColorAt(0.0, from);
    gradient.setColorAt(1.0, to);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, radius > 0.0 || border.isValid());
    // A border is stroked on the half-pixel grid so that it stays one crisp pixel wide.
    const QRectF shape = border.isValid() ? rect.adjusted(0.5, 0.5, -0.5, -0.5) : rect;
    QPainterPath path;
    if (radius > 0.0)
        path.addRoundedRect(shape, radius, radius);
    else
        path.addRect(shape);
    painter.fillPath(path, gradient);
    if (border.isValid()) {
        painter.setPen(QPen(border, 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
    painter.restore();
}

void IGDIpGradientCtrl::drawGradient(QPainter& painter, const QRectF& rect, qreal radius, const QColor& border) const
{
    drawGradientRect(painter, rect, m_from, m_to, m_vertical, radius, border);
}
