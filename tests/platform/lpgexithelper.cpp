// SPDX-License-Identifier: GPL-3.0-or-later
// Child program for the program-end test. "worker": starts a worker thread that
// never ends through the program's thread manager, writes a line to stdout
// without flushing it, and returns 3 from main. "idle": returns 3 without ever
// touching the manager. "failing": as "worker", with exit status 5 handed to
// the manager.
#include <app/platform/devicepointer.h>
#include <app/platform/lpgthreadmanager.h>

#include <syncmsg/sthread.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

std::atomic<bool> g_started { false };

class CEndlessThread : public CSThread {
public:
    void doWork() override
    {
        g_started = true;
        for (;;)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
};

} // namespace

int main(int argc, char** argv)
{
    const bool failing = argc > 1 && std::strcmp(argv[1], "failing") == 0;
    if (argc > 1 && (std::strcmp(argv[1], "worker") == 0 || failing)) {
        lpgThreadManager().insert(new CEndlessThread);
        while (!g_started)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // Stands in for the device object, which does not exist here.
        static int device;
        g_lpgDevice = reinterpret_cast<CLPGDevice*>(&device);
    }
    if (failing)
        setExitStatus(5);
    std::fputs("worker running", stdout);
    return 3;
}
