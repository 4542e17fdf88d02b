// The main view's multi-page control: the library's control with two grey
// panels behind the button column, one behind the action buttons and one
// behind the page buttons.
#pragma once

#include <gradctrls/multipage/gdipmultipagectrl.h>

class CKorMultiPageCtrl : public CGDIpMultiPageCtrl {
    Q_OBJECT
public:
    CKorMultiPageCtrl() = default;

protected:
    void recalcBackground(const QRect& client) override;
};
