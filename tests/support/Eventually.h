#pragma once
// Waits for a condition that other threads make true, with a deadline so a
// fault fails the test instead of hanging it.

#include <chrono>
#include <functional>
#include <thread>

namespace tavrin::test {

using namespace std::chrono_literals;

// Polls condition until it holds; false when limit passes first.
inline bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

}  // namespace tavrin::test
