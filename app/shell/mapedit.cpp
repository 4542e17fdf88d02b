// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/mapedit.h>

#include <app/shell/maparray.h>

CMapEdit::CMapEdit(CMapArray* grid)
    : m_grid(grid)
{
}

QString CMapEdit::getText()
{
    return m_grid ? m_grid->commitEditedText(text()) : CCellArrayEdit::getText();
}
