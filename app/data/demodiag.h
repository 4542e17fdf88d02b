// SPDX-License-Identifier: GPL-3.0-or-later
// Live readings of demo mode: one record per poll from a small simulation
// whose state is program-wide (it carries on across polling restarts, as a
// running engine would). Safe to call from any thread.
#pragma once

#include <cstdint>

class CDiag;
class CDiagData;
struct CDiagScale;

// Fills record with the next simulated readings. fuelState is the demo fuel
// state (2 petrol, 3 LPG). When the simulation's counter is 1 at the start,
// the queue is cleared first.
void buildDemoRecord(CDiag& record, CDiagData& queue, uint8_t fuelState, const CDiagScale& scale);

// Back to the starting values (tests).
void resetDemoRecords();
