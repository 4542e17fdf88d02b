// SPDX-License-Identifier: GPL-3.0-or-later
#include "tiffwriter.h"

#include <QtEndian>

#include <lzma.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace {

// TIFF 6.0 field types and tags used here.
constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;

struct SEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value; // the value itself when it fits in four bytes, else its offset
};

void put16(QByteArray& out, uint16_t v)
{
    char bytes[2];
    qToLittleEndian(v, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray& out, uint32_t v)
{
    char bytes[4];
    qToLittleEndian(v, bytes);
    out.append(bytes, 4);
}

// Each sample minus the same sample of the pixel to its left (TIFF predictor 2).
QByteArray predictedRows(const QImage& rgba)
{
    const int rowBytes = rgba.width() * 4;
    QByteArray data(qsizetype(rowBytes) * rgba.height(), Qt::Uninitialized);
    for (int y = 0; y < rgba.height(); ++y) {
        const uchar* in = rgba.constScanLine(y);
        auto* out = reinterpret_cast<uchar*>(data.data()) + qsizetype(rowBytes) * y;
        for (int i = 0; i < rowBytes; ++i)
            out[i] = uchar(i < 4 ? in[i] : in[i] - in[i - 4]);
    }
    return data;
}

// TIFF's LZMA compression (34925) is an .xz stream of the strip. A third
// smaller than Deflate on these pictures, and read by the libtiff that Qt's
// TIFF plugin uses.
QByteArray xzCompressed(const QByteArray& data)
{
    QByteArray out(qsizetype(lzma_stream_buffer_bound(static_cast<size_t>(data.size()))), Qt::Uninitialized);
    size_t written = 0;
    if (lzma_easy_buffer_encode(9 | LZMA_PRESET_EXTREME, LZMA_CHECK_CRC32, nullptr,
            reinterpret_cast<const uint8_t*>(data.constData()), static_cast<size_t>(data.size()),
            reinterpret_cast<uint8_t*>(out.data()), &written, static_cast<size_t>(out.size()))
        != LZMA_OK)
        throw std::runtime_error("LZMA compression failed");
    out.truncate(qsizetype(written));
    return out;
}

} // namespace

QByteArray CTiffWriter::encode(const QImage& image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    const QByteArray strip = xzCompressed(predictedRows(rgba));

    constexpr uint32_t kHeaderSize = 8;
    const uint32_t stripOffset = kHeaderSize;
    const uint32_t bitsOffset = stripOffset + uint32_t(strip.size()) + (strip.size() & 1); // word aligned
    const uint32_t ifdOffset = bitsOffset + 8;
    const auto width = uint32_t(rgba.width());
    const auto height = uint32_t(rgba.height());
    const std::vector<SEntry> entries = {
        { 256, kLong, 1, width },                         // ImageWidth
        { 257, kLong, 1, height },                        // ImageLength
        { 258, kShort, 4, bitsOffset },                   // BitsPerSample 8,8,8,8
        { 259, kShort, 1, 34925 },                        // Compression: LZMA
        { 262, kShort, 1, 2 },                            // PhotometricInterpretation: RGB
        { 273, kLong, 1, stripOffset },                   // StripOffsets
        { 277, kShort, 1, 4 },                            // SamplesPerPixel
        { 278, kLong, 1, height },                        // RowsPerStrip: one strip
        { 279, kLong, 1, uint32_t(strip.size()) },        // StripByteCounts
        { 284, kShort, 1, 1 },                            // PlanarConfiguration: chunky
        { 317, kShort, 1, 2 },                            // Predictor: horizontal differencing
        { 338, kShort, 1, 2 },                            // ExtraSamples: unassociated alpha
    };

    QByteArray out;
    out.append("II", 2);
    put16(out, 42);
    put32(out, ifdOffset);
    out.append(strip);
    if (strip.size() & 1)
        out.append('\0');
    for (int i = 0; i < 4; ++i)
        put16(out, 8);
    put16(out, uint16_t(entries.size()));
    for (const SEntry& e : entries) {
        put16(out, e.tag);
        put16(out, e.type);
        put32(out, e.count);
        // A SHORT value sits in the first two of the four bytes.
        if (e.type == kShort && e.count == 1) {
            put16(out, uint16_t(e.value));
            put16(out, 0);
        } else {
            put32(out, e.value);
        }
    }
    put32(out, 0); // no further directory
    return out;
}
