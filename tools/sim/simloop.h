// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator program's event loop: the pseudo-terminal, the control
// channel on stdin/stdout, simulated time, signals and state saving.
#pragma once

#include <tools/sim/simoptions.h>

// Returns the process exit status.
int runSimulator(const SimOptions& options);
