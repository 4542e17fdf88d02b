// SPDX-License-Identifier: GPL-3.0-or-later
#include "logoskin.h"

#include "skinpainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QImage CLogoSkin::draw()
{
    QImage image = CSkinPainter::canvas(kWidth, kHeight);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const double w = kWidth;
    const double h = kHeight;

    const QRectF card(6, 6, w - 12, h - 12);
    QLinearGradient fill(card.topLeft(), card.bottomRight());
    fill.setColorAt(0.0, QColor(0x2c, 0x35, 0x3f));
    fill.setColorAt(1.0, QColor(0x15, 0x1a, 0x20));
    p.setPen(QPen(QColor(0x4c, 0x57, 0x63), 4));
    p.setBrush(fill);
    p.drawRoundedRect(card, h * 0.08, h * 0.08);

    // Emblem: a blue flame with a green core, the colours of gas and of the LPG lamp.
    const double ex = h * 0.5;
    const double ey = h * 0.52;
    const double es = h * 0.34;
    QPainterPath flame;
    flame.moveTo(ex, ey - es);
    flame.cubicTo(ex + es * 0.95, ey - es * 0.2, ex + es * 0.8, ey + es * 0.85, ex, ey + es * 0.9);
    flame.cubicTo(ex - es * 0.8, ey + es * 0.85, ex - es * 0.95, ey - es * 0.2, ex, ey - es);
    QLinearGradient blue(ex, ey - es, ex, ey + es);
    blue.setColorAt(0.0, QColor(0x7c, 0xc4, 0xff));
    blue.setColorAt(1.0, QColor(0x1c, 0x5c, 0x9c));
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawPath(flame);
    QPainterPath core;
    core.moveTo(ex, ey - es * 0.15);
    core.cubicTo(ex + es * 0.5, ey + es * 0.25, ex + es * 0.4, ey + es * 0.75, ex, ey + es * 0.75);
    core.cubicTo(ex - es * 0.4, ey + es * 0.75, ex - es * 0.5, ey + es * 0.25, ex, ey - es * 0.15);
    p.setBrush(QColor(0x4c, 0xd9, 0x6a));
    p.drawPath(core);

    // Name, sized to fill the card beside the emblem.
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(static_cast<int>(h * 0.3));
    f.setLetterSpacing(QFont::PercentageSpacing, 104);
    const QString name = QStringLiteral("KORVANA");
    const QRectF textArea(h * 0.95, h * 0.18, w - h * 1.1, h * 0.44);
    const double fits = textArea.width() / QFontMetricsF(f).horizontalAdvance(name);
    if (fits < 1.0)
        f.setPixelSize(static_cast<int>(f.pixelSize() * fits));
    p.setFont(f);
    p.setPen(QColor(0xf4, 0xf7, 0xfa));
    p.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter, name);

    p.setPen(QPen(QColor(0xff, 0xc8, 0x3d), h * 0.012));
    p.drawLine(QPointF(textArea.left(), h * 0.66), QPointF(w - h * 0.15, h * 0.66));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(static_cast<int>(h * 0.085));
    p.setFont(small);
    p.setPen(QColor(0xc5, 0xcd, 0xd5));
    p.drawText(QRectF(textArea.left(), h * 0.69, textArea.width(), h * 0.14), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("LPG \u00b7 autogas"));
    p.end();
    return image;
}
