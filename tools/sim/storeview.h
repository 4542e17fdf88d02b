// SPDX-License-Identifier: GPL-3.0-or-later
// The few settings the engine model acts on, read straight from the raw
// records with their byte positions. Nothing here is cached: a record written
// by the PC takes effect at the next step.
#pragma once

#include <tools/sim/simstore.h>

class CStoreView {
public:
    explicit CStoreView(const CSimStore& store) : m_store(store) { }

    int injectors() const; // 1 … 8
    uint8_t fullMask() const; // bit k for each injector k

    // Record 31.
    double switchRpm() const; // 4 800 000 ÷ period; a period of 0 never switches
    uint8_t switchTemprByte() const;
    double switchDelaySeconds() const; // byte shifted right by one
    double emulatorDelaySeconds() const; // byte × 25 ms
    uint8_t pressureRefByte() const;
    bool valveOnlyOnLpg() const; // flag 0x80
    // Record 30: sensor columns and the four level thresholds as the sensor reads them.
    int engineSensorColumn() const;
    int lpgSensorColumn() const;
    std::array<int, 4> levelThresholds() const; // full, ¾, ½, ¼
    // Record 15: injector k's main correction, ms (signed 16 bits × 0.004).
    double mainCorrection(int injector) const;
    // Map page and its axes (record 34): bilinear, clamped at the edges; 0
    // everywhere while the page's checksum is wrong.
    double mapPercent(double petrolMs, double rpm) const;
    // Record 7: the correction curve over petrol time, linear between points.
    double curvePercent(double petrolMs) const;
    // Manifold sensor: the "ABS 4 bar" characteristic (version ≥ 0x250 and
    // bit 0x10 of record 26 byte 12) or the relative one.
    bool absoluteManifoldSensor() const;
    // Record 27: automatic OBD corrections.
    bool obdCorrectionsOn() const;
    double obdAveragingSeconds() const; // byte 1 ÷ 2, at least 0.5
    double obdMaxCorrection() const; // byte 2, percent
    double obdMinRpm() const; // bytes 6–7 as a period

private:
    const CSimStore& m_store;
};

// Interpolates a 19 × 15 table on the axes 2 … 20 ms / 500 … 7500 rpm or on
// the given ones; shared by the map page and the fitted car's true needs.
double bilinear(const double* timeAxis, const double* rpmAxis, double (*cell)(const void*, int, int),
                const void* context, double petrolMs, double rpm);
