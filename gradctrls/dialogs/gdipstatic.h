// SPDX-License-Identifier: GPL-3.0-or-later
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
    // A single line that does not fit is drawn in a smaller font rather than cut
    // short (the readings displays, whose values change length).
    void setShrinkToFit(bool shrink) { m_shrinkToFit = shrink; }
    bool shrinkToFit() const { return m_shrinkToFit; }
    // Takes text, font, colours, alignment, transparency and gradient of other
    // (what a copied display keeps of its texts).
    void copyLook(const CGDIpStatic& other);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_shrinkToFit = false;
    QString m_fitText;
    int m_fitWidth = -1;
    QFont m_fitFrom;
    QFont m_fitFont;
};
