// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/devicepointer.h>

CLPGDevice* g_lpgDevice = nullptr;
