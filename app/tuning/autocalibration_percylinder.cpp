// SPDX-License-Identifier: GPL-3.0-or-later
// The cylinder-by-cylinder procedure: one petrol reference, then the
// cylinders moved to LPG one more at a time, the correction walked towards
// each result in small steps so the engine never gets a sudden change.
#include <app/tuning/autocalibration.h>

#include <app/data/diagdata.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/log.h>
#include <app/platform/textcodec.h>

#include <cmath>

namespace {

constexpr const wchar_t* kReadFailed = L"Błąd - Nie powiodło się wczytanie ustawień z urządzenia!";
constexpr const wchar_t* kWriteFailed = L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!";
constexpr const wchar_t* kPetrolFailed = L"Błąd - Nie można przełączyć na benzynę!";
constexpr const wchar_t* kLpgFailed = L"Błąd - Nie można przełączyć na LPG!";
constexpr unsigned kSettleMs = 1000;

} // namespace

bool CAutoCalibration::runPerCylinder()
{
    CSettingsImage& image = m_device.liveImage();
    const int n = injectors();
    const int w = waitingLength(image.m_base.m_emulatorDelay, n, m_device.isDemo());
    beginProgress(w, true);
    log(L"Ustal wolne obroty");

    if (!check(m_device.readBlock(CReadBlocks::Base) && m_device.readBlock(CReadBlocks::MainCorr), kReadFailed))
        return false;
    m_device.events().imageChanged(ImageBlock::Base);
    double correction = image.m_mainCorr.m_mainCorr[0];
    if (!setAllCorrections(correction) || !setRunDelay(1.0))
        return false;

    double petrolTime = 0;
    double pressure = 0;
    // With the delay at 1 s the controller takes a cylinder a second back to
    // petrol: the reference must not be measured half on LPG, so the same
    // pause as after the later switches to petrol comes first.
    if (!switchFuel(CWriteSession::Command::Petrol, kPetrolFailed) || !pause(1000u * static_cast<unsigned>(n + 1))
        || !waitRecords(w) || !measure(petrolTime, pressure))
        return false;

    if (!switchFuel(CWriteSession::Command::Auto, kLpgFailed) || !pause(kAutoPauseMs)
        || !switchFuel(CWriteSession::Command::Lpg, kLpgFailed) || !pause(kSettleMs) || !confirmLpg()
        || !check(send(CWriteSession::Command::Emulators, 1), kLpgFailed) || !waitRecords(w))
        return false;
    double lpgTime = 0;
    if (!measure(lpgTime, pressure))
        return false;
    pressureStep(pressure);

    if (!switchFuel(CWriteSession::Command::Petrol, kPetrolFailed) || !pause(1000u * static_cast<unsigned>(n + 1))
        || !check(writeBlock(CReadBlocks::Base), kWriteFailed))
        return false;
    m_device.events().imageChanged(ImageBlock::Base);
    std::vector<CDiag> records;
    if (!waitRecords(1, &records))
        return false;
    uint8_t mask = records.back().injectorMask();
    if (n == 4)
        mask &= 0x0F;

    std::vector<int> active;
    for (int i = 0; i < n; ++i) {
        if (mask >> i & 1)
            active.push_back(i);
    }
    if (active.empty())
        return fail(L"Błąd - Brak wtryskiwaczy do kalibracji!");
    const int stepWait = n * w / static_cast<int>(active.size());
    const std::vector<uint8_t> order = cylinderOrder(active);

    uint8_t lpgMask = 0;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (image.m_adv.m_injConfMap[k] == 0)
            continue;
        lpgMask |= order[k];
        if (!(mask & order[k]))
            continue;
        if (!perCylinderStep(lpgMask, stepWait, petrolTime, correction))
            return false;
    }

    if (correction >= kMaxCorrection) {
        logRaw(translate(L"Wyliczona korekta: ") + calibrationNumber(correction) + translate(L" ms jest za duża."));
        log(L"Korekta powinna być w zakresie od 0.5ms do 1.5ms.");
        log(L"Należy zmienić wtryskiwacze na większe.");
    } else if (!(image.m_advancedSetup.m_advancedFlags & kNoAdviceFlag)
               && (correction < kRecommendedLow || correction > kRecommendedHigh)) {
        logRaw(translate(L"Wyliczona korekta: ") + calibrationNumber(correction) + translate(L" ms"));
        log(L" nie mieści się w zalecanym zakresie od 0.5ms do 1.5ms.");
        logAdviceLines(correction < kRecommendedLow);
    }

    if (!switchFuel(CWriteSession::Command::Petrol, kPetrolFailed) || !pause(1000u * static_cast<unsigned>(n + 1)))
        return false;
    setProgress(kProgressEnd);
    send(CWriteSession::Command::Auto); // as the page does: the result is not judged
    m_leftChanged.drop(kFuelKey);
    image.m_base.m_emulatorDelay = m_keptDelay;
    if (!check(writeBlock(CReadBlocks::Base), kWriteFailed))
        return false;
    m_device.events().imageChanged(ImageBlock::Base);
    m_leftChanged.clear();
    logSuccess();
    return true;
}

bool CAutoCalibration::perCylinderStep(uint8_t lpgMask, int waitLength, double petrolTime, double& correction)
{
    double lpgTime = 0;
    double pressure = 0;
    if (!switchFuel(CWriteSession::Command::Lpg, kLpgFailed) || !pause(kSettleMs)
        || !check(send(CWriteSession::Command::Emulators, lpgMask), kLpgFailed) || !waitRecords(waitLength) || !measure(lpgTime, pressure))
        return false;
    double candidate = lpgTime - petrolTime + correction;
    logDebug("calib", "cylinders " + std::to_string(lpgMask) + ": correction " + toUtf8(calibrationNumber(candidate)));
    if (candidate > kMaxCorrection) {
        candidate = kMaxCorrection;
    } else if (candidate < kMinCorrection) {
        logTooSmall(L"Wyliczono zbyt małą poprawkę.", L"Poprawki powinny być z zakresu od 0.5ms do 1.5ms.");
        return false;
    }
    correction = candidate;
    return stepCorrections(candidate - m_device.liveImage().m_mainCorr.m_mainCorr[0]);
}

bool CAutoCalibration::stepCorrections(double delta)
{
    const auto& corrections = m_device.liveImage().m_mainCorr.m_mainCorr;
    const int steps = static_cast<int>(std::trunc(5 * delta));
    const double step = steps < 0 ? -kStepMs : kStepMs;
    for (int i = 0; i < std::abs(steps); ++i) {
        if (!setAllCorrections(corrections[0] + step) || !pause(kStepPauseMs))
            return false;
    }
    return setAllCorrections(corrections[0] + (delta - kStepMs * steps));
}
