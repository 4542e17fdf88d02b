// Factory restore of every block (the document's "restore factory settings").
#include <app/device/lpgdevice.h>

#include <app/data/translate.h>
#include <app/platform/userinteraction.h>

uint8_t CLPGDevice::fuelStateBefore()
{
    CDiag newest;
    if (m_diagData.latest(newest))
        return newest.fuelState();
    // Nothing polled yet (the CLI, or right after connecting): ask once.
    if (readLiveData(newest) == kLiveOk)
        return newest.fuelState();
    return kFuelUnknown;
}

bool CLPGDevice::writeAll()
{
    if (!m_connected)
        return false;
    return writeAll(fuelStateBefore(), true);
}

bool CLPGDevice::writeAll(uint8_t fuelBefore, bool returnToAuto)
{
    if (!m_connected)
        return false;
    const CSettingsImage defaults;
    CSettingsImage& live = m_image;
    live.m_base = defaults.m_base;
    live.m_adv = defaults.m_adv;
    live.m_setupTimes1 = defaults.m_setupTimes1;
    live.m_setupTimes2 = defaults.m_setupTimes2;
    live.m_tableMask = defaults.m_tableMask;
    live.m_mainCorr = defaults.m_mainCorr;
    live.m_corrMap = defaults.m_corrMap;
    live.m_sensorsSetup = defaults.m_sensorsSetup;
    live.m_advancedSetup = defaults.m_advancedSetup;
    // Each block is the controller's again once its write is acknowledged.
    m_readBlocks.forget(CReadBlocks::kAll & ~CReadBlocks::DevInfo);

    auto failed = [] {
        userInteraction().message(translate(L"Nie powiodło się ustawienie urządzenia!"), L"KORVANA", MsgIcon::Error);
        return false;
    };
    if (!switchToPetrolAndWait())
        return failed();
    {
        CWaitCursor wait;
        bool (CLPGDevice::*const steps[])() = {
            &CLPGDevice::writeBase,         &CLPGDevice::writeAdv,          &CLPGDevice::writeMainCorr,
            &CLPGDevice::writeSetupTimes1,  &CLPGDevice::writeSetupTimes2,  &CLPGDevice::writeInjMap,
            &CLPGDevice::writeSensorsSetup, &CLPGDevice::writeAdvancedSetup, &CLPGDevice::writePressCorr,
            &CLPGDevice::writeAutomapSchedule, &CLPGDevice::writeMapAxes,   &CLPGDevice::command0AOnPetrol,
        };
        for (auto step : steps)
            if (!(this->*step)())
                return failed();
    }
    userInteraction().sleep(1000);
    if (returnToAuto && returnsToAuto(fuelBefore))
        switchToAuto();
    return true;
}
