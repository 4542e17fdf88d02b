// SPDX-License-Identifier: GPL-3.0-or-later
// What a write cut off by a lost link left changed in the car: the fuel mode
// it forced, the blocks it had written (with the values the controller held
// before), a map page whose write never finished. Nothing is put back by
// itself: when the link returns the program names these and offers to put
// them back in one step; the CLI, which exits, prints them with the command
// that restores them. Kept by the device object, GUI thread only.
#pragma once

#include <app/data/settingsimage.h>

#include <cstdint>
#include <string>
#include <vector>

struct CLeftChanged {
    // A fuel mode was forced and not given back.
    bool fuelForced = false;
    // What ends the forced mode: automatic mode, or petrol when the car ran on petrol before.
    bool backToAuto = true;
    // Blocks (CReadBlocks bits) that may hold what was written, and their values before.
    uint32_t blocks = 0;
    CSettingsImage before;
    // The map page's write was cut off: the controller may hold a page with a bad checksum.
    bool mapInvalid = false;
    // The operation that left them ("korvana-cli restore", "CUstawieniaDlg" …).
    std::wstring operation;

    bool empty() const { return !fuelForced && blocks == 0 && !mapInvalid; }
    void clear() { *this = CLeftChanged(); }
    // One translated line a change, for a message or the terminal.
    std::vector<std::wstring> describe() const;
};
