// SPDX-License-Identifier: GPL-3.0-or-later
// The two maps the controller collects while driving (petrol time against
// manifold pressure, once per fuel), decoded into 75 pressure bins of 2 kPa.
// The 2D chart shows the bins' samples near their means; "Oblicz korekty"
// takes its filtered means and refuses a map with too few samples.
#pragma once

#include <app/device/mappage.h>

#include <array>
#include <cstdint>
#include <vector>

class CLPGDevice;
class CSettingsImage;

// One decoded 188-byte map record.
struct CChartMapRecord {
    static constexpr int kCells = 31;
    std::array<uint32_t, kCells> sum {}; // petrol time in 0.025 ms units
    std::array<uint16_t, kCells> count {};
    uint16_t total = 0;

    static CChartMapRecord decode(const std::array<uint8_t, kChartMapLength>& bytes);
    // Cells 0–4, 5–9, 10–14 and 15–19 hold at least 200, 300, 300 and 200 samples.
    bool covered() const;
    // The four group sums of the check above.
    std::array<unsigned, 4> groupCounts() const;
    // Samples still wanting before the record is covered (0 once it is).
    unsigned missing() const;
    static constexpr std::array<unsigned, 4> kGroupMinimum { 200, 300, 300, 200 };
};

// A sample of the chart: petrol time (ms) at manifold pressure (kPa).
struct CChartPoint {
    double timeMs = 0;
    double pressureKPa = 0;
    bool lpg = false;
};

class CChartMaps {
public:
    static constexpr int kBins = 75;
    static constexpr int kFuels = 2; // 0 petrol, 1 LPG
    // A cell's mean enters its bin this many times.
    static constexpr int kCellWeight = 11;

    struct Bin {
        std::array<std::vector<double>, kFuels> samples;
        std::array<double, kFuels> mean {};
        std::size_t count(int fuel) const { return samples[static_cast<std::size_t>(fuel)].size(); }
    };

    // Manifold pressure (kPa) of cell b, or a negative value for a cell that has
    // none (b < 2, or b > 24 on the relative sensor).
    static double cellPressure(int b, const CSettingsImage& image);
    // Bar position 0 … 1000: the samples the record holds towards what
    // "Oblicz korekty" needs (each group counted up to its minimum); full
    // exactly when the record is covered.
    static int progressPosition(const CChartMapRecord& record);

    // Rebuilds the bins from the two records.
    void build(const CChartMapRecord& petrol, const CChartMapRecord& lpg, const CSettingsImage& image);
    // Reads both records (readPetrolMap, readLpgMap) and rebuilds; false, the
    // bins untouched, when either read fails.
    bool read(CLPGDevice& device);

    const CChartMapRecord& petrol() const { return m_records[0]; }
    const CChartMapRecord& lpg() const { return m_records[1]; }
    const Bin& bin(int k) const { return m_bins.at(static_cast<std::size_t>(k)); }
    bool covered() const { return m_records[0].covered() && m_records[1].covered(); }

    // For each bin and fuel with more than 5 samples, the samples within
    // ±15 % of the bin's mean.
    std::vector<CChartPoint> chartPoints() const;
    // Of a bin with more than 10 samples of the fuel, the mean of those within
    // ±15 % of its mean; otherwise 0.
    double filteredMean(int k, int fuel) const;

private:
    void add(int k, int fuel, double mean);

    std::array<CChartMapRecord, kFuels> m_records {};
    std::array<Bin, kBins> m_bins {};
};
