// SPDX-License-Identifier: GPL-3.0-or-later
#include "injectorskin.h"

#include "skinpainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

QLinearGradient across(const QRectF& r, const QColor& color)
{
    // Lit from the left, like a round part.
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0.0, color.darker(135));
    g.setColorAt(0.3, color.lighter(130));
    g.setColorAt(0.55, color);
    g.setColorAt(1.0, color.darker(170));
    return g;
}

} // namespace

QImage CInjectorSkin::draw(const QColor& body)
{
    QImage image = CSkinPainter::canvas(kSize, kSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const double s = kSize;
    const QPen outline(QColor(0x12, 0x16, 0x1a), s * 0.014);
    const QColor metal(0x9a, 0xa4, 0xae);

    // Connector on top.
    const QRectF plug(s * 0.36, s * 0.04, s * 0.28, s * 0.16);
    p.setPen(outline);
    p.setBrush(across(plug, QColor(0x3a, 0x42, 0x4b)));
    p.drawRoundedRect(plug, s * 0.03, s * 0.03);
    p.setBrush(QColor(0x14, 0x18, 0x1c));
    p.drawRect(QRectF(s * 0.42, s * 0.07, s * 0.16, s * 0.07));

    // Body: the coloured part that carries the state.
    const QRectF coil(s * 0.27, s * 0.19, s * 0.46, s * 0.42);
    p.setBrush(across(coil, body));
    p.drawRoundedRect(coil, s * 0.06, s * 0.06);
    // Two bands mark the coil windings.
    p.setPen(QPen(body.darker(160), s * 0.012));
    p.drawLine(QPointF(coil.left() + s * 0.02, s * 0.31), QPointF(coil.right() - s * 0.02, s * 0.31));
    p.drawLine(QPointF(coil.left() + s * 0.02, s * 0.49), QPointF(coil.right() - s * 0.02, s * 0.49));

    // Metal sleeve and nozzle below.
    const QRectF sleeve(s * 0.35, s * 0.61, s * 0.30, s * 0.15);
    p.setPen(outline);
    p.setBrush(across(sleeve, metal));
    p.drawRect(sleeve);
    QPainterPath nozzle;
    nozzle.moveTo(s * 0.38, s * 0.76);
    nozzle.lineTo(s * 0.62, s * 0.76);
    nozzle.lineTo(s * 0.55, s * 0.90);
    nozzle.lineTo(s * 0.45, s * 0.90);
    nozzle.closeSubpath();
    p.setBrush(across(nozzle.boundingRect(), metal.darker(115)));
    p.drawPath(nozzle);
    // Gas outlet.
    p.drawRect(QRectF(s * 0.47, s * 0.90, s * 0.06, s * 0.06));
    p.end();
    return image;
}
