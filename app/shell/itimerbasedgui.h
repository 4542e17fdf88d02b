// SPDX-License-Identifier: GPL-3.0-or-later
// Implemented by the main view and by every page that redraws live readings:
// onTimer() runs on each display refresh (the frame timer, every 100 ms while
// records are queued).
#pragma once

class ITimerBasedGUI {
public:
    virtual ~ITimerBasedGUI() = default;
    virtual void onTimer() = 0;
};
