// SPDX-License-Identifier: GPL-3.0-or-later
// The base of the program's worker threads: no start function, the body is
// doWork. Derive, override doWork, create with new and hand to a manager's
// insert(); the manager deletes the object once doWork has returned.
#pragma once

#include <syncmsg/semthread.h>

class CSThread : public CSemThread {
public:
    CSThread();
    ~CSThread() override;
};
