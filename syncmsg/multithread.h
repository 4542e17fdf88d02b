// SPDX-License-Identifier: GPL-3.0-or-later
// The thread manager the program holds: a CThreadManager that can be built.
#pragma once

#include <syncmsg/threadmanager.h>

class CMultiThread : public CThreadManager {
public:
    CMultiThread();
    ~CMultiThread() override;
};
