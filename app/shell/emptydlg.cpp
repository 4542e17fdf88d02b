#include <app/shell/emptydlg.h>

CEmptyDlg::CEmptyDlg(int resourceId, QWidget* parent)
    : CGDIpMultiPageDialog(resourceId, parent)
{
}
