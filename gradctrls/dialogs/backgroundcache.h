// SPDX-License-Identifier: GPL-3.0-or-later
// A picture of what a control paints beneath everything else (gradients,
// rounded panels, a dial), drawn once at the device's pixel ratio and copied on
// every later paint: a gradient costs arithmetic per pixel, a copy a memory
// move. Redrawn when the size, the pixel ratio or the caller's key changes.
#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QSize>

#include <cstddef>
#include <functional>

class QPainter;

class CBackgroundCache {
public:
    using PaintFunction = std::function<void(QPainter&)>;

    // Draws the picture of a logical size at the painter's origin, only the parts
    // inside exposed (logical): a region's own rectangles, not the box around
    // them, so two cells far apart do not cost the panel between them. paint draws it afresh, in logical coordinates,
    // when size, ratio or key changed. An opaque picture is kept without alpha,
    // which makes the copy a plain move.
    void draw(QPainter& painter, const QSize& size, std::size_t key, const QRegion& exposed, const PaintFunction& paint,
        bool opaque = false);
    // The picture itself, drawn afresh first when needed (device pixels, with the
    // pixel ratio set).
    const QImage& picture(
        qreal ratio, const QSize& size, std::size_t key, const PaintFunction& paint, bool opaque = false);
    void invalidate() { m_image = QImage(); }
    // How often the picture was drawn afresh (to prove that ticks only copy it).
    int redraws() const { return m_redraws; }

private:
    QImage m_image;
    std::size_t m_key = 0;
    int m_redraws = 0;
};
