// SPDX-License-Identifier: GPL-3.0-or-later
// The one way a test waits: until a condition holds, with a deadline, looking
// again after each idle step. The default step sleeps a millisecond; the GUI
// tests' step runs the event loop instead (guitest::waitFor), and
// guitest::waitForSignal waits on a Qt signal through it. The deadline only
// bounds a failing test, so it can be generous: a passing test never waits
// longer than its condition takes. Never a fixed sleep in the hope that a
// thread got there.
#pragma once

#include <chrono>
#include <thread>

namespace testwait {

// Long enough for a test on a loaded two-core machine; a hung test still ends.
inline constexpr std::chrono::milliseconds kWaitDeadline { 30000 };

template <class Condition, class Idle>
bool waitFor(Condition&& done, std::chrono::milliseconds deadline, Idle&& idle)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return done();
        idle();
    }
    return true;
}

template <class Condition> bool waitFor(Condition&& done, std::chrono::milliseconds deadline = kWaitDeadline)
{
    return waitFor(done, deadline, [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
}

} // namespace testwait
