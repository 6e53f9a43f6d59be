#pragma once
// A scriptable serial device for dispatcher tests: input arrives when the
// test feeds it, modem lines and line errors change when the test says so,
// writes can be stalled, and every line-control call is journalled.

#include <algorithm>
#include <deque>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "serial/QnDevice.h"
#include "serial/QnEvent.h"
#include "serial/QwUser.h"
#include "support/Eventually.h"

namespace tavrin::test {

class TFakeSerialDevice : public IQnSerialDevice {
public:
    void Feed(const std::string& bytes) {
        std::lock_guard guard(lock_);
        input_.insert(input_.end(), bytes.begin(), bytes.end());
        if (!input_.empty()) inputWaiting_.Signal();
    }
    void SetModemLines(uint8_t lines) {
        std::lock_guard guard(lock_);
        const uint8_t changed = lines ^ lines_;
        lines_ = lines;
        Raise(QnModemLineEvents(changed));
    }
    void InjectLineErrors(uint32_t errors) {
        std::lock_guard guard(lock_);
        pendingErrors_ |= errors;
        Raise((errors & QnErrorBreak) ? QnEventBreak : QnEventError);
    }
    // The next call of that kind ("read", "write" or "wait" for a line event)
    // raises "device <kind> failed".
    void FailNext(const std::string& call) {
        std::lock_guard guard(lock_);
        failing_ = call;
    }
    void Stall(bool on) {
        std::lock_guard guard(lock_);
        stalled_ = on;
        if (on)
            unstalled_.Reset();
        else
            unstalled_.Signal();
    }

    // Snapshots taken under the lock.
    std::string Written() { return Copy(output_); }
    std::vector<uint32_t> WriteSizes() { return Copy(writeSizes_); }
    std::vector<std::string> Journal() { return Copy(journal_); }
    TQnLineState State() { return Copy(state_); }
    uint32_t PendingErrors() { return Copy(pendingErrors_); }
    // True while a write waits on the stall.
    bool WriterBlocked() { return Copy(writerBlocked_); }

    int32_t ReadState(TQnLineState& state) override {
        state = State();
        return 0;
    }
    int32_t WriteState(const TQnLineState& state) override {
        std::lock_guard guard(lock_);
        state_ = state;
        return 0;
    }
    int32_t Read(uint8_t* bytes, uint32_t count) override {
        MaybeFail("read");
        std::lock_guard guard(lock_);
        const auto n = static_cast<uint32_t>(std::min<std::size_t>(count, input_.size()));
        std::copy_n(input_.begin(), n, bytes);
        input_.erase(input_.begin(), input_.begin() + n);
        if (input_.empty()) inputWaiting_.Reset();
        return static_cast<int32_t>(n);
    }
    int32_t Write(const uint8_t* bytes, uint32_t count, std::initializer_list<int> cancelFds) override {
        MaybeFail("write");
        for (;;) {
            {
                std::lock_guard guard(lock_);
                if (!stalled_) {
                    writerBlocked_ = false;
                    output_.append(reinterpret_cast<const char*>(bytes), count);
                    writeSizes_.push_back(count);
                    journal_.push_back("write " + std::string(reinterpret_cast<const char*>(bytes), count));
                    return static_cast<int32_t>(count);
                }
                writerBlocked_ = true;
            }
            // Wait for the stall to end or a cancel, then look again.
            std::vector<pollfd> fds;
            for (int fd : cancelFds) fds.push_back({fd, POLLIN, 0});
            fds.push_back({unstalled_.Fd(), POLLIN, 0});
            ::poll(fds.data(), fds.size(), -1);
            if (std::any_of(fds.begin(), fds.end() - 1, [](const pollfd& fd) { return fd.revents != 0; })) {
                std::lock_guard guard(lock_);
                writerBlocked_ = false;
                return QnWriteCancelled;
            }
        }
    }
    uint32_t InputCount() override { return static_cast<uint32_t>(Copy(input_).size()); }
    uint32_t TakeLineErrors() override {
        std::lock_guard guard(lock_);
        return std::exchange(pendingErrors_, 0);
    }
    uint8_t ModemLines() override { return Copy(lines_); }
    int32_t Escape(QnEscape function) override {
        // Journal names of the escape functions, by their value.
        static const char* const names[] = {"",     "XOFF", "XON",   "RTS+",   "RTS-",
                                            "DTR+", "DTR-", "RESET", "BREAK+", "BREAK-"};
        Note(names[static_cast<int>(function)]);
        return 0;
    }
    int32_t Purge(bool output) override {
        std::lock_guard guard(lock_);
        if (!output) {
            input_.clear();
            inputWaiting_.Reset();
        }
        return 0;
    }
    int InputFd() override { return inputWaiting_.Fd(); }
    uint32_t WaitLineEvent(int stopFd, int timeoutMs) override {
        MaybeFail("wait");
        if (!AnyReadable({lineEvent_.Fd(), stopFd}, timeoutMs) || AnyReadable({stopFd}, 0)) return 0;
        std::lock_guard guard(lock_);
        lineEvent_.Reset();
        return std::exchange(pendingEvents_, 0);
    }
    void WaitTransmitterEmpty(int) override { Note("empty"); }

private:
    void MaybeFail(const std::string& call) {
        std::lock_guard guard(lock_);
        if (failing_ != call) return;
        failing_.clear();
        throw std::runtime_error("device " + call + " failed");
    }
    // Called with the lock held.
    void Raise(uint32_t events) {
        pendingEvents_ |= events;
        lineEvent_.Signal();
    }
    void Note(const std::string& call) {
        std::lock_guard guard(lock_);
        journal_.push_back(call);
    }
    template <typename T>
    T Copy(const T& field) {
        std::lock_guard guard(lock_);
        return field;
    }

    std::mutex lock_;
    TQnEvent lineEvent_;
    TQnEvent unstalled_;
    TQnEvent inputWaiting_{true};  // set while input is queued
    std::deque<uint8_t> input_;
    std::string output_;
    std::vector<uint32_t> writeSizes_;
    std::vector<std::string> journal_;
    TQnLineState state_{9600, 0, 0, 0, 8, 0, 0, 17, 19};
    uint8_t lines_ = 0;
    uint32_t pendingEvents_ = 0;
    uint32_t pendingErrors_ = 0;
    bool stalled_ = false;
    bool writerBlocked_ = false;
    std::string failing_;
};

// A dispatcher over a fresh fake device at each open.
class TFakeDispatcher : public TQnBaseDispatcher {
public:
    using TQnBaseDispatcher::TQnBaseDispatcher;

    TFakeSerialDevice& Device() { return *device_; }

protected:
    std::unique_ptr<IQnSerialDevice> OpenCom(const std::string&, int32_t& result) override {
        auto device = std::make_unique<TFakeSerialDevice>();
        device_ = device.get();
        result = 0;
        return device;
    }

private:
    TFakeSerialDevice* device_ = nullptr;
};

inline const uint8_t* Bytes(const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); }

// Takes received bytes from the dispatcher's ring as they arrive until
// `count` came or none arrive for about five seconds.
inline std::string TakeBytes(TQnBaseDispatcher& dispatcher, std::size_t count) {
    std::string got;
    while (got.size() < count && Eventually([&] { return dispatcher.InBuffUsed() > 0; })) {
        std::string part(std::min<std::size_t>(dispatcher.InBuffUsed(), count - got.size()), '\0');
        dispatcher.GetBlock(reinterpret_cast<uint8_t*>(part.data()), static_cast<uint32_t>(part.size()));
        got += part;
    }
    return got;
}

// Baud, parity, data bits and stop bits as the dispatcher reports them; all
// -1 when it refuses.
inline std::tuple<int64_t, int, int, int> LineOf(TQnBaseDispatcher& dispatcher) {
    uint32_t baud = 0;
    uint16_t parity = 0;
    uint8_t bits = 0, stops = 0;
    if (dispatcher.GetLine(baud, parity, bits, stops) != 0) return {-1, -1, -1, -1};
    return {baud, parity, bits, stops};
}

}  // namespace tavrin::test
