// SPDX-License-Identifier: GPL-3.0-or-later
// The idle autocalibration on a scripted controller and a scripted clock: the
// rules (waiting length, progress, cylinder order, rejection of the three
// differences), the start condition, both procedures to their green lines,
// the limits and advice lines, the stepped per-cylinder change, Stop, failed
// commands, a stalled engine and a caught error — each with what the
// controller was sent and what was put back afterwards.
#include "calibrationbench.h"

#include <app/data/demodiag.h>
#include <app/device/demostate.h>
#include <errkit/runtime.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr uint32_t kYellow = 0xB4FFFF;
constexpr uint32_t kGreen = 0x76F0B4;

const std::vector<std::wstring> kSuccessLines
    = { L"", L"Autokalibracja zakończona pomyślnie.", L"Zbierz mapę benzynową i gazową podczas jazdy." };

std::vector<std::wstring> tail(const std::vector<std::wstring>& lines, std::size_t n)
{
    return { lines.end() - static_cast<long>(std::min(n, lines.size())), lines.end() };
}

bool anyErrorLine(const RecordingObserver& o)
{
    return std::any_of(o.lines.begin(), o.lines.end(),
                       [](const LoggedLine& l) { return l.text.rfind(L"Błąd", 0) == 0; });
}

} // namespace

TEST(CalibrationRules, WaitingLengthIsFiveInDemoAndSixteenOtherwise)
{
    EXPECT_EQ(CAutoCalibration::waitingLength(1.0, 4, true), 5);
    EXPECT_EQ(CAutoCalibration::waitingLength(0.0, 4, false), 16);
    EXPECT_EQ(CAutoCalibration::waitingLength(1.0, 4, false), 16);
    EXPECT_EQ(CAutoCalibration::waitingLength(1.0, 8, false), 16);
    // The longest delay the controller holds, on eight cylinders: still below the floor of 50.
    EXPECT_EQ(CAutoCalibration::waitingLength(6.375, 8, false), 16);
}

TEST(CalibrationRules, ProgressReachesTheEndOnEitherTotal)
{
    EXPECT_EQ(CAutoCalibration::progressTotal(false, 16, 4), 283);
    EXPECT_EQ(CAutoCalibration::progressTotal(true, 16, 4), 231);
    EXPECT_EQ(CAutoCalibration::progressTotal(true, 16, 6), 303);
    EXPECT_EQ(CAutoCalibration::progressPosition(283, 283), 1000);
    EXPECT_EQ(CAutoCalibration::progressPosition(280, 283), 990);
    EXPECT_EQ(CAutoCalibration::progressPosition(0, 283), 0);
    EXPECT_EQ(CAutoCalibration::progressPosition(1, 231), 0); // 0.43 % rounds down
    EXPECT_EQ(CAutoCalibration::progressPosition(2, 231), 10); // 0.87 % rounds up
}

TEST(CalibrationRules, CylindersAreTakenFromBothEnds)
{
    using Order = std::vector<uint8_t>;
    EXPECT_EQ(CAutoCalibration::cylinderOrder({ 0, 1, 2, 3 }), (Order { 0x01, 0x08, 0x02, 0x04 }));
    EXPECT_EQ(CAutoCalibration::cylinderOrder({ 0, 1, 2, 3, 4, 5 }), (Order { 0x01, 0x20, 0x02, 0x10, 0x04, 0x08 }));
    EXPECT_EQ(CAutoCalibration::cylinderOrder({ 0, 2, 3 }), (Order { 0x01, 0x08, 0x04 }));
    EXPECT_EQ(CAutoCalibration::cylinderOrder({ 5 }), (Order { 0x20 }));
}

TEST(CalibrationRules, OutlyingDifferencesAreRejected)
{
    using Kept = std::vector<double>;
    EXPECT_EQ(CAutoCalibration::keptDifferences({ 0.9, 0.05, 0.04 }), (Kept { 0.04, 0.05 }));
    // A middle value of 0 keeps only the zeros: the first pass's difference,
    // taken before its correction was applied, must not come back into the mean.
    EXPECT_EQ(CAutoCalibration::keptDifferences({ 0.3, 0.0, -0.2 }), (Kept { 0.0 }));
    EXPECT_EQ(CAutoCalibration::keptDifferences({ 0.64, 0.0, 0.0 }), (Kept { 0.0, 0.0 }));
    EXPECT_EQ(CAutoCalibration::keptDifferences({ 0.10, 0.12, 0.11 }).size(), 3u);
    EXPECT_TRUE(CAutoCalibration::warmEnough(50.0));
    EXPECT_FALSE(CAutoCalibration::warmEnough(49.9));
}

TEST(Autocalibration, ColdReducerLogsOnlyTheTemperatureLineAndSendsNothing)
{
    CalibrationBench bench;
    bench.setReducerCelsius(49);
    bench.ui.sleep(100); // one record in the queue
    EXPECT_EQ(bench.run(), CalibrationOutcome::Refused);
    EXPECT_EQ(bench.observer.texts(), std::vector<std::wstring> { L"Temperatura reduktora za niska!" });
    EXPECT_EQ(bench.observer.lines[0].colour, kYellow);
    EXPECT_TRUE(bench.sent().empty());
    EXPECT_TRUE(bench.observer.runningChanges.empty());
}

TEST(Autocalibration, WithoutReadingsNothingStarts)
{
    CalibrationBench bench;
    EXPECT_EQ(bench.run(), CalibrationOutcome::Refused);
    EXPECT_TRUE(bench.sent().empty());
}

TEST(Autocalibration, NormalRunSetsTheNeededCorrectionAndPutsEverythingBack)
{
    CalibrationBench bench;
    bench.need = 1.30;
    bench.ui.sleep(100);
    EXPECT_EQ(bench.run(), CalibrationOutcome::Success);

    const auto lines = bench.observer.texts();
    EXPECT_EQ(lines.front(), L"Ustal wolne obroty");
    EXPECT_EQ(tail(lines, 3), kSuccessLines);
    EXPECT_EQ(bench.observer.lines.back().colour, kGreen);
    EXPECT_FALSE(anyErrorLine(bench.observer));

    const auto writes = bench.correctionWrites();
    ASSERT_EQ(writes.size(), 3u); // c0 to all eight, after pass 0, final
    EXPECT_NEAR(writes[0].first, 1.0, 1e-9);
    EXPECT_NEAR(writes[1].first, 1.30, 0.005);
    EXPECT_NEAR(writes.back().first, 1.30, 0.005);
    for (double c : bench.device.image().m_mainCorr.m_mainCorr)
        EXPECT_NEAR(c, 1.30, 0.005);

    // Delay 0 for the run, the original 0.3 s (byte 12) at the end; automatic mode last.
    const auto delays = bench.delayWrites();
    ASSERT_GE(delays.size(), 3u);
    EXPECT_EQ(delays.front(), 0);
    EXPECT_EQ(delays.back(), 12);
    EXPECT_DOUBLE_EQ(bench.device.image().m_base.m_emulatorDelay, 0.3);
    const auto commands = bench.commands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[commands.size() - 2], 0x02);
    EXPECT_EQ(commands.back(), 0x03);

    // The pressure step from a steady 108 kPa.
    const auto& base = bench.device.image().m_base;
    EXPECT_EQ(base.m_pressureRef, 108);
    EXPECT_EQ(base.m_switchPressure, 54);
    EXPECT_EQ(base.m_pressureGain, 1.0);
    EXPECT_EQ(bench.device.image().m_carInfo.m_reductorPress, 108);

    const auto& p = bench.observer.positions;
    ASSERT_GE(p.size(), 2u);
    EXPECT_EQ(p[p.size() - 2], 990);
    EXPECT_EQ(p.back(), 1000);
    EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
    EXPECT_EQ(bench.observer.runningChanges, (std::vector<bool> { true, false }));
    EXPECT_FALSE(bench.calibration.running());
}

TEST(Autocalibration, TooLargeFirstResultIsCappedAndTheRunGoesOn)
{
    CalibrationBench bench;
    bench.need = 7.3; // first pass: 1.0 + 6.3
    bench.ui.sleep(100);
    EXPECT_EQ(bench.run(), CalibrationOutcome::Success);
    const auto lines = bench.observer.texts();
    const auto at = std::find(lines.begin(), lines.end(), L"Wyliczona korekta: 6 ms jest za duża.");
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(*(at + 1), L"Korekta powinna być w zakresie od 0.5ms do 1.5ms.");
    EXPECT_EQ(*(at + 2), L"Należy zmienić wtryskiwacze na większe.");
    const auto writes = bench.correctionWrites();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_NEAR(writes[1].first, 6.0, 1e-9);
    // Passes 1 and 2 still see 1.3 ms missing; the final value stays at the limit.
    EXPECT_NEAR(writes[2].first, 6.0, 1e-9);
    EXPECT_EQ(tail(lines, 3), kSuccessLines);
}

TEST(Autocalibration, OutlyingFirstDifferenceIsDroppedFromTheMean)
{
    for (bool noAdvice : { false, true }) {
        CalibrationBench bench;
        if (noAdvice)
            bench.device.liveImage().m_advancedSetup.m_advancedFlags |= 0x08;
        // Differences 0.9, 0.05 and 0.04 in the three passes, whatever the correction.
        bench.petrolTime = [](const BenchState& s, int k) {
            if (s.fuel != 3 || s.lpgSwitches < 2)
                return 3.0;
            if (s.lpgSwitches == 2)
                return 3.9;
            if (s.lpgSwitches == 3)
                return 3.05;
            return k < 2 ? 3.025 : 3.05; // rounded 3.03, 3.03, 3.05, 3.05: mean 3.04
        };
        bench.ui.sleep(100);
        EXPECT_EQ(bench.run(), CalibrationOutcome::Success);
        const auto writes = bench.correctionWrites();
        ASSERT_EQ(writes.size(), 3u);
        EXPECT_NEAR(bench.device.image().m_mainCorr.m_mainCorr[0], 1.9 + 0.045, 1e-9);
        EXPECT_NEAR(writes[2].first, 1.944, 1e-9); // 486 × 0.004 on the wire
        const std::vector<std::wstring> advice = { L"Wyliczona korekta: 1.9 ms ",
                                                   L"nie mieści się w zalecanym zakresie od 0.5ms do 1.5ms.",
                                                   L"Zalecana jest zmiana wtryskiwaczy na większe." };
        const auto lines = bench.observer.texts();
        const bool shown = std::search(lines.begin(), lines.end(), advice.begin(), advice.end()) != lines.end();
        EXPECT_EQ(shown, !noAdvice);
    }
}

TEST(Autocalibration, TooSmallFirstResultStopsWithTheAdvice)
{
    CalibrationBench bench;
    // A difference of −4.5 ms: 1.0 − 4.5 = −3.5, below the lower limit.
    bench.petrolTime = [](const BenchState& s, int) { return s.fuel == 3 ? 6.0 - 4.5 : 6.0; };
    bench.ui.sleep(100);
    EXPECT_EQ(bench.run(), CalibrationOutcome::Failed);
    const std::vector<std::wstring> expected = { L"Wyliczono zbyt małą korektę.",
                                                 L"Korekta powinna być w zakresie od 0.5ms do 1.5ms.",
                                                 L"Aby poprawnie ustawić sterownik spróbuj wykonać nastepujące czynności:",
                                                 L"-zmienić wtryskiwacze na mniejsze lub ",
                                                 L"-obniżyć ciśnienie reduktora",
                                                 L"Przywrócono ustawienia sprzed autokalibracji." };
    EXPECT_EQ(tail(bench.observer.texts(), expected.size()), expected);
    EXPECT_EQ(bench.correctionWrites().size(), 1u); // only c0: nothing of the too small value
    EXPECT_EQ(bench.delayWrites().back(), 12);
    EXPECT_EQ(bench.commands().back(), 0x03);
}

TEST(Autocalibration, StopDuringAWaitEndsAtOnceAndRestores)
{
    CalibrationBench bench;
    bench.ui.sleep(100);
    uint64_t stoppedAt = 0;
    bool stopNow = false;
    bench.onRecord = [&](uint64_t clock) {
        // In the first wait on LPG, after the 9.9 s pause.
        if (!stoppedAt && clock >= 13000) {
            stoppedAt = clock;
            stopNow = true;
        }
    };
    // The page's Stop button is handled inside a pump.
    bench.ui.onPump = [&] {
        if (stopNow) {
            stopNow = false;
            bench.calibration.stop();
        }
    };
    EXPECT_EQ(bench.run(), CalibrationOutcome::Stopped);
    EXPECT_FALSE(anyErrorLine(bench.observer));
    const std::vector<std::wstring> expected
        = { L"Autokalibracja przerwana", L"Przywrócono ustawienia sprzed autokalibracji." };
    EXPECT_EQ(tail(bench.observer.texts(), 2), expected);
    EXPECT_LE(bench.ui.clockMs(), stoppedAt + 100);
    EXPECT_EQ(bench.observer.positions.back(), 0);
    // Nothing more was measured or written: the delay and automatic mode came back at once.
    EXPECT_EQ(bench.correctionWrites().size(), 1u);
    EXPECT_EQ(bench.delayWrites(), (std::vector<uint8_t> { 0, 12 }));
    EXPECT_EQ(bench.commands().back(), 0x03);
    EXPECT_DOUBLE_EQ(bench.device.image().m_base.m_emulatorDelay, 0.3);
    EXPECT_FALSE(bench.calibration.running());
}

TEST(Autocalibration, FailedCommandsLogTheirLine)
{
    struct Case {
        uint8_t command;
        uint8_t record;
        const wchar_t* line;
        bool restored;
    } cases[] = {
        { 0x07, 0, L"Błąd - Nie powiodło się wczytanie ustawień z urządzenia!", false },
        { 0, 15, L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!", false },
        { 0x02, 0, L"Błąd - Nie można przełączyć na benzynę!", true },
        { 0x01, 0, L"Błąd - Nie można przełączyć na LPG!", true },
    };
    for (const auto& c : cases) {
        CalibrationBench bench;
        if (c.command)
            bench.refusedCommands.insert(c.command);
        if (c.record)
            bench.refusedRecords.insert(c.record);
        bench.ui.sleep(100);
        EXPECT_EQ(bench.run(), CalibrationOutcome::Failed) << int(c.command);
        const auto lines = bench.observer.texts();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[1], c.line);
        if (c.restored)
            EXPECT_EQ(lines.back(), L"Przywrócono ustawienia sprzed autokalibracji.");
        else
            EXPECT_EQ(lines.size(), 2u);
    }
}

TEST(Autocalibration, AnUnreadableFuelStateDoesNotStopTheRun)
{
    CalibrationBench bench;
    bench.refusedCommands.insert(0x24); // the check reads another type: not judged
    bench.ui.sleep(100);
    EXPECT_EQ(bench.run(), CalibrationOutcome::Success);
}

TEST(Autocalibration, EngineStoppingInAMeasurementLogsThePetrolTimeLine)
{
    CalibrationBench bench;
    bench.ui.sleep(100);
    // Pass 0 measures on petrol from about 16.8 s to 18.8 s of the scripted clock.
    bench.onRecord = [&](uint64_t clock) {
        if (clock >= 17500)
            bench.engineOn = false;
    };
    EXPECT_EQ(bench.run(), CalibrationOutcome::Failed);
    const auto lines = bench.observer.texts();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], L"Błąd - Nie można pobrać czasu wtr. benzynowego!");
}

TEST(Autocalibration, EngineStoppingInAPlainWaitEndsSilently)
{
    CalibrationBench bench;
    bench.engineOn = false;
    bench.ui.sleep(100);
    bench.engineOn = true; // the first record shows a running engine ...
    bench.onRecord = [&](uint64_t) { bench.engineOn = false; }; // ... then it stalls
    EXPECT_EQ(bench.run(), CalibrationOutcome::EngineStopped);
    EXPECT_FALSE(anyErrorLine(bench.observer));
    EXPECT_EQ(bench.observer.texts().back(), L"Przywrócono ustawienia sprzed autokalibracji.");
}

// Readings that stop coming mean the link went: nothing is switched or written
// then, the log names what the run left changed, and only once the link is
// back is the fitter asked; Yes writes the delay from before and puts
// automatic mode back, No forgets it.
TEST(Autocalibration, ReadingsThatStopComingEndTheRunAndTheFitterIsAskedLater)
{
    const std::wstring heading
        = L"Po przerwanej autokalibracji w sterowniku pozostało zmienione:";
    const std::vector<std::wstring> left
        = { L"Przełączanie cylindrów: 0 s (przed autokalibracją 0.3 s)", L"Tryb paliwa: BENZYNA (przed autokalibracją AUTO)" };
    for (bool yes : { true, false }) {
        SCOPED_TRACE(yes ? "yes" : "no");
        CalibrationBench bench;
        bench.ui.sleep(100);
        bench.ui.onSleep = nullptr; // the poller is gone
        EXPECT_EQ(bench.run(), CalibrationOutcome::Failed);
        EXPECT_LE(bench.ui.clockMs(), 100u + 6000u);
        const std::vector<std::wstring> logged = { L"Błąd - Brak odczytów ze sterownika!", heading, left[0], left[1] };
        EXPECT_EQ(tail(bench.observer.texts(), 4), logged);
        EXPECT_EQ(bench.delayWrites(), (std::vector<uint8_t> { 0 }));
        EXPECT_EQ(bench.commands().back(), 0x02);
        EXPECT_EQ(bench.calibration.leftChanged().commands({ "--port", "/tmp/my sim" }),
                  (std::vector<std::string> { "korvana-cli --port '/tmp/my sim' set m_base.m_emulatorDelay 0.3",
                                              "korvana-cli --port '/tmp/my sim' switch auto" }));

        // The link is back.
        bench.ui.queueAnswer(yes);
        EXPECT_EQ(bench.calibration.offerPutBack(), yes);
        ASSERT_EQ(bench.ui.shown().size(), 1u);
        EXPECT_TRUE(bench.ui.shown()[0].question);
        EXPECT_TRUE(bench.ui.shown()[0].defaultYes);
        EXPECT_EQ(bench.ui.shown()[0].text,
                  heading + L"\n" + left[0] + L"\n" + left[1] + L"\n\nPrzywrócić ustawienia sprzed autokalibracji?");
        EXPECT_EQ(bench.delayWrites(), yes ? (std::vector<uint8_t> { 0, 12 }) : (std::vector<uint8_t> { 0 }));
        EXPECT_EQ(bench.commands().back(), yes ? 0x03 : 0x02);
        if (yes) {
            EXPECT_EQ(bench.observer.texts().back(), L"Przywrócono ustawienia sprzed autokalibracji.");
        }
        EXPECT_TRUE(bench.calibration.leftChanged().empty());
        EXPECT_FALSE(bench.calibration.offerPutBack()) << "asked once";
        EXPECT_EQ(bench.ui.shown().size(), 1u);
    }
}

// A record left for one controller is not offered to another that answers on the same port.
TEST(Autocalibration, WhatWasLeftChangedIsOfferedOnlyToItsController)
{
    CalibrationBench bench;
    bench.device.liveImage().m_devInfo.m_serial = L"A0001";
    bench.ui.sleep(100);
    bench.ui.onSleep = nullptr;
    EXPECT_EQ(bench.run(), CalibrationOutcome::Failed);
    ASSERT_FALSE(bench.calibration.leftChanged().empty());
    bench.device.liveImage().m_devInfo.m_serial = L"B0002";
    EXPECT_FALSE(bench.calibration.offerPutBack());
    EXPECT_TRUE(bench.ui.shown().empty());
    bench.device.liveImage().m_devInfo.m_serial = L"A0001";
    bench.ui.queueAnswer(true);
    EXPECT_TRUE(bench.calibration.offerPutBack());
}

// A car that ran on petrol before the run is put back on petrol, not into automatic mode.
TEST(Autocalibration, ACarOnPetrolBeforeIsPutBackOnPetrol)
{
    CalibrationBench bench;
    bench.setFuelState(2);
    bench.ui.sleep(100);
    bool stopNow = false;
    bench.onRecord = [&](uint64_t clock) { stopNow = stopNow || clock >= 13000; };
    bench.ui.onPump = [&] {
        if (stopNow && bench.calibration.running())
            bench.calibration.stop();
    };
    EXPECT_EQ(bench.run(), CalibrationOutcome::Stopped);
    EXPECT_EQ(bench.observer.texts().back(), L"Przywrócono ustawienia sprzed autokalibracji.");
    EXPECT_EQ(bench.delayWrites().back(), 12);
    const auto commands = bench.commands();
    EXPECT_EQ(commands.back(), 0x02);
    EXPECT_EQ(std::count(commands.end() - 2, commands.end(), 0x03), 0);
}

TEST(Autocalibration, CaughtErrorIsShownWithTheProcedureName)
{
    for (bool perCylinder : { false, true }) {
        CalibrationBench bench;
        bench.ui.sleep(100);
        bool thrown = false;
        bench.ui.onPump = [&] {
            if (!thrown) {
                thrown = true;
                throw new CRunTime(7, L"zepsuty port", __LINE__, L"test");
            }
        };
        EXPECT_EQ(bench.run(perCylinder), CalibrationOutcome::Error);
        ASSERT_EQ(bench.ui.shown().size(), 1u);
        const auto& box = bench.ui.shown()[0];
        const std::wstring head = perCylinder
            ? L"Błąd wykonania autokalibracji\n-CKalibracjaDlg::autocalibrationPerOneCylinder()\n"
            : L"Błąd wykonania procedury autoustawiania\n-CKalibracjaDlg::autocalibrationNormal()\n";
        EXPECT_EQ(box.text.substr(0, head.size()), head);
        EXPECT_NE(box.text.find(L"zepsuty port"), std::wstring::npos);
        EXPECT_EQ(box.caption, L"KORVANA");
        EXPECT_EQ(box.icon, MsgIcon::Error);
        EXPECT_EQ(bench.delayWrites().back(), 12);
        EXPECT_FALSE(bench.calibration.running());
    }
}

TEST(Autocalibration, PerCylinderStepsAChangeInFifthsWithPauses)
{
    CalibrationBench bench;
    // The first cylinder on LPG shows 0.5 ms missing; afterwards the correction fits.
    bench.petrolTime = [](const BenchState& s, int) { return s.fuel == 3 && s.lpgMask == 0x01 && s.lpgSwitches > 1 ? 3.5 : 3.0; };
    bench.ui.sleep(100);
    EXPECT_EQ(bench.run(true), CalibrationOutcome::Success);
    EXPECT_EQ(bench.lpgMasks(), (std::vector<uint8_t> { 0x01, 0x01, 0x09, 0x0B, 0x0F }));

    const auto writes = bench.correctionWrites();
    ASSERT_EQ(writes.size(), 1u + 3u + 3u);
    const double steps[] = { 1.2, 1.4, 1.5 };
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(writes[1 + i].first, steps[i], 1e-9);
    EXPECT_GE(writes[2].second - writes[1].second, 2000u);
    EXPECT_GE(writes[3].second - writes[2].second, 2000u);
    for (int i = 4; i < 7; ++i)
        EXPECT_NEAR(writes[static_cast<std::size_t>(i)].first, 1.5, 1e-9); // no change: one write of +0
    // Delay 1.0 s for the run (byte 40), the original back at the end.
    const auto delays = bench.delayWrites();
    EXPECT_EQ(delays.front(), 40);
    EXPECT_EQ(delays.back(), 12);
    EXPECT_EQ(bench.observer.positions.back(), 1000);
    EXPECT_EQ(tail(bench.observer.texts(), 3), kSuccessLines);
}

TEST(Autocalibration, PerCylinderSkipsOutputsMarkedUnused)
{
    CalibrationBench bench;
    bench.setInjConfMap(1, 0);
    bench.need = 1.0; // nothing to change
    bench.ui.sleep(100);
    EXPECT_EQ(bench.run(true), CalibrationOutcome::Success);
    // Step 1 (cylinder 3) skipped: its bit never joins the LPG cylinders.
    EXPECT_EQ(bench.lpgMasks(), (std::vector<uint8_t> { 0x01, 0x01, 0x03, 0x07 }));
}

TEST(Autocalibration, PerCylinderWalksTowardsTheNeedOnSixCylinders)
{
    CalibrationBench bench(6);
    bench.need = 1.40;
    bench.ui.sleep(100);
    EXPECT_EQ(bench.run(true), CalibrationOutcome::Success);
    EXPECT_EQ(bench.lpgMasks(), (std::vector<uint8_t> { 0x01, 0x01, 0x21, 0x23, 0x33, 0x37, 0x3F }));
    // With every cylinder on LPG in the last step the whole difference is seen.
    EXPECT_NEAR(bench.device.image().m_mainCorr.m_mainCorr[0], 1.40, 0.02);
}

TEST(Autocalibration, DemoModeRunsTheNormalProcedure)
{
    CalibrationBench bench;
    bench.device.m_demo = true;
    resetDemoRecords();
    setDemoFuelState(2);
    bench.ui.onSleep = [&](unsigned) {
        static uint64_t next = 0;
        for (; next <= bench.ui.clockMs(); next += 100) {
            CDiag record;
            buildDemoRecord(record, bench.device.diagData(), demoFuelState(), CDiagScale(bench.device.image()));
            record.setSequence(static_cast<uint32_t>(next / 100 + 1));
            bench.device.diagData().push(record);
        }
    };
    bench.ui.sleep(100);
    EXPECT_EQ(bench.run(true), CalibrationOutcome::Success);
    EXPECT_TRUE(bench.sent().empty());
    // W = 5: 8 × 5 + 7 × 20 records at ten a second and the 9.9 s pause, not the 16 of a controller.
    EXPECT_LT(bench.ui.clockMs(), 32000u);
    EXPECT_FALSE(bench.observer.has(L"Błąd - Nie można przełączyć na LPG!"));
}
