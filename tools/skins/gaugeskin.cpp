// SPDX-License-Identifier: GPL-3.0-or-later
#include "gaugeskin.h"

#include "skinpainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace {

// Screen direction of an angle of the needle: 0 down, 90 left, 180 up, 270 right.
QPointF direction(double degrees)
{
    const double r = degrees * M_PI / 180.0;
    return QPointF(-std::sin(r), std::cos(r));
}

} // namespace

QImage CGaugeSkin::draw()
{
    QImage image = CSkinPainter::canvas(kSize, kSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c(kSize / 2.0, kSize / 2.0);
    const double outer = kSize / 2.0 - 4.0;

    // Bezel: a dark ring with a soft top light.
    QLinearGradient bezel(0, 0, 0, kSize);
    bezel.setColorAt(0.0, QColor(0x5c, 0x67, 0x73));
    bezel.setColorAt(0.5, QColor(0x2a, 0x31, 0x39));
    bezel.setColorAt(1.0, QColor(0x1a, 0x1f, 0x25));
    p.setPen(QPen(QColor(0x10, 0x13, 0x17), 4.0));
    p.setBrush(bezel);
    p.drawEllipse(c, outer, outer);

    const double face = outer * 0.92;
    QRadialGradient faceFill(c - QPointF(0, face * 0.25), face * 1.2);
    faceFill.setColorAt(0.0, QColor(0xfd, 0xfe, 0xff));
    faceFill.setColorAt(0.7, QColor(0xee, 0xf1, 0xf4));
    faceFill.setColorAt(1.0, QColor(0xd6, 0xdc, 0xe2));
    p.setPen(QPen(QColor(0x0e, 0x11, 0x14), 3.0));
    p.setBrush(faceFill);
    p.drawEllipse(c, face, face);

    // Warning band over the last eighth of the travel, outside the ticks.
    const double bandRadius = face * 0.94;
    const QRectF bandRect(c.x() - bandRadius, c.y() - bandRadius, 2 * bandRadius, 2 * bandRadius);
    const double span = kMaxAngle - kMinAngle;
    const double warnFrom = kMinAngle + span * 0.875;
    // Qt's arcs run counter-clockwise from 3 o'clock; the needle's angle a points at 270 - a there.
    p.setPen(QPen(QColor(0xd0, 0x2b, 0x20), face * 0.045, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(bandRect, static_cast<int>((270.0 - kMaxAngle) * 16), static_cast<int>((kMaxAngle - warnFrom) * 16));
    // A thin arc joins the ticks into one scale.
    p.setPen(QPen(QColor(0x1b, 0x20, 0x26), face * 0.012, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(QRectF(c.x() - face * 0.9, c.y() - face * 0.9, face * 1.8, face * 1.8),
              static_cast<int>((270.0 - kMaxAngle) * 16), static_cast<int>(span * 16));

    // Ten steps with four minor ticks each.
    const int steps = 10;
    const int minor = 5;
    for (int i = 0; i <= steps * minor; ++i) {
        const double a = kMinAngle + span * i / (steps * minor);
        const bool major = i % minor == 0;
        const double r1 = face * 0.9;
        const double r0 = major ? face * 0.74 : face * 0.83;
        const QPointF d = direction(a);
        p.setPen(QPen(QColor(0x1b, 0x20, 0x26), major ? face * 0.03 : face * 0.011, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(c + d * r0, c + d * r1);
    }

    // Recessed window behind the gauge's title and value texts (the gauge places
    // them between 0.15 and 0.4 of the picture height below the centre).
    const QRectF window(c.x() - kSize * 0.235, c.y() + kSize * 0.245, kSize * 0.47, kSize * 0.165);
    QLinearGradient windowFill(window.topLeft(), window.bottomLeft());
    windowFill.setColorAt(0.0, QColor(0xcf, 0xd6, 0xdd));
    windowFill.setColorAt(0.25, QColor(0xe7, 0xeb, 0xef));
    windowFill.setColorAt(1.0, QColor(0xf3, 0xf5, 0xf7));
    // Its lower corners follow the dial's rim rather than cutting into the bezel.
    QPainterPath windowShape;
    windowShape.addRoundedRect(window, kSize * 0.03, kSize * 0.03);
    QPainterPath rim;
    rim.addEllipse(c, face * 0.95, face * 0.95);
    p.setPen(QPen(QColor(0x8e, 0x99, 0xa4), 3.0));
    p.setBrush(windowFill);
    p.drawPath(windowShape.intersected(rim));

    // Hub: the needle turns about the centre and is drawn over it.
    QRadialGradient hub(c - QPointF(kSize * 0.01, kSize * 0.012), kSize * 0.06);
    hub.setColorAt(0.0, QColor(0x6a, 0x75, 0x80));
    hub.setColorAt(1.0, QColor(0x1a, 0x1f, 0x25));
    p.setPen(QPen(QColor(0x0e, 0x11, 0x14), 3.0));
    p.setBrush(hub);
    p.drawEllipse(c, kSize * 0.045, kSize * 0.045);
    p.end();
    return image;
}
