// SPDX-License-Identifier: GPL-3.0-or-later
// The three fuel-mode buttons of the main view. A click asks the controller
// for that mode (nothing without a connection) under the wait cursor, as an
// operation of the document (refused while another runs); a refusal or an
// error is reported in a box owned by the button. The button's light is not
// changed by the click: it follows the controller's reported state at the
// next refresh.
#pragma once

#include <app/shell/multipageindependentbtn.h>

class CSwitchToAutoBtn : public CMultiPageIndependentBtn {
    Q_OBJECT
public:
    using CMultiPageIndependentBtn::CMultiPageIndependentBtn;
    void onClick() override;
};

class CSwitchToGasBtn : public CMultiPageIndependentBtn {
    Q_OBJECT
public:
    using CMultiPageIndependentBtn::CMultiPageIndependentBtn;
    void onClick() override;
};

class CSwitchToPetrolBtn : public CMultiPageIndependentBtn {
    Q_OBJECT
public:
    using CMultiPageIndependentBtn::CMultiPageIndependentBtn;
    void onClick() override;
};
