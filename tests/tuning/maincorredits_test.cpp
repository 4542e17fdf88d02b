// SPDX-License-Identifier: GPL-3.0-or-later
// The main-correction edits of the calibration page: the shown text, which
// spins are there and work, the spin rule with its limits, and what a spin
// sends to the controller (all eight with "Jedna poprawka", else one), with the
// failure box when the controller does not take it.
#include "calibrationbench.h"

#include <app/tuning/maincorredits.h>

#include <gtest/gtest.h>

TEST(MainCorrEdits, ShownValuesAndSpins)
{
    EXPECT_EQ(CMainCorrEdits::format(1.14), L"1.14");
    EXPECT_EQ(CMainCorrEdits::format(-0.005), L"-0.01");
    EXPECT_EQ(CMainCorrEdits::format(6), L"6.00");
    EXPECT_TRUE(CMainCorrEdits::visible(3, 4));
    EXPECT_FALSE(CMainCorrEdits::visible(4, 4));
    EXPECT_TRUE(CMainCorrEdits::spinEnabled(0, true, true));
    EXPECT_FALSE(CMainCorrEdits::spinEnabled(1, true, true));
    EXPECT_TRUE(CMainCorrEdits::spinEnabled(1, true, false));
    EXPECT_FALSE(CMainCorrEdits::spinEnabled(0, false, false));
}

TEST(MainCorrEdits, SpinRuleStaysWithinTheLimits)
{
    // Position change −1 raises the value: the spin's up arrow lowers the position.
    EXPECT_NEAR(*CMainCorrEdits::spun(1.00, -1), 1.01, 1e-12);
    EXPECT_NEAR(*CMainCorrEdits::spun(1.00, 1), 0.99, 1e-12);
    EXPECT_NEAR(*CMainCorrEdits::spun(5.99, -1), 6.00, 1e-12);
    EXPECT_FALSE(CMainCorrEdits::spun(6.00, -1));
    EXPECT_NEAR(*CMainCorrEdits::spun(-2.99, 1), -3.00, 1e-12);
    EXPECT_FALSE(CMainCorrEdits::spun(-3.00, 1));
}

TEST(MainCorrEdits, SpinWritesOneOrAllCorrections)
{
    CalibrationBench bench;
    bench.device.changeImage(
        [](CSettingsImage& image) { image.m_mainCorr.m_mainCorr = { 1.0, 1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7 }; });
    auto edits = CMainCorrEdits::texts(bench.device);

    ASSERT_TRUE(CMainCorrEdits::onDeltaSpin(bench.device, edits, 2, -5, false));
    EXPECT_EQ(edits[2], L"1.25");
    EXPECT_EQ(edits[0], L"1.00");
    EXPECT_NEAR(bench.device.image().m_mainCorr.m_mainCorr[2], 1.25, 1e-12);
    ASSERT_EQ(bench.correctionWrites().size(), 1u);

    ASSERT_TRUE(CMainCorrEdits::onDeltaSpin(bench.device, edits, 0, 10, true));
    for (const auto& e : edits)
        EXPECT_EQ(e, L"0.90");
    for (double c : bench.device.image().m_mainCorr.m_mainCorr)
        EXPECT_NEAR(c, 0.9, 1e-12);

    // Past the limit: nothing shown, nothing sent.
    edits.fill(L"6.00");
    EXPECT_FALSE(CMainCorrEdits::onDeltaSpin(bench.device, edits, 0, -1, true));
    EXPECT_EQ(edits[0], L"6.00");
    EXPECT_EQ(bench.correctionWrites().size(), 2u);
    EXPECT_TRUE(bench.ui.shown().empty());

    bench.refusedRecords.insert(15);
    EXPECT_FALSE(CMainCorrEdits::onDeltaSpin(bench.device, edits, 0, 1, true));
    ASSERT_EQ(bench.ui.shown().size(), 1u);
    // The failure, then what the controller holds: the refused block was not written.
    EXPECT_EQ(bench.ui.shown()[0].text.rfind(L"Nie powiodło się ustawienie urządzenia!\n", 0), 0u);
    EXPECT_NE(bench.ui.shown()[0].text.find(L"Nie wpisano: m_mainCorr"), std::wstring::npos);
    EXPECT_EQ(bench.ui.shown()[0].icon, MsgIcon::Error);
    EXPECT_EQ(bench.ui.waitCursorDepth(), 0);
}
