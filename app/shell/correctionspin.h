// SPDX-License-Identifier: GPL-3.0-or-later
// The up-down arrows beside a main-correction edit. They hold no value of
// their own: each press reports a position change, −1 for the upper arrow and
// +1 for the lower one, as an up-down control does, and the page turns that
// into a new correction. Held down, an arrow repeats.
#pragma once

#include <QWidget>

class QToolButton;

class CCorrectionSpin : public QWidget {
    Q_OBJECT
public:
    explicit CCorrectionSpin(QWidget* parent = nullptr);

    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

signals:
    void deltaPos(int change);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The pair's tip is each arrow's: the arrows are what the pointer rests on.
    bool event(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QToolButton* m_up;
    QToolButton* m_down;
};
