// SPDX-License-Identifier: GPL-3.0-or-later
// A page button of the multi-page control. Its three layout shares place it in
// the button column: a non-zero m_lead starts it at that share of the
// control's height from the top (otherwise it follows the button before it),
// m_extent is its height as a share of the control's height (0: the default
// height), m_inset narrows it by half of m_inset x its width on both sides.
#pragma once

class IMultiPageCtrl;
class QFont;
class QRect;
class QString;
class QWidget;

class IMultiPageButton {
public:
    // Window styles for create().
    static constexpr unsigned kStyleChild = 0x1;
    static constexpr unsigned kStyleVisible = 0x2;
    static constexpr unsigned kStyleTabStop = 0x4;

    IMultiPageButton() = default;
    IMultiPageButton(const IMultiPageButton&) = delete;
    IMultiPageButton& operator=(const IMultiPageButton&) = delete;
    virtual ~IMultiPageButton() = default;

    void setMPC(IMultiPageCtrl* owner) { m_owner = owner; }
    IMultiPageCtrl* getMPC() const { return m_owner; }

    // Draws the button in its selected or normal look.
    virtual void selected(bool selected) = 0;
    virtual bool isSelected() const = 0;
    // Asks the owner to show this button's page.
    virtual void activate();

    // Window operations the owner drives. font is not owned.
    virtual bool create(const QString& title, unsigned style, const QRect& rect, QWidget* parent, QFont* font,
                        int id) = 0;
    virtual void moveWindow(const QRect& rect) = 0;
    virtual void setWindowText(const QString& text) = 0;
    virtual void invalidate(bool erase) = 0;
    virtual void setFocus() = 0;
    virtual void showWindow(bool show) = 0;
    virtual bool isWindowVisible() const = 0;
    virtual QWidget* getWindow() = 0;
    // Recomputes what the button draws from its size and font.
    virtual void v_recalcData() {}

    double m_lead = 0.0;
    double m_extent = 0.0;
    double m_inset = 0.0;

protected:
    IMultiPageCtrl* m_owner = nullptr;
};
