// SPDX-License-Identifier: GPL-3.0-or-later
#include <syncmsg/semthread.h>

CSemThread::CSemThread(ThreadProc start)
    : CThread(start)
{
}

CSemThread::~CSemThread() = default;
