// SPDX-License-Identifier: GPL-3.0-or-later
// A control that can leave its background unpainted, so that the gradient of
// the window beneath shows through it.
#pragma once

class ITransparentCtrl {
public:
    virtual ~ITransparentCtrl() = default;

    virtual void setTransparent(bool transparent) { m_transparent = transparent; }
    bool isTransparent() const { return m_transparent; }

protected:
    bool m_transparent = false;
};
