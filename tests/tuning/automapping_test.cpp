// SPDX-License-Identifier: GPL-3.0-or-later
// The correction from the two maps: the change of one bin and its slot, a
// bin on one fuel only, the filled ends and the smoothing, the clamped sum;
// the page's commands on a demo controller (refusals, proposal shown before
// the write, discard, undo, the schedule) and the kilometres left.
#include <app/device/lpgdevice.h>
#include <app/tuning/automapping.h>

#include "scriptedinteraction.h"

#include <gtest/gtest.h>

namespace {

// One cell of a record holding count samples of meanMs.
void putCell(std::array<uint8_t, kChartMapLength>& bytes, int cell, uint16_t count, double meanMs)
{
    const auto b = static_cast<std::size_t>(cell);
    const auto sum = static_cast<uint32_t>(count * meanMs / 0.025 + 0.5);
    for (std::size_t i = 0; i < 4; ++i)
        bytes[4 * b + i] = static_cast<uint8_t>(sum >> (8 * i));
    bytes[0x7C + 2 * b] = static_cast<uint8_t>(count);
    bytes[0x7C + 2 * b + 1] = static_cast<uint8_t>(count >> 8);
}

// Enough samples in cells 0, 5, 10 and 15 to pass the coverage check.
void cover(std::array<uint8_t, kChartMapLength>& bytes)
{
    for (int cell : { 0, 5, 10, 15 })
        bytes[0x7C + 2 * static_cast<std::size_t>(cell) + 1] = 2; // 512 samples, sum 0
}

CSettingsImage relativeSensor()
{
    CSettingsImage image;
    image.m_advancedSetup.m_advancedFlags = 0;
    return image;
}

} // namespace

TEST(Automapping, OneBinGivesItsChangeInItsSlot)
{
    EXPECT_DOUBLE_EQ(CAutomapping::binChange(5.0, 5.5), 8.0);
    EXPECT_EQ(CAutomapping::slotOf(5.0), 8);
    EXPECT_EQ(CAutomapping::binChange(5.0, 0), 0) << "petrol only";
    EXPECT_EQ(CAutomapping::binChange(0, 5.0), 0) << "LPG only";
    EXPECT_EQ(CAutomapping::slotOf(0.9), 0) << "1 ms and below belong to the first slot";
    EXPECT_EQ(CAutomapping::slotOf(0.4), 0);
    EXPECT_EQ(CAutomapping::slotOf(1.0), 0) << "not the 2 ms slot";
    EXPECT_EQ(CAutomapping::slotOf(1.49), 0);
    EXPECT_EQ(CAutomapping::slotOf(20.0), 38);
    EXPECT_EQ(CAutomapping::slotOf(35.0), 38);

    const CSettingsImage image = relativeSensor();
    std::array<uint8_t, kChartMapLength> petrol {}, lpg {};
    putCell(petrol, 10, 50, 5.00);
    putCell(lpg, 10, 50, 5.50);
    CChartMaps maps;
    maps.build(CChartMapRecord::decode(petrol), CChartMapRecord::decode(lpg), image);
    const CorrCurve a = CAutomapping::slotMeans(maps);
    EXPECT_NEAR(a[8], 8.0, 1e-9);
    for (std::size_t j = 0; j < a.size(); ++j) {
        if (j != 8) {
            EXPECT_EQ(a[j], 0) << "slot " << j;
        }
    }

    // A second bin in the same slot, seen on petrol only, adds a 0 to it.
    putCell(petrol, 12, 50, 5.20);
    maps.build(CChartMapRecord::decode(petrol), CChartMapRecord::decode(lpg), image);
    EXPECT_NEAR(CAutomapping::slotMeans(maps)[8], 4.0, 1e-9);
}

TEST(Automapping, FilledEndsAndSmoothing)
{
    CorrCurve a {};
    a.fill(10);
    CorrCurve filled {};
    const CorrCurve b = CAutomapping::smooth(a, &filled);
    EXPECT_EQ(filled[0], 0) << "the first slot is 0 before smoothing";
    EXPECT_EQ((std::vector<double>(b.begin(), b.begin() + 5)), (std::vector<double> { 0, 4, 8, 10, 10 }));
    EXPECT_EQ(b[38], 10);
    EXPECT_EQ(b[37], 10);

    // Only slots 10 … 20 known: the ends take the nearest known value.
    CorrCurve mid {};
    for (int j = 10; j <= 20; ++j)
        mid[static_cast<std::size_t>(j)] = j == 20 ? -6 : 4;
    CAutomapping::smooth(mid, &filled);
    EXPECT_EQ(filled[0], 0);
    EXPECT_EQ(filled[1], 4);
    EXPECT_EQ(filled[9], 4);
    EXPECT_EQ(filled[21], -6);
    EXPECT_EQ(filled[38], -6);

    CorrCurve current {}, change {};
    current[3] = 48;
    change[3] = 5;
    current[4] = -48;
    change[4] = -5;
    change[5] = 2.5;
    change[6] = -2.5;
    change[7] = 2.49;
    const CorrCurve sum = CAutomapping::addChange(current, change);
    EXPECT_EQ(sum[3], 50);
    EXPECT_EQ(sum[4], -50);
    EXPECT_EQ(sum[5], 3) << "halves away from zero";
    EXPECT_EQ(sum[6], -3);
    EXPECT_EQ(sum[7], 2);
}

TEST(Automapping, CreateShowsTheProposalThenWritesAndUndoes)
{
    CScriptedInteraction ui;
    CInteractionScope scope(ui);
    CLPGDevice device;
    device.session().startDemoMode();
    device.changeImage([](CSettingsImage& image) {
        image.m_advancedSetup.m_advancedFlags = 0;
        image.m_setupTimes1.fill(3);
        image.m_tableMask = 7;
    });

    std::array<uint8_t, kChartMapLength> petrol {}, lpg {};
    cover(petrol);
    cover(lpg);
    CChartMaps maps;
    maps.build(CChartMapRecord::decode(petrol), CChartMapRecord::decode(lpg), device.image());
    const CChartMaps uncovered;
    CAutomapping automap;

    EXPECT_FALSE(automap.create(device, uncovered));
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text,
        L"Zbierz mapę benzynową i gazową podczas jazdy.\nBrakuje punktów mapy benzynowej: 1000\n"
        L"Brakuje punktów mapy gazowej: 1000");
    EXPECT_EQ(ui.shown()[0].icon, MsgIcon::Information);
    // One map covered: only the other is named.
    CChartMaps halfway;
    halfway.build(CChartMapRecord::decode(petrol), CChartMapRecord {}, device.image());
    ui.clearShown();
    EXPECT_FALSE(automap.create(device, halfway));
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text,
        L"Zbierz mapę benzynową i gazową podczas jazdy.\nBrakuje punktów mapy gazowej: 1000");

    device.liveImage().m_automapMode = 1;
    ui.clearShown();
    EXPECT_FALSE(automap.create(device, maps));
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, L"Nie można ręcznie liczyć korekt podczas automapowania. Wyłącz automapowanie.");
    EXPECT_EQ(ui.shown()[0].icon, MsgIcon::Error);
    EXPECT_EQ(device.image().m_setupTimes1[5], 3);
    device.liveImage().m_automapMode = 0;

    putCell(petrol, 12, 50, 5.00);
    putCell(lpg, 12, 50, 5.50);
    maps.build(CChartMapRecord::decode(petrol), CChartMapRecord::decode(lpg), device.image());
    ASSERT_TRUE(maps.covered());

    // Discarded: nothing changes.
    ui.clearShown();
    ui.queueAnswer(false);
    CAutomapProposal shown;
    int shows = 0;
    EXPECT_FALSE(automap.create(device, maps, [&](const CAutomapProposal& p) {
        shown = p;
        ++shows;
    }));
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(shown.oldCurve[8], 3);
    EXPECT_GT(shown.newCurve[8], 3);
    EXPECT_EQ(device.image().m_setupTimes1[8], 3);
    EXPECT_EQ(device.image().m_tableMask, 7);
    EXPECT_FALSE(automap.canUndo());

    // Applied, LPG map kept.
    ui.clearShown();
    ui.queueAnswer(true);
    ui.queueAnswer(false);
    ASSERT_TRUE(automap.create(device, maps, [&](const CAutomapProposal& p) { shown = p; }));
    EXPECT_EQ(device.image().m_setupTimes1, shown.newCurve);
    EXPECT_EQ(device.image().m_tableMask, 0);
    ASSERT_EQ(ui.shown().size(), 2u);
    EXPECT_EQ(ui.shown()[1].text,
        L"Po każdej modyfikacji poprawki zalecane jest skasowanie mapy gazowej.\n"
        L"Czy chcesz skasować mapę gazową?");
    EXPECT_TRUE(ui.shown()[1].question);
    EXPECT_EQ(ui.unexpectedQuestions(), 0u);

    ASSERT_TRUE(automap.canUndo());
    EXPECT_TRUE(automap.undo(device));
    EXPECT_EQ(device.image().m_setupTimes1[8], 3);
    EXPECT_FALSE(automap.canUndo()) << "one level";
    EXPECT_FALSE(automap.undo(device));
}

TEST(Automapping, ClearsRefusedWhileAutomappingAndTheSchedule)
{
    CScriptedInteraction ui;
    CInteractionScope scope(ui);
    CLPGDevice device;
    device.session().startDemoMode();
    device.liveImage().m_setupTimes1.fill(49);
    device.liveImage().m_setupTimes1[0] = -50;

    EXPECT_TRUE(CAutomapping::incrementAll(device, 1));
    EXPECT_EQ(device.image().m_setupTimes1[3], 50);
    EXPECT_EQ(device.image().m_setupTimes1[0], -49);
    EXPECT_TRUE(CAutomapping::incrementAll(device, 1));
    EXPECT_EQ(device.image().m_setupTimes1[3], 50);

    device.liveImage().m_automapMode = 2;
    EXPECT_FALSE(CAutomapping::clearCurve(device));
    EXPECT_FALSE(CAutomapping::clearMap(device, true));
    EXPECT_FALSE(CAutomapping::clearMap(device, false));
    ASSERT_EQ(ui.shown().size(), 3u);
    EXPECT_EQ(ui.shown()[0].text, L"Nie można kasować korekt podczas automapowania. Wyłącz automapowanie.");
    EXPECT_EQ(ui.shown()[1].text, L"Nie można kasować map podczas automapowania. Wyłącz automapowanie.");
    EXPECT_EQ(device.image().m_setupTimes1[3], 50);

    device.liveImage().m_automapMode = 0;
    EXPECT_TRUE(CAutomapping::clearCurve(device));
    EXPECT_EQ(device.image().m_setupTimes1, CorrCurve {});
    EXPECT_TRUE(CAutomapping::clearMap(device, true));

    ASSERT_TRUE(CAutomapping::setSchedule(device, 4));
    const CSettingsImage& image = device.image();
    EXPECT_EQ(image.m_automapMode, 2);
    EXPECT_EQ(image.m_automapKm, 2000);
    EXPECT_EQ(image.m_automapDue, 2000.0 / 50 * 3600 * 2 + image.m_devInfo.m_statistic.lpg);
    EXPECT_EQ(CAutomapping::comboValue(image), 4);
    EXPECT_EQ(CAutomapping::kmLeftText(image), L"2000");
    ASSERT_TRUE(CAutomapping::setSchedule(device, 1));
    EXPECT_EQ(image.m_automapMode, 1);
    EXPECT_EQ(CAutomapping::comboValue(image), 1);
    EXPECT_EQ(CAutomapping::comboItems().size(), 8u);
    EXPECT_EQ(CAutomapping::comboItems().back().value, 52);
}

TEST(Automapping, KilometresLeft)
{
    CSettingsImage image;
    image.m_devInfo.m_statistic.lpg = 1000;
    image.m_automapDue = 1000 + 86.4; // 0.6 km at 50 km/h
    EXPECT_NEAR(CAutomapping::kmLeft(image), 0.6, 1e-9);
    EXPECT_EQ(CAutomapping::kmLeftText(image), L"< 1");
    image.m_automapDue = 1000 + 144; // 1 km
    EXPECT_EQ(CAutomapping::kmLeftText(image), L"1");
    image.m_automapDue = 0; // overdue
    EXPECT_EQ(CAutomapping::kmLeftText(image), L"< 1");
    // The field shows the distance whatever the schedule.
    for (const uint8_t mode : { 0, 1, 2 }) {
        image.m_automapMode = mode;
        EXPECT_EQ(CAutomapping::kmLeftShown(image), L"< 1") << int(mode);
    }
    image.m_automapDue = 1000 + 144 * 250;
    EXPECT_EQ(CAutomapping::kmLeftShown(image), L"250");
}
