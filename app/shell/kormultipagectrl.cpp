// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/kormultipagectrl.h>

#include <app/shell/multipageindependentbtn.h>
#include <gradctrls/dialogs/gdippalette.h>

#include <QKeyEvent>

void CKorMultiPageCtrl::activatePage(IMultiPageButton* button)
{
    const int before = m_active;
    CGDIpMultiPageCtrl::activatePage(button);
    if (m_active != before)
        emit pageActivated(m_active);
}

bool CKorMultiPageCtrl::checkMsg(QEvent* msg)
{
    if (msg && msg->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(msg)->key();
        // An action button is not a page: its key is taken and does nothing.
        if (key >= Qt::Key_F1 && key <= Qt::Key_F8
            && dynamic_cast<CMultiPageIndependentBtn*>(getButton(key - Qt::Key_F1)))
            return true;
    }
    return CGDIpMultiPageCtrl::checkMsg(msg);
}

void CKorMultiPageCtrl::recalcBackground(const QRect& client)
{
    CGDIpMultiPageCtrl::recalcBackground(client);
    // Integer divisions, as the panels are laid out on the pixel grid.
    const int w = client.width();
    const int h = client.height();
    const int left = client.left() + w / 300;
    const int right = client.left() + w - w / 300;
    const int top = client.top();
    const qreal radius = qMax(2, h / 100);
    m_background.push_back({ QRectF(QPointF(left, top + h / 200), QPointF(right, top + h / 2 - h / 200)),
        GradPalette::panelTop(), GradPalette::panelBottom(), radius, GradPalette::panelBorder() });
    m_background.push_back({ QRectF(QPointF(left, top + h / 2 + h / 200), QPointF(right, top + h - h / 200)),
        GradPalette::panelTop(), GradPalette::panelBottom(), radius, GradPalette::panelBorder() });
}
