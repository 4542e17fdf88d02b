// SPDX-License-Identifier: GPL-3.0-or-later
// "Oblicz korekty" of the 2D chart: turns the difference between the petrol
// and the LPG map into a change of the correction curve (m_setupTimes1),
// shows the proposal before anything is written, writes it, and keeps the
// curve it replaced for one undo. Also the page's other commands on the
// curve, the maps and the automapping schedule, each through the
// user-interaction seam, and the kilometres left to the next automapping.
#pragma once

#include <app/data/readblocks.h>
#include <app/data/settingsimage.h>
#include <app/tuning/chartmaps.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class CLPGDevice;

using CorrCurve = std::array<double, kSetupTimesCount>;

struct CAutomapProposal {
    CorrCurve slotMeans {}; // A after the gaps at the ends are filled
    CorrCurve change {}; // B, the smoothed change
    CorrCurve oldCurve {};
    CorrCurve newCurve {}; // old + round(B), clamped
};

class CAutomapping {
public:
    static constexpr double kLimit = 50;

    // Slot of a petrol time P (ms): floor(2 (P − 1)) within 0 … 38; 0 for 1 ms and below.
    static int slotOf(double petrolMs);
    // The percent change of one bin: (L − P) × 100 / P × 0.8, 0 unless both are positive.
    static double binChange(double petrolMs, double lpgMs);
    // Per-slot means of the bins' changes, clamped to ±50 (A before the gaps are filled).
    static CorrCurve slotMeans(const CChartMaps& maps);
    // Fills the gaps at both ends, then smooths into B.
    static CorrCurve smooth(CorrCurve a, CorrCurve* filled = nullptr);
    // current + round(change) half away from zero, clamped to ±50.
    static CorrCurve addChange(const CorrCurve& current, const CorrCurve& change);
    // The whole computation from the maps and the current curve.
    static CAutomapProposal propose(const CChartMaps& maps, const CorrCurve& current);

    // Why the curve may not be computed now, or an empty string: the maps'
    // coverage first, then automapping switched on.
    static std::wstring refusal(const CChartMaps& maps, const CSettingsImage& image);

    // "Oblicz korekty": refusals (information icon for coverage, error icon
    // for automapping), the proposal handed to show, the question whether to
    // apply it, the write, and the question about clearing the LPG map (Yes
    // clears it). True when the curve was written. Does nothing, false, when
    // not connected.
    bool create(
        CLPGDevice& device, const CChartMaps& maps, const std::function<void(const CAutomapProposal&)>& show = {});
    // Writes curve as m_setupTimes1 with m_tableMask 0, remembering the curve
    // it replaces for undo. A failed write shows the write message.
    bool apply(CLPGDevice& device, const CorrCurve& curve);
    bool canUndo() const { return m_previous.has_value(); }
    // Restores and writes the curve the last apply replaced (one level).
    bool undo(CLPGDevice& device);

    // Curve edits of the chart: each value truncated to whole percent.
    static bool writeCurve(CLPGDevice& device, const CorrCurve& values);
    // Each value ± step within ±50, then write.
    static bool incrementAll(CLPGDevice& device, int step);
    // "Kasuj korekty": refused while automapping is on; all values 0, write.
    static bool clearCurve(CLPGDevice& device);
    // "Kasuj benzynową" / "Kasuj gazową": refused while automapping is on.
    static bool clearMap(CLPGDevice& device, bool lpg);

    // The automapping combo: texts in order and their item values.
    struct ComboItem {
        const wchar_t* text;
        int value;
    };
    static const std::vector<ComboItem>& comboItems();
    // The item value that shows the image's schedule.
    static int comboValue(const CSettingsImage& image);
    // Sets the schedule for an item value (statistics read first for a
    // repeating one) and writes it. False after a failed step, its message shown.
    static bool setSchedule(CLPGDevice& device, int value);

    // Kilometres to the next automapping: "%.0f", or "< 1" below one.
    static double kmLeft(const CSettingsImage& image);
    static std::wstring kmLeftText(const CSettingsImage& image);
    // What the page's field shows: the distance to the due mark, whatever the
    // schedule ("< 1" when none is ahead).
    static std::wstring kmLeftShown(const CSettingsImage& image);

private:
    // One block through a write session; its failure shown.
    static bool writeBlock(CLPGDevice& device, CReadBlocks::Block block);

    std::optional<CorrCurve> m_previous;
};
