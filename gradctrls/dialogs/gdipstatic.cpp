// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/dialogs/gdipstatic.h>

#include <gradctrls/dialogs/gdippalette.h>
#include <gradctrls/dialogs/paintedtext.h>

#include <QPainter>

#include <cmath>

namespace {

// One measure for the shrinking and the cutting, so that a text the font was
// shrunk to fit is never cut by a pixel's rounding.
bool fits(const QFont& font, const QString& text, int width)
{
    return QFontMetricsF(font).horizontalAdvance(text) <= width;
}

} // namespace

CGDIpStatic::CGDIpStatic(QWidget* parent)
    : QLabel(parent)
{
    m_transparent = true;
    setGradientColors(GradPalette::panelTop(), GradPalette::panelBottom());
    setTextColor(GradPalette::pageText());
}

void CGDIpStatic::setTransparent(bool transparent)
{
    ITransparentCtrl::setTransparent(transparent);
    update();
}

void CGDIpStatic::setTextColor(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

void CGDIpStatic::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (!m_transparent)
        drawGradient(painter, rect());
    if (!pixmap().isNull() || textFormat() == Qt::RichText) {
        painter.end();
        QLabel::paintEvent(event);
        return;
    }
    const int m = margin();
    const QRect area = contentsRect().adjusted(m, m, -m, -m);
    QFont shown = font();
    if (m_shrinkToFit && !wordWrap()) {
        // The live values repaint on every tick: the fitted font is worked out
        // again only when the text, the room or the font changed.
        if (m_fitText != text() || m_fitWidth != area.width() || m_fitFrom != shown) {
            m_fitText = text();
            m_fitWidth = area.width();
            m_fitFrom = shown;
            const bool pixels = shown.pixelSize() > 0;
            double size = pixels ? shown.pixelSize() : shown.pointSizeF();
            while (size > 6 && !fits(shown, text(), area.width())) {
                size = std::floor(size * 0.92);
                if (pixels)
                    shown.setPixelSize(static_cast<int>(size));
                else
                    shown.setPointSizeF(size);
            }
            m_fitFont = shown;
        }
        shown = m_fitFont;
        painter.setFont(shown);
    }
    const QFontMetrics fm(shown);
    const Qt::Alignment align = alignment();
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    // Wrapped when all lines fit, otherwise one line ending in an ellipsis:
    // a scaled-down page must never show a line cut in half.
    if (wordWrap()) {
        const QRect needed = fm.boundingRect(area, static_cast<int>(Qt::TextWordWrap | align), text());
        if (needed.height() <= area.height()) {
            painter.drawText(area, static_cast<int>(Qt::TextWordWrap | align), text());
            paintedtext::note(this, text(), area);
            return;
        }
    }
    const QString line = fits(shown, text(), area.width()) ? text() : fm.elidedText(text(), Qt::ElideRight, area.width());
    painter.drawText(area, static_cast<int>(align), line);
    paintedtext::note(this, line, text(), area);
}

void CGDIpStatic::copyLook(const CGDIpStatic& other)
{
    setText(other.text());
    setFont(other.font());
    setPalette(other.palette());
    setAlignment(other.alignment());
    setTransparent(other.isTransparent());
    setGradientColors(other.gradientFrom(), other.gradientTo());
}
