// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/programstyle.h>

#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyleOption>
#include <QWidget>

namespace {

// The menu bar's "more" button: a double chevron pointing along the bar.
QIcon extensionIcon(bool horizontal, const QColor& colour)
{
    QIcon icon;
    for (const int size : { 16, 32 }) {
        QPixmap picture(size, size);
        picture.fill(Qt::transparent);
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing, true);
        if (!horizontal) {
            p.translate(size, 0);
            p.rotate(90);
        }
        p.setPen(QPen(colour, size / 10.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const double s = size;
        for (const double x : { 0.25, 0.5 }) {
            QPainterPath chevron;
            chevron.moveTo(s * x, s * 0.25);
            chevron.lineTo(s * (x + 0.22), s * 0.5);
            chevron.lineTo(s * x, s * 0.75);
            p.drawPath(chevron);
        }
        p.end();
        icon.addPixmap(picture);
    }
    return icon;
}

} // namespace

CProgramStyle::CProgramStyle() = default;

QIcon CProgramStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const
{
    if (icon == SP_ToolBarHorizontalExtensionButton || icon == SP_ToolBarVerticalExtensionButton) {
        const QColor colour = option ? option->palette.color(QPalette::ButtonText)
                              : widget ? widget->palette().color(QPalette::ButtonText)
                                       : QColor(Qt::black);
        return extensionIcon(icon == SP_ToolBarHorizontalExtensionButton, colour);
    }
    return QProxyStyle::standardIcon(icon, option, widget);
}
