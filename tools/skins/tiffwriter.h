// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a picture as a TIFF file that Qt's TIFF plugin (libtiff) reads back
// unchanged: 8-bit RGBA with unassociated alpha, Zstandard with the horizontal
// predictor, in strips of some 64 KiB. Qt's own writer offers only LZW without the
// predictor, which leaves the gradients of the skins several times larger.
#pragma once

#include <QByteArray>
#include <QImage>

class CTiffWriter {
public:
    // The whole file for image (any format; written as non-premultiplied RGBA).
    static QByteArray encode(const QImage& image);
};
