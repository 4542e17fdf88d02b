// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/cppbtn.h>

#include <app/shell/korvanadoc.h>
#include <app/shell/sensorsdlg.h>

void CCPPBtn::onClick()
{
    if (!m_context)
        return;
    // The dialog writes to the controller; not while another operation holds it.
    if (m_context->doc.refuseWhileBusy(this))
        return;
    CSensorsDlg dialog(*m_context, window());
    dialog.DoModal();
}
