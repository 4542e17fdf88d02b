// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/firmwarefile.h>

#include <errkit/ierror.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>

namespace {

constexpr std::size_t kVersionAt = 4;
constexpr std::size_t kMarkerAt = 6;
constexpr std::size_t kModelNameAt = 19;
constexpr std::size_t kChecksumAt = 38;

uint8_t unrotate(uint8_t b)
{
    return static_cast<uint8_t>(b >> 2 | b << 6);
}

uint32_t u32At(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16
        | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t u16At(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t announcedSize(std::span<const uint8_t> rotatedHeader)
{
    uint8_t size[4];
    for (std::size_t i = 0; i < 4; ++i)
        size[i] = unrotate(rotatedHeader[i]);
    return u32At(size);
}

} // namespace

void CFirmwareFile::clear()
{
    m_loaded = false;
    m_image.clear();
    m_imageLength = 0;
    m_rowCount = 0;
    m_bodySize = 0;
    m_problem = Problem::None;
}

const char* CFirmwareFile::describe(Problem problem)
{
    switch (problem) {
    case Problem::None: return "no problem";
    case Problem::Unreadable: return "the file cannot be opened";
    case Problem::NotAFile: return "it is not a file";
    case Problem::ShortHeader: return "the file is shorter than its 40-byte header";
    case Problem::TooLarge: return "the header announces more than 524288 body bytes";
    case Problem::ShortBody: return "the file holds fewer body bytes than its header announces";
    case Problem::TooShort: return "the body is shorter than 8381 bytes";
    case Problem::Checksum: return "the checksum does not match";
    }
    return "unknown problem";
}

bool CFirmwareFile::load(const std::filesystem::path& path, uint16_t& version, std::wstring& modelName,
                         uint16_t& marker)
{
    clear();
    // A folder opens as an empty stream and a FIFO would block the read.
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        return refuse(Problem::NotAFile);
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return refuse(Problem::Unreadable);
    std::array<uint8_t, kHeaderSize> header {};
    file.read(reinterpret_cast<char*>(header.data()), kHeaderSize);
    if (file.gcount() != static_cast<std::streamsize>(kHeaderSize))
        return refuse(Problem::ShortHeader);
    // Never more than the cap is read, whatever the header announces.
    std::vector<uint8_t> body(std::min(announcedSize(header), kMaxBodySize));
    file.read(reinterpret_cast<char*>(body.data()), static_cast<std::streamsize>(body.size()));
    body.resize(static_cast<std::size_t>(file.gcount()));
    return accept(header, body, version, modelName, marker);
}

bool CFirmwareFile::load(std::span<const uint8_t> file, uint16_t& version, std::wstring& modelName,
                         uint16_t& marker)
{
    clear();
    if (file.size() < kHeaderSize)
        return refuse(Problem::ShortHeader);
    const auto header = file.first(kHeaderSize);
    const std::size_t wanted = std::min(announcedSize(header), kMaxBodySize);
    const auto body = file.subspan(kHeaderSize, std::min(wanted, file.size() - kHeaderSize));
    return accept(header, body, version, modelName, marker);
}

bool CFirmwareFile::accept(std::span<const uint8_t> rotatedHeader, std::span<const uint8_t> rotatedBody,
                           uint16_t& version, std::wstring& modelName, uint16_t& marker)
{
    std::array<uint8_t, kHeaderSize> header {};
    std::transform(rotatedHeader.begin(), rotatedHeader.end(), header.begin(), unrotate);
    const uint32_t size = u32At(header.data());
    // An announced size beyond the cap can never be read in full.
    if (size > kMaxBodySize)
        return refuse(Problem::TooLarge);
    if (rotatedBody.size() < size)
        return refuse(Problem::ShortBody);
    if (size < kMinBodySize)
        return refuse(Problem::TooShort);
    std::vector<uint8_t> body(size);
    std::transform(rotatedBody.begin(), rotatedBody.begin() + size, body.begin(), unrotate);

    // Each of the two sums starts from 1; the checksum field counts as 0.
    uint32_t sum = 1;
    for (std::size_t i = 0; i < kHeaderSize; ++i)
        if (i != kChecksumAt && i != kChecksumAt + 1)
            sum += header[i];
    sum += 1;
    for (uint8_t b : body)
        sum += b;
    if ((sum & 0xFFFF) != u16At(header.data() + kChecksumAt))
        return refuse(Problem::Checksum);

    m_imageLength = size - (kGapEnd - kGapStart);
    m_rowCount = (m_imageLength + kRowBytes - 1) / kRowBytes;
    m_image.reserve(m_imageLength);
    m_image.assign(body.begin(), body.begin() + kGapStart);
    m_image.insert(m_image.end(), body.begin() + kGapEnd, body.end());
    m_bodySize = size;

    std::string name;
    for (std::size_t i = 0; i < kModelNameChars && header[kModelNameAt + i] != 0; ++i)
        name.push_back(static_cast<char>(header[kModelNameAt + i]));
    modelName = ansi2unicode(name);
    version = u16At(header.data() + kVersionAt);
    marker = u16At(header.data() + kMarkerAt);
    m_loaded = true;
    return true;
}

void CFirmwareFile::copyRow(std::size_t offset, uint8_t (&row)[kRowBytes]) const
{
    std::memset(row, 0xFF, kRowBytes);
    if (offset < m_imageLength)
        std::memcpy(row, m_image.data() + offset, std::min(kRowBytes, m_imageLength - offset));
}
