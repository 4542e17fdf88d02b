#include <app/platform/devicepointer.h>

CLPGDevice* g_lpgDevice = nullptr;
