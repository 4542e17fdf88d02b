// SPDX-License-Identifier: GPL-3.0-or-later
// A gradient button that is a page button: a left-button press does the
// button's usual handling and then asks the owner to show this button's page.
#pragma once

#include <gradctrls/multipage/gdipgradientbutton.h>
#include <gradctrls/multipage/imultipagebutton.h>

class CGDIpMultiPageGradientButton : public CGDIpGradientButton, public IMultiPageButton {
    Q_OBJECT
public:
    CGDIpMultiPageGradientButton();
    ~CGDIpMultiPageGradientButton() override;

    bool create(const QString& title, unsigned style, const QRect& rect, QWidget* parent, QFont* font,
                int id) override;
    void moveWindow(const QRect& rect) override;
    void setWindowText(const QString& text) override;
    void invalidate(bool erase) override;
    void setFocus() override;
    void showWindow(bool show) override;
    bool isWindowVisible() const override;
    QWidget* getWindow() override { return this; }
    void selected(bool selected) override;
    bool isSelected() const override { return getSelected(); }
    void v_recalcData() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
