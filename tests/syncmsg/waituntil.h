// Polling wait for the thread tests: they never sleep a fixed time hoping a
// thread got there.
#pragma once

#include <chrono>
#include <thread>

template <class Predicate> bool waitUntil(Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
