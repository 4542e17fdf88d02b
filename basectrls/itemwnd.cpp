// SPDX-License-Identifier: GPL-3.0-or-later
#include <basectrls/itemwnd.h>

#include <QRect>
#include <QWidget>

void CItemWnd::show(bool visible)
{
    QWidget* w = getWindow();
    if (!w)
        return;
    w->setVisible(visible);
    if (visible) {
        w->raise();
        w->setFocus(Qt::OtherFocusReason);
    }
}

void CItemWnd::move(const QRect& rect)
{
    if (QWidget* w = getWindow())
        w->setGeometry(rect);
}
