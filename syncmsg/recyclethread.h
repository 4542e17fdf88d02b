// SPDX-License-Identifier: GPL-3.0-or-later
// The thread of a manager that deletes finished thread objects.
#pragma once

#include <syncmsg/sthread.h>

class CThreadManager;

class CRecycleThread : public CSThread {
public:
    explicit CRecycleThread(CThreadManager& manager);
    ~CRecycleThread() override;

    // Ends once the manager is stopping and only the recycler is left; then
    // pulses the manager's event.
    void doWork() override;

private:
    CThreadManager& m_owner;
};
