// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/multipage/gdipmultipagedialog.h>

#include <gradctrls/multipage/imultipagectrl.h>

#include <QCoreApplication>
#include <QEvent>

CGDIpMultiPageDialog::CGDIpMultiPageDialog(int resourceId, QWidget* parent)
    : CGDIpGradientDialog(resourceId, parent)
{
    // A child widget, not a window of its own.
    setWindowFlags(Qt::Widget);
    // Seeing the keys of every control of the page needs a look before them.
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

CGDIpMultiPageDialog::~CGDIpMultiPageDialog() = default;

bool CGDIpMultiPageDialog::Create(QWidget* parent)
{
    // A parentless widget is always a window; the child flag must come with the parent.
    if (parent && parent != parentWidget())
        setParent(parent, Qt::Widget);
    return CGDIpGradientDialog::Create(parent);
}

void CGDIpMultiPageDialog::setMPC(IMultiPageCtrl* owner, int index)
{
    m_owner = owner;
    m_index = index;
}

void CGDIpMultiPageDialog::focus()
{
    for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
        if (isAncestorOf(w) && w->isEnabled() && w->isVisibleTo(this) && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    setFocus(Qt::OtherFocusReason);
}

void CGDIpMultiPageDialog::v_show(bool show)
{
    setVisible(show);
}

void CGDIpMultiPageDialog::v_move(const QRect& rect, bool repaint)
{
    setGeometry(rect);
    if (repaint)
        update();
}

void CGDIpMultiPageDialog::v_invalidate(bool /*erase*/)
{
    update();
}

bool CGDIpMultiPageDialog::v_isVisible() const
{
    return !isHidden();
}

bool CGDIpMultiPageDialog::preTranslateMessage(QEvent* msg)
{
    return m_owner && m_owner->checkMsg(msg);
}

bool CGDIpMultiPageDialog::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        auto* target = qobject_cast<QWidget*>(watched);
        if (target && (target == this || isAncestorOf(target)) && preTranslateMessage(event))
            return true;
    }
    return CGDIpGradientDialog::eventFilter(watched, event);
}
