// SPDX-License-Identifier: GPL-3.0-or-later
#include "iconskin.h"

#include "skinpainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

QImage CIconSkin::checkBox(bool selected, int look)
{
    QImage image = CSkinPainter::canvas(kCheckSize, kCheckSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const double s = kCheckSize;
    const QRectF box(s * 0.08, s * 0.08, s * 0.84, s * 0.84);
    const double radius = s * 0.16;
    const QColor accent = look == 2 ? QColor(0x1f, 0x8f, 0x44) : QColor(0x23, 0x6e, 0xbd);
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    if (selected) {
        fill.setColorAt(0.0, accent.lighter(125));
        fill.setColorAt(1.0, accent.darker(115));
        p.setPen(QPen(accent.darker(160), s * 0.05));
    } else {
        fill.setColorAt(0.0, QColor(0xff, 0xff, 0xff));
        fill.setColorAt(1.0, QColor(0xe6, 0xea, 0xee));
        p.setPen(QPen(look == 2 ? QColor(0x3e, 0x5a, 0x4a) : QColor(0x4a, 0x54, 0x5e), s * 0.05));
    }
    p.setBrush(fill);
    p.drawRoundedRect(box, radius, radius);
    if (selected) {
        QPainterPath tick;
        tick.moveTo(s * 0.27, s * 0.52);
        tick.lineTo(s * 0.43, s * 0.68);
        tick.lineTo(s * 0.74, s * 0.33);
        p.setPen(QPen(Qt::white, s * 0.11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    }
    p.end();
    return image;
}

QImage CIconSkin::button(EGlyph glyph)
{
    QImage image = CSkinPainter::canvas(kButtonSize, kButtonSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const double s = kButtonSize;
    const QPointF c(s / 2, s / 2);

    // Round dark key with a light rim, the same for every recorder button.
    QLinearGradient key(0, 0, 0, s);
    key.setColorAt(0.0, QColor(0x58, 0x63, 0x6f));
    key.setColorAt(1.0, QColor(0x26, 0x2c, 0x33));
    p.setPen(QPen(QColor(0x12, 0x15, 0x19), s * 0.025));
    p.setBrush(key);
    p.drawEllipse(c, s * 0.46, s * 0.46);
    p.setPen(QPen(QColor(255, 255, 255, 50), s * 0.015));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, s * 0.42, s * 0.42);

    const QColor white(0xf4, 0xf7, 0xfa);
    p.setPen(Qt::NoPen);
    auto triangle = [&](double tipX, double baseX, double half) {
        QPainterPath t;
        t.moveTo(baseX, c.y() - half);
        t.lineTo(tipX, c.y());
        t.lineTo(baseX, c.y() + half);
        t.closeSubpath();
        p.drawPath(t);
    };
    switch (glyph) {
    case EGlyph::Record: {
        QRadialGradient red(c - QPointF(s * 0.05, s * 0.05), s * 0.22);
        red.setColorAt(0.0, QColor(0xff, 0x6a, 0x5c));
        red.setColorAt(1.0, QColor(0xc8, 0x1e, 0x12));
        p.setBrush(red);
        p.drawEllipse(c, s * 0.19, s * 0.19);
        break;
    }
    case EGlyph::Play:
        p.setBrush(QColor(0x4c, 0xd9, 0x6a));
        triangle(s * 0.71, s * 0.38, s * 0.22);
        break;
    case EGlyph::Pause:
        p.setBrush(white);
        p.drawRoundedRect(QRectF(s * 0.35, s * 0.29, s * 0.1, s * 0.42), s * 0.02, s * 0.02);
        p.drawRoundedRect(QRectF(s * 0.55, s * 0.29, s * 0.1, s * 0.42), s * 0.02, s * 0.02);
        break;
    case EGlyph::Prev:
        p.setBrush(white);
        triangle(s * 0.26, s * 0.49, s * 0.17);
        triangle(s * 0.49, s * 0.72, s * 0.17);
        break;
    case EGlyph::Next:
        p.setBrush(white);
        triangle(s * 0.74, s * 0.51, s * 0.17);
        triangle(s * 0.51, s * 0.28, s * 0.17);
        break;
    case EGlyph::Stop:
        p.setBrush(white);
        p.drawRoundedRect(QRectF(s * 0.32, s * 0.32, s * 0.36, s * 0.36), s * 0.03, s * 0.03);
        break;
    case EGlyph::Open: {
        // A folder: back with a tab, and a front flap tilted open.
        QPainterPath back;
        back.moveTo(s * 0.25, s * 0.33);
        back.lineTo(s * 0.42, s * 0.33);
        back.lineTo(s * 0.47, s * 0.38);
        back.lineTo(s * 0.75, s * 0.38);
        back.lineTo(s * 0.75, s * 0.70);
        back.lineTo(s * 0.25, s * 0.70);
        back.closeSubpath();
        p.setBrush(QColor(0xc9, 0x9a, 0x2e));
        p.drawPath(back);
        QPainterPath front;
        front.moveTo(s * 0.31, s * 0.46);
        front.lineTo(s * 0.81, s * 0.46);
        front.lineTo(s * 0.75, s * 0.70);
        front.lineTo(s * 0.25, s * 0.70);
        front.closeSubpath();
        p.setBrush(QColor(0xff, 0xc8, 0x3d));
        p.drawPath(front);
        break;
    }
    }
    p.end();
    return image;
}
