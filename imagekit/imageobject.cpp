// SPDX-License-Identifier: GPL-3.0-or-later
#include <imagekit/imageobject.h>

#include <QImageReader>
#include <QPainter>
#include <QString>

#include <map>
#include <mutex>
#include <tuple>

namespace {

QImage decode(const std::wstring& path, int width, int height)
{
    QImageReader reader(QString::fromStdWString(path));
    // Pixel data only: an orientation tag must not turn a skin on its side.
    reader.setAutoTransform(false);
    QImage loaded = reader.read();
    if (loaded.isNull())
        return {};
    if (width > 0 && height > 0 && (loaded.width() != width || loaded.height() != height))
        loaded = loaded.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return loaded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

QImage CImageObject::shared(const std::wstring& path, int width, int height)
{
    if (width <= 0 || height <= 0)
        width = height = -1;
    // Skins are read-only and many controls show the same one: each file is
    // decoded once per run and its pixels shared (a QImage copies on write).
    static std::mutex lock;
    static std::map<std::tuple<std::wstring, int, int>, QImage> decoded;
    const std::lock_guard guard(lock);
    const auto key = std::make_tuple(path, width, height);
    if (const auto found = decoded.find(key); found != decoded.end())
        return found->second;
    QImage image = decode(path, width, height);
    // A failure is not kept: the file may appear later (a test writes it, a fitter restores it).
    if (!image.isNull())
        decoded.emplace(key, image);
    return image;
}

bool CImageObject::Load(const std::wstring& path, QPainter* /*dc*/, int width, int height)
{
    m_image = shared(path, width, height);
    return !m_image.isNull();
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
