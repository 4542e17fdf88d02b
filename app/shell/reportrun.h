// SPDX-License-Identifier: GPL-3.0-or-later
// korvana --report OUT.pdf: connects (or starts the demo controller), reads
// the controller and the car's codes, writes the customer's report and exits
// without showing a window. 0 when written, 1 when it could not be.
#pragma once

#include <app/shell/appoptions.h>

int runReport(const SAppOptions& options);
