// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/lpgthreadmanager.h>

#include <app/platform/devicepointer.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {
std::atomic<int> g_exitStatus { 0 };
} // namespace

void setExitStatus(int status)
{
    g_exitStatus = status;
}

CLPGThreadManager::CLPGThreadManager() = default;

CLPGThreadManager::~CLPGThreadManager()
{
    g_lpgDevice = nullptr;
    // _Exit skips the flushing that exit would do; without this, buffered
    // output to a pipe or file would be lost.
    std::fflush(nullptr);
    std::_Exit(g_exitStatus);
}

CLPGThreadManager& lpgThreadManager()
{
    static CLPGThreadManager manager;
    return manager;
}
