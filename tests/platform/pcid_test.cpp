// SPDX-License-Identifier: GPL-3.0-or-later
// This PC's identifier: hex parsing (byte order, dashes, short or bad text) and
// the fallback from an unreadable machine-id to the root file system's UUID.
#include <app/platform/pcid.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

TEST(PcIdHex, FirstEightDigitsMostSignificantFirst)
{
    EXPECT_EQ(pcIdFromHex("903c1d60aabbccdd00112233"), (PcId { 0x90, 0x3C, 0x1D, 0x60 }));
    EXPECT_EQ(pcIdFromHex("A1B2-C3D4"), (PcId { 0xA1, 0xB2, 0xC3, 0xD4 }));
    EXPECT_EQ(pcIdFromHex("0123abcd"), (PcId { 0x01, 0x23, 0xAB, 0xCD }));
    EXPECT_FALSE(pcIdFromHex("0123abc"));
    EXPECT_FALSE(pcIdFromHex("0123abxz"));
    EXPECT_FALSE(pcIdFromHex(""));
}

class PcIdFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() / ("pcid_test_" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir / "by-uuid");
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::filesystem::path m_dir;
};

TEST_F(PcIdFiles, MachineIdComesFirst)
{
    std::ofstream(m_dir / "machine-id") << "deadbeef0000000000000000000000ff\n";
    EXPECT_EQ(readPcId((m_dir / "machine-id").string(), (m_dir / "by-uuid").string(), "/"),
        (PcId { 0xDE, 0xAD, 0xBE, 0xEF }));
}

TEST_F(PcIdFiles, NoMachineIdAndNoMatchingUuidGivesNothing)
{
    // A link to a non-device and an unrelated name: neither holds the root.
    std::ofstream(m_dir / "plain") << "x";
    std::filesystem::create_symlink(m_dir / "plain", m_dir / "by-uuid" / "11112222-3333");
    EXPECT_FALSE(readPcId((m_dir / "missing").string(), (m_dir / "by-uuid").string(), "/"));
    std::ofstream(m_dir / "machine-id") << "short\n";
    EXPECT_FALSE(readPcId((m_dir / "machine-id").string(), (m_dir / "by-uuid").string(), "/"));
}

TEST_F(PcIdFiles, FallsBackToTheUuidOfTheRootDevice)
{
    // Only testable where the root file system sits on a block device listed by UUID.
    struct stat root { };
    ASSERT_EQ(::stat("/", &root), 0);
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/dev/disk/by-uuid", ec)) {
        struct stat dev { };
        if (::stat(e.path().c_str(), &dev) == 0 && S_ISBLK(dev.st_mode) && dev.st_rdev == root.st_dev) {
            auto id = readPcId((m_dir / "missing").string(), "/dev/disk/by-uuid", "/");
            ASSERT_TRUE(id);
            EXPECT_EQ(*id, *pcIdFromHex(e.path().filename().string()));
            return;
        }
    }
    GTEST_SKIP() << "root file system has no UUID link here";
}

} // namespace
