// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/obdtile.h>
#include <gradctrls/dialogs/paintedtext.h>

#include <QPainter>

CObdTile::CObdTile(QWidget* parent)
    : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
}

void CObdTile::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    painter.setPen(QPen(QColor(120, 128, 140), 1.0));
    painter.setBrush(QColor(255, 255, 255, 170));
    painter.drawRoundedRect(tile, 5, 5);
    // The text's first line is empty: the name and the value share the tile.
    const QStringList lines = text().split(QLatin1Char('\n'));
    const QString name = lines.size() > 1 ? lines[1] : text();
    const QString value = lines.size() > 2 ? lines[2] : QString();
    const QRectF upper(tile.left(), tile.top(), tile.width(), tile.height() / 2);
    const QRectF lower(tile.left(), tile.center().y(), tile.width(), tile.height() / 2);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(upper.adjusted(2, 0, -2, 0), Qt::AlignHCenter | Qt::AlignBottom, name);
    paintedtext::note(this, name, upper.adjusted(2, 0, -2, 0).toRect());
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(lower.adjusted(2, 2, -2, 0), Qt::AlignHCenter | Qt::AlignTop, value);
    paintedtext::note(this, value, lower.adjusted(2, 2, -2, 0).toRect());
}
