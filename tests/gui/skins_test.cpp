// SPDX-License-Identifier: GPL-3.0-or-later
// The skins beside the built program: every picture the pages name exists, is
// stored Zstandard-compressed, loads through the image library with a non-zero
// size and an alpha channel, and the gauge's scale matches the needle travel of
// 68 to 292 degrees. The image library also reads LZW-compressed TIFF. A
// contact sheet of all pictures is saved as an artefact for a look.
#include "guitest.h"

#include <imagekit/extimage.h>
#include <tiffwriter.h>

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>

namespace {

const char* const kSkins[] = {
    "Gauge.tif",          "Injector_Green.tif",      "Injector_Red.tif",        "Injector_White.tif",
    "KR CON PETROL.tif",  "KR CON AUTO.tif",         "KR CON R.tif",            "KR CON 14.tif",
    "KR CON 12.tif",      "KR CON 34.tif",           "KR CON FULL.tif",         "CheckBox_Selected.tif",
    "CheckBox_Unselected.tif", "CheckBox_Selected_2.tif", "CheckBox_Unselected_2.tif", "Btn_record.tif",
    "Btn_play.tif",       "Btn_pause.tif",           "Btn_prev.tif",            "Btn_next.tif",
    "Btn_open.tif",       "Btn_stop.tif",            "ABOUT LOGO.tif",
};

std::wstring skinPath(const char* name)
{
    return QDir(QStringLiteral(KORVANA_RUNTIME_DIR "/Skins")).filePath(QString::fromUtf8(name)).toStdWString();
}

// A one-value SHORT or LONG tag of the first directory of a little-endian TIFF
// file; 0 when the file is no such TIFF or lacks the tag.
quint32 tiffTag(const QString& path, quint16 tag)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray data = file.readAll();
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    if (data.size() < 8 || !data.startsWith("II*"))
        return 0;
    const quint32 ifd = qFromLittleEndian<quint32>(bytes + 4);
    if (qsizetype(ifd) + 2 > data.size())
        return 0;
    const int count = qFromLittleEndian<quint16>(bytes + ifd);
    for (int i = 0; i < count && qsizetype(ifd) + 2 + 12 * (i + 1) <= data.size(); ++i) {
        const uchar* entry = bytes + ifd + 2 + 12 * i;
        if (qFromLittleEndian<quint16>(entry) == tag)
            return qFromLittleEndian<quint16>(entry + 2) == 4 ? qFromLittleEndian<quint32>(entry + 8)
                                                              : qFromLittleEndian<quint16>(entry + 8);
    }
    return 0;
}

// Tag 259: 1 none, 5 LZW, 8 Deflate, 34925 LZMA, 50000 Zstandard.
quint32 tiffCompression(const QString& path)
{
    return tiffTag(path, 259);
}

TEST(Skins, EveryPictureLoadsWithSizeAndAlpha)
{
    for (const char* name : kSkins) {
        EXPECT_EQ(tiffCompression(QString::fromStdWString(skinPath(name))), 50000) << name << " is not Zstandard-compressed";
        CExtImage img;
        ASSERT_TRUE(img.Load(skinPath(name), nullptr, -1, -1)) << name;
        EXPECT_GE(img.GetWidth(), 128) << name;
        EXPECT_GE(img.GetHeight(), 128) << name;
        EXPECT_TRUE(img.image().hasAlphaChannel()) << name;
        // Transparent somewhere (the corners), opaque somewhere (the middle).
        EXPECT_EQ(qAlpha(img.image().pixel(0, 0)), 0) << name;
        EXPECT_EQ(qAlpha(img.image().pixel(img.GetWidth() / 2, img.GetHeight() / 2)), 255) << name;
    }
}

// A skin drawn by another tool may come LZW-compressed, as Qt writes TIFF.
TEST(Skins, LzwCompressedTiffLoadsPixelForPixel)
{
    QImage picture(64, 48, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgba(x * 4, y * 5, (x * y) & 0xff, (x + y) % 7 == 0 ? 0 : 255));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lzw.tif"));
    QImageWriter writer(path, "tiff");
    writer.setCompression(1);
    ASSERT_TRUE(writer.write(picture)) << writer.errorString().toStdString();
    ASSERT_EQ(tiffCompression(path), 5);
    CExtImage img;
    ASSERT_TRUE(img.Load(path.toStdWString(), nullptr, -1, -1));
    // The library keeps its pictures premultiplied: with alpha 0 or 255 only, that loses nothing.
    EXPECT_EQ(img.image(), picture.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

// The skins' own writer: a picture several strips tall, the last one short,
// reads back pixel for pixel, and the dial is stored in strips, not in one.
TEST(Skins, WrittenPictureReadsBackInStrips)
{
    QImage picture(300, 200, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgba(x & 0xff, (y * 3) & 0xff, (x * y) & 0xff, (x + y) % 5 == 0 ? 0 : 255));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("strips.tif"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_GT(file.write(CTiffWriter::encode(picture)), 0);
    file.close();
    const quint32 rowsPerStrip = tiffTag(path, 278);
    EXPECT_GT(rowsPerStrip, 0u);
    EXPECT_NE(picture.height() % int(rowsPerStrip), 0) << "the last strip should be a short one";
    EXPECT_GE(picture.height() / int(rowsPerStrip), 2);
    CExtImage img;
    ASSERT_TRUE(img.Load(path.toStdWString(), nullptr, -1, -1));
    EXPECT_EQ(img.image(), picture.convertToFormat(QImage::Format_ARGB32_Premultiplied));

    const QString gauge = QString::fromStdWString(skinPath("Gauge.tif"));
    EXPECT_LT(tiffTag(gauge, 278) * tiffTag(gauge, 256) * 4, 64u * 1024 + 1);
}

TEST(Skins, GaugeScaleSpansTheNeedleTravel)
{
    CExtImage gauge;
    ASSERT_TRUE(gauge.Load(skinPath("Gauge.tif")));
    const QImage& img = gauge.image();
    const double c = img.width() / 2.0;
    // The needle points down at 0 degrees and turns clockwise: 90 left, 270 right.
    auto at = [&](double degrees, double share) {
        const double r = degrees * M_PI / 180.0;
        return img.pixelColor(int(c - std::sin(r) * share * c), int(c + std::cos(r) * share * c));
    };
    // The end ticks of the scale are dark; straight down, below the scale, the face is light.
    EXPECT_LT(at(68.0, 0.72).lightness(), 90);
    EXPECT_LT(at(292.0, 0.72).lightness(), 90);
    EXPECT_LT(at(180.0, 0.72).lightness(), 90);
    EXPECT_GT(at(0.0, 0.72).lightness(), 180);
    // The warning band lies at the high end (lower right), not at the start.
    const QColor high = at(280.0, 0.855);
    const QColor low = at(80.0, 0.855);
    EXPECT_GT(high.red(), 150);
    EXPECT_LT(high.green(), 80);
    EXPECT_FALSE(low.red() > 150 && low.green() < 80);
}

TEST(Skins, ContactSheetForReview)
{
    const int cell = 220;
    QImage sheet(cell * 6, cell * 4, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(0xe9, 0xed, 0xf1));
    QPainter p(&sheet);
    int i = 0;
    for (const char* name : kSkins) {
        CExtImage img;
        ASSERT_TRUE(img.Load(skinPath(name)));
        const int k = int(std::ceil(double(std::max(img.GetWidth(), img.GetHeight())) / (cell - 20)));
        ASSERT_TRUE(img.downSampling(img.GetWidth() / k, img.GetHeight() / k));
        const int x = (i % 6) * cell + (cell - img.GetWidth()) / 2;
        const int y = (i / 6) * cell + (cell - img.GetHeight()) / 2;
        EXPECT_TRUE(img.alphaBlend(&p, x, y, img.GetWidth(), img.GetHeight()));
        ++i;
    }
    p.end();
    EXPECT_TRUE(sheet.save(QDir(guitest::artifactsDir()).filePath(QStringLiteral("skins_contact_sheet.png"))));
}

} // namespace
