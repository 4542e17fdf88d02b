// SPDX-License-Identifier: GPL-3.0-or-later
// The OBD page's changes to the configuration record (spin ranges, exclusive
// boxes, "Włącz korekty" and the LTFT readings seen) and the page timer.
#include <app/tuning/obdconfigedit.h>
#include <app/tuning/obddiagnostic.h>

#include "scriptedinteraction.h"

#include <gtest/gtest.h>

namespace {

// Always answers the reading asked with A = 0x90, and PID 0x00 with every reading supported.
class AnsweringGateway : public CObdDiagnostic {
public:
    std::array<uint8_t, 18> written {};
    bool accept = true;

protected:
    bool obdLinkConnected() const override { return true; }
    bool obdDemo() const override { return false; }
    bool obdGatewayFitted() const override { return true; }
    bool obdLatestReadings(CDiag&) const override { return false; }
    bool obdReadSettings(std::array<uint8_t, 12>&) override { return true; }
    bool obdWriteSettings(const std::array<uint8_t, 12>&) override { return true; }
    bool obdReadConfig(std::array<uint8_t, 18>&) override { return true; }
    bool obdWriteConfig(const std::array<uint8_t, 18>& record) override
    {
        written = record;
        return accept;
    }
    bool obdReadCorrections(double&, double&) override { return true; }
    bool obdRelay(const Request& r, std::vector<uint8_t>& answer) override
    {
        const uint8_t pid = r[14];
        answer = { 1, 0, 0xE8, 0x07, 0, 0, 6, 0x41, pid, 0x90, 0, 0, 0, 0 };
        if (pid == 0x00)
            answer = { 1, 0, 0xE8, 0x07, 0, 0, 6, 0x41, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0 };
        return true;
    }
};

} // namespace

TEST(ObdConfigEdit, SpinsKeepTheirRanges)
{
    CObdMapConfig c;
    EXPECT_TRUE(CObdConfigEdit::setAveragingTime(c, 2.0));
    EXPECT_EQ(c.averagingTime, 4);
    EXPECT_TRUE(CObdConfigEdit::setAveragingTime(c, 12.25));
    EXPECT_EQ(c.averagingTime, 25) << "24.5 rounded half away";
    for (double ignored : { 1.9, 25.1, -3.0 }) {
        EXPECT_FALSE(CObdConfigEdit::setAveragingTime(c, ignored));
        EXPECT_EQ(c.averagingTime, 25);
    }
    EXPECT_TRUE(CObdConfigEdit::setMaxCorrection(c, 25.0));
    EXPECT_EQ(c.maxCorrection, 25);
    EXPECT_FALSE(CObdConfigEdit::setMaxCorrection(c, 0.9));
    EXPECT_FALSE(CObdConfigEdit::setMaxCorrection(c, 25.5));
    EXPECT_EQ(c.maxCorrection, 25);

    // The neutral spins count down; a byte's ends hold.
    EXPECT_TRUE(CObdConfigEdit::stepNeutral(c, 1, -1));
    EXPECT_EQ(c.neutral1, 101);
    EXPECT_TRUE(CObdConfigEdit::stepNeutral(c, 2, 3));
    EXPECT_EQ(c.neutral2, 97);
    c.neutral2 = 0;
    EXPECT_FALSE(CObdConfigEdit::stepNeutral(c, 2, 1));
    EXPECT_EQ(c.neutral2, 0);

    CObdConfigEdit::stepRpmThreshold(c, 1000, -1);
    EXPECT_EQ(c.rpmThreshold(), 1020);
    EXPECT_EQ(c.rpmPeriod, 4706); // 4 800 000 / 1020
    CObdConfigEdit::stepRpmThreshold(c, 510, 1);
    EXPECT_EQ(c.rpmThreshold(), 500);
    CObdConfigEdit::stepRpmThreshold(c, 1990, -1);
    EXPECT_EQ(c.rpmThreshold(), 2000);
    // At a limit the controller's period stays, even one a speed would not give.
    c.rpmPeriod = 9601; // 499.95 rpm
    CObdConfigEdit::stepRpmThreshold(c, c.rpmThreshold(), 1);
    EXPECT_EQ(c.rpmPeriod, 9601);
}

TEST(ObdConfigEdit, BoxesAndCorrections)
{
    CObdMapConfig c;
    // Ticking bank 2 of injector 3 sets bit 2 (and so clears its bank-1 box).
    EXPECT_TRUE(CObdConfigEdit::setInjectorBank(c, 2, true));
    EXPECT_EQ(c.injectorBanks, 0x04);
    CObdConfigEdit::setInjectorBank(c, 7, true);
    CObdConfigEdit::setInjectorBank(c, 2, false);
    EXPECT_EQ(c.injectorBanks, 0x80);
    EXPECT_FALSE(CObdConfigEdit::setInjectorBank(c, 8, true));

    // "Średnia" before any LTFT reading: byte 0 stays 0.
    c.corrections = 7;
    EXPECT_TRUE(CObdConfigEdit::setCorrections(c, 1, false, false));
    EXPECT_EQ(c.corrections, 0);
    CObdConfigEdit::setCorrections(c, 1, true, false);
    EXPECT_EQ(c.corrections, 0x01);
    EXPECT_EQ(CObdConfigEdit::correctionsItem(c), 1);
    // Separate banks without a bank-2 LTFT: every injector back to bank 1.
    CObdConfigEdit::setCorrections(c, 2, true, false);
    EXPECT_EQ(c.corrections, 0x05);
    EXPECT_EQ(c.injectorBanks, 0);
    c.injectorBanks = 0x0C;
    CObdConfigEdit::setCorrections(c, 2, true, true);
    EXPECT_EQ(c.corrections, 0x07);
    EXPECT_EQ(c.injectorBanks, 0x0C);
    EXPECT_EQ(CObdConfigEdit::correctionsItem(c), 2);
    CObdConfigEdit::setCorrections(c, 0, true, true);
    EXPECT_EQ(c.corrections, 0);
    EXPECT_EQ(CObdConfigEdit::correctionsItem(c), 0);

    // Clearing selected codes and clearing all codes exclude each other.
    CObdConfigEdit::setAdvancedFlag(c, CObdMapConfig::kStftInverted, true);
    CObdConfigEdit::setAdvancedFlag(c, CObdMapConfig::kClearSelected, true);
    EXPECT_EQ(c.advancedFlags, 0x09);
    CObdConfigEdit::setAdvancedFlag(c, CObdMapConfig::kClearAll, true);
    EXPECT_EQ(c.advancedFlags, 0x21);
    CObdConfigEdit::setAdvancedFlag(c, CObdMapConfig::kClearSelected, true);
    EXPECT_EQ(c.advancedFlags, 0x09);
    CObdConfigEdit::setAdvancedFlag(c, CObdMapConfig::kStftInverted, false);
    EXPECT_EQ(c.advancedFlags, 0x08);
    EXPECT_FALSE(CObdConfigEdit::setAdvancedFlag(c, 0x03, true));
    EXPECT_TRUE(CObdConfigEdit::setSelectedCode(c, 3, 0x0171));
    EXPECT_EQ(c.toBytes()[14], 0x71);
    EXPECT_EQ(c.toBytes()[15], 0x01);
    EXPECT_FALSE(CObdConfigEdit::setSelectedCode(c, 4, 0x0171));
}

TEST(ObdConfigEdit, StoreReportsARefusedWrite)
{
    CScriptedInteraction ui;
    CInteractionScope scope(ui);
    AnsweringGateway obd;
    obd.mapConfig().maxCorrection = 12;
    EXPECT_TRUE(obd.storeMapConfig());
    EXPECT_EQ(obd.written[2], 12);
    obd.accept = false;
    EXPECT_FALSE(obd.storeMapConfig());
    EXPECT_EQ(ui.texts(), std::vector<std::wstring> { L"Nie powiodło się ustawienie urządzenia!" });
}

TEST(ObdPageTimer, PollsEverySecondTickAndNotesTheLtftReadings)
{
    AnsweringGateway obd;
    ASSERT_TRUE(obd.connect(0x7DF, 2, 3));
    CObdPageTimer timer;
    EXPECT_FALSE(timer.onTimer(obd, true).polled) << "not established";
    obd.setEstablished(true);
    EXPECT_FALSE(timer.onTimer(obd, false).polled) << "not connected";

    int polls = 0;
    int due = 0;
    for (int tick = 0; tick < 8; ++tick) {
        const auto r = timer.onTimer(obd, true);
        polls += r.polled;
        due += r.correctionsDue;
        if (tick == 3) {
            EXPECT_TRUE(timer.ltft1Seen()) << "readings 0 and 1 taken";
            EXPECT_FALSE(timer.ltft2Seen());
        }
    }
    EXPECT_EQ(polls, 4);
    EXPECT_EQ(due, 0) << "automatic corrections off";
    EXPECT_TRUE(timer.ltft2Seen());

    obd.mapConfig().corrections = 1;
    for (int tick = 0; tick < 12; ++tick)
        due += timer.onTimer(obd, true).correctionsDue;
    EXPECT_EQ(due, 2) << "every third poll";
    timer.reset();
    EXPECT_FALSE(timer.ltft1Seen());
}
