// SPDX-License-Identifier: GPL-3.0-or-later
// A composite control whose children scale with it (the displays of the
// library derive from it). At creation: the scalable children are made
// (createSizableCtrls), the creation size becomes the reference size, the
// children are recorded and scaled, then the control's own positioned
// children are made (createOwnCtrls). On every size change the children are
// scaled, the control's data is recalculated (v_recalcData) and it repaints.
#pragma once

#include <basectrls/compctrl.h>
#include <gradctrls/dialogs/igdipgradientctrl.h>
#include <gradctrls/dialogs/isizablectrlscontainer.h>
#include <gradctrls/dialogs/itransparentctrl.h>

class CGDIpTransparentCompCtrl : public CCompCtrl, public ISizableCtrlsContainer, public ITransparentCtrl,
                                 public IGDIpGradientCtrl {
    Q_OBJECT
public:
    CGDIpTransparentCompCtrl();
    ~CGDIpTransparentCompCtrl() override;

    void OnCreated() override;

protected:
    // Children that scale with the control; the default makes none.
    virtual void createSizableCtrls() {}
    // Children the control places itself, after the scaling records were taken.
    virtual void createOwnCtrls() {}
    // The control's layout from its client rectangle (picture sizes, text places).
    virtual void v_recalcData(const QRect& client);

    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
