// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/cortempdlg.h>

#include <app/data/diag.h>
#include <app/tuning/correctioncurve.h>
#include <gradctrls/charts/corrchart.h>

namespace {

const SCurvePage kPage {
    .table = &correctioncurve::temperature,
    .liveValue = [](const CDiag& record, [[maybe_unused]] const CSettingsImage& image) -> double {
        return record.lpgTempr(CDiagScale(image));
    },
    .makeChart = []() -> CCorrChart* { return new CTemprCorrChart; },
    .chartText = L"Korekta temperatury",
    .xCaption = L"Temperatura [C]",
    .className = L"CCorTempDlg",
};

} // namespace

CCorTempDlg::CCorTempDlg(const CPageContext& context, QWidget* parent)
    : CCorrCurveDlg(kResourceId, kPage, context, parent)
{
    setObjectName(QStringLiteral("corTempDlg"));
}
