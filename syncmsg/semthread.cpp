#include <syncmsg/semthread.h>

CSemThread::CSemThread(ThreadProc start)
    : CThread(start)
{
}

CSemThread::~CSemThread() = default;
