// SPDX-License-Identifier: GPL-3.0-or-later
// A firmware file (.afm): loads and checks it and yields the flash image that
// the update writes into the controller.
//
// The file is stored with every byte rotated left by 2 bits. After undoing
// that: a 40-byte header (body size, version, type marker, model name in code
// page 1250, checksum) and the body. The flash image is the body without its
// bytes 8320…8379; it holds 4 bytes per 24-bit instruction (three bytes and a
// pad byte), the bytes of address a at image offset 2 × a.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

class CFirmwareFile {
public:
    static constexpr std::size_t kHeaderSize = 40;
    static constexpr uint32_t kMaxBodySize = 524288;
    static constexpr std::size_t kMinBodySize = 8381;
    // Body bytes [kGapStart, kGapEnd) are not part of the flash image.
    static constexpr std::size_t kGapStart = 8320;
    static constexpr std::size_t kGapEnd = 8380;
    static constexpr std::size_t kRowBytes = 256;
    static constexpr uint16_t kMarker = 0x0101;
    static constexpr std::size_t kModelNameChars = 19;

    // Reads and checks the file; on success the image is held and version,
    // modelName and marker are set (the marker is handed out, not judged).
    // False for a file that cannot be read, is too short, announces more than
    // kMaxBodySize body bytes, or fails the checksum; the outputs are then
    // unchanged and no image is held.
    bool load(const std::filesystem::path& path, uint16_t& version, std::wstring& modelName, uint16_t& marker);
    // The same rules on a whole file already in memory (bytes as stored, rotated).
    bool load(std::span<const uint8_t> file, uint16_t& version, std::wstring& modelName, uint16_t& marker);

    // Why the last load failed.
    enum class Problem { None, Unreadable, NotAFile, ShortHeader, TooLarge, ShortBody, TooShort, Checksum };
    Problem problem() const { return m_problem; }
    static const char* describe(Problem problem);

    bool isLoaded() const { return m_loaded; }
    std::span<const uint8_t> image() const { return { m_image.data(), m_imageLength }; }
    std::size_t imageLength() const { return m_imageLength; }
    // The image length in rows of kRowBytes, rounded up.
    std::size_t rowCount() const { return m_rowCount; }
    // The body size the header announced (only meaningful once loaded).
    uint32_t bodySize() const { return m_bodySize; }

    // kRowBytes image bytes from offset; bytes past the image read as 0xFF
    // (erased flash), so a short last row never reaches beyond the buffer.
    void copyRow(std::size_t offset, uint8_t (&row)[kRowBytes]) const;

private:
    // header: the 40 header bytes, body: the body bytes that could be read
    // (at most kMaxBodySize), both still rotated.
    bool accept(std::span<const uint8_t> header, std::span<const uint8_t> body, uint16_t& version,
                std::wstring& modelName, uint16_t& marker);
    void clear();
    bool refuse(Problem problem)
    {
        m_problem = problem;
        return false;
    }

    std::vector<uint8_t> m_image;
    std::size_t m_imageLength = 0;
    std::size_t m_rowCount = 0;
    uint32_t m_bodySize = 0;
    bool m_loaded = false;
    Problem m_problem = Problem::None;
};
