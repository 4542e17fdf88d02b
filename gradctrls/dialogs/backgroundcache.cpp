// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/dialogs/backgroundcache.h>

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QTransform>

#include <cmath>
#include <cstring>

bool copyOpaquePicture(QPainter& painter, const QImage& picture, const QRect& part)
{
    QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !engine->paintDevice()
        || engine->paintDevice()->devType() != QInternal::Image || painter.opacity() != 1.0
        || painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return false;
    auto* target = static_cast<QImage*>(engine->paintDevice());
    auto fourBytes = [](QImage::Format f) { return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32_Premultiplied; };
    if (!fourBytes(target->format()) || !fourBytes(picture.format()) || picture.hasAlphaChannel()
        || target->devicePixelRatio() != 1.0 || picture.devicePixelRatio() != 1.0)
        return false;
    const QTransform device = painter.deviceTransform();
    if (device.type() > QTransform::TxTranslate || device.dx() != std::round(device.dx())
        || device.dy() != std::round(device.dy()))
        return false;
    const QPoint origin(static_cast<int>(device.dx()), static_cast<int>(device.dy()));
    // Where the painter may write, in the target's pixels.
    QRegion allowed = engine->systemClip().isEmpty() ? QRegion(target->rect()) : engine->systemClip();
    allowed &= QRegion(part.intersected(picture.rect()).translated(origin));
    if (painter.hasClipping())
        allowed &= device.map(painter.clipRegion());
    allowed &= target->rect();
    // Opaque pixels are alike in both formats.
    for (const QRect& r : allowed)
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::memcpy(target->scanLine(y) + r.left() * 4,
                picture.constScanLine(y - origin.y()) + (r.left() - origin.x()) * 4, static_cast<std::size_t>(r.width()) * 4);
    return true;
}

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
        if (opaque && copyOpaquePicture(painter, m_image, rect))
            continue;
        const QRectF source(rect.x() * ratio, rect.y() * ratio, rect.width() * ratio, rect.height() * ratio);
        painter.drawImage(QRectF(rect), m_image, source);
    }
}
