// SPDX-License-Identifier: GPL-3.0-or-later
// The one long procedure that may run at a time. Searching for the controller,
// a factory restore, loading settings into the controller, firmware update and
// the tuning procedures pump the event loop for seconds or minutes; a timer
// tick, a button or a menu command must not start a second one inside the
// first. Each procedure holds the lock for its whole run through a
// COperationGuard; OperationStarted / OperationFinished go to the device's
// listeners with the operation's name.
#pragma once

#include <mutex>
#include <string>

class CDeviceEvents;

class COperationLock {
public:
    explicit COperationLock(CDeviceEvents& events);
    COperationLock(const COperationLock&) = delete;
    COperationLock& operator=(const COperationLock&) = delete;

    // Takes the lock for name (raising OperationStarted); false, changing
    // nothing, while another operation holds it.
    bool tryBegin(const std::wstring& name);
    // Releases the lock (raising OperationFinished); nothing when none runs.
    void end();
    bool running() const;
    // The running operation's name; empty when none runs.
    std::wstring current() const;

private:
    CDeviceEvents& m_events;
    mutable std::mutex m_lock;
    bool m_running = false;
    std::wstring m_current;
};

// Holds the lock from construction to the end of its scope, however the scope
// ends (exceptions and thrown error objects included). When another operation
// runs, the guard holds nothing and refusedBy() names the one that runs.
class COperationGuard {
public:
    COperationGuard(COperationLock& lock, const std::wstring& name);
    ~COperationGuard();
    COperationGuard(const COperationGuard&) = delete;
    COperationGuard& operator=(const COperationGuard&) = delete;

    bool owns() const { return m_owns; }
    explicit operator bool() const { return m_owns; }
    const std::wstring& refusedBy() const { return m_refusedBy; }
    // Ends the operation before the scope does.
    void release();

private:
    COperationLock& m_lock;
    bool m_owns = false;
    std::wstring m_refusedBy;
};
