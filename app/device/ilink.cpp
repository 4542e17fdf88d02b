// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/ilink.h>

#include <chrono>
#include <thread>

void ILink::wait(unsigned milliseconds)
{
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
