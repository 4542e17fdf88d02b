// SPDX-License-Identifier: GPL-3.0-or-later
// The readings chart's lines: what each of the 27 lines draws, its colour and
// the label of a chart value, and the chart value of every line for a live
// record or for a played-back recording line. Qt-free.
#pragma once

#include <app/data/diag.h>
#include <app/data/diagfile.h>

#include <array>
#include <cstdint>
#include <string>

namespace readingschart {

inline constexpr int kLineCount = 27;
inline constexpr int kPetrolLine = 11; // + cylinder 0 … 7
inline constexpr int kLpgLine = 19;    // + cylinder 0 … 7
// Sample-counter steps per live and per played-back record.
inline constexpr int kLiveStep = 5;
inline constexpr int kPlaybackStep = 6;
inline constexpr unsigned kMaxPoints = 10000;

// The groups the legend shows and hides together.
enum class EGroup { Engine, PressuresTemperatures, LambdaObd, PetrolTimes, LpgTimes };
inline constexpr int kGroupCount = 5;

struct CLineInfo {
    uint32_t colour;     // 0x00BBGGRR; any two lines drawn alike differ by 20 or more in CIELAB
    int style;           // 0 solid, 1 dashed: the LPG time of a cylinder is its petrol time's hue, dashed
    EGroup group;
    const wchar_t* name; // untranslated; for injection times the cylinder's number is added
    const wchar_t* unit; // untranslated
    int cylinder;        // 0 … 7 for injection times, else -1
};
const CLineInfo& lineInfo(int line);
// The group's title, untranslated.
const wchar_t* groupTitle(EGroup group);
// The reading in its unit for chart value y (the inverse of the y mapping).
double value(int line, double y);
// Chart values where every line reads a round value (0, 1000 … rpm; 0, 4 … ms).
inline constexpr std::array<double, 10> kScaleTicks = { 5, 15, 25, 35, 45, 55, 65, 75, 85, 95 };
// The text shown for chart value y of the line (its own unit and precision).
std::string label(int line, double y);

using Points = std::array<double, kLineCount>;

// The OBD trims the live record is drawn with: STFT bank 1, LTFT bank 1, STFT bank 2, LTFT bank 2.
using Trims = std::array<double, 4>;

// One live record. Cylinder k draws its injector's slot (the larger petrol
// time, as the recording writes it), so a played-back recording draws the
// same lines; LPG lines lie on the zero line unless the car runs on LPG.
Points livePoints(const CDiag& record, const CDiagScale& scale, const Trims& trims);
// One recording line (fields as written by CDiagFile).
Points playbackPoints(const CDiagFile::Record& d);

} // namespace readingschart
