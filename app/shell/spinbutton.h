// SPDX-License-Identifier: GPL-3.0-or-later
// An up-down button pair beside an edit. Each press reports a step the way
// the controller's tools count it: −1 for the up arrow, +1 for the down
// arrow, so "value − step" goes up with the up arrow.
#pragma once

#include <QWidget>

class QToolButton;

class CSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit CSpinButton(QWidget* parent = nullptr);

    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

signals:
    void deltaPos(int step);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The pair's tip is each arrow's: the arrows are what the pointer rests on.
    bool event(QEvent* event) override;

private:
    QToolButton* m_up;
    QToolButton* m_down;
};
