// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/cortempdlg.h>

#include <app/data/diag.h>
#include <app/tuning/correctioncurve.h>
#include <gradctrls/charts/corrchart.h>

namespace {

const SCurvePage kPage {
    &correctioncurve::temperature,
    [](const CDiag& record, [[maybe_unused]] const CSettingsImage& image) -> double {
        return record.lpgTempr(CDiagScale(image));
    },
    []() -> CCorrChart* { return new CTemprCorrChart; },
    L"Korekta temperatury",
    L"Temperatura [C]",
    L"CCorTempDlg",
};

} // namespace

CCorTempDlg::CCorTempDlg(const CPageContext& context, QWidget* parent)
    : CCorrCurveDlg(kResourceId, kPage, context, parent)
{
    setObjectName(QStringLiteral("corTempDlg"));
}
