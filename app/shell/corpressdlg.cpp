// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/corpressdlg.h>

#include <app/data/diag.h>
#include <app/tuning/correctioncurve.h>
#include <gradctrls/charts/corrchart.h>

namespace {

const SCurvePage kPage {
    .table = &correctioncurve::pressure,
    .liveValue = [](const CDiag& record, [[maybe_unused]] const CSettingsImage& image) -> double {
        // kPa are hundredths of a bar, the chart's x unit.
        return record.lpgPressure();
    },
    .makeChart = []() -> CCorrChart* { return new CPressCorrChart; },
    .chartText = L"Korekta ciśnienia",
    .xCaption = L"Ciśnienie [bar]",
    .className = L"CCorPressDlg",
};

} // namespace

CCorPressDlg::CCorPressDlg(const CPageContext& context, QWidget* parent)
    : CCorrCurveDlg(kResourceId, kPage, context, parent)
{
    setObjectName(QStringLiteral("corPressDlg"));
}
