#pragma once
// Growable byte queue in which the terminal window keeps received bytes until
// its emulator processes them. The queued bytes always start at the front of
// one contiguous block, so they can be handed over in one piece.

#include <cstdint>
#include <stdexcept>
#include <vector>

class EaaQueueUnderflow : public std::runtime_error {
public:
    EaaQueueUnderflow(int queued, int requested);
};

// A put that would take the queue past TaaByteQueue::MaxCapacity.
class EaaQueueOverflow : public std::runtime_error {
public:
    EaaQueueOverflow();
};

class TaaByteQueue {
public:
    // Far more than a terminal ever leaves unprocessed; the bound keeps the
    // doubling within int.
    static constexpr int MaxCapacity = 1 << 28;

    TaaByteQueue() { SetCapacity(64); }

    int Count() const { return FCount; }
    int Capacity() const { return static_cast<int>(FData.size()); }
    // Capacity := max(n, Count) rounded up to a multiple of 64, at most
    // MaxCapacity.
    void SetCapacity(int n);

    // Put and ReserveTail raise EaaQueueOverflow, the queue unchanged, when
    // Count + n would exceed MaxCapacity.
    void Put(const void* data, int n);
    void Put(uint8_t byte) { Put(&byte, 1); }
    // Room for n more bytes; write them, then AdvanceTail(n). The address is
    // valid until the next Put, ReserveTail or SetCapacity.
    uint8_t* ReserveTail(int n);
    void AdvanceTail(int n);
    // Address of the first queued byte (valid until the queue changes).
    const uint8_t* Peek(int n) const;
    uint8_t At(int i) const { return FData[static_cast<size_t>(i)]; }
    void Remove(int n);
    void Clear() { FCount = 0; }

private:
    void Grow(int n);

    std::vector<uint8_t> FData;
    int FCount = 0;
};
