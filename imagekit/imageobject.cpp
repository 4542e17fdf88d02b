// SPDX-License-Identifier: GPL-3.0-or-later
#include <imagekit/imageobject.h>

#include <QImageReader>
#include <QPainter>
#include <QString>

bool CImageObject::Load(const std::wstring& path, QPainter* /*dc*/, int width, int height)
{
    m_image = QImage();
    QImageReader reader(QString::fromStdWString(path));
    // Pixel data only: an orientation tag must not turn a skin on its side.
    reader.setAutoTransform(false);
    QImage loaded = reader.read();
    if (loaded.isNull())
        return false;
    if (width > 0 && height > 0 && (loaded.width() != width || loaded.height() != height))
        loaded = loaded.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    setImage(loaded);
    return true;
}

void CImageObject::setImage(const QImage& image)
{
    // One pixel format for every picture: blending and reduction then never convert per paint.
    m_image = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

bool CImageObject::Draw(QPainter* dc, int x, int y, int width, int height) const
{
    if (!dc || m_image.isNull() || width <= 0 || height <= 0)
        return false;
    dc->save();
    dc->setRenderHint(QPainter::SmoothPixmapTransform, true);
    dc->drawImage(QRect(x, y, width, height), m_image);
    dc->restore();
    return true;
}
