// SPDX-License-Identifier: GPL-3.0-or-later
// A push button drawn with a vertical gradient: grey at rest, lighter under
// the mouse, blue with a yellow mark when selected. A text too long for one
// line takes two or more where the face is high enough for them; otherwise
// it is elided rather than clipped.
#pragma once

#include <gradctrls/dialogs/igdipgradientctrl.h>
#include <gradctrls/dialogs/iownfontctrl.h>

#include <QAbstractButton>
#include <QFont>
#include <QRectF>

class CGDIpGradientButton : public QAbstractButton, public IOwnFontCtrl, public IGDIpGradientCtrl {
    Q_OBJECT
public:
    explicit CGDIpGradientButton(QWidget* parent = nullptr);

    void setSelected(bool selected);
    bool getSelected() const { return m_selected; }

    QSize sizeHint() const override;

    // How the text is drawn at the current size: its font, the rectangle it
    // goes into, the drawText flags and the text as shown (elided when even
    // wrapped it does not fit).
    struct STextLayout {
        QFont font;
        QRectF area;
        int flags;
        QString shown;
    };
    STextLayout textLayout() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool m_selected = false;
    bool m_hover = false;
};
