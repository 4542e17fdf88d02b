// SPDX-License-Identifier: GPL-3.0-or-later
// "Korekty temperatury": the LPG-temperature correction curve, written with
// the sensor setup record; the live marker follows the LPG temperature.
#pragma once

#include <app/shell/corrcurvedlg.h>

class CCorTempDlg : public CCorrCurveDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 328;
    explicit CCorTempDlg(const CPageContext& context, QWidget* parent = nullptr);
};
