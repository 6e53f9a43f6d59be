#pragma once
// The COM1 server's time for tests: moved only by the test, and able to
// hold the server thread where it next reads the time (placing a newcomer,
// or after a send to a client), so that several things happen on the
// sockets before the server sees any of them: the interleaving is forced,
// not raced.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "net/TcpClientPlaces.h"

namespace tavrin::test {

class TTestClock {
public:
    ~TTestClock() { Release(); }
    TTcpNow Source();
    void Advance(TTcpClock::duration by) { FTicks += by.count(); }
    // The server's next reading of the time waits until let go.
    void HoldNext();
    // Whether the server is held now (waits a while for it).
    bool WaitHeld();
    // Lets the held reading go and holds the next one.
    void Step();
    void Release();

private:
    std::atomic<TTcpClock::rep> FTicks{std::chrono::duration_cast<TTcpClock::duration>(std::chrono::hours(1)).count()};
    std::mutex FLock;
    std::condition_variable FChanged;
    bool FHolding = false;  // under FLock
    bool FHeld = false;     // under FLock
    uint64_t FSteps = 0;    // under FLock: held readings let go by Step
};

}  // namespace tavrin::test
