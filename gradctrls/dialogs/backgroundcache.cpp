// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/dialogs/backgroundcache.h>

#include <QPaintDevice>
#include <QPainter>

#include <cmath>

const QImage& CBackgroundCache::picture(
    qreal ratio, const QSize& size, std::size_t key, const PaintFunction& paint, bool opaque)
{
    const QSize pixels(
        static_cast<int>(std::ceil(size.width() * ratio)), static_cast<int>(std::ceil(size.height() * ratio)));
    const QImage::Format format = opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied;
    if (m_image.isNull() || m_image.size() != pixels || m_image.devicePixelRatio() != ratio || m_key != key
        || m_image.format() != format) {
        m_image = QImage(pixels, format);
        m_image.setDevicePixelRatio(ratio);
        m_image.fill(opaque ? Qt::black : Qt::transparent);
        QPainter p(&m_image);
        paint(p);
        m_key = key;
        ++m_redraws;
    }
    return m_image;
}

void CBackgroundCache::draw(QPainter& painter, const QSize& size, std::size_t key, const QRegion& exposed,
    const PaintFunction& paint, bool opaque)
{
    if (size.isEmpty())
        return;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    picture(ratio, size, key, paint, opaque);
    for (const QRect& rect : exposed.intersected(QRect(QPoint(0, 0), size))) {
        const QRectF source(rect.x() * ratio, rect.y() * ratio, rect.width() * ratio, rect.height() * ratio);
        painter.drawImage(QRectF(rect), m_image, source);
    }
}
