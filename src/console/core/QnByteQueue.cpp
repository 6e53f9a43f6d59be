#include "console/core/QnByteQueue.h"

#include <algorithm>
#include <cstring>
#include <string>

EaaQueueUnderflow::EaaQueueUnderflow(int queued, int requested)
    : std::runtime_error("Not enough data in queue (" + std::to_string(queued) + " bytes) to satisfy read request (" +
                         std::to_string(requested) + " bytes)") {}

EaaQueueOverflow::EaaQueueOverflow()
    : std::runtime_error("The byte queue cannot hold more than " + std::to_string(TaaByteQueue::MaxCapacity) +
                         " bytes") {}

void TaaByteQueue::SetCapacity(int n) {
    int64_t cap = std::max(n, FCount);
    cap = (cap + 63) / 64 * 64;
    if (cap == 0) cap = 64;
    FData.resize(static_cast<size_t>(std::min<int64_t>(cap, MaxCapacity)));
}

void TaaByteQueue::Grow(int n) {
    if (n < 0) n = 0;
    if (n > MaxCapacity - FCount) throw EaaQueueOverflow();
    int64_t cap = Capacity();
    while (cap < static_cast<int64_t>(FCount) + n) cap *= 2;
    if (cap != Capacity()) SetCapacity(static_cast<int>(std::min<int64_t>(cap, MaxCapacity)));
}

void TaaByteQueue::Put(const void* data, int n) {
    if (n <= 0) return;
    Grow(n);
    std::memcpy(FData.data() + FCount, data, static_cast<size_t>(n));
    FCount += n;
}

uint8_t* TaaByteQueue::ReserveTail(int n) {
    Grow(n);
    return FData.data() + FCount;
}

void TaaByteQueue::AdvanceTail(int n) {
    if (n <= 0) return;
    FCount = std::min(FCount + n, Capacity());
}

const uint8_t* TaaByteQueue::Peek(int n) const {
    if (n > FCount) throw EaaQueueUnderflow(FCount, n);
    return FData.data();
}

void TaaByteQueue::Remove(int n) {
    if (n > FCount) throw EaaQueueUnderflow(FCount, n);
    if (n <= 0) return;
    std::memmove(FData.data(), FData.data() + n, static_cast<size_t>(FCount - n));
    FCount -= n;
}
