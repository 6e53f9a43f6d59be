#include "support/FakeSerialDevice.h"

#include <algorithm>
#include <chrono>
#include <poll.h>
#include <thread>
#include <utility>

namespace {

// Journal names of the escape functions, by their value.
const char* const EscapeNames[] = {"", "XOFF", "XON", "RTS+", "RTS-", "DTR+", "DTR-", "RESET", "BREAK+", "BREAK-"};

}  // namespace

bool Eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::string TakeBytes(TQnBaseDispatcher& dispatcher, std::size_t count) {
    std::string got;
    while (got.size() < count && Eventually([&] { return dispatcher.InBuffUsed() > 0; })) {
        std::string part(std::min<std::size_t>(dispatcher.InBuffUsed(), count - got.size()), '\0');
        dispatcher.GetBlock(reinterpret_cast<uint8_t*>(part.data()), static_cast<uint32_t>(part.size()));
        got += part;
    }
    return got;
}

void TFakeSerialDevice::Note(const std::string& call) {
    std::lock_guard guard(lock_);
    journal_.push_back(call);
}

void TFakeSerialDevice::Raise(uint32_t events) {
    pendingEvents_ |= events;
    lineEvent_.Signal();
}

void TFakeSerialDevice::Feed(const std::string& bytes) {
    std::lock_guard guard(lock_);
    input_.insert(input_.end(), bytes.begin(), bytes.end());
    if (!input_.empty()) inputWaiting_.Signal();
}

void TFakeSerialDevice::SetModemLines(uint8_t lines) {
    std::lock_guard guard(lock_);
    const uint8_t changed = lines ^ lines_;
    lines_ = lines;
    uint32_t events = 0;
    if (changed & QnLineCts) events |= QnEventCts;
    if (changed & QnLineDsr) events |= QnEventDsr;
    if (changed & QnLineDcd) events |= QnEventRlsd;
    if (changed & QnLineRing) events |= QnEventRing;
    Raise(events);
}

void TFakeSerialDevice::InjectLineErrors(uint32_t errors) {
    std::lock_guard guard(lock_);
    pendingErrors_ |= errors;
    Raise((errors & QnErrorBreak) ? QnEventBreak : QnEventError);
}

void TFakeSerialDevice::Stall(bool on) {
    std::lock_guard guard(lock_);
    stalled_ = on;
    if (on) unstalled_.Reset();
    else unstalled_.Signal();
}

int32_t TFakeSerialDevice::ReadState(TQnLineState& state) {
    std::lock_guard guard(lock_);
    state = state_;
    return 0;
}

int32_t TFakeSerialDevice::WriteState(const TQnLineState& state) {
    std::lock_guard guard(lock_);
    state_ = state;
    ++stateWrites_;
    return 0;
}

int32_t TFakeSerialDevice::Read(uint8_t* bytes, uint32_t count) {
    std::lock_guard guard(lock_);
    const auto n = static_cast<uint32_t>(std::min<std::size_t>(count, input_.size()));
    std::copy_n(input_.begin(), n, bytes);
    input_.erase(input_.begin(), input_.begin() + n);
    if (input_.empty()) inputWaiting_.Reset();
    return static_cast<int32_t>(n);
}

int32_t TFakeSerialDevice::Write(const uint8_t* bytes, uint32_t count, std::initializer_list<int> cancelFds) {
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

uint32_t TFakeSerialDevice::TakeLineErrors() {
    std::lock_guard guard(lock_);
    return std::exchange(pendingErrors_, 0);
}

int32_t TFakeSerialDevice::Escape(QnEscape function) {
    Note(EscapeNames[static_cast<int>(function)]);
    return 0;
}

int32_t TFakeSerialDevice::Purge(bool output) {
    std::lock_guard guard(lock_);
    if (!output) {
        input_.clear();
        inputWaiting_.Reset();
    }
    return 0;
}

uint32_t TFakeSerialDevice::WaitLineEvent(int stopFd, int timeoutMs) {
    if (!AnyReadable({lineEvent_.Fd(), stopFd}, timeoutMs) || AnyReadable({stopFd}, 0)) return 0;
    std::lock_guard guard(lock_);
    lineEvent_.Reset();
    return std::exchange(pendingEvents_, 0);
}

std::unique_ptr<IQnSerialDevice> TFakeDispatcher::OpenCom(const std::string&, int32_t& result) {
    auto device = std::make_unique<TFakeSerialDevice>();
    device_ = device.get();
    result = 0;
    return device;
}
