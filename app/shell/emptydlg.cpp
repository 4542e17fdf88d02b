// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/emptydlg.h>

CEmptyDlg::CEmptyDlg(int resourceId, QWidget* parent)
    : CGDIpMultiPageDialog(resourceId, parent)
{
}
