// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/obdconfigedit.h>

#include <app/data/conversions.h>
#include <app/tuning/obddiagnostic.h>

#include <algorithm>

bool CObdConfigEdit::setAveragingTime(CObdMapConfig& config, double seconds)
{
    if (!(seconds >= 2.0 && seconds <= 25.0))
        return false;
    config.averagingTime = static_cast<uint8_t>(roundHalfAway(seconds * 2));
    return true;
}

bool CObdConfigEdit::setMaxCorrection(CObdMapConfig& config, double percent)
{
    if (!(percent >= 1.0 && percent <= 25.0))
        return false;
    config.maxCorrection = static_cast<uint8_t>(roundHalfAway(percent));
    return true;
}

bool CObdConfigEdit::stepNeutral(CObdMapConfig& config, int bank, int spinStep)
{
    if (bank != 1 && bank != 2)
        return false;
    uint8_t& stored = bank == 1 ? config.neutral1 : config.neutral2;
    const int next = std::clamp(stored - spinStep, 0, 255);
    if (next == stored)
        return false;
    stored = static_cast<uint8_t>(next);
    return true;
}

bool CObdConfigEdit::setInjectorBank(CObdMapConfig& config, int injector, bool bank2)
{
    if (injector < 0 || injector > 7)
        return false;
    const auto bit = static_cast<uint8_t>(1u << injector);
    config.injectorBanks = static_cast<uint8_t>(bank2 ? config.injectorBanks | bit : config.injectorBanks & ~bit);
    return true;
}

bool CObdConfigEdit::setCorrections(CObdMapConfig& config, int item, bool ltft1Seen, bool ltft2Seen)
{
    if (item < kCorrectionsOff || item > kCorrectionsSeparate)
        return false;
    config.corrections = 0;
    if (item == kCorrectionsOff)
        return true;
    if (ltft1Seen)
        config.corrections |= CObdMapConfig::kLtft1Available;
    if (ltft2Seen)
        config.corrections |= CObdMapConfig::kLtft2Available;
    if (item == kCorrectionsSeparate) {
        config.corrections |= CObdMapConfig::kSeparateBanks;
        if (!ltft2Seen)
            config.injectorBanks = 0;
    }
    return true;
}

int CObdConfigEdit::correctionsItem(const CObdMapConfig& config)
{
    if (config.corrections == 0)
        return kCorrectionsOff;
    return (config.corrections & CObdMapConfig::kSeparateBanks) ? kCorrectionsSeparate : kCorrectionsAverage;
}

bool CObdConfigEdit::stepRpmThreshold(CObdMapConfig& config, int shownRpm, int spinStep)
{
    const int rpm = std::clamp(shownRpm - 20 * spinStep, kMinRpm, kMaxRpm);
    // At a limit the period stays as the controller holds it.
    if (rpm != shownRpm)
        config.setRpmThreshold(rpm);
    return true;
}

bool CObdConfigEdit::setAdvancedFlag(CObdMapConfig& config, uint8_t bit, bool on)
{
    if (bit == 0 || (bit & (bit - 1)) != 0 || bit > CObdMapConfig::kClearAll)
        return false;
    if (!on) {
        config.advancedFlags = static_cast<uint8_t>(config.advancedFlags & ~bit);
        return true;
    }
    config.advancedFlags |= bit;
    if (bit == CObdMapConfig::kClearSelected)
        config.advancedFlags = static_cast<uint8_t>(config.advancedFlags & ~CObdMapConfig::kClearAll);
    if (bit == CObdMapConfig::kClearAll)
        config.advancedFlags = static_cast<uint8_t>(config.advancedFlags & ~CObdMapConfig::kClearSelected);
    return true;
}

bool CObdConfigEdit::setSelectedCode(CObdMapConfig& config, int combo, uint16_t code)
{
    if (combo < 0 || combo >= static_cast<int>(config.selectedCodes.size()))
        return false;
    config.selectedCodes[static_cast<std::size_t>(combo)] = code;
    return true;
}

void CObdPageTimer::reset()
{
    *this = CObdPageTimer {};
}

CObdPageTimer::Result CObdPageTimer::onTimer(CObdDiagnostic& obd, bool connected)
{
    Result result;
    if (!connected || !obd.established())
        return result;
    if (--m_pollCountdown > 0)
        return result;
    m_pollCountdown = 2;
    const int index = obd.readingIndex();
    result.polled = obd.pollStep();
    if (result.polled && index == 1)
        m_ltft1Seen = true;
    if (result.polled && index == 3)
        m_ltft2Seen = true;
    if (obd.mapConfig().corrections != 0 && --m_correctionsCountdown <= 0) {
        m_correctionsCountdown = 3;
        result.correctionsDue = true;
    }
    return result;
}
