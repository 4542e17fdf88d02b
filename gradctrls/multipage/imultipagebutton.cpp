// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/multipage/imultipagebutton.h>

#include <gradctrls/multipage/imultipagectrl.h>

void IMultiPageButton::activate()
{
    if (m_owner)
        m_owner->activatePage(this);
}
