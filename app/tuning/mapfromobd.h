// SPDX-License-Identifier: GPL-3.0-or-later
// "Mapowanie z OBD": while the car runs on LPG every page tick files the
// engine computer's fuel trim under the map cell of the current engine speed
// and petrol injection time; "Oblicz korekty" then adds the smoothed cell
// means to the injection map and writes it to the controller. The page calls
// start, tick, stop and calculate and shows what they return.
#pragma once

#include <app/data/settingsimage.h>

#include <array>
#include <cstdint>
#include <vector>

class CDiag;
class CLPGDevice;
class CObdDiagnostic;

class CMapFromOBD {
public:
    static constexpr int kRows = kMapRows;
    static constexpr int kCols = kMapCols;
    static constexpr int kCells = kRows * kCols;
    // The map's own range; values beyond it are clamped before they are written.
    static constexpr double kMapMin = -50, kMapMax = 50;

    // map: the axes the cells are looked up in (the live image's; not owned).
    explicit CMapFromOBD(const CCorrMap& map);

    // One sample from the four trims in percent: bank 1 alone when both bank-2 trims are 0.
    static double trimSample(double stft1, double ltft1, double stft2, double ltft2);
    // Row-major cell index (row × 15 + column) of an operating point: a
    // breakpoint is the upper, exclusive bound of its cell.
    static int cellOf(const CCorrMap& map, double rpm, double time);

    // The operating point of a live record: its engine speed, and the largest
    // petrol time of the 2 × injCount slots, each rounded to 0.01 ms.
    static void operatingPoint(const CDiag& record, int injCount, double& rpm, double& time);

    // Ignored when rpm or time is 0 (engine stopped).
    void addSample(double rpm, double time, double stft1, double ltft1, double stft2, double ltft2);
    void clearSamples();
    // cellMean from the samples, then every cell the mean of its 3 × 3
    // neighbourhood inside the grid (empty cells count as 0). Returns the result.
    const std::array<double, kCells>& averageAndSmooth();

    std::size_t sampleCount(int cell) const { return m_samples.at(static_cast<std::size_t>(cell)).size(); }
    // Per cell: the mean of its samples rounded half away from zero; 0 when empty.
    const std::array<double, kCells>& cellMean() const { return m_cellMean; }

    // ---- The page's procedure ----
    bool running() const { return m_running; }
    // Start: only on LPG (otherwise "Mapowanie z OBD tylko przy pracy na gazie!"
    // and false); automatic OBD corrections are switched off for the run and
    // the samples start empty. False as well when not connected or no live
    // record is held.
    bool start(CLPGDevice& device);
    // The page timer while running: one sample from the device's four trim
    // readings. True when the grid should show cellMean now (every 12th tick).
    bool tick(const CObdDiagnostic& readings, double rpm, double time);
    // Stop: the samples are kept; automatic OBD corrections back on when they were.
    void stop(CLPGDevice& device);
    // "Oblicz korekty": adds the smoothed means to the image's map (rounded to
    // whole percent and clamped to −50 … +50), empties the samples and writes the map on petrol, then
    // back to automatic mode. False after a failed step (its message shown);
    // the image then keeps the new values.
    bool calculate(CLPGDevice& device);

private:
    const CCorrMap& m_map;
    std::array<std::vector<double>, kCells> m_samples;
    std::array<double, kCells> m_cellMean {};
    int m_redrawCounter = 0;
    bool m_running = false;
    std::array<uint8_t, 18> m_savedConfig {};
};
