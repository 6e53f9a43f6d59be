// The dispatcher's three worker threads and how they start, hand over and stop.
//
// The comm thread waits for line events (modem lines, errors, BREAK) and wakes
// the dispatch thread through commEvent, then waits for dispatchDone before
// the next wait. The dispatch thread waits for received bytes on the device
// itself, beside commEvent, so data costs one wake-up, not two; it also runs
// a pass every 50 ms without an event. The output thread is woken by
// outputReady and writes the pending span of the output ring without holding
// a lock during the device write. Every wait also watches stopAll, so
// StopDispatcher only has to raise the stop flag, signal and join.
#include <algorithm>
#include <cstring>
#include <poll.h>
#include <thread>
#include <vector>

#include "serial/QnExcept.h"
#include "serial/QwUser.h"

namespace {

constexpr int StartAcknowledgeMs = 3000;
constexpr int DispatchPollMs = 50;
constexpr int LineEventPollMs = 50;
constexpr uint32_t ModemEvents = 0x2138;  // CTS, DSR, RLSD, ring, and the ring latch bit
constexpr uint32_t ErrorEvents = QnEventBreak | QnEventError;
constexpr const char* UnknownThreadFailure = "A serial port thread failed";

}  // namespace

void TQnBaseDispatcher::StartDispatcher() {
    std::lock_guard data(dataLock_);
    if (dispatcherActive_) throw EQnException::CreateWithText("Dispatcher already started");
    dispatcherActive_ = true;
    killThreads_ = false;
    events_->stopAll.Reset();
    // A thread that does not say it is ready in time does not stop the start.
    comThread_ = std::thread(&TQnBaseDispatcher::ComThreadBody, this);
    events_->threadReady.Wait(StartAcknowledgeMs);
    dispThread_ = std::thread(&TQnBaseDispatcher::DispThreadBody, this);
    events_->threadReady.Wait(StartAcknowledgeMs);
    outThread_ = std::thread(&TQnBaseDispatcher::OutThreadBody, this);
    events_->threadReady.Wait(StartAcknowledgeMs);
}

void TQnBaseDispatcher::StopDispatcher() {
    // The dispatch thread leaves its own thread object to the owner, who
    // may be writing it in StartDispatcher as the thread starts.
    const bool self = std::this_thread::get_id() == dispThreadId_.load();
    {
        // Only the flag is set under the lock: the threads may need the lock
        // to finish what they are doing, so the joins happen outside it.
        std::lock_guard data(dataLock_);
        if (!dispatcherActive_ && !comThread_.joinable() && !outThread_.joinable() && (self || !dispThread_.joinable()))
            return;
        killThreads_ = true;
    }
    events_->stopAll.Signal();
    events_->outputStop.Signal();
    events_->dispatchDone.Signal();
    events_->commEvent.Signal();
    for (std::thread* thread : {&outThread_, &comThread_})
        if (thread->joinable()) thread->join();
    if (self) return;  // the dispatch thread clears the active flag as it ends
    if (dispThread_.joinable()) dispThread_.join();
    dispThreadId_ = std::thread::id();
    dispatcherActive_ = false;
}

void TQnBaseDispatcher::FinishPendingClose() {
    // When the owner is closing meanwhile, it holds the lock and joins this
    // thread; otherwise the close is this thread's to make.
    std::unique_lock close(closeLock_, std::try_to_lock);
    if (!close.owns_lock() || killThreads_) return;
    StopDispatcher();
    CloseDevice();
}

void TQnBaseDispatcher::ThreadFinished() {
    if (--threadCount_ == 0) dispatcherActive_ = false;
}

void TQnBaseDispatcher::ReportThreadFailure(const std::string& text) {
    // No thread may die silently: the failure goes to the dispatch log as an
    // Error entry and to the user, and the thread ends.
    log_.AddDispatchEntry(3, 10, 0, nullptr, 0);
    ShowException(text);
}

// Runs a thread body; an exception it raises is reported and ends the thread.
template <typename Body>
void TQnBaseDispatcher::RunThreadBody(Body body) {
    try {
        body();
    } catch (const std::exception& error) {
        ReportThreadFailure(error.what());
    } catch (...) {
        ReportThreadFailure(UnknownThreadFailure);
    }
}

void TQnBaseDispatcher::ComThreadBody() {
    ++threadCount_;
    events_->threadReady.Signal();
    RunThreadBody([this] {
        while (!killThreads_) {
            const uint32_t events = device_->WaitLineEvent(events_->stopAll.Fd(), LineEventPollMs);
            if (killThreads_) break;
            if (events == 0) continue;
            eventMask_ |= events;
            events_->commEvent.Signal();
            if (WaitAny({&events_->dispatchDone, &events_->stopAll}, -1) != 0) break;
        }
    });
    ThreadFinished();
}

void TQnBaseDispatcher::DispThreadBody() {
    dispThreadId_ = std::this_thread::get_id();
    ++threadCount_;
    events_->threadReady.Signal();
    RunThreadBody([this] {
        bool inputHungUp = false;
        while (!killThreads_) {
            WaitForDispatch(inputHungUp);
            if (killThreads_) break;
            DispatchPass();
            if (closePending_) break;  // a handler closed the dispatcher
        }
    });
    if (closePending_) RunThreadBody([this] { FinishPendingClose(); });
    ThreadFinished();
}

void TQnBaseDispatcher::WaitForDispatch(bool& inputHungUp) {
    bool full;
    {
        std::lock_guard ring(ringLock_);
        full = ringFull_;
    }
    // Received bytes wake the pass directly, unless the ring is full (then
    // waiting input would wake it in vain, and GetBlock says when room is
    // made) or the device has hung up (it would wake it without end; the
    // 50 ms pass still reads whatever comes).
    const int inputFd = inputHungUp ? -1 : device_->InputFd();
    pollfd fds[3] = {{events_->commEvent.Fd(), POLLIN, 0},
                     {events_->stopAll.Fd(), POLLIN, 0},
                     {full ? events_->ringRoom.Fd() : inputFd, POLLIN, 0}};
    const nfds_t count = (full || inputFd >= 0) ? 3 : 2;
    if (::poll(fds, count, DispatchPollMs) <= 0) return;
    if (fds[0].revents != 0) events_->commEvent.Reset();
    if (full && fds[2].revents != 0) events_->ringRoom.Reset();
    if (!full && count == 3 && (fds[2].revents & (POLLHUP | POLLERR | POLLNVAL))) inputHungUp = true;
}

void TQnBaseDispatcher::DispatchPass() {
    const uint32_t events = eventMask_.exchange(0);
    bool going = true;
    if (events & ModemEvents) {
        RefreshModemStatus();
        going = RunStatusTriggers();
    }
    if (going && (events & ErrorEvents)) {
        RefreshLineErrors();
        going = RunStatusTriggers();
    }
    if (going) {
        ReadDevice();
        RefreshModemStatus();
        going = RunStatusTriggers();
        while (going && !closePending_ && CheckDataTriggers()) {
        }
    }
    events_->dispatchDone.Signal();
    StatusAndTimerPass();
}

void TQnBaseDispatcher::OutThreadBody() {
    ++threadCount_;
    outThreadRunning_ = true;
    events_->threadReady.Signal();
    RunThreadBody([this] {
        while (!killThreads_) {
            const int woken = WaitAny({&events_->outputReady, &events_->outputStop, &events_->stopAll}, -1);
            if (killThreads_) break;
            if (woken == 0)
                WriteOutput();
            else if (woken == 1)
                events_->threadReady.Signal();  // acknowledges a purge
        }
    });
    outThreadRunning_ = false;
    ThreadFinished();
}

void TQnBaseDispatcher::WriteOutput() {
    for (;;) {
        uint32_t start;
        uint32_t count;
        uint64_t generation;
        {
            std::lock_guard output(outputLock_);
            if (!outFull_ && outHead_ == outTail_) return;
            generation = outGeneration_;
            if (outHead_ > outTail_) {
                start = outTail_;
                count = outHead_ - outTail_;
            } else if (outHead_ == 0) {
                start = outTail_;
                count = outSize_ - outTail_;
            } else {
                // The pending bytes wrap: rotate them to the front so one
                // write sends them all.
                const uint32_t pending = OutUsedLocked();
                std::vector<uint8_t> headPart(outBuffer_.begin(), outBuffer_.begin() + outHead_);
                std::memmove(outBuffer_.data(), outBuffer_.data() + outTail_, outSize_ - outTail_);
                std::memcpy(outBuffer_.data() + (outSize_ - outTail_), headPart.data(), headPart.size());
                outTail_ = 0;
                outHead_ = pending % outSize_;
                start = 0;
                count = pending;
            }
        }
        const int32_t written =
            device_->Write(outBuffer_.data() + start, count, {events_->outputStop.Fd(), events_->stopAll.Fd()});
        if (written == QnWriteCancelled) {
            // A purge or a stop: acknowledge and let go of the ring.
            if (events_->outputStop.Wait(0)) events_->threadReady.Signal();
            return;
        }
        {
            std::lock_guard output(outputLock_);
            if (generation != outGeneration_) continue;  // purged meanwhile
            // A failed write drops its bytes rather than retrying forever.
            const uint32_t done = written <= 0 ? count : static_cast<uint32_t>(written);
            outTail_ = (outTail_ + done) % outSize_;
            outFull_ = false;
            if (outTail_ == outHead_) outHead_ = outTail_ = 0;
        }
        if (rs485Mode_) {
            device_->WaitTransmitterEmpty(events_->stopAll.Fd());
            SetRts(false);
        }
    }
}
