// SPDX-License-Identifier: GPL-3.0-or-later
// What the main view shows between refreshes, worked out without any window:
// the console picture (its index, the two blink toggles, every fourth refresh)
// and which fuel-mode button is lit.
#pragma once

#include <cstdint>
#include <optional>

struct CSensorsSetup;

// Console picture indices, in the order the pictures are loaded.
enum EConsoleImage : int {
    kConsolePetrol = 0,
    kConsoleAuto = 1,
    kConsoleReserve = 2, // 2 + level index up to kConsoleFull
    kConsoleFull = 6,
};

enum class EFuelButton { Auto, Gas, Petrol };

// The tank level 0 (reserve) … 4 (full) of a raw level-sensor reading against
// the four thresholds F (full), T (three quarters), H (half), Q (quarter). A
// sensor whose reading falls as the tank fills (F < T) is compared on the
// complements 255 - x.
int levelIndex(uint8_t raw, uint8_t full, uint8_t threeQuarters, uint8_t half, uint8_t quarter);
int levelIndex(uint8_t raw, const CSensorsSetup& thresholds);

class CViewDisplayState {
public:
    // Fuel state and switch mode of a readings record (2 = petrol, 3 = LPG;
    // switch mode 1 = automatic switch to LPG pending).
    static constexpr uint8_t kPetrol = 2;
    static constexpr uint8_t kLpg = 3;

    // One refresh with data. Every fourth call returns the console picture to
    // show (the view then redraws); the other calls return nullopt.
    std::optional<int> consoleRefresh(uint8_t fuelState, uint8_t switchMode, int level);
    // The fuel button to light, or nullopt when nothing changed since the last call.
    std::optional<EFuelButton> fuelButtonRefresh(uint8_t fuelState, uint8_t switchMode);

    // The picture the console would show for these readings (advances the blink toggles).
    int consoleImage(uint8_t fuelState, uint8_t switchMode, int level);
    int currentImage() const { return m_image; }

    int tickCount() const { return m_tickCount; }

private:
    int m_tickCount = 0;
    uint8_t m_lastFuelState = 2;
    uint8_t m_lastSwitchMode = 2;
    bool m_forceButtonRefresh = true;
    bool m_blinkAuto = false;
    bool m_blinkMode4 = false;
    int m_image = kConsolePetrol;
};
