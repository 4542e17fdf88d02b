// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/obdshellsteps.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/operationlock.h>
#include <app/platform/log.h>
#include <app/shell/deviceeventrelay.h>
#include <app/shell/korvanadoc.h>
#include <app/tuning/deviceobd.h>
#include <errkit/errorguard.h>

CObdShellSteps::CObdShellSteps(const CPageContext& context, QObject* parent)
    : QObject(parent)
    , m_context(context)
{
    // A reconnection is usually raised inside the controller search, which
    // holds the device: the setup runs on a later refresh.
    connect(&m_context.relay, &CDeviceEventRelay::linkConnected, this, [this] { m_setupPending = true; });
}

void CObdShellSteps::onViewCreated()
{
    if (m_context.device.isConnected())
        m_setupPending = true;
    runSetup();
}

void CObdShellSteps::onTimer(bool obdPageActive)
{
    if (m_setupPending) {
        runSetup();
        return;
    }
    CLPGDevice& device = m_context.device;
    if (obdPageActive || !device.isConnected() || !obdOf(device).established() || device.operation().running())
        return;
    try {
        ++m_backgroundPolls;
        obdOf(device).backgroundPoll();
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("obd", "CObdShellSteps::onTimer", *error);
    }
}

void CObdShellSteps::runSetup()
{
    CLPGDevice& device = m_context.device;
    if (!m_setupPending)
        return;
    if (!device.isConnected()) {
        m_setupPending = false;
        return;
    }
    COperationGuard guard(device.operation(), translate(L"Konfiguracja OBD"));
    if (!guard)
        return; // another operation holds the device: the next refresh tries again
    m_setupPending = false;
    ++m_setupRuns;
    try {
        const bool up = obdOf(device).setupStep();
        logMessage(LogLevel::Info, "obd", up ? L"OBD link established" : L"OBD link not established");
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("obd", "CObdShellSteps::runSetup", *error);
    }
}
