// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/corpressdlg.h>

#include <app/data/diag.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <gradctrls/charts/corrchart.h>

CCorPressDlg::CCorPressDlg(const CPageContext& context, QWidget* parent)
    : CCorrCurveDlg(kResourceId, context, parent)
{
    setObjectName(QStringLiteral("corPressDlg"));
}

std::span<double> CCorPressDlg::table()
{
    return m_context.device.image().m_sensorsSetup.m_pressCorr;
}

bool CCorPressDlg::writeTable()
{
    return CWriteSession::writeBlocks(m_context.device, L"CCorPressDlg", { CReadBlocks::PressCorr }).ok();
}

double CCorPressDlg::liveValue(const CDiag& record) const
{
    // kPa are hundredths of a bar, the chart's x unit.
    return record.lpgPressure();
}

CCorrChart* CCorPressDlg::makeChart() const
{
    return new CPressCorrChart;
}
