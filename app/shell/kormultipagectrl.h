// SPDX-License-Identifier: GPL-3.0-or-later
// The main view's multi-page control: the library's control with two grey
// panels behind the button column, one behind the action buttons and one
// behind the page buttons. F1 … F8 never select an action button (they would
// show an empty page and light a fuel button as if the fuel had changed);
// the keys of real pages select them as usual.
#pragma once

#include <gradctrls/multipage/gdipmultipagectrl.h>

class CKorMultiPageCtrl : public CGDIpMultiPageCtrl {
    Q_OBJECT
public:
    CKorMultiPageCtrl() = default;

    using CGDIpMultiPageCtrl::activatePage;
    void activatePage(IMultiPageButton* button) override;
    bool checkMsg(QEvent* msg) override;

signals:
    // After a page became the active one.
    void pageActivated(int index);

protected:
    void recalcBackground(const QRect& client) override;
};
