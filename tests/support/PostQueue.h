#pragma once
// Calls posted from other threads (as to the GUI thread), run in order on
// the test's own thread when it pumps them.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace tavrin::test {

using namespace std::chrono_literals;

class TPostQueue {
public:
    // Fits both the serial lines' dispatcher and the UDP server's poster.
    std::function<void(std::function<void()>)> Poster() {
        return [this](std::function<void()> call) {
            std::lock_guard lock(FLock);
            FCalls.push_back(std::move(call));
            FPosted.notify_all();
        };
    }
    auto Dispatcher() { return Poster(); }

    // Runs the posted calls waiting now; how many ran.
    size_t PumpPending() {
        size_t ran = 0;
        while (PumpOne()) ++ran;
        return ran;
    }
    // Runs the first posted call, as one turn of an event loop would; false
    // when none waits.
    bool PumpOne() {
        std::function<void()> call;
        {
            std::lock_guard lock(FLock);
            if (FCalls.empty()) return false;
            call = std::move(FCalls.front());
            FCalls.pop_front();
        }
        call();
        return true;
    }
    // Runs posted calls until done() holds; false when limit passes first.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            PumpPending();
            if (done()) return true;
            if (std::chrono::steady_clock::now() >= deadline) return false;
            // Conditions may also change on other threads without a post.
            std::unique_lock lock(FLock);
            if (FCalls.empty()) FPosted.wait_for(lock, 2ms);
        }
    }
    // Waits, running nothing, until at least count calls are posted; false
    // when limit passes first.
    bool WaitPending(size_t count, std::chrono::milliseconds limit = 5s) {
        std::unique_lock lock(FLock);
        return FPosted.wait_for(lock, limit, [&] { return FCalls.size() >= count; });
    }
    size_t Pending() {
        std::lock_guard lock(FLock);
        return FCalls.size();
    }

private:
    std::mutex FLock;
    std::condition_variable FPosted;
    std::deque<std::function<void()>> FCalls;
};

}  // namespace tavrin::test
