// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/cortempdlg.h>

#include <app/data/diag.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <gradctrls/charts/corrchart.h>

CCorTempDlg::CCorTempDlg(const CPageContext& context, QWidget* parent)
    : CCorrCurveDlg(kResourceId, context, parent)
{
    setObjectName(QStringLiteral("corTempDlg"));
}

std::span<double> CCorTempDlg::table()
{
    return m_context.device.image().m_sensorsSetup.m_temprCorr;
}

bool CCorTempDlg::writeTable()
{
    return CWriteSession::writeBlocks(m_context.device, L"CCorTempDlg", { CReadBlocks::SensorsSetup }).ok();
}

double CCorTempDlg::liveValue(const CDiag& record) const
{
    return record.lpgTempr(CDiagScale(m_context.device.image()));
}

CCorrChart* CCorTempDlg::makeChart() const
{
    return new CTemprCorrChart;
}
