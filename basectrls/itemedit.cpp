// SPDX-License-Identifier: GPL-3.0-or-later
#include <basectrls/itemedit.h>

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

CItemEdit::CItemEdit(QLineEdit* edit)
    : m_edit(edit)
{
}

CItemEdit::~CItemEdit()
{
    // The edit may already be gone with its parent window.
    delete m_edit.data();
}

bool CItemEdit::create(QWidget* parent)
{
    if (!parent || !m_edit)
        return false;
    m_edit->setParent(parent);
    m_edit->hide();
    m_edit->installEventFilter(this);
    return true;
}

void CItemEdit::setText(const QString& text)
{
    if (m_edit)
        m_edit->setText(text);
}

QString CItemEdit::text() const
{
    return m_edit ? m_edit->text() : QString();
}

QWidget* CItemEdit::getWindow() const
{
    return m_edit && m_edit->parentWidget() ? m_edit.data() : nullptr;
}

void CItemEdit::show(bool visible)
{
    CItemWnd::show(visible);
    if (visible && m_edit)
        m_edit->selectAll();
}

bool CItemEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_edit || m_ending)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_ending = true;
            m_edit->hide();
            m_ending = false;
            onCommit(m_edit->text());
            return true;
        }
        if (key == Qt::Key_Escape) {
            m_ending = true;
            m_edit->hide();
            m_ending = false;
            onCancel();
            return true;
        }
    } else if (event->type() == QEvent::FocusOut && m_edit->isVisible()) {
        m_ending = true;
        m_edit->hide();
        m_ending = false;
        onCommit(m_edit->text());
    }
    return QObject::eventFilter(watched, event);
}

void CItemEdit::onCommit(const QString& text)
{
    emit committed(text);
}

void CItemEdit::onCancel()
{
    emit cancelled();
}
