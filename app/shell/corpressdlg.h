// SPDX-License-Identifier: GPL-3.0-or-later
// "Korekty ciśnienia": the LPG-pressure correction curve (0 … 2.5 bar),
// written with its own record; the live marker follows the LPG pressure.
#pragma once

#include <app/data/readblocks.h>
#include <app/shell/corrcurvedlg.h>

class CCorPressDlg : public CCorrCurveDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 329;
    explicit CCorPressDlg(const CPageContext& context, QWidget* parent = nullptr);

protected:
    std::span<double> table() override;
    bool writeTable() override;
    uint32_t tableBlock() const override { return CReadBlocks::PressCorr; }
    double liveValue(const CDiag& record) const override;
    CCorrChart* makeChart() const override;
    const wchar_t* chartText() const override { return L"Korekta ciśnienia"; }
    const wchar_t* xCaption() const override { return L"Ciśnienie [bar]"; }
    const wchar_t* className() const override { return L"CCorPressDlg"; }
};
