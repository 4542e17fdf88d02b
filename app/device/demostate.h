// SPDX-License-Identifier: GPL-3.0-or-later
// The fuel state of demo mode, program-wide: the fuel commands set it, the
// demo readings report it. 2 = petrol (the start), 3 = LPG.
#pragma once

#include <cstdint>

uint8_t demoFuelState();
void setDemoFuelState(uint8_t state);

class CDiag;
// A readings record of demo mode: cleared, with the demo fuel state in byte 0.
void fillDemoReadings(CDiag& record);
