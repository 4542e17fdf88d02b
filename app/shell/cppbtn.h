// SPDX-License-Identifier: GPL-3.0-or-later
// The level-indication button "Wskazanie": a click opens the level-sensor dialog.
#pragma once

#include <app/shell/multipageindependentbtn.h>

class CCPPBtn : public CMultiPageIndependentBtn {
    Q_OBJECT
public:
    using CMultiPageIndependentBtn::CMultiPageIndependentBtn;
    void onClick() override;
};
