// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/viewdisplaystate.h>

#include <app/data/settingsimage.h>

int levelIndex(uint8_t raw, uint8_t full, uint8_t threeQuarters, uint8_t half, uint8_t quarter)
{
    int l = raw, f = full, t = threeQuarters, h = half, q = quarter;
    if (f < t) {
        l = 255 - l;
        f = 255 - f;
        t = 255 - t;
        h = 255 - h;
        q = 255 - q;
    }
    if (l > f)
        return 4;
    if (l > t)
        return 3;
    if (l > h)
        return 2;
    if (l > q)
        return 1;
    return 0;
}

int levelIndex(uint8_t raw, const CSensorsSetup& s)
{
    return levelIndex(raw, s.m_fuelFull, s.m_fuelHgw, s.m_fuelHalf, s.m_fuelQuarter);
}

int CViewDisplayState::consoleImage(uint8_t fuelState, uint8_t switchMode, int level)
{
    if (fuelState == kLpg) {
        if (level >= 0 && level <= 4)
            m_image = kConsoleReserve + level;
    } else if (switchMode == 1) {
        m_blinkAuto = !m_blinkAuto;
        m_image = m_blinkAuto ? kConsolePetrol : kConsoleAuto;
    } else if (switchMode == 4) {
        m_blinkMode4 = !m_blinkMode4;
        m_image = m_blinkMode4 ? kConsolePetrol : kConsoleAuto;
    } else {
        m_image = kConsolePetrol;
    }
    return m_image;
}

std::optional<int> CViewDisplayState::consoleRefresh(uint8_t fuelState, uint8_t switchMode, int level)
{
    if (m_tickCount > 2) {
        m_tickCount = 0;
        return consoleImage(fuelState, switchMode, level);
    }
    ++m_tickCount;
    return std::nullopt;
}

std::optional<EFuelButton> CViewDisplayState::fuelButtonRefresh(uint8_t fuelState, uint8_t switchMode)
{
    if (fuelState == m_lastFuelState && switchMode == m_lastSwitchMode && !m_forceButtonRefresh)
        return std::nullopt;
    m_lastFuelState = fuelState;
    m_lastSwitchMode = switchMode;
    m_forceButtonRefresh = false;
    if (switchMode == 1 && fuelState == kPetrol)
        return EFuelButton::Auto;
    if (fuelState == kLpg)
        return EFuelButton::Gas;
    return EFuelButton::Petrol;
}
