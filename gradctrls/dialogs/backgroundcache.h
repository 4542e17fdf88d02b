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

// Copies the part under the logical rectangle part of an opaque picture of
// device pixels lying at the painter's origin straight into the image the
// painter writes, row by row, keeping to the system clip (the exposed part of
// a widget) and the painter's clip. False when it cannot: a painter that is
// not the raster engine on a 32-bit image, a scale, a shift by part of a
// pixel, a composition or opacity of its own. The raster engine hands an
// image drawing of some size to its thread pool in bands, and the waking of
// its threads costs more than the copy itself.
bool copyOpaquePicture(QPainter& painter, const QImage& picture, const QRect& part);

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
