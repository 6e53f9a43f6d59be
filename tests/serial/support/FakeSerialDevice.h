#pragma once
// A scriptable serial device for dispatcher tests: input arrives when the
// test feeds it, modem lines and line errors change when the test says so,
// writes can be stalled, and every line-control call is journalled.

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "serial/QnDevice.h"
#include "serial/QnEvent.h"
#include "serial/QwUser.h"

class TFakeSerialDevice : public IQnSerialDevice {
public:
    void Feed(const std::string& bytes);
    void SetModemLines(uint8_t lines);
    void InjectLineErrors(uint32_t errors);
    void Stall(bool on);

    // Snapshots taken under the lock.
    std::string Written() { return Copy(output_); }
    std::vector<uint32_t> WriteSizes() { return Copy(writeSizes_); }
    std::vector<std::string> Journal() { return Copy(journal_); }
    TQnLineState State() { return Copy(state_); }
    int StateWrites() { return Copy(stateWrites_); }
    uint32_t PendingErrors() { return Copy(pendingErrors_); }
    // True while a write waits on the stall.
    bool WriterBlocked() { return Copy(writerBlocked_); }

    int32_t ReadState(TQnLineState& state) override;
    int32_t WriteState(const TQnLineState& state) override;
    int32_t Read(uint8_t* bytes, uint32_t count) override;
    int32_t Write(const uint8_t* bytes, uint32_t count, std::initializer_list<int> cancelFds) override;
    uint32_t InputCount() override { return static_cast<uint32_t>(Copy(input_).size()); }
    uint32_t TakeLineErrors() override;
    uint8_t ModemLines() override { return Copy(lines_); }
    int32_t Escape(QnEscape function) override;
    int32_t Purge(bool output) override;
    int InputFd() override { return inputWaiting_.Fd(); }
    uint32_t WaitLineEvent(int stopFd, int timeoutMs) override;
    void WaitTransmitterEmpty(int) override { Note("empty"); }

private:
    void Raise(uint32_t events);
    void Note(const std::string& call);
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
    int stateWrites_ = 0;
    uint8_t lines_ = 0;
    uint32_t pendingEvents_ = 0;
    uint32_t pendingErrors_ = 0;
    bool stalled_ = false;
    bool writerBlocked_ = false;
};

// A dispatcher over a fresh fake device at each open.
class TFakeDispatcher : public TQnBaseDispatcher {
public:
    using TQnBaseDispatcher::TQnBaseDispatcher;

    TFakeSerialDevice& Device() { return *device_; }

protected:
    std::unique_ptr<IQnSerialDevice> OpenCom(const std::string& name, int32_t& result) override;

private:
    TFakeSerialDevice* device_ = nullptr;
};

// Polls a condition until it holds or about five seconds pass.
bool Eventually(const std::function<bool()>& condition);

inline const uint8_t* Bytes(const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); }

// Takes received bytes from the dispatcher's ring as they arrive until
// `count` came or none arrive for about five seconds.
std::string TakeBytes(TQnBaseDispatcher& dispatcher, std::size_t count);

// Baud, parity, data bits and stop bits as the dispatcher reports them; all
// -1 when it refuses.
inline std::tuple<int64_t, int, int, int> LineOf(TQnBaseDispatcher& dispatcher) {
    uint32_t baud = 0;
    uint16_t parity = 0;
    uint8_t bits = 0, stops = 0;
    if (dispatcher.GetLine(baud, parity, bits, stops) != 0) return {-1, -1, -1, -1};
    return {baud, parity, bits, stops};
}
