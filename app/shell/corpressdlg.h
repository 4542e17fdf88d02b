// SPDX-License-Identifier: GPL-3.0-or-later
// "Korekty ciśnienia": the LPG-pressure correction curve (0 … 2.5 bar),
// written with its own record; the live marker follows the LPG pressure.
#pragma once

#include <app/shell/corrcurvedlg.h>

class CCorPressDlg : public CCorrCurveDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 329;
    explicit CCorPressDlg(const CPageContext& context, QWidget* parent = nullptr);
};
