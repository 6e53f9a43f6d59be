#pragma once
// A wake-up event on an eventfd: Signal sets it; a successful wait resets an
// auto-reset event, while a manual-reset one stays set until Reset (so every
// waiter sees it, as a stop request must be). Its descriptor can be polled beside a device, so a worker
// thread waits for its work and for its stop request in one call.

#include <initializer_list>

class TQnEvent {
public:
    explicit TQnEvent(bool manualReset = false);
    ~TQnEvent();
    TQnEvent(const TQnEvent&) = delete;
    TQnEvent& operator=(const TQnEvent&) = delete;

    void Signal();
    void Reset();
    // Waits up to timeoutMs (-1: without limit); true when it was signalled.
    bool Wait(int timeoutMs);
    bool IsSet() const;
    int Fd() const { return fd_; }
    bool ManualReset() const { return manualReset_; }

private:
    int fd_;
    bool manualReset_;
};

// Waits for the first of the events to be signalled and resets that one
// (unless it is manual-reset).
// Returns its index, or -1 when the time ran out.
int WaitAny(std::initializer_list<TQnEvent*> events, int timeoutMs);

// Polls the descriptors for input without consuming anything; true when one
// is readable within timeoutMs.
bool AnyReadable(std::initializer_list<int> fds, int timeoutMs);
