// SPDX-License-Identifier: GPL-3.0-or-later
// The program-wide pointer to the one device object. The device object sets it
// when it is built; the thread manager clears it when the program ends. Null
// while there is no device object.
#pragma once

class CLPGDevice;

extern CLPGDevice* g_lpgDevice;
