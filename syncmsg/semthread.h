// SPDX-License-Identifier: GPL-3.0-or-later
// A thread built with a start function, which create() runs instead of doWork.
#pragma once

#include <syncmsg/thread.h>

class CSemThread : public CThread {
public:
    explicit CSemThread(ThreadProc start);
    ~CSemThread() override;
};
