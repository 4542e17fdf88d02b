// SPDX-License-Identifier: GPL-3.0-or-later
// Image objects: loading TIFF pictures with alpha at their natural or a given
// size, failure on missing or broken files, blending by the picture's own
// transparency, down-sampling (sizes and area averaging) and the copy that a
// control reduces without touching the shared source.
#include <imagekit/extimage.h>
#include <imagekit/imageobject.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class ImageKit : public ::testing::Test {
protected:
    // A w x h TIFF: opaque red left half, fully transparent right half.
    std::wstring writeTiff(const QString& name, int w, int h)
    {
        QImage img(w, h, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w / 2; ++x)
                img.setPixelColor(x, y, QColor(255, 0, 0, 255));
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(img.save(path, "TIFF"));
        return path.toStdWString();
    }

    QTemporaryDir m_dir;
};

TEST_F(ImageKit, LoadKeepsNaturalSizeAndAlpha)
{
    CImageObject img;
    EXPECT_EQ(img.IsLoaded(), 0);
    ASSERT_TRUE(img.Load(writeTiff("a.tif", 400, 300), nullptr, -1, -1));
    EXPECT_NE(img.IsLoaded(), 0);
    EXPECT_EQ(img.GetWidth(), 400);
    EXPECT_EQ(img.GetHeight(), 300);
    EXPECT_EQ(qAlpha(img.image().pixel(10, 10)), 255);
    EXPECT_EQ(qAlpha(img.image().pixel(390, 10)), 0);
}

TEST_F(ImageKit, LoadWithSizeScales)
{
    CImageObject img;
    ASSERT_TRUE(img.Load(writeTiff("b.tif", 400, 300), nullptr, 40, 30));
    EXPECT_EQ(img.GetWidth(), 40);
    EXPECT_EQ(img.GetHeight(), 30);
}

TEST_F(ImageKit, FailedLoadLeavesObjectEmpty)
{
    CImageObject img;
    ASSERT_TRUE(img.Load(writeTiff("c.tif", 20, 20)));
    EXPECT_FALSE(img.Load(m_dir.filePath("missing.tif").toStdWString()));
    EXPECT_EQ(img.IsLoaded(), 0);
    EXPECT_EQ(img.GetWidth(), 0);

    QFile junk(m_dir.filePath("junk.tif"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("II*\0 this is not a picture");
    junk.close();
    EXPECT_FALSE(img.Load(junk.fileName().toStdWString()));
    EXPECT_EQ(img.IsLoaded(), 0);
}

TEST_F(ImageKit, DrawingNeedsPictureAndPainter)
{
    CExtImage empty;
    QImage target(10, 10, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&target);
    EXPECT_FALSE(empty.Draw(&p, 0, 0, 10, 10));
    EXPECT_FALSE(empty.alphaBlend(&p, 0, 0, 10, 10));
    EXPECT_FALSE(empty.downSampling(5, 5));

    CExtImage img;
    ASSERT_TRUE(img.Load(writeTiff("d.tif", 20, 20)));
    EXPECT_FALSE(img.alphaBlend(nullptr, 0, 0, 10, 10));
    EXPECT_FALSE(img.alphaBlend(&p, 0, 0, 0, 10));
    EXPECT_FALSE(img.downSampling(0, 5));
    EXPECT_EQ(img.GetWidth(), 20);
}

TEST_F(ImageKit, AlphaBlendKeepsBackgroundWhereTransparent)
{
    // Half-transparent red over opaque blue, and a transparent part that leaves blue alone.
    QImage src(2, 1, QImage::Format_ARGB32);
    src.setPixelColor(0, 0, QColor(255, 0, 0, 128));
    src.setPixelColor(1, 0, QColor(0, 0, 0, 0));
    const QString path = m_dir.filePath("half.tif");
    ASSERT_TRUE(src.save(path, "TIFF"));
    CExtImage img;
    ASSERT_TRUE(img.Load(path.toStdWString()));

    QImage target(2, 1, QImage::Format_RGB32);
    target.fill(QColor(0, 0, 255));
    QPainter p(&target);
    ASSERT_TRUE(img.alphaBlend(&p, 0, 0, 2, 1));
    p.end();
    const QColor mixed = target.pixelColor(0, 0);
    EXPECT_NEAR(mixed.red(), 128, 2);
    EXPECT_EQ(mixed.green(), 0);
    EXPECT_NEAR(mixed.blue(), 127, 2);
    EXPECT_EQ(target.pixelColor(1, 0), QColor(0, 0, 255));
}

TEST_F(ImageKit, DownSamplingByIntegerFactorGivesExactSize)
{
    struct Case {
        int w, h, k, expectW, expectH;
    };
    const Case cases[] = {{400, 400, 4, 100, 100}, {1024, 1024, 3, 341, 341}, {384, 256, 2, 192, 128}};
    for (const Case& c : cases) {
        CExtImage img;
        ASSERT_TRUE(img.Load(writeTiff(QStringLiteral("s%1.tif").arg(c.w), c.w, c.h)));
        ASSERT_TRUE(img.downSampling(img.GetWidth() / c.k, img.GetHeight() / c.k));
        EXPECT_EQ(img.GetWidth(), c.expectW);
        EXPECT_EQ(img.GetHeight(), c.expectH);
    }
}

TEST_F(ImageKit, DownSamplingAveragesAreas)
{
    // An 8 x 8 pixel checkerboard reduced to 2 x 2 must come out grey, not black or white.
    QImage board(8, 8, QImage::Format_ARGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            board.setPixelColor(x, y, (x + y) % 2 ? Qt::white : Qt::black);
    CExtImage img;
    img.setImage(board);
    ASSERT_TRUE(img.downSampling(2, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_NEAR(qGray(img.image().pixel(x, y)), 128, 12) << x << "," << y;
}

TEST_F(ImageKit, AssignedCopyIsReducedAloneAndSourceStaysIntact)
{
    CExtImage source;
    ASSERT_TRUE(source.Load(writeTiff("src.tif", 400, 400)));
    const QImage before = source.image().copy();

    CExtImage working;
    working = source;
    ASSERT_TRUE(working.downSampling(100, 100));
    EXPECT_EQ(working.GetWidth(), 100);
    EXPECT_EQ(source.GetWidth(), 400);
    EXPECT_EQ(source.GetHeight(), 400);
    EXPECT_EQ(source.image(), before);

    // A plain image object shared by several controls is copied the same way.
    CImageObject shared;
    ASSERT_TRUE(shared.Load(writeTiff("shared.tif", 400, 400)));
    CExtImage fromShared;
    fromShared = shared;
    ASSERT_TRUE(fromShared.downSampling(50, 50));
    EXPECT_EQ(shared.GetWidth(), 400);
    EXPECT_EQ(fromShared.GetWidth(), 50);

    CExtImage copied(working);
    ASSERT_TRUE(copied.downSampling(10, 10));
    EXPECT_EQ(working.GetWidth(), 100);
}

} // namespace
