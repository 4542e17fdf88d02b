// SPDX-License-Identifier: GPL-3.0-or-later
#include "tiffwriter.h"

#include <QtEndian>

#include <zstd.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// TIFF 6.0 field types and tags used here.
constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;
// Rows are compressed in strips of at most this many bytes (a row at least). The
// reader then decodes into one small buffer it reuses: with one strip the
// size of the picture, fresh pages of memory made the dial's decode, which
// the start waits on, twice as slow.
constexpr uint32_t kStripBytes = 64 * 1024;

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

// TIFF's Zstandard compression (50000) is one zstd frame per strip. Near
// LZMA's size on these pictures, and several times faster to decode, which
// the program's start waits on; the libtiff that Qt's TIFF plugin uses reads it.
QByteArray zstdCompressed(const QByteArray& data)
{
    QByteArray out(qsizetype(ZSTD_compressBound(static_cast<size_t>(data.size()))), Qt::Uninitialized);
    const size_t written = ZSTD_compress(out.data(), static_cast<size_t>(out.size()), data.constData(),
                                         static_cast<size_t>(data.size()), ZSTD_maxCLevel());
    if (ZSTD_isError(written))
        throw std::runtime_error(std::string("Zstandard compression failed: ") + ZSTD_getErrorName(written));
    out.truncate(qsizetype(written));
    return out;
}

} // namespace

QByteArray CTiffWriter::encode(const QImage& image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    const QByteArray rows = predictedRows(rgba);
    const auto width = uint32_t(rgba.width());
    const auto height = uint32_t(rgba.height());
    const uint32_t rowsPerStrip = std::min<uint32_t>(height, std::max<uint32_t>(1, kStripBytes / (width * 4)));
    const uint32_t stripCount = (height + rowsPerStrip - 1) / rowsPerStrip;
    std::vector<QByteArray> strips;
    for (uint32_t first = 0; first < height; first += rowsPerStrip) {
        const uint32_t count = std::min(rowsPerStrip, height - first);
        strips.push_back(zstdCompressed(rows.mid(qsizetype(first) * width * 4, qsizetype(count) * width * 4)));
    }

    constexpr uint32_t kHeaderSize = 8;
    QByteArray body;
    std::vector<uint32_t> offsets;
    for (const QByteArray& strip : strips) {
        offsets.push_back(kHeaderSize + uint32_t(body.size()));
        body.append(strip);
        if (strip.size() & 1)
            body.append('\0'); // word aligned
    }
    const uint32_t bitsOffset = kHeaderSize + uint32_t(body.size());
    // One strip's offset and size sit in the entry itself; several go in tables after the bits.
    const uint32_t offsetsAt = bitsOffset + 8;
    const uint32_t countsAt = offsetsAt + (stripCount > 1 ? 4 * stripCount : 0);
    const uint32_t ifdOffset = countsAt + (stripCount > 1 ? 4 * stripCount : 0);
    const std::vector<SEntry> entries = {
        { 256, kLong, 1, width },                         // ImageWidth
        { 257, kLong, 1, height },                        // ImageLength
        { 258, kShort, 4, bitsOffset },                   // BitsPerSample 8,8,8,8
        { 259, kShort, 1, 50000 },                        // Compression: Zstandard
        { 262, kShort, 1, 2 },                            // PhotometricInterpretation: RGB
        { 273, kLong, stripCount, stripCount > 1 ? offsetsAt : offsets.front() }, // StripOffsets
        { 277, kShort, 1, 4 },                            // SamplesPerPixel
        { 278, kLong, 1, rowsPerStrip },                  // RowsPerStrip
        { 279, kLong, stripCount, stripCount > 1 ? countsAt : uint32_t(strips.front().size()) }, // StripByteCounts
        { 284, kShort, 1, 1 },                            // PlanarConfiguration: chunky
        { 317, kShort, 1, 2 },                            // Predictor: horizontal differencing
        { 338, kShort, 1, 2 },                            // ExtraSamples: unassociated alpha
    };

    QByteArray out;
    out.append("II", 2);
    put16(out, 42);
    put32(out, ifdOffset);
    out.append(body);
    for (int i = 0; i < 4; ++i)
        put16(out, 8);
    if (stripCount > 1) {
        for (uint32_t offset : offsets)
            put32(out, offset);
        for (const QByteArray& strip : strips)
            put32(out, uint32_t(strip.size()));
    }
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
