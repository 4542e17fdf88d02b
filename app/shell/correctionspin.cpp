// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/correctionspin.h>

#include <QResizeEvent>
#include <QEvent>
#include <QToolButton>
#include <QWheelEvent>

CCorrectionSpin::CCorrectionSpin(QWidget* parent)
    : QWidget(parent)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this))
{
    for (QToolButton* button : { m_up, m_down }) {
        button->setAutoRepeat(true);
        button->setAutoRepeatDelay(400);
        button->setAutoRepeatInterval(80);
        button->setFocusPolicy(Qt::NoFocus);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    connect(m_up, &QToolButton::clicked, this, [this] { emit deltaPos(-1); });
    connect(m_down, &QToolButton::clicked, this, [this] { emit deltaPos(1); });
}

void CCorrectionSpin::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int w = event->size().width();
    const int h = event->size().height();
    m_up->setGeometry(0, 0, w, h / 2);
    m_down->setGeometry(0, h / 2, w, h - h / 2);
}

void CCorrectionSpin::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0 && isEnabled())
        emit deltaPos(-steps);
    event->accept();
}

bool CCorrectionSpin::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTipChange) {
        m_up->setToolTip(toolTip());
        m_down->setToolTip(toolTip());
    }
    return QWidget::event(event);
}
