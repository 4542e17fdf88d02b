// SPDX-License-Identifier: GPL-3.0-or-later
// The rules by which the OBD page and its "Zaawansowane" dialog change the
// configuration record: the ranges of the spins, the exclusive injector
// boxes and option boxes, and what "Włącz korekty" writes. Each returns
// whether the record changed; the page then writes it with storeMapConfig.
// Also the OBD page's timer: the poll every second tick, which LTFT readings
// have been seen, and when "Aktualna korekta" is due.
#pragma once

#include <app/tuning/obdrecords.h>

#include <cstdint>

class CObdDiagnostic;

class CObdConfigEdit {
public:
    // "Włącz korekty" items.
    static constexpr int kCorrectionsOff = 0, kCorrectionsAverage = 1, kCorrectionsSeparate = 2;
    static constexpr int kMinRpm = 500, kMaxRpm = 2000;

    // "Czas zmiany korekt" in seconds, 2.0 … 25.0; stored × 2.
    static bool setAveragingTime(CObdMapConfig& config, double seconds);
    // "Zakres korekt OBD" in percent, 1.0 … 25.0.
    static bool setMaxCorrection(CObdMapConfig& config, double percent);
    // A neutral-point spin of bank 1 or 2: the stored value moves against the
    // spin step (the spin counts down), kept within a byte.
    static bool stepNeutral(CObdMapConfig& config, int bank, int spinStep);
    // The bank-1 and bank-2 boxes of injector (0 … 7) exclude each other; bit
    // injector of byte 3 says bank 2.
    static bool setInjectorBank(CObdMapConfig& config, int injector, bool bank2);
    // byte 0 from the chosen item and the LTFT readings seen so far.
    static bool setCorrections(CObdMapConfig& config, int item, bool ltft1Seen, bool ltft2Seen);
    // The item "Włącz korekty" shows for byte 0.
    static int correctionsItem(const CObdMapConfig& config);
    // "Korekty OBD dla obrotów powyżej": shown speed − 20 × spin step, 500 … 2000 rpm.
    static bool stepRpmThreshold(CObdMapConfig& config, int shownRpm, int spinStep);
    // An option box of "Zaawansowane" (a kStftInverted … kClearAll bit);
    // clearing selected codes and clearing all codes exclude each other.
    static bool setAdvancedFlag(CObdMapConfig& config, uint8_t bit, bool on);
    // Selected-code combo 0 … 3: a code, or 0 for none.
    static bool setSelectedCode(CObdMapConfig& config, int combo, uint16_t code);
};

// The OBD page's timer after the shared readings refresh.
class CObdPageTimer {
public:
    struct Result {
        bool polled = false; // the poll step ran and took a reading
        bool correctionsDue = false; // "Aktualna korekta" should be refreshed now
    };

    // Page created: nothing seen yet.
    void reset();
    Result onTimer(CObdDiagnostic& obd, bool connected);

    bool ltft1Seen() const { return m_ltft1Seen; }
    bool ltft2Seen() const { return m_ltft2Seen; }

private:
    int m_pollCountdown = 2;
    int m_correctionsCountdown = 3;
    bool m_ltft1Seen = false;
    bool m_ltft2Seen = false;
};
