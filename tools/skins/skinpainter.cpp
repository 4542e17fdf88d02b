// SPDX-License-Identifier: GPL-3.0-or-later
#include "skinpainter.h"

#include "tiffwriter.h"

#include <QDir>
#include <QImageReader>
#include <QSaveFile>
#include <QPainter>
#include <QRadialGradient>

#include <cstdio>

QImage CSkinPainter::canvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void CSkinPainter::drawLed(QPainter& p, const QPointF& centre, qreal radius, const QColor& color, bool lit)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    if (lit) {
        // The glow reaches past the dome so a lit LED reads even when the picture is small.
        QRadialGradient glow(centre, radius * 1.6);
        QColor halo = color;
        halo.setAlpha(110);
        glow.setColorAt(0.0, halo);
        glow.setColorAt(1.0, QColor(color.red(), color.green(), color.blue(), 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(centre, radius * 1.6, radius * 1.6);
    }
    QRadialGradient dome(centre - QPointF(radius * 0.3, radius * 0.35), radius * 1.3);
    if (lit) {
        dome.setColorAt(0.0, color.lighter(175));
        dome.setColorAt(0.45, color);
        dome.setColorAt(1.0, color.darker(150));
    } else {
        dome.setColorAt(0.0, QColor(0x5a, 0x62, 0x6b));
        dome.setColorAt(0.5, QColor(0x2c, 0x32, 0x38));
        dome.setColorAt(1.0, QColor(0x16, 0x1a, 0x1e));
    }
    p.setBrush(dome);
    p.setPen(QPen(QColor(0x0c, 0x0f, 0x12), radius * 0.12));
    p.drawEllipse(centre, radius, radius);
    // A small highlight gives the glass its shape.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, lit ? 150 : 60));
    p.drawEllipse(centre - QPointF(radius * 0.35, radius * 0.4), radius * 0.28, radius * 0.2);
    p.restore();
}

bool CSkinPainter::save(const QImage& image, const QString& dir, const QString& name)
{
    const QString path = QDir(dir).filePath(name);
    // Straight (unassociated) alpha, as the program's image library expects it.
    const QImage picture = image.convertToFormat(QImage::Format_ARGB32);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(CTiffWriter::encode(picture)) < 0 || !file.commit()) {
        std::fprintf(stderr, "korvana-skins: cannot write %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    // Read back through Qt's TIFF plugin, as the program reads it: every pixel must come back.
    QImageReader reader(path, "tiff");
    const QImage back = reader.read();
    if (back.isNull() || back.convertToFormat(QImage::Format_ARGB32) != picture) {
        std::fprintf(stderr, "korvana-skins: %s does not read back as written: %s\n", qPrintable(path),
            qPrintable(back.isNull() ? reader.errorString() : QStringLiteral("the pixels differ")));
        return false;
    }
    return true;
}
