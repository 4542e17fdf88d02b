// SPDX-License-Identifier: GPL-3.0-or-later
// A correction curve edited as a whole: the automapping curve of "Mapa 2D"
// (m_setupTimes1), the temperature and the pressure corrections. Values are
// whole percent within ±50; every edit writes the curve's block at once and
// a failed write says so. The pages, automapping and the service tool share
// these edits.
#pragma once

#include <app/data/readblocks.h>
#include <app/data/settingsimage.h>
#include <app/tuning/blockundo.h>

#include <functional>
#include <span>
#include <string>

class CLPGDevice;

struct CCurveTable {
    CReadBlocks::Block block;
    // The curve's values in the image.
    std::span<double> (*values)(CSettingsImage& image);
    // The same values, seen in an image that is only read.
    std::span<const double> (*read)(const CSettingsImage& image);
    // Who writes, named in the write session's log.
    const wchar_t* writer;
};

namespace correctioncurve {

inline constexpr double kLimit = 50;

const CCurveTable& automapping();
const CCurveTable& temperature();
const CCurveTable& pressure();

// Each value truncated to whole percent, then the block written. False
// without a controller (nothing changed) or when the write failed (shown).
bool write(CLPGDevice& device, const CCurveTable& table, std::span<const double> values);
// Each value ± step, kept within ±50, then written.
bool shift(CLPGDevice& device, const CCurveTable& table, int step);
// Every value 0, then written.
bool clear(CLPGDevice& device, const CCurveTable& table);

// The curve as an undo list sees it: its values in the image, written by the
// table's writer; describe names point i holding v ("Korekta temperatury, 40: 5 %").
CBlockUndo::Table undoTable(const CCurveTable& table, std::function<std::wstring(std::size_t, double)> describe);

} // namespace correctioncurve
