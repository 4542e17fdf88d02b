// SPDX-License-Identifier: GPL-3.0-or-later
// The map grid's in-place editor: what a typed header becomes is the grid's
// (and its model's) decision, so getText() asks the grid.
#pragma once

#include <gradctrls/cellarray/cellarrayedit.h>

class CMapArray;

class CMapEdit : public CCellArrayEdit {
    Q_OBJECT
public:
    explicit CMapEdit(CMapArray* grid);

    // The text the edited cell keeps: the fitted breakpoint, or the old one
    // when the controller refused it.
    QString getText() override;

private:
    CMapArray* m_grid;
};
