// SPDX-License-Identifier: GPL-3.0-or-later
// Base of the in-place editors: a window that a grid or list shows over the
// cell being edited, moves with it and hides again.
#pragma once

class QRect;
class QWidget;

class CItemWnd {
public:
    CItemWnd() = default;
    CItemWnd(const CItemWnd&) = delete;
    CItemWnd& operator=(const CItemWnd&) = delete;
    virtual ~CItemWnd() = default;

    // Shows the editor (and gives it the focus) or hides it; nothing before it exists.
    virtual void show(bool visible);
    // Moves the editor to rect in its parent's client coordinates.
    virtual void move(const QRect& rect);
    // The editor's window, or null before it is created.
    virtual QWidget* getWindow() const = 0;
};
