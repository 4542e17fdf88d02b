// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/mapaxes.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

double roundToWhole(double v)
{
    return std::round(v + std::copysign(1e-9, v));
}

double clampCell(double v)
{
    return std::clamp(v, kMapCellMin, kMapCellMax);
}

MapCell operatingPointCell(const TimeAxis& time, const RpmAxis& rpm, double rpmValue, double timeMs)
{
    MapCell cell { kMapCols - 1, kMapRows - 1 };
    for (int c = 0; c < kMapCols; ++c) {
        if (rpmValue < rpm[c]) {
            cell.column = c;
            break;
        }
    }
    for (int r = 0; r < kMapRows; ++r) {
        if (timeMs < time[r]) {
            cell.row = r;
            break;
        }
    }
    return cell;
}

std::optional<double> parseDecimal(std::string text)
{
    std::replace(text.begin(), text.end(), ',', '.');
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::nullopt;
    const auto last = text.find_last_not_of(" \t\r\n");
    text = text.substr(first, last - first + 1);
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

namespace {

// The neighbour rules of both axes: the ends look at one neighbour, inner
// breakpoints first below the next one, then above the previous one.
template <std::size_t N>
double between(const std::array<double, N>& axis, int index, double v, double step)
{
    const int last = static_cast<int>(N) - 1;
    if (index == 0) {
        if (v >= axis[1])
            v = axis[1] - step;
    } else if (index == last) {
        if (v <= axis[last - 1])
            v = axis[last - 1] + step;
    } else {
        if (v >= axis[index + 1])
            v = axis[index + 1] - step;
        if (v <= axis[index - 1])
            v = axis[index - 1] + step;
    }
    return v;
}

} // namespace

// Rounded to the axis step before the neighbours are looked at: a value within
// half a step of a neighbour would otherwise round onto it after passing the check.
double fitTimeBreakpoint(const TimeAxis& axis, int index, double v)
{
    // The controller keeps a breakpoint as a byte of 0.2 ms: nothing below one step survives the trip.
    v = std::clamp(v, kTimeAxisMin, kTimeAxisMax);
    v = roundToWhole(v * 5) / 5;
    return roundToWhole(between(axis, index, v, kTimeAxisStep) * 5) / 5;
}

double fitRpmBreakpoint(const RpmAxis& axis, int index, double v)
{
    v = std::clamp(v, kRpmAxisMin, kRpmAxisMax);
    v = roundToWhole(v / 100) * 100;
    return roundToWhole(between(axis, index, v, kRpmAxisStep) / 100) * 100;
}

namespace {

std::string format(const char* pattern, double v)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, v);
    return text;
}

} // namespace

std::string timeText(double ms)
{
    return format("%.1f", ms);
}

std::string rpmText(double rpm)
{
    return format("%.0f", rpm);
}

std::string cellText(double v)
{
    // "-0" would be a surprise in a cell.
    const std::string text = format("%.0f", v);
    return text == "-0" ? "0" : text;
}

uint32_t valueColour(double v)
{
    if (v >= 0) {
        const auto gb = static_cast<uint32_t>(std::clamp(roundToWhole(255 - 5 * v), 0.0, 255.0));
        return gb << 16 | gb << 8 | 0xFF;
    }
    const auto b = static_cast<uint32_t>(std::clamp(roundToWhole(255 + 5 * v), 0.0, 255.0));
    return b << 16 | 0xFF00 | 0xFF;
}

uint32_t darkenColour(uint32_t colour, double step)
{
    const double red = colour & 0xFF;
    double green = colour >> 8 & 0xFF;
    double blue = colour >> 16 & 0xFF;
    if (blue - step < 0) {
        blue = 0;
        green = std::max(0.0, green - step);
    } else {
        blue -= step;
    }
    const auto byte = [](double v) { return static_cast<uint32_t>(std::clamp(roundToWhole(v), 0.0, 255.0)); };
    return byte(blue) << 16 | byte(green) << 8 | byte(red);
}
