// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/spinbutton.h>

#include <QEvent>
#include <QToolButton>

CSpinButton::CSpinButton(QWidget* parent)
    : QWidget(parent)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this))
{
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    m_up->setAutoRepeat(true);
    m_down->setAutoRepeat(true);
    connect(m_up, &QToolButton::clicked, this, [this] { emit deltaPos(-1); });
    connect(m_down, &QToolButton::clicked, this, [this] { emit deltaPos(1); });
}

void CSpinButton::resizeEvent(QResizeEvent*)
{
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}

bool CSpinButton::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTipChange) {
        m_up->setToolTip(toolTip());
        m_down->setToolTip(toolTip());
    }
    return QWidget::event(event);
}
