// SPDX-License-Identifier: GPL-3.0-or-later
// The working picture of a control: blends by its own transparency and can be
// reduced in place. A copy holds its own pixels, so a control may reduce its
// copy of a shared source picture without touching the source.
#pragma once

#include <imagekit/imageobject.h>

class CExtImage : public CImageObject {
public:
    CExtImage() = default;
    CExtImage(const CExtImage& other);
    explicit CExtImage(const CImageObject& other);
    CExtImage& operator=(const CExtImage& other);
    CExtImage& operator=(const CImageObject& other);
    ~CExtImage() override = default;

    // Draws the picture into the rectangle over what is beneath, weighted by the
    // picture's alpha. False without a picture or painter, or for an empty rectangle.
    bool alphaBlend(QPainter* dc, int x, int y, int width, int height) const;
    // Replaces the picture by a reduced copy of exactly width x height (area
    // averaging, so fine lines fade rather than vanish). False without a picture
    // or for a non-positive size; the picture is then unchanged.
    bool downSampling(int width, int height);
};
