// SPDX-License-Identifier: GPL-3.0-or-later
// The composite control: a child window that hosts controls of its own and
// paints itself. Derived controls connect their children's signals to their
// own slots; that is how commands of the children reach the control.
#pragma once

#include <QWidget>

class QRect;

class CCompCtrl : public QWidget {
    Q_OBJECT
public:
    CCompCtrl();
    ~CCompCtrl() override;

    // Makes the control a visible child of parent at rect (parent's client
    // coordinates) with the control id. False without a parent.
    virtual bool Create(const QRect& rect, QWidget* parent, int id);
    // Takes the place of the placeholder control with that id among parent's
    // children: same rectangle, same id, same stacking; the placeholder is
    // deleted so that no id is held twice. False when there is no such child.
    virtual bool CreateFromStatic(int id, QWidget* parent);

    // Called after the window exists and has its final rectangle.
    virtual void OnCreated() {}

signals:
    // A right-button press inside the control, in its client coordinates.
    void rightButtonDown(const QPoint& pos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
