// SPDX-License-Identifier: GPL-3.0-or-later
#include <basectrls/compctrl.h>

#include <basectrls/ctrlid.h>

#include <QMouseEvent>
#include <QPainter>

CCompCtrl::CCompCtrl()
    : QWidget(nullptr)
{
}

CCompCtrl::~CCompCtrl() = default;

bool CCompCtrl::Create(const QRect& rect, QWidget* parent, int id)
{
    if (!parent)
        return false;
    setParent(parent);
    setCtrlId(this, id);
    setGeometry(rect);
    OnCreated();
    show();
    return true;
}

bool CCompCtrl::CreateFromStatic(int id, QWidget* parent)
{
    QWidget* placeholder = findChildCtrl(parent, id);
    if (!placeholder || placeholder == this)
        return false;
    const QRect rect = placeholder->geometry();
    const bool visible = !placeholder->isHidden();
    setParent(parent);
    setCtrlId(this, id);
    stackUnder(placeholder);
    setGeometry(rect);
    delete placeholder;
    OnCreated();
    setVisible(visible);
    return true;
}

void CCompCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        emit rightButtonDown(event->position().toPoint());
    QWidget::mousePressEvent(event);
}

void CCompCtrl::paintEvent(QPaintEvent* /*event*/)
{
    // A bare composite control draws nothing: what lies beneath shows through.
}
