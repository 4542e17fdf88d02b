// SPDX-License-Identifier: GPL-3.0-or-later
// The car the simulator starts with when no state file holds one: a four-
// cylinder engine fitted and calibrated some months ago (not the controller's
// defaults), and the physical truths of that engine that the engine model
// compares the controller's dosing with.
#pragma once

#include <tools/sim/simstore.h>

// Fills every settings record, the map page, the counters, the error bits
// and the stored trouble codes; identity must already be set.
void fillFittedCar(CSimStore& store);

// Map page cell of the fitted car in percent (row: injection-time axis 2 … 20 ms,
// column: engine speed 500 … 7500 rpm).
int fittedMapCell(int row, int column);
// Correction curve point i (petrol time 1.0 + 0.5 i ms), percent.
int fittedCurvePoint(int i);
// The LPG time each injector really needs on top of the petrol time, ms;
// the fitted main corrections sit within 0.02 ms of these.
double physicalOffsetMs(int injector);
// Record 15 with all eight main corrections at ms (rounded to the 0.004 ms step).
void setAllMainCorrections(CSimStore& store, double ms);
