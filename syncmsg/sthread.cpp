#include <syncmsg/sthread.h>

CSThread::CSThread()
    : CSemThread(nullptr)
{
}

CSThread::~CSThread() = default;
