// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/demostate.h>

#include <app/data/diag.h>

#include <atomic>
#include <cstring>

namespace {
// Set on the GUI thread, read by the polling thread.
std::atomic<uint8_t> g_demoFuelState { 2 };
} // namespace

uint8_t demoFuelState()
{
    return g_demoFuelState.load();
}

void setDemoFuelState(uint8_t state)
{
    g_demoFuelState.store(state);
}

void fillDemoReadings(CDiag& record)
{
    std::memset(record.bytes(), 0, CDiag::kClearedBytes);
    record.setFuelState(demoFuelState());
}
