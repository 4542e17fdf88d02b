// SPDX-License-Identifier: GPL-3.0-or-later
// Shared drawing helpers of the skin generator: blank transparent canvases,
// lit and unlit LEDs, and writing a picture as TIFF with its alpha channel.
#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QString>

class QPainter;

class CSkinPainter {
public:
    // A fully transparent ARGB canvas.
    static QImage canvas(int width, int height);
    // A round LED: a glowing dome when lit, a dark glass dome when not.
    static void drawLed(QPainter& p, const QPointF& centre, qreal radius, const QColor& color, bool lit);
    // Writes the picture as compressed TIFF with alpha into dir/name and reads
    // it back through Qt's TIFF plugin; false (with a message on stderr) when
    // either fails or a pixel comes back changed.
    static bool save(const QImage& image, const QString& dir, const QString& name);
};
