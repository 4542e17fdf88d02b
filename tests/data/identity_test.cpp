// SPDX-License-Identifier: GPL-3.0-or-later
// The controller identity: the block cipher (S-boxes, a known answer worked out
// from the cipher's definition independently of this code, encrypt/decrypt
// inverse), the serial-number text rule and deciphering, the model table and
// the factory defaults of the settings image that other code relies on.
#include <app/data/cipher.h>
#include <app/data/identity.h>
#include <app/data/settingsimage.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>

namespace {

const std::string_view kKeyText = "7A3E19C4-5B2D-4c8e-9D61-D04E8B27A53F";

TEST(Cipher, EverySboxIsAPermutationUndoneByItsInverse)
{
    for (int box = 0; box < 8; ++box) {
        std::set<int> seen;
        for (int n = 0; n < 16; ++n) {
            seen.insert(CCipher::sbox(box, n));
            EXPECT_EQ(CCipher::inverseSbox(box, CCipher::sbox(box, n)), n) << "box " << box;
        }
        EXPECT_EQ(seen.size(), 16u) << "box " << box;
    }
    // First entries of the published boxes, as a guard against a swapped row.
    EXPECT_EQ(CCipher::sbox(0, 0), 3);
    EXPECT_EQ(CCipher::sbox(1, 0), 15);
    EXPECT_EQ(CCipher::sbox(2, 0), 8);
    EXPECT_EQ(CCipher::sbox(3, 0), 0);
    EXPECT_EQ(CCipher::sbox(4, 0), 1);
    EXPECT_EQ(CCipher::sbox(5, 0), 15);
    EXPECT_EQ(CCipher::sbox(6, 0), 7);
    EXPECT_EQ(CCipher::sbox(7, 0), 1);
}

TEST(Cipher, KnownAnswersWithTheSerialKey)
{
    // Worked out from the definition by a separate reference script.
    const CCipher cipher = CCipher::fromKeyText(kKeyText);
    const CCipher::Block zero {};
    const CCipher::Block zeroPlain { 0x49, 0x77, 0x0C, 0x20, 0xF9, 0x72, 0x97, 0x41, 0x6F, 0x9A, 0x3E, 0x78, 0xC5,
        0x60, 0x49, 0x32 };
    EXPECT_EQ(cipher.decrypt(zero), zeroPlain);

    const CCipher::Block counting { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15 };
    const CCipher::Block countingPlain { 0x49, 0x32, 0x4E, 0x51, 0x14, 0x4B, 0xAB, 0x53, 0x4E, 0xEC, 0x80, 0xCA,
        0xC4, 0xF7, 0x61, 0x6F };
    EXPECT_EQ(cipher.decrypt(counting), countingPlain);
}

TEST(Cipher, EncryptIsTheInverseOfDecrypt)
{
    const CCipher cipher = CCipher::fromKeyText("another key, also of 32 letters!");
    CCipher::Block block {};
    for (int round = 0; round < 50; ++round) {
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<uint8_t>(round * 37 + i * 11);
        EXPECT_EQ(cipher.decrypt(cipher.encrypt(block)), block);
        EXPECT_NE(cipher.encrypt(block), block);
    }
}

TEST(Cipher, OnlyTheFirst32KeyCharactersCount)
{
    const CCipher a = CCipher::fromKeyText(kKeyText);
    const CCipher b = CCipher::fromKeyText(kKeyText.substr(0, 32));
    const CCipher c = CCipher::fromKeyText(kKeyText.substr(0, 31));
    const CCipher::Block block { 1, 2, 3 };
    EXPECT_EQ(a.decrypt(block), b.decrypt(block));
    EXPECT_NE(a.decrypt(block), c.decrypt(block));
}

std::array<uint8_t, 16> serialBytes(const char* text, std::size_t length)
{
    std::array<uint8_t, 16> bytes {};
    std::memcpy(bytes.data(), text, length);
    return bytes;
}

TEST(Serial, ThreeLettersAndADigitAreText)
{
    EXPECT_EQ(decodeSerial(serialBytes("ABC1234", 7)), L"ABC1234");
    EXPECT_EQ(decodeSerial(serialBytes("xyZ9", 4)), L"xyZ9");
    // The text ends at the first zero even with bytes after it.
    EXPECT_EQ(decodeSerial(serialBytes("KOR5\0junk", 9)), L"KOR5");
}

TEST(Serial, AnythingElseIsDeciphered)
{
    // "LPG-2012-00417" enciphered by the reference script: the fourth byte is no digit.
    const std::array<uint8_t, 16> cipherText { 0x08, 0x5F, 0x26, 0x82, 0x65, 0x63, 0xCA, 0x1D, 0x42, 0x0F, 0x04,
        0x56, 0xA4, 0xE0, 0x1E, 0x36 };
    EXPECT_EQ(decodeSerial(cipherText), L"LPG-2012-00417");

    // Fourth byte not a digit, last byte not zero, a non-letter in front: all deciphered.
    const CCipher cipher = CCipher::fromKeyText(kKeyText);
    for (const auto& bytes : { serialBytes("ABCD123", 7), serialBytes("ABC123456789012X", 16),
             serialBytes("1BC1234", 7), serialBytes("A-C1234", 7) }) {
        const CCipher::Block plain = cipher.decrypt(bytes);
        std::wstring expected;
        for (uint8_t c : plain) {
            if (c == 0)
                break;
            expected.push_back(static_cast<wchar_t>(c));
        }
        EXPECT_EQ(decodeSerial(bytes), expected);
        EXPECT_NE(decodeSerial(bytes).substr(0, 3), std::wstring(bytes.begin(), bytes.begin() + 3));
    }
}

TEST(Models, CodesNamesAndBootloaderBytes)
{
    CDevInfo info;
    EXPECT_TRUE(setModel(info, 16));
    EXPECT_EQ(info.m_deviceID, 16);
    EXPECT_EQ(info.m_modelName, L"OREM K410 33EP FCI");
    EXPECT_TRUE(setModel(info, 4));
    EXPECT_EQ(info.m_modelName, L"OREM 33F TYCO");
    EXPECT_FALSE(setModel(info, 7));
    EXPECT_EQ(info.m_deviceID, 4);
    EXPECT_EQ(info.m_modelName, L"OREM 33F TYCO");

    ASSERT_NE(findModelByBootByte(251), nullptr);
    EXPECT_EQ(findModelByBootByte(251)->code, 5);
    EXPECT_EQ(findModelByBootByte(248)->code, 6);
    EXPECT_EQ(findModelByBootByte(248)->bootAddress, 0xC4);
    EXPECT_EQ(findModelByBootByte(250), nullptr);
}

TEST(Demo, IdentityAndStatisticsLeaveOtherMembers)
{
    CDevInfo info;
    info.m_deviceID = 6;
    setDemoIdentity(info);
    setDemoStatistics(info);
    EXPECT_EQ(info.m_version, 0x0306);
    EXPECT_EQ(info.m_injCount, 8);
    EXPECT_EQ(info.m_serial, L"XZ0001");
    EXPECT_EQ(info.m_prodDate, L"21/06/2012");
    EXPECT_EQ(info.m_flags1, 5u);
    EXPECT_EQ(info.m_deviceID, 6);
    EXPECT_EQ(info.m_statistic, (CStatistic { 30, 45, 1 }));
}

TEST(SettingsImage, FactoryDefaults)
{
    const CSettingsImage image;
    EXPECT_EQ(image.m_devInfo.m_modelName, L"OREM 33F MOLEX");
    EXPECT_EQ(image.m_devInfo.m_injCount, 4);
    EXPECT_EQ(image.m_base.m_switchRPM, 1200);
    EXPECT_EQ(image.m_base.m_pressAverageCount, 0.8);
    EXPECT_EQ(image.m_base.m_temprGain, 0.3);
    EXPECT_EQ(image.m_base.m_flags, 0x80);
    EXPECT_EQ(image.m_adv.m_injConfMap[7], 0x80);
    EXPECT_EQ(image.m_mainCorr.m_mainCorr[7], 1.0);
    EXPECT_EQ(image.m_sensorsSetup.m_fuelQuarter, 238);
    EXPECT_EQ(image.m_corrMap.m_injTimeAxis.front(), 2);
    EXPECT_EQ(image.m_corrMap.m_injTimeAxis.back(), 20);
    EXPECT_EQ(image.m_corrMap.m_rpmAxis.back(), 7500);
    EXPECT_EQ(image.m_advancedSetup.m_advancedFlags, 0x10);
    EXPECT_EQ(image.m_advancedSetup.m_advancedFlags3, 1);
    EXPECT_EQ(image.m_automapKm, 1000);

    // A copy is independent of its source.
    CSettingsImage copy = image;
    copy.m_corrMap.m_injMapTable[18][14] = 5;
    copy.m_carInfo.m_vendor = L"Škoda";
    EXPECT_EQ(image.m_corrMap.m_injMapTable[18][14], 0);
    EXPECT_TRUE(image.m_carInfo.m_vendor.empty());
    EXPECT_FALSE(copy == image);
}

} // namespace
