// SPDX-License-Identifier: GPL-3.0-or-later
// An in-place text editor over a cell. It is built around an edit control
// supplied by the caller (a plain, integer or float edit) and owns it once
// created. Enter commits, Escape cancels, losing the focus commits.
#pragma once

#include <basectrls/itemwnd.h>

#include <QObject>
#include <QPointer>
#include <QString>

class QLineEdit;

class CItemEdit : public QObject, public CItemWnd {
    Q_OBJECT
public:
    // edit: the control to use; the item editor owns it from now on.
    explicit CItemEdit(QLineEdit* edit);
    ~CItemEdit() override;

    // Puts the edit control into parent, hidden until shown. False without a parent.
    virtual bool create(QWidget* parent);
    void setText(const QString& text);
    QString text() const;
    QWidget* getWindow() const override;
    QLineEdit* edit() const { return m_edit.data(); }

    // Shows the editor with all of its text selected.
    void show(bool visible) override;

signals:
    // The text was accepted (Enter, or the focus left while visible).
    void committed(const QString& text);
    // Escape was pressed; the editor is hidden.
    void cancelled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Hooks for derived editors; the defaults emit the signals.
    virtual void onCommit(const QString& text);
    virtual void onCancel();

private:
    QPointer<QLineEdit> m_edit;
    bool m_ending = false;
};
