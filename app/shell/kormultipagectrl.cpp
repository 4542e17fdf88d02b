#include <app/shell/kormultipagectrl.h>

#include <gradctrls/dialogs/gdippalette.h>

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
