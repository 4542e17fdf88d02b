// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/multipageindependentbtn.h>

#include <QMouseEvent>

void CMultiPageIndependentBtn::mousePressEvent(QMouseEvent* event)
{
    // The gradient button's own handling, without asking for a page.
    CGDIpGradientButton::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        onClick();
}

void CMultiPageIndependentBtn::mouseDoubleClickEvent(QMouseEvent* event)
{
    CGDIpGradientButton::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        onDblClick();
}
