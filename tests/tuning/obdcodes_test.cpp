// SPDX-License-Identifier: GPL-3.0-or-later
// The trouble-code table: its size and range, the text form of every entry,
// and description() for a known code, a code that may stand for its P01xx
// neighbour ("Możliwe") and an unknown one, all in the standard printed form
// (letter of bits 15–14, then bits 13–0 as four hex digits).
#include <app/tuning/obdcodes.h>

#include <gtest/gtest.h>

TEST(OBDCodes, DescribesKnownPossibleAndUnknownCodes)
{
    const COBDCodes codes;
    EXPECT_EQ(codes.description(0x0171), L"P0171   System too Lean (Bank 1)");
    EXPECT_EQ(codes.description(0x0420), L"P0420   Catalyst System Efficiency Below Threshold (Bank 1)");
    EXPECT_EQ(codes.description(0x0071), L"P0071  Nieznany . Możliwe : P0171   System too Lean (Bank 1)");
    EXPECT_EQ(codes.description(0x0999), L"P0999  Nieznany ");
    // Second digit 0 but no P01xx neighbour; a hole inside the range; the first non-P code.
    EXPECT_EQ(codes.description(0x00FF), L"P00FF  Nieznany ");
    EXPECT_EQ(codes.description(0x0390), L"P0390  Nieznany ");
    EXPECT_EQ(codes.description(0x4171), L"C0171  Nieznany ");
    EXPECT_EQ(
        codes.description(0x0000), L"P0000  Nieznany . Możliwe : P0100   Mass or Volume Air Flow Circuit Malfunction");
    // A network code with second digit 0 is no stand-in for a powertrain code.
    EXPECT_EQ(codes.description(0xC071), L"U0071  Nieznany ");
}

TEST(OBDCodes, CodeTextTakesTheLetterFromTheTopTwoBits)
{
    EXPECT_EQ(COBDCodes::codeText(0x0171), L"P0171");
    EXPECT_EQ(COBDCodes::codeText(0x4035), L"C0035");
    EXPECT_EQ(COBDCodes::codeText(0x9234), L"B1234");
    EXPECT_EQ(COBDCodes::codeText(0xC100), L"U0100");
    EXPECT_EQ(COBDCodes::codeText(0xFFFF), L"U3FFF");
}

TEST(OBDCodes, HoldsTheGenericRangeOnceInTheirTextForm)
{
    const COBDCodes one;
    const COBDCodes two;
    const auto& table = one.codes();
    ASSERT_EQ(table.size(), 385u);
    EXPECT_EQ(&table, &two.codes()) << "built once";
    EXPECT_EQ(table.begin()->first, 0x0100);
    EXPECT_EQ(table.rbegin()->first, 0x0656);
    for (const auto& [code, text] : table) {
        wchar_t prefix[16];
        std::swprintf(prefix, 16, L"P%04X   ", static_cast<unsigned>(code));
        ASSERT_EQ(text.rfind(prefix, 0), 0u) << code;
        ASSERT_GT(text.size(), 12u) << code;
        EXPECT_NE(text.back(), L' ') << code;
        // Decimal-looking hex: P0100 … P0656 never use the digits A … F.
        for (int shift = 0; shift < 12; shift += 4)
            EXPECT_LT((code >> shift) & 0xF, 10) << code;
    }
    EXPECT_EQ(table.at(0x0300), L"P0300   Random/Multiple Cylinder Misfire Detected");
    EXPECT_EQ(table.at(0x0301), L"P0301   Cylinder 1 Misfire Detected");
    EXPECT_EQ(table.at(0x0130), L"P0130   O2 Sensor Circuit Malfunction (Bank 1 Sensor 1)");
    EXPECT_EQ(table.at(0x0174), L"P0174   System too Lean (Bank 2)");
}
