// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/levelbar.h>

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QColor kEmptyColour(244, 246, 248);

} // namespace

CLevelBar::CLevelBar(QWidget* parent)
    : QWidget(parent)
{
}

void CLevelBar::setColour(const QColor& colour)
{
    m_colour = colour;
    update();
}

int CLevelBar::filledHeight(double level) const
{
    return static_cast<int>(std::lround(level * std::max(0, height() - 2)));
}

void CLevelBar::setLevel(double level)
{
    level = std::isfinite(level) ? std::clamp(level, 0.0, 1.0) : 0.0;
    const bool moved = filledHeight(level) != filledHeight(m_level);
    m_level = level;
    if (moved)
        update();
}

void CLevelBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.setPen(QColor(60, 60, 60));
    // Opaque: Qt's raster engine hands every blended rectangle of more than a
    // few lines to its thread pool, and sixteen half-transparent bars cost a
    // live page more than its chart. The colour is what white at 55 % gave
    // over the page's gradient where the bars stand.
    painter.setBrush(kEmptyColour);
    painter.drawRect(frame);
    const int filled = filledHeight(m_level);
    if (filled > 0)
        painter.fillRect(QRect(1, height() - 1 - filled, width() - 2, filled), m_colour);
}
