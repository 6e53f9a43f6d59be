// The dispatcher's two rings: received bytes (filled by the dispatch thread,
// taken by GetBlock) and queued output (filled by PutBlock, written by the
// output thread).
#include <algorithm>
#include <cstring>

#include "serial/QwUser.h"

namespace {

constexpr int32_t BufferIsEmpty = -3007;
constexpr int32_t OutputBufferTooSmall = -3006;
constexpr int PurgeAcknowledgeMs = 5000;

}  // namespace

uint32_t TQnBaseDispatcher::RingUsedLocked() const {
    if (ringHead_ > ringTail_) return ringHead_ - ringTail_;
    if (ringHead_ < ringTail_) return ringHead_ + DispatchRingSize - ringTail_;
    return ringFull_ ? DispatchRingSize : 0;
}

uint32_t TQnBaseDispatcher::OutUsedLocked() const {
    if (outHead_ > outTail_) return outHead_ - outTail_;
    if (outHead_ < outTail_) return outHead_ + outSize_ - outTail_;
    return outFull_ ? outSize_ : 0;
}

uint32_t TQnBaseDispatcher::InBuffUsed() {
    std::lock_guard ring(ringLock_);
    if (ring_.empty()) return 0;
    // A handler of a data message sees only what it has not read yet.
    return RingUsedLocked() - (peekMode_ ? peekCount_ : 0);
}

uint32_t TQnBaseDispatcher::OutBuffUsed() {
    std::lock_guard output(outputLock_);
    return outBuffer_.empty() ? 0 : OutUsedLocked();
}

uint32_t TQnBaseDispatcher::OutBuffFree() {
    std::lock_guard output(outputLock_);
    return outBuffer_.empty() ? 0 : outSize_ - OutUsedLocked();
}

void TQnBaseDispatcher::RefreshLineErrors() {
    // Errors are latched: new bits join the ones not yet reported. Callers
    // hold a lock or run on the dispatch thread, so the device stays open.
    if (IsOpen()) lineErrors_ |= device_->TakeLineErrors() & 0x1F;
}

void TQnBaseDispatcher::RefreshModemStatus() {
    // Serialised, so a reading taken before a line change can never be
    // stored after one taken since.
    std::lock_guard data(dataLock_);
    if (!IsOpen()) return;
    const uint8_t lines = device_->ModemLines() & 0xF0;
    const uint8_t previous = modemStatus_.load();
    modemStatus_ = static_cast<uint8_t>(lines | (previous & 0x0F) | (((previous ^ lines) & 0xF0) >> 4));
}

uint8_t TQnBaseDispatcher::GetModemStatus() {
    std::lock_guard data(dataLock_);
    if (!IsOpen()) return 0;
    RefreshModemStatus();
    return modemStatus_.fetch_and(0xF0);
}

int32_t TQnBaseDispatcher::GetLineError() {
    std::lock_guard data(dataLock_);
    const uint32_t errors = lineErrors_.load();
    static const std::pair<uint32_t, int32_t> order[] = {
        {QnErrorRxOverflow, 1}, {QnErrorOverrun, 2}, {QnErrorParity, 3}, {QnErrorFraming, 4}, {QnErrorBreak, 9}};
    for (const auto& [bit, code] : order) {
        if (errors & bit) {
            lineErrors_ &= ~(QnErrorRxOverflow | QnErrorOverrun | QnErrorParity | QnErrorFraming);
            return code;
        }
    }
    return 0;
}

bool TQnBaseDispatcher::CheckLineBreak() { return (lineErrors_.fetch_and(~QnErrorBreak) & QnErrorBreak) != 0; }

int32_t TQnBaseDispatcher::GetBlock(uint8_t* bytes, uint32_t count) {
    if (count == 0) return 0;
    {
        std::lock_guard ring(ringLock_);
        // While a data message is delivered, handlers read without consuming.
        const uint32_t skip = peekMode_ ? peekCount_ : 0;
        if (ring_.empty() || RingUsedLocked() - skip < count) return BufferIsEmpty;
        const uint32_t start = (ringTail_ + skip) % DispatchRingSize;
        const uint32_t first = std::min(count, DispatchRingSize - start);
        std::memcpy(bytes, ring_.data() + start, first);
        std::memcpy(bytes + first, ring_.data(), count - first);
        if (peekMode_) {
            peekCount_ += count;
        } else {
            ringTail_ = (ringTail_ + count) % DispatchRingSize;
        }
        if (!peekMode_ && ringFull_) {
            ringFull_ = false;
            events_->ringRoom.Signal();
        }
    }
    trace_.AddTraceBlock('R', bytes, count);
    return static_cast<int32_t>(count);
}

int32_t TQnBaseDispatcher::PutChar(uint8_t byte) { return PutBlock(&byte, 1); }

int32_t TQnBaseDispatcher::PutBlock(const uint8_t* bytes, uint32_t count) {
    if (count == 0) return 0;
    if (!IsOpen()) return QnResultNotOpen;
    if (rs485Mode_) SetRts(true);
    {
        // The room check, the copy and the full flag are one locked step, so
        // no other writer can slip in between; the lock also keeps the
        // dispatch thread from closing the port meanwhile.
        std::lock_guard output(outputLock_);
        if (!IsOpen()) return QnResultNotOpen;
        RefreshLineErrors();
        const uint32_t free = outSize_ - OutUsedLocked();
        if (count > free) return OutputBufferTooSmall;
        const uint32_t first = std::min(count, outSize_ - outHead_);
        std::memcpy(outBuffer_.data() + outHead_, bytes, first);
        std::memcpy(outBuffer_.data(), bytes + first, count - first);
        outHead_ = (outHead_ + count) % outSize_;
        if (count == free) outFull_ = true;
        outputSent_ = true;
        events_->outputReady.Signal();
    }
    log_.AddDispatchEntry(1, 2, count, bytes, count);
    trace_.AddTraceBlock('T', bytes, count);
    return 0;
}

int32_t TQnBaseDispatcher::PurgeQueue(bool output) {
    if (!output) {
        std::lock_guard ring(ringLock_);
        return IsOpen() ? device_->Purge(false) : 0;
    }
    if (!IsOpen()) return 0;
    // One purge at a time: two would share one acknowledgement.
    std::lock_guard purge(purgeLock_);
    if (outThreadRunning_) {
        // Abandon a write in progress and wait for the output thread to say
        // it let go of the ring before clearing it; a thread told to stop
        // lets go without saying so.
        events_->threadReady.Reset();
        events_->outputStop.Signal();
        WaitAny({&events_->threadReady, &events_->stopAll}, PurgeAcknowledgeMs);
    }
    std::lock_guard guard(outputLock_);
    if (!IsOpen()) return 0;
    outHead_ = outTail_ = 0;
    outFull_ = false;
    ++outGeneration_;
    return device_->Purge(true);
}

int32_t TQnBaseDispatcher::FlushOutBuffer() { return PurgeQueue(true); }

int32_t TQnBaseDispatcher::FlushInBuffer() {
    std::lock_guard ring(ringLock_);
    const int32_t result = PurgeQueue(false);
    if (peekMode_) {
        // A handler flushes during a data message: the ring must not move
        // under the delivery, so the flush counts as every held byte read,
        // by this handler and by the ones after it; the ring advances past
        // them all when the delivery ends.
        maxConsumed_ = peekCount_ = peekStart_ = RingUsedLocked();
    } else {
        ringTail_ = ringHead_;
        peekCount_ = 0;
        if (ringFull_) {
            ringFull_ = false;
            events_->ringRoom.Signal();
        }
    }
    // A pattern begun in the flushed bytes must not complete in new ones.
    std::lock_guard data(dataLock_);
    for (TQnDataTrigger& trigger : dataTriggers_) {
        std::ranges::fill(trigger.Cursors, 0u);
        trigger.Matched = 0;
    }
    return result;
}

bool TQnBaseDispatcher::ReadDevice() {
    // Only this thread moves the head, so the free span worked out under the
    // lock stays free while the device reads into it without the lock; the
    // consumer keeps taking bytes meanwhile. The new head is published under
    // the lock.
    uint32_t head;
    uint32_t pieces[2];
    {
        std::lock_guard ring(ringLock_);
        if (ringFull_) return true;
        head = ringHead_;
        const uint32_t tail = ringTail_;
        const uint32_t free = head == tail  ? DispatchRingSize
                              : tail > head ? tail - head
                                            : tail + DispatchRingSize - head;
        const uint32_t first = tail > head ? tail - head : DispatchRingSize - head;
        pieces[0] = first;
        pieces[1] = free - first;
    }
    RefreshLineErrors();
    const uint32_t waiting = device_->InputCount();
    if (waiting == 0) return false;
    // Ask for no more than is queued: a larger read makes a terminal wait for
    // input still on its way.
    pieces[0] = std::min(pieces[0], waiting);
    pieces[1] = std::min(pieces[1], waiting - pieces[0]);
    uint32_t total = 0;
    for (uint32_t piece : pieces) {
        if (piece == 0) break;
        const int32_t n = device_->Read(ring_.data() + head, piece);
        log_.AddDispatchEntry(1, 1, static_cast<uint32_t>(n), ring_.data() + head, static_cast<uint32_t>(n));
        head = (head + static_cast<uint32_t>(n)) % DispatchRingSize;
        total += static_cast<uint32_t>(n);
        if (static_cast<uint32_t>(n) < piece) break;  // a short read cancels the second part
    }
    if (total > 0) {
        std::lock_guard ring(ringLock_);
        ringHead_ = head;
        ringFull_ = ringHead_ == ringTail_;
        dataAvailable_.Signal();
        scanCaughtUp_ = false;
    }
    return true;
}
