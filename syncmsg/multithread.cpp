#include <syncmsg/multithread.h>

CMultiThread::CMultiThread() = default;

CMultiThread::~CMultiThread() = default;
