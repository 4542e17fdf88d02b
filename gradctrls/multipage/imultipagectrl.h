// SPDX-License-Identifier: GPL-3.0-or-later
// What a page button and a page ask of the multi-page control that holds them.
#pragma once

class IMultiPageButton;
class QEvent;

class IMultiPageCtrl {
public:
    virtual ~IMultiPageCtrl() = default;

    // Shows the page of button and hides the one shown before.
    virtual void activatePage(IMultiPageButton* button) = 0;
    // Looks at a message meant for a page before the page does; true when it
    // was handled (the page then does not see it).
    virtual bool checkMsg(QEvent* msg) = 0;
};
