// SPDX-License-Identifier: GPL-3.0-or-later
// An image object: one picture loaded from a file, kept at its natural size
// (or at a size asked for) and drawn into a rectangle of a painter.
#pragma once

#include <QImage>

#include <string>
#include <vector>

class QPainter;

class CImageObject {
public:
    CImageObject() = default;
    CImageObject(const CImageObject& other) = default;
    CImageObject& operator=(const CImageObject& other) = default;
    virtual ~CImageObject() = default;

    // Loads the picture in path. A width or height of -1 keeps the picture's own;
    // a positive pair scales it to that size. The painter is not needed and may
    // be null (callers always pass null). On failure the object is left empty.
    bool Load(const std::wstring& path, QPainter* dc = nullptr, int width = -1, int height = -1);
    // Non-zero while a picture is held.
    int IsLoaded() const { return m_image.isNull() ? 0 : 1; }
    int GetWidth() const { return m_image.width(); }
    int GetHeight() const { return m_image.height(); }
    // Draws the picture scaled into the rectangle, replacing what is beneath
    // except where the picture is transparent. False without a picture or painter.
    bool Draw(QPainter* dc, int x, int y, int width, int height) const;

    // The picture itself, premultiplied ARGB, for Qt code that paints it directly.
    const QImage& image() const { return m_image; }
    void setImage(const QImage& image);
    void clear() { m_image = QImage(); }

    // The picture in path as Load would hold it, decoded once per run and
    // shared from then on. Null when the file cannot be read.
    static QImage shared(const std::wstring& path, int width = -1, int height = -1);
    // Starts decoding these files (at their own size) on a thread of their own, so
    // that a later shared() finds them decoded or waits only for the rest.
    static void prefetch(std::vector<std::wstring> paths);

protected:
    QImage m_image;
};
