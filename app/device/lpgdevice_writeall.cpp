// SPDX-License-Identifier: GPL-3.0-or-later
// Factory restore of every block (the document's "restore factory settings").
#include <app/device/lpgdevice.h>

#include <app/data/translate.h>
#include <app/device/writesession.h>
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
    CWriteSession session(*this, L"CLPGDevice::writeAll()",
                          CWriteSession::kPetrolWrap | CWriteSession::kUnreadAllowed);
    const bool written = writeAll(session);
    const CWriteReport& report = session.finish();
    if (!written || !report.ok())
        userInteraction().message(translate(L"Nie powiodło się ustawienie urządzenia!") + L"\n" + report.text(),
                                  L"KORVANA", MsgIcon::Error);
    return written && report.ok();
}

bool CLPGDevice::writeAll(CWriteSession& session)
{
    if (!m_connected)
        return false;
    session.require(CReadBlocks::kAll & ~CReadBlocks::DevInfo);
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

    bool written = session.toPetrol();
    {
        CWaitCursor wait;
        written = written
            && session.write({ CReadBlocks::Base, CReadBlocks::Adv, CReadBlocks::MainCorr, CReadBlocks::SetupTimes1,
                               CReadBlocks::SetupTimes2, CReadBlocks::InjMap, CReadBlocks::SensorsSetup,
                               CReadBlocks::AdvancedSetup, CReadBlocks::PressCorr, CReadBlocks::AutomapSchedule,
                               CReadBlocks::MapAxes })
            && session.restart();
    }
    return written;
}
