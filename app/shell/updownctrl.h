// SPDX-License-Identifier: GPL-3.0-or-later
// The arrows beside a read-only number: a press on the upper arrow reports
// delta −1, on the lower one +1 (as an up-down control with its default range
// does); the owner decides what the number becomes.
#pragma once

#include <QWidget>

class QToolButton;

class CUpDownCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CUpDownCtrl(QWidget* parent = nullptr);

    QToolButton* upArrow() const { return m_up; }
    QToolButton* downArrow() const { return m_down; }

signals:
    void deltaPos(int delta);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* m_up;
    QToolButton* m_down;
};
