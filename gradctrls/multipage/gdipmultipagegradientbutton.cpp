// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/multipage/gdipmultipagegradientbutton.h>

#include <basectrls/ctrlid.h>

#include <QMouseEvent>

CGDIpMultiPageGradientButton::CGDIpMultiPageGradientButton()
    : CGDIpGradientButton(nullptr)
{
}

CGDIpMultiPageGradientButton::~CGDIpMultiPageGradientButton() = default;

bool CGDIpMultiPageGradientButton::create(const QString& title, unsigned style, const QRect& rect, QWidget* parent,
                                          QFont* font, int id)
{
    if (!parent)
        return false;
    setParent(parent);
    setText(title);
    setCtrlId(this, id);
    setFocusPolicy((style & kStyleTabStop) ? Qt::StrongFocus : Qt::ClickFocus);
    setOwnFont(font);
    if (font)
        setFont(*font);
    setGeometry(rect);
    setVisible((style & kStyleVisible) != 0);
    return true;
}

void CGDIpMultiPageGradientButton::moveWindow(const QRect& rect)
{
    setGeometry(rect);
}

void CGDIpMultiPageGradientButton::setWindowText(const QString& text)
{
    setText(text);
}

void CGDIpMultiPageGradientButton::invalidate(bool /*erase*/)
{
    update();
}

void CGDIpMultiPageGradientButton::setFocus()
{
    QWidget::setFocus(Qt::OtherFocusReason);
}

void CGDIpMultiPageGradientButton::showWindow(bool show)
{
    setVisible(show);
}

bool CGDIpMultiPageGradientButton::isWindowVisible() const
{
    return !isHidden();
}

void CGDIpMultiPageGradientButton::selected(bool selected)
{
    setSelected(selected);
}

void CGDIpMultiPageGradientButton::v_recalcData()
{
    // The owner's font follows the window size; take its current height.
    if (m_ownFont && font() != *m_ownFont)
        setFont(*m_ownFont);
}

void CGDIpMultiPageGradientButton::mousePressEvent(QMouseEvent* event)
{
    CGDIpGradientButton::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        activate();
}
