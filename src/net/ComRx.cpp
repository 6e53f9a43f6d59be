#include "net/ComRx.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

std::string DeviceTried(const std::string& device) { return " (device \"" + device + "\")"; }

}  // namespace

EComInvalidPort::EComInvalidPort(const std::string& device)
    : std::runtime_error(
          "The request could not be completed because the specified comunications port could not be accessed!" +
          DeviceTried(device)) {}

EComPortInUse::EComPortInUse(const std::string& device)
    : std::runtime_error(
          "The request could not be completed because the specified comunications port in currently in use!" +
          DeviceTried(device)) {}

EComSetOptions::EComSetOptions(const std::string& device)
    : std::runtime_error("Unable to configure selected comunications port with the specified options!" +
                         DeviceTried(device)) {}

// --- receive thread ------------------------------------------------------------

TComRxThread::TComRxThread(IComDevice& device, TEvents events)
    : FDevice(device), FEvents(std::move(events)), FBuffer(BufferSize) {
    FStopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FStopFd < 0) throw std::runtime_error("Unable to create the receive thread of the serial port.");
    FModemLines = FDevice.ReadModemCounts(FModemCounts);
    FThread = std::thread([this] { Execute(); });
}

TComRxThread::~TComRxThread() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(FStopFd, &one, sizeof one);
    FThread.join();
    ::close(FStopFd);
}

void TComRxThread::Execute() {
    for (;;) {
        pollfd fds[2] = {{FStopFd, POLLIN, 0}, {FDevice.PollFd(), POLLIN, 0}};
        const int n = ::poll(fds, 2, FModemLines ? ModemPollMs : -1);
        if (n < 0 && errno != EINTR) {
            ReportError(errno);
            break;
        }
        if (fds[0].revents) break;
        if (fds[1].revents & POLLIN) {
            if (!ReadPending()) break;
        } else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            ReportError(EIO);  // hung up: reported once, and no more polling
            break;
        }
        if (FModemLines) PollModemLines();
    }
    FRunning = false;
}

bool TComRxThread::ReadPending() {
    // A bounded number of reads per wake-up, so a flood never keeps the
    // thread from seeing its stop signal.
    for (int reads = 0; reads < MaxReadsPerWake; ++reads) {
        const ssize_t n = FDevice.Read(FBuffer.data(), FBuffer.size());
        if (n > 0) {
            Parse(FBuffer.data(), static_cast<size_t>(n));
            FlushBlock();
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return true;
        ReportError(n == 0 ? EIO : errno);
        return false;
    }
    return true;
}

// The input marks (PARMRK): FF FF is a real FF, FF 00 00 a break, FF 00 x a
// byte x received with a parity or framing error.
void TComRxThread::Parse(const uint8_t* data, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t c = data[i];
        switch (FMarkState) {
            case TMarkState::Normal:
                if (c == 0xFF)
                    FMarkState = TMarkState::Mark;
                else
                    Emit(c);
                break;
            case TMarkState::Mark:
                FMarkState = c == 0x00 ? TMarkState::MarkZero : TMarkState::Normal;
                if (c != 0x00) Emit(c);
                break;
            case TMarkState::MarkZero:
                FMarkState = TMarkState::Normal;
                if (c == 0x00) {
                    // The break comes as its own one-byte block after its event,
                    // so a handler that drops "the next block" drops only it.
                    FlushBlock();
                    TComThreadModemEventProc signal = FEvents.OnModemSignal;
                    if (signal) Deliver([signal](TComRx& owner) { signal(owner, ComEvents(cme_BREAK)); });
                    FBlock.push_back(0x00);
                    FlushBlock();
                } else {
                    Emit(FEvents.ReplaceOnError ? FEvents.ErrorChar : c);
                }
                break;
        }
    }
}

void TComRxThread::Emit(uint8_t value) {
    if (value == 0x00 && !FEvents.PassNulls) return;
    FBlock.push_back(value);
}

void TComRxThread::FlushBlock() {
    if (FBlock.empty()) return;
    if (FEvents.OnDataBlock || FEvents.OnData) {
        Deliver([block = FBlock, onBlock = FEvents.OnDataBlock, onData = FEvents.OnData](TComRx& owner) {
            if (onBlock) onBlock(owner, block.data(), static_cast<uint32_t>(block.size()));
            if (onData)
                for (uint8_t b : block) onData(owner, b);
        });
    }
    FBlock.clear();
}

void TComRxThread::PollModemLines() {
    TComModemCounts now;
    if (!FDevice.ReadModemCounts(now) || now == FModemCounts) return;
    TComModemEvents events = 0;
    if (now.Ring != FModemCounts.Ring) events |= ComEvents(cme_RING);
    if (now.Cts != FModemCounts.Cts) events |= ComEvents(cme_CTS);
    if (now.Dsr != FModemCounts.Dsr) events |= ComEvents(cme_DSR);
    if (now.Dcd != FModemCounts.Dcd) events |= ComEvents(cme_RLSD);
    FModemCounts = now;
    if (FEvents.OnModemSignal)
        Deliver([signal = FEvents.OnModemSignal, events](TComRx& owner) { signal(owner, events); });
}

void TComRxThread::ReportError(int error) {
    if (FEvents.OnError)
        Deliver([onError = FEvents.OnError, error](TComRx& owner) {
            bool abort = true;
            onError(owner, error, abort);
        });
}

void TComRxThread::Deliver(std::function<void(TComRx& owner)> call) {
    if (FEvents.SyncCallbacks && FEvents.Dispatcher) {
        FEvents.Dispatcher([session = FEvents.Session, owner = FEvents.Owner, call = std::move(call)] {
            if (!session.expired()) call(*owner);
        });
    } else {
        call(*FEvents.Owner);
    }
}

// --- component -----------------------------------------------------------------

TComRx::TComRx() {
    DeviceOpener = [](const std::string& portName, const TComTermios& settings, TComOpenError& error) {
        return OpenHostComDevice(ResolveComPortName(portName), settings, error);
    };
}

TComRx::~TComRx() { Close(); }

void TComRx::SetActive(bool value) {
    if (value == Active()) return;
    if (value)
        Open();
    else
        Close();
}

void TComRx::Open() {
    Close();
    TComOpenError error = TComOpenError::InvalidPort;
    FDevice = DeviceOpener ? DeviceOpener(PortName, ComOptionsToTermios(FOptions.Record()), error) : nullptr;
    if (!FDevice) {
        const std::string device = ResolveComPortName(PortName);
        if (error == TComOpenError::PortInUse) throw EComPortInUse(device);
        if (error == TComOpenError::SetOptions) throw EComSetOptions(device);
        throw EComInvalidPort(device);
    }
    FSession = std::make_shared<int>(0);
    TComRxThread::TEvents events;
    events.Owner = this;
    events.SyncCallbacks = SyncCallbacks;
    events.Dispatcher = Dispatcher;
    events.Session = FSession;
    events.OnData = OnData;
    events.OnDataBlock = OnDataBlock;
    events.OnModemSignal = OnModemSignal;
    events.OnError = OnError;
    events.PassNulls = FOptions.PassNulls();
    events.ReplaceOnError = FOptions.ReplaceOnError();
    events.ErrorChar = FOptions.ErrorChar();
    try {
        FThread = std::make_unique<TComRxThread>(*FDevice, std::move(events));
    } catch (...) {
        Close();
        throw;
    }
}

void TComRx::Close() {
    FSession.reset();  // events still on their way are dropped
    FThread.reset();
    FDevice.reset();
}

bool TComRx::CanWrite() { return Active() && FDevice->WaitWritable(0); }

bool TComRx::WriteByte(uint8_t value, int timeoutMs) {
    if (!Active()) return false;
    bool waited = false;
    for (;;) {
        const ssize_t n = FDevice->Write(&value, 1);
        if (n == 1) return true;
        if (n < 0 && errno == EINTR) continue;
        if ((n == 0 || errno == EAGAIN) && !waited && timeoutMs != 0) {
            waited = true;
            if (FDevice->WaitWritable(timeoutMs)) continue;
        }
        if (n == 0 || errno == EAGAIN) return false;  // the line stays stalled: the byte is dropped
        bool result = false;
        if (OnError) OnError(*this, errno, result);
        return result;
    }
}
