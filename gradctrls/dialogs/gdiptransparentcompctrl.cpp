// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/dialogs/gdiptransparentcompctrl.h>

#include <gradctrls/dialogs/gdippalette.h>

#include <QPainter>
#include <QResizeEvent>

CGDIpTransparentCompCtrl::CGDIpTransparentCompCtrl()
{
    m_transparent = true;
    setGradientColors(GradPalette::panelTop(), GradPalette::panelBottom());
}

CGDIpTransparentCompCtrl::~CGDIpTransparentCompCtrl() = default;

void CGDIpTransparentCompCtrl::OnCreated()
{
    createSizableCtrls();
    ISizableCtrlsContainer::create(this, size());
    init();
    recalcControls();
    createOwnCtrls();
    v_recalcData(rect());
}

void CGDIpTransparentCompCtrl::v_recalcData(const QRect& /*client*/)
{
}

void CGDIpTransparentCompCtrl::resizeEvent(QResizeEvent* event)
{
    CCompCtrl::resizeEvent(event);
    recalcControls();
    v_recalcData(rect());
    update();
}

void CGDIpTransparentCompCtrl::paintEvent(QPaintEvent* /*event*/)
{
    if (m_transparent)
        return;
    QPainter painter(this);
    drawGradient(painter, rect());
}
