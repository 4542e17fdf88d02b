// SPDX-License-Identifier: GPL-3.0-or-later
// The rules of the map's two axes and of its cells: which cell an operating
// point falls in, what a typed breakpoint becomes, and the cell colours.
// Pure functions; the map editor and the command line share them.
#pragma once

#include <app/data/settingsimage.h>

#include <cstdint>
#include <optional>
#include <string>

using TimeAxis = std::array<double, kMapRows>;
using RpmAxis = std::array<double, kMapCols>;

constexpr double kMapCellMin = -50;
constexpr double kMapCellMax = 50;
constexpr double kTimeAxisMin = 0.2; // ms; one step of the controller's byte
constexpr double kTimeAxisMax = 50.0;
constexpr double kTimeAxisStep = 0.2;
constexpr double kRpmAxisMin = 500;
constexpr double kRpmAxisMax = 8000;
constexpr double kRpmAxisStep = 100;

// Colours are 0x00BBGGRR.
constexpr uint32_t kMapGrey = 0xDEDEDE;
constexpr uint32_t kMapMarkerColour = 0x000078;

struct MapCell {
    int column = 0; // RPM axis
    int row = 0;    // injection-time axis

    bool operator==(const MapCell&) const = default;
};

// Rounds half away from zero; a hair of tolerance keeps 2.5 computed as
// 2.4999999 on the intended side.
double roundToWhole(double v);
double clampCell(double v);

// The cell of an operating point: each breakpoint is the upper, exclusive
// bound of its cell; past the last breakpoint the last cell.
MapCell operatingPointCell(const TimeAxis& time, const RpmAxis& rpm, double rpmValue, double timeMs);

// A typed number: commas read as points, surrounding blanks ignored. Nothing
// for an empty or non-numeric text.
std::optional<double> parseDecimal(std::string text);

// What a typed value for breakpoint index of the axis becomes: limited, kept
// strictly between its neighbours and rounded to the axis step.
double fitTimeBreakpoint(const TimeAxis& axis, int index, double v);
double fitRpmBreakpoint(const RpmAxis& axis, int index, double v);

// The header texts: "%.1f" for times, "%.0f" for speeds and cells.
std::string timeText(double ms);
std::string rpmText(double rpm);
std::string cellText(double v);

// Background of a cell with value v: white at 0, red towards +50, yellow towards −50.
uint32_t valueColour(double v);
// One visit's darkening in grey mode: blue goes down by step; once blue is
// spent, green goes down instead (not below 0).
uint32_t darkenColour(uint32_t colour, double step);
