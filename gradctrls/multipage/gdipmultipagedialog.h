// SPDX-License-Identifier: GPL-3.0-or-later
// A page of the multi-page control: a gradient dialog living inside the
// control's page area. It hands every key message meant for it or for any of
// its controls to the owner's checkMsg first, so F1 to F8 switch pages
// whichever control has the focus.
//
// Note: init() here is the page's own one-time set-up, called by the owner
// when the page is inserted. It hides the container's init(); a page that adds
// controls later records them with ISizableCtrlsContainer::init().
#pragma once

#include <gradctrls/dialogs/gdipgradientdialog.h>

class IMultiPageCtrl;

class CGDIpMultiPageDialog : public CGDIpGradientDialog {
    Q_OBJECT
public:
    CGDIpMultiPageDialog(int resourceId, QWidget* parent = nullptr);
    ~CGDIpMultiPageDialog() override;

    // Creates the page as a child of parent (never a window of its own).
    bool Create(QWidget* parent = nullptr) override;

    void setMPC(IMultiPageCtrl* owner, int index);
    IMultiPageCtrl* getMPC() const { return m_owner; }
    int getIndex() const { return m_index; }

    // Once, after creation (at insertion into the control).
    virtual void init() {}
    // The page became visible / was hidden.
    virtual void activate() {}
    virtual void deactivate() {}
    // Gives the focus to the page's first control that takes it.
    virtual void focus();
    virtual void v_show(bool show);
    virtual void v_move(const QRect& rect, bool repaint);
    virtual void v_invalidate(bool erase);
    virtual bool v_isVisible() const;

    // Pages never close themselves on Escape or Enter.
    void accept() override {}
    void reject() override {}

protected:
    // First the owner's checkMsg, then the page's own handling; true when handled.
    virtual bool preTranslateMessage(QEvent* msg);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    IMultiPageCtrl* m_owner = nullptr;
    int m_index = -1;
};
