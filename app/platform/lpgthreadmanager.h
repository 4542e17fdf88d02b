// The program's one thread manager. Worker threads are inserted into it and
// deleted by its recycler once their work has ended.
//
// When the program exits, its destructor clears the device pointer, flushes the
// C streams and ends the process at once with exit code 0: running threads are
// not waited for and nothing is torn down under them. Any exit status the
// program returned is replaced by 0 once the manager exists, so a tool that
// must report failure through its status, or a test executable, must not touch
// lpgThreadManager() in its own process.
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
