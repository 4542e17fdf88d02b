// A button of the main view's column that acts on its own instead of showing
// a page: a left press runs onClick() and a left double click onDblClick(),
// each after the button's usual handling.
#pragma once

#include <gradctrls/multipage/gdipmultipagegradientbutton.h>

class CMultiPageIndependentBtn : public CGDIpMultiPageGradientButton {
    Q_OBJECT
public:
    CMultiPageIndependentBtn() = default;

    virtual void onClick() { }
    virtual void onDblClick() { }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
