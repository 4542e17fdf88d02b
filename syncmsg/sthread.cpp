// SPDX-License-Identifier: GPL-3.0-or-later
#include <syncmsg/sthread.h>

CSThread::CSThread()
    : CSemThread(nullptr)
{
}

CSThread::~CSThread() = default;
