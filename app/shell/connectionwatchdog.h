// SPDX-License-Identifier: GPL-3.0-or-later
// The connection watchdog of the frame timer, without any window: it notices
// the link going down and says when the next controller search is due (on the
// 11th tick after the loss, then every 11 ticks while nothing answers).
#pragma once

#include <cstdint>

class CConnectionWatchdog {
public:
    static constexpr int32_t kRetryTicks = 10;

    enum class EAction {
        None, // nothing to do for the link; the tick goes on
        Lost, // the link just went down; the rest of this tick is skipped
        Search, // run the controller search now, then call searchDone
    };

    // One timer tick with the link's current state.
    EAction tick(bool connected);
    // After a search that tick() asked for: a failed one waits kRetryTicks + 1 ticks again.
    void searchDone(bool connected);
    // A search that tick() asked for could not run now (another operation
    // runs): the next tick asks again.
    void postpone() { m_reconnectCountdown = 0; }

    bool wasConnected() const { return m_wasConnected; }
    int32_t reconnectCountdown() const { return m_reconnectCountdown; }

private:
    bool m_wasConnected = true;
    int32_t m_reconnectCountdown = kRetryTicks;
};
