// SPDX-License-Identifier: GPL-3.0-or-later
// "Korekty temperatury": the LPG-temperature correction curve, written with
// the sensor setup record; the live marker follows the LPG temperature.
#pragma once

#include <app/data/readblocks.h>
#include <app/shell/corrcurvedlg.h>

class CCorTempDlg : public CCorrCurveDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 328;
    explicit CCorTempDlg(const CPageContext& context, QWidget* parent = nullptr);

protected:
    std::span<double> table() override;
    bool writeTable() override;
    uint32_t tableBlock() const override { return CReadBlocks::SensorsSetup; }
    double liveValue(const CDiag& record) const override;
    CCorrChart* makeChart() const override;
    const wchar_t* chartText() const override { return L"Korekta temperatury"; }
    const wchar_t* xCaption() const override { return L"Temperatura [C]"; }
    const wchar_t* className() const override { return L"CCorTempDlg"; }
};
