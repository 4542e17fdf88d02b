// SPDX-License-Identifier: GPL-3.0-or-later
#include <imagekit/extimage.h>

#include <QPainter>

// A copy shares the pixels until either side changes them (QImage copies on
// write), so controls that each keep a working copy of one skin cost nothing
// until one reduces its copy, which makes a new picture anyway.
CExtImage::CExtImage(const CExtImage& other)
    : CImageObject(other)
{
}

CExtImage::CExtImage(const CImageObject& other)
{
    setImage(other.image());
}

CExtImage& CExtImage::operator=(const CExtImage& other)
{
    m_image = other.m_image;
    return *this;
}

CExtImage& CExtImage::operator=(const CImageObject& other)
{
    setImage(other.image());
    return *this;
}

bool CExtImage::alphaBlend(QPainter* dc, int x, int y, int width, int height) const
{
    if (!dc || m_image.isNull() || width <= 0 || height <= 0)
        return false;
    dc->save();
    dc->setCompositionMode(QPainter::CompositionMode_SourceOver);
    dc->setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (width == m_image.width() && height == m_image.height())
        dc->drawImage(QPoint(x, y), m_image);
    else
        dc->drawImage(QRect(x, y, width, height), m_image);
    dc->restore();
    return true;
}

bool CExtImage::downSampling(int width, int height)
{
    if (m_image.isNull() || width <= 0 || height <= 0)
        return false;
    if (width == m_image.width() && height == m_image.height())
        return true;
    // Qt's smooth scaling averages whole source areas when reducing; on
    // premultiplied pixels that keeps transparent edges free of dark fringes.
    QImage reduced = m_image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (reduced.isNull())
        return false;
    m_image = reduced.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return true;
}
