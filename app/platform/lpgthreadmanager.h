// SPDX-License-Identifier: GPL-3.0-or-later
// The program's one thread manager. Worker threads are inserted into it and
// deleted by its recycler once their work has ended.
//
// When the program exits, its destructor clears the device pointer, flushes the
// C streams and ends the process at once with the status set by setExitStatus
// (0 unless set): running threads are not waited for and nothing is torn down
// under them. exit() hides its status from static destructors, so a program or
// test main that returns a failure must also hand it to setExitStatus.
#pragma once

#include <syncmsg/multithread.h>

class CLPGThreadManager : public CMultiThread {
public:
    CLPGThreadManager();
    ~CLPGThreadManager() override;
};

// Built on first use. Its destructor is registered at that moment, so it runs
// before the destructors of every static object built earlier (the libraries'
// and the start-up's) and none of those is destroyed while workers run.
CLPGThreadManager& lpgThreadManager();

// The status the process ends with once the manager exists.
void setExitStatus(int status);
