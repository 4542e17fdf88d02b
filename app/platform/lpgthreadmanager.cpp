#include <app/platform/lpgthreadmanager.h>

#include <app/platform/devicepointer.h>

#include <cstdio>
#include <cstdlib>

CLPGThreadManager::CLPGThreadManager() = default;

CLPGThreadManager::~CLPGThreadManager()
{
    g_lpgDevice = nullptr;
    // _Exit skips the flushing that exit would do; without this, buffered
    // output to a pipe or file would be lost.
    std::fflush(nullptr);
    std::_Exit(0);
}

CLPGThreadManager& lpgThreadManager()
{
    static CLPGThreadManager manager;
    return manager;
}
