// A text control with the library's look: transparent by default (the
// container's gradient shows through), or a gradient fill behind the text.
#pragma once

#include <gradctrls/dialogs/igdipgradientctrl.h>
#include <gradctrls/dialogs/iownfontctrl.h>
#include <gradctrls/dialogs/itransparentctrl.h>

#include <QLabel>

class CGDIpStatic : public QLabel, public IOwnFontCtrl, public ITransparentCtrl, public IGDIpGradientCtrl {
    Q_OBJECT
public:
    explicit CGDIpStatic(QWidget* parent = nullptr);

    void setTransparent(bool transparent) override;
    void setTextColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;
};
