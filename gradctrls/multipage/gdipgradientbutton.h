// A push button drawn with a vertical gradient: grey at rest, lighter under
// the mouse, blue with a yellow mark when selected. Its text is elided rather
// than clipped when the button gets too small for it.
#pragma once

#include <gradctrls/dialogs/igdipgradientctrl.h>
#include <gradctrls/dialogs/iownfontctrl.h>

#include <QAbstractButton>

class CGDIpGradientButton : public QAbstractButton, public IOwnFontCtrl, public IGDIpGradientCtrl {
    Q_OBJECT
public:
    explicit CGDIpGradientButton(QWidget* parent = nullptr);

    void setSelected(bool selected);
    bool getSelected() const { return m_selected; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool m_selected = false;
    bool m_hover = false;
};
