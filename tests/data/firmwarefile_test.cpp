// SPDX-License-Identifier: GPL-3.0-or-later
// Loading .afm firmware files: the byte rotation and header fields (checked
// against bytes written by hand), the body-size limits (8380 refused, 8381
// accepted, nothing above 524 288), the checksum, the flash image without the
// 60 body bytes at 8320, the row count, the code page 1250 model name, and
// the row copy that never reads past the image. Files come from the
// independent writer in tools/afmbuild.
#include <afmbuilder.h>
#include <app/data/firmwarefile.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <numeric>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class FirmwareFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("korvana-afm-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path write(const std::vector<uint8_t>& bytes, const std::string& name = "f.afm")
    {
        const fs::path path = m_dir / name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    struct Result {
        bool ok = false;
        uint16_t version = 0xEEEE;
        std::wstring name = L"untouched";
        uint16_t marker = 0xEEEE;
    };
    Result load(CFirmwareFile& file, const std::vector<uint8_t>& bytes)
    {
        Result r;
        r.ok = file.load(write(bytes), r.version, r.name, r.marker);
        return r;
    }

    fs::path m_dir;
};

// An image whose byte i is i mod 251, so a shifted or misplaced byte shows.
std::vector<uint8_t> countingImage(std::size_t length)
{
    std::vector<uint8_t> image(length);
    for (std::size_t i = 0; i < length; ++i)
        image[i] = static_cast<uint8_t>(i % 251);
    return image;
}

AfmContent content(std::size_t imageLength)
{
    AfmContent c;
    c.image = countingImage(imageLength);
    c.version = 0x0307;
    c.modelName = "OREM 33F MOLEX";
    c.gap.fill(0x5A);
    return c;
}

TEST_F(FirmwareFileTest, WriterProducesTheRotatedHeaderWrittenByHand)
{
    // Body size 8381 = BD 20 00 00, version 07 03, marker 01 01, bytes 8…18
    // E8…F2, name "AB"; header sum 2971 + 2 = 0x0B9D over an all-zero body.
    AfmContent c;
    c.image.assign(8321, 0);
    c.version = 0x0307;
    c.modelName = "AB";
    const auto bytes = buildAfm(c);
    ASSERT_EQ(bytes.size(), 40u + 8381u);
    const std::vector<uint8_t> head(bytes.begin(), bytes.begin() + 8);
    EXPECT_EQ(head, (std::vector<uint8_t> { 0xF6, 0x80, 0x00, 0x00, 0x1C, 0x0C, 0x04, 0x04 }));
    EXPECT_EQ(bytes[8], 0xA3); // 0xE8 rotated
    EXPECT_EQ(bytes[19], 0x05); // 'A' = 0x41
    EXPECT_EQ(bytes[20], 0x09); // 'B' = 0x42
    EXPECT_EQ(bytes[21], 0x00);
    EXPECT_EQ(bytes[38], 0x76); // 0x9D
    EXPECT_EQ(bytes[39], 0x2C); // 0x0B

    CFirmwareFile file;
    const auto r = load(file, bytes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.version, 0x0307);
    EXPECT_EQ(r.marker, 0x0101);
    EXPECT_EQ(r.name, L"AB");
}

TEST_F(FirmwareFileTest, BodySizeLimits)
{
    struct Case {
        std::size_t imageLength; // body = image + 60
        bool ok;
        std::size_t rows;
    };
    const Case cases[] = {
        { 8320, false, 0 }, // body 8380: too short
        { 8321, true, 33 }, // body 8381
        { 8448, true, 33 }, // 33 whole rows
        { 8449, true, 34 },
        { 524228, true, 2048 }, // body exactly 524 288
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.imageLength);
        CFirmwareFile file;
        const auto r = load(file, buildAfm(content(c.imageLength)));
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_EQ(file.isLoaded(), c.ok);
        if (c.ok) {
            EXPECT_EQ(file.imageLength(), c.imageLength);
            EXPECT_EQ(file.rowCount(), c.rows);
            EXPECT_EQ(file.bodySize(), c.imageLength + 60);
        } else {
            EXPECT_EQ(file.problem(), CFirmwareFile::Problem::TooShort);
            EXPECT_EQ(r.name, L"untouched");
            EXPECT_EQ(file.imageLength(), 0u);
        }
    }
}

TEST_F(FirmwareFileTest, BodyLargerThanTheCapIsRefusedEvenWhenPresent)
{
    // 524 289 body bytes, all of them in the file: only 524 288 are read.
    CFirmwareFile file;
    EXPECT_FALSE(load(file, buildAfm(content(524229))).ok);
    EXPECT_EQ(file.problem(), CFirmwareFile::Problem::TooLarge);
    // A header announcing far more than the file holds.
    auto c = content(9000);
    c.announcedSize = 0xFFFFFFFFu;
    EXPECT_FALSE(load(file, buildAfm(c)).ok);
}

TEST_F(FirmwareFileTest, ShortOrMissingFilesAreRefused)
{
    CFirmwareFile file;
    auto bytes = buildAfm(content(9000));
    bytes.pop_back(); // one body byte fewer than announced
    EXPECT_FALSE(load(file, bytes).ok);
    EXPECT_EQ(file.problem(), CFirmwareFile::Problem::ShortBody);
    EXPECT_FALSE(load(file, std::vector<uint8_t>(39, 0)).ok);
    EXPECT_EQ(file.problem(), CFirmwareFile::Problem::ShortHeader);
    EXPECT_FALSE(load(file, {}).ok);
    uint16_t v = 0, m = 0;
    std::wstring n;
    EXPECT_FALSE(file.load(m_dir / "missing.afm", v, n, m));
    EXPECT_EQ(file.problem(), CFirmwareFile::Problem::Unreadable);
    EXPECT_FALSE(file.load(m_dir, v, n, m)); // a directory
}

TEST_F(FirmwareFileTest, ChecksumOffByOneIsRefused)
{
    for (int delta : { 1, -1, 0x100 }) {
        SCOPED_TRACE(delta);
        auto c = content(9000);
        c.checksumDelta = delta;
        CFirmwareFile file;
        EXPECT_FALSE(load(file, buildAfm(c)).ok);
        EXPECT_EQ(file.problem(), CFirmwareFile::Problem::Checksum);
    }
    // Any single body byte changed breaks the sum as well.
    auto bytes = buildAfm(content(9000));
    bytes[40 + 5000] ^= 0x04;
    CFirmwareFile file;
    EXPECT_FALSE(load(file, bytes).ok);
}

TEST_F(FirmwareFileTest, ImageLeavesOutTheSixtyBodyBytesAt8320)
{
    const auto c = content(20000);
    CFirmwareFile file;
    ASSERT_TRUE(load(file, buildAfm(c)).ok);
    const auto image = file.image();
    ASSERT_EQ(image.size(), 20000u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), c.image.begin()));
    // The gap's pattern appears nowhere near the seam.
    EXPECT_EQ(image[8319], 8319 % 251);
    EXPECT_EQ(image[8320], 8320 % 251);
}

TEST_F(FirmwareFileTest, PathAndMemoryFormsAgree)
{
    const auto bytes = buildAfm(content(12345));
    CFirmwareFile fromPath;
    CFirmwareFile fromMemory;
    ASSERT_TRUE(load(fromPath, bytes).ok);
    uint16_t v = 0, m = 0;
    std::wstring n;
    ASSERT_TRUE(fromMemory.load(std::span<const uint8_t>(bytes), v, n, m));
    EXPECT_EQ(n, L"OREM 33F MOLEX");
    EXPECT_TRUE(std::ranges::equal(fromPath.image(), fromMemory.image()));
    // Trailing bytes after the body are not part of it.
    auto longer = bytes;
    longer.insert(longer.end(), 100, 0x77);
    ASSERT_TRUE(fromMemory.load(std::span<const uint8_t>(longer), v, n, m));
    EXPECT_EQ(fromMemory.imageLength(), 12345u);
}

TEST_F(FirmwareFileTest, ModelNameFromCodePage1250AndVersionAndMarkerOut)
{
    struct Case {
        std::string bytes;
        std::wstring name;
    };
    const Case cases[] = {
        { "OREM 33F TYCO", L"OREM 33F TYCO" },
        { "\xA3\xF3\x64\x9F", L"Łódź" },
        { "\xA5\xB9\x8C\x9C\xAF\xBF", L"ĄąŚśŻż" },
        // 19 characters and no zero byte: all 19, nothing of the checksum after them.
        { "ABCDEFGHIJKLMNOPQRS", L"ABCDEFGHIJKLMNOPQRS" },
        { "", L"" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        auto afm = content(9000);
        afm.modelName = c.bytes;
        afm.version = 0x0A03;
        afm.marker = 0x0202; // handed out as it is; judging it is the caller's business
        CFirmwareFile file;
        const auto r = load(file, buildAfm(afm));
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.name, c.name);
        EXPECT_EQ(r.version, 0x0A03);
        EXPECT_EQ(r.marker, 0x0202);
    }
}

TEST_F(FirmwareFileTest, FailedLoadDropsTheImageOfAnEarlierOne)
{
    CFirmwareFile file;
    ASSERT_TRUE(load(file, buildAfm(content(9000))).ok);
    auto bad = content(9000);
    bad.checksumDelta = 1;
    EXPECT_FALSE(load(file, buildAfm(bad)).ok);
    EXPECT_FALSE(file.isLoaded());
    EXPECT_EQ(file.imageLength(), 0u);
    EXPECT_EQ(file.rowCount(), 0u);
}

TEST_F(FirmwareFileTest, RowCopyPadsPastTheImageWithErasedBytes)
{
    CFirmwareFile file;
    ASSERT_TRUE(load(file, buildAfm(content(8321))).ok);
    uint8_t row[256];
    file.copyRow(8192, row); // the last row holds image bytes 8192 … 8320
    EXPECT_EQ(row[0], 8192 % 251);
    EXPECT_EQ(row[128], 8320 % 251);
    EXPECT_TRUE(std::all_of(row + 129, row + 256, [](uint8_t b) { return b == 0xFF; }));
    file.copyRow(100000, row);
    EXPECT_TRUE(std::all_of(row, row + 256, [](uint8_t b) { return b == 0xFF; }));
    file.copyRow(256, row);
    EXPECT_EQ(row[0], 256 % 251);
    EXPECT_EQ(row[255], 511 % 251);
}

} // namespace
