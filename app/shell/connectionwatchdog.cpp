// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/connectionwatchdog.h>

CConnectionWatchdog::EAction CConnectionWatchdog::tick(bool connected)
{
    if (m_wasConnected) {
        if (connected)
            return EAction::None;
        m_wasConnected = false;
        m_reconnectCountdown = kRetryTicks;
        return EAction::Lost;
    }
    if (connected) {
        m_wasConnected = true;
        return EAction::None;
    }
    // The search runs on the tick that finds the countdown already at 0.
    return m_reconnectCountdown-- == 0 ? EAction::Search : EAction::None;
}

void CConnectionWatchdog::searchDone(bool connected)
{
    if (!connected)
        m_reconnectCountdown = kRetryTicks;
}
