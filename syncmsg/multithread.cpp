// SPDX-License-Identifier: GPL-3.0-or-later
#include <syncmsg/multithread.h>

CMultiThread::CMultiThread() = default;

CMultiThread::~CMultiThread() = default;
