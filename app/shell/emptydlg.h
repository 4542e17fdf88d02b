// SPDX-License-Identifier: GPL-3.0-or-later
// A page without controls. The five action buttons of the main view carry it
// (dialog 335); until the real pages exist, the seven page buttons show it
// too, under their own dialog numbers (313 … 319).
#pragma once

#include <gradctrls/multipage/gdipmultipagedialog.h>

class CEmptyDlg : public CGDIpMultiPageDialog {
    Q_OBJECT
public:
    static constexpr int kResourceId = 335;

    explicit CEmptyDlg(int resourceId = kResourceId, QWidget* parent = nullptr);
};
