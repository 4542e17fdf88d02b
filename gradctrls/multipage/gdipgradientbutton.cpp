// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/multipage/gdipgradientbutton.h>
#include <gradctrls/dialogs/paintedtext.h>

#include <gradctrls/dialogs/gdippalette.h>

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

CGDIpGradientButton::CGDIpGradientButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setGradientColors(GradPalette::buttonTop(), GradPalette::buttonBottom());
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover, true);
}

void CGDIpGradientButton::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

QSize CGDIpGradientButton::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(text()) + 4 * fm.averageCharWidth(), fm.height() * 2);
}

void CGDIpGradientButton::enterEvent(QEnterEvent* event)
{
    m_hover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CGDIpGradientButton::leaveEvent(QEvent* event)
{
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CGDIpGradientButton::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    // A one- to two-pixel gap keeps stacked buttons apart without moving them.
    const qreal gap = std::clamp(height() / 24.0, 1.0, 3.0);
    const QRectF face = QRectF(rect()).adjusted(gap, gap, -gap, -gap);
    const qreal radius = std::clamp(face.height() / 7.0, 2.0, 8.0);

    QColor top = gradientFrom();
    QColor bottom = gradientTo();
    QColor border = GradPalette::buttonBorder();
    if (m_selected) {
        top = GradPalette::selectedTop();
        bottom = GradPalette::selectedBottom();
        border = GradPalette::selectedBorder();
    } else if (m_hover && isEnabled()) {
        top = GradPalette::buttonHoverTop();
        bottom = GradPalette::buttonHoverBottom();
    }
    if (isDown())
        std::swap(top, bottom);
    drawGradientRect(painter, face, top, bottom, true, radius, border);

    if (m_selected) {
        // A bar on the leading edge tells the selected button apart without relying on colour alone.
        const qreal barWidth = std::clamp(face.width() / 40.0, 3.0, 8.0);
        const QRectF bar(face.left() + 1.0, face.top() + radius / 2, barWidth, face.height() - radius);
        painter.fillRect(bar, GradPalette::selectedMark());
    }
    if (hasFocus()) {
        QColor ring = GradPalette::focusRing();
        ring.setAlpha(170);
        painter.setPen(QPen(ring, 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(face.adjusted(3, 3, -3, -3), radius / 2, radius / 2);
    }

    const STextLayout layout = textLayout();
    painter.setFont(layout.font);
    painter.setPen(isEnabled() ? GradPalette::buttonText() : GradPalette::disabledText());
    painter.drawText(layout.area, layout.flags, layout.shown);
    paintedtext::note(this, layout.shown, text(), layout.area.toRect());
}

CGDIpGradientButton::STextLayout CGDIpGradientButton::textLayout() const
{
    const qreal gap = std::clamp(height() / 24.0, 1.0, 3.0);
    const QRectF face = QRectF(rect()).adjusted(gap, gap, -gap, -gap);
    STextLayout layout { font(), {}, Qt::AlignCenter, text() };
    if (m_selected)
        layout.font.setBold(true);
    const QFontMetrics fm(layout.font);
    layout.area = face.adjusted(fm.averageCharWidth(), 0, -fm.averageCharWidth(), 0);
    const QRect area = layout.area.toRect();
    if (fm.horizontalAdvance(layout.shown) <= area.width())
        return layout;
    // Translations run longer than the Polish texts the buttons were sized for.
    const int wrap = Qt::AlignCenter | Qt::TextWordWrap;
    const QRect wrapped = fm.boundingRect(area, wrap, layout.shown);
    if (wrapped.width() <= area.width() && wrapped.height() <= area.height()) {
        layout.flags = wrap;
        return layout;
    }
    layout.shown = fm.elidedText(layout.shown, Qt::ElideRight, area.width());
    return layout;
}
