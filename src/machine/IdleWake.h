#pragma once
// How a device served by another thread (COM1's TCP server moving bytes)
// ends the run's wait at once without handing every move to the machine's
// thread: the run arms the latch as it starts to wait, and only the first
// Ready after that is handed over. A Ready between the burst that found the
// device not ready and the arming is not lost: the arming fails, and the run
// goes on without waiting.

#include <atomic>
#include <cstdint>

class TIdleWake {
public:
    // Any thread: a device may have become ready. True for the one call
    // that must wake the waiting run (on the machine's thread).
    bool Ready() {
        FReadyCount.fetch_add(1);
        return FArmed.exchange(false);
    }

    // Machine thread: a burst starts.
    void BurstStarts() { FCountAtBurst = FReadyCount.load(); }
    // Machine thread: the run is about to wait. False, and not armed, when a
    // device became ready since the burst started.
    bool Arm() {
        FArmed.store(true);
        if (FReadyCount.load() == FCountAtBurst) return true;
        FArmed.store(false);
        return false;
    }
    // Machine thread: the run no longer waits.
    void Disarm() { FArmed.store(false); }

private:
    std::atomic<uint64_t> FReadyCount{0};
    std::atomic<bool> FArmed{false};
    uint64_t FCountAtBurst = 0;
};
