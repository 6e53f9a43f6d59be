// Trigger records and the checks that fire them. The checks run in the
// dispatch thread after each line event and at least every 50 ms.
#include <algorithm>
#include <cctype>

#include "serial/QwUser.h"

namespace {

constexpr int32_t BadArgument = -1002;
constexpr uint8_t LogTrigger = 2;
constexpr uint8_t LogAvailable = 5;
constexpr uint8_t LogTimer = 6;
constexpr uint8_t LogData = 7;
constexpr uint8_t LogStatus = 8;
constexpr uint8_t LogSetting = 9;
constexpr uint8_t LogAvailLength = 16;
constexpr uint32_t MaxHandleNumber = 0x0FFFFFFF;

// Bytes from `from` up to, not including, `to` in the receive ring.
uint32_t RingDistance(uint32_t from, uint32_t to) { return (to + DispatchRingSize - from) % DispatchRingSize; }

template <typename Record>
Record* FindTrigger(std::vector<Record>& list, uint32_t handle) {
    const auto found = std::find_if(list.begin(), list.end(), [&](const Record& r) { return r.Handle == handle; });
    return found == list.end() ? nullptr : &*found;
}

template <typename Record>
bool EraseTrigger(std::vector<Record>& list, uint32_t handle) {
    return std::erase_if(list, [&](const Record& r) { return r.Handle == handle; }) != 0;
}

template <typename Record>
uint32_t HighestHandle(const std::vector<Record>& list) {
    uint32_t highest = 0;
    for (const Record& r : list) highest = std::max(highest, r.Handle);
    return highest;
}

}  // namespace

uint32_t TQnBaseDispatcher::NextTriggerHandle() {
    if (nextTriggerHandle_ > MaxHandleNumber) return 0;
    return nextTriggerHandle_++;
}

void TQnBaseDispatcher::SetDataTriggerLength(uint32_t length) {
    std::lock_guard data(dataLock_);
    availLength_ = length;
    log_.AddDispatchEntry(LogSetting, LogAvailLength, length, nullptr, 0);
}

int32_t TQnBaseDispatcher::AddDataTrigger(const std::string& pattern, bool ignoreCase) {
    if (pattern.empty()) return BadArgument;
    if (pattern.size() > DataTriggerCursors) return DataTriggerTooLong;
    std::lock_guard data(dataLock_);
    TQnDataTrigger trigger;
    trigger.Handle = NextTriggerHandle();
    if (trigger.Handle == 0) return -5001;
    trigger.Length = static_cast<uint32_t>(pattern.size());
    trigger.IgnoreCase = ignoreCase ? 1 : 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const auto ch = static_cast<uint8_t>(pattern[i]);
        trigger.Pattern[i] = ignoreCase ? static_cast<uint8_t>(std::toupper(ch)) : ch;
    }
    dataTriggers_.push_back(trigger);
    return static_cast<int32_t>(trigger.Handle);
}

int32_t TQnBaseDispatcher::AddTimerTrigger() {
    std::lock_guard data(dataLock_);
    TQnTimerTrigger trigger;
    trigger.Handle = NextTriggerHandle();
    if (trigger.Handle == 0) return -5001;
    timerTriggers_.push_back(trigger);
    return static_cast<int32_t>(trigger.Handle);
}

int32_t TQnBaseDispatcher::SetTimerTrigger(uint32_t handle, int64_t ticks, bool activate) {
    std::lock_guard data(dataLock_);
    TQnTimerTrigger* trigger = FindTrigger(timerTriggers_, handle);
    if (trigger == nullptr) return BadTriggerHandle;
    if (activate) StartTickTimer(trigger->Timer, std::min(ticks, MaxTimerTicks));
    trigger->Active = activate;
    return 0;
}

int32_t TQnBaseDispatcher::AddStatusTrigger(uint32_t kind) {
    if (kind < QnStatusModem || kind > QnStatusOutSent) return BadArgument;
    std::lock_guard data(dataLock_);
    const uint32_t number = NextTriggerHandle();
    if (number == 0) return -5001;
    TQnStatusTrigger trigger;
    trigger.Handle = (number << 3) | kind;
    trigger.Kind = kind;
    statusTriggers_.push_back(trigger);
    return static_cast<int32_t>(trigger.Handle);
}

int32_t TQnBaseDispatcher::SetStatusTrigger(uint32_t handle, uint16_t value, bool activate) {
    if (activate && StatusTriggerKind(handle) == QnStatusOutSent) outputSent_ = false;  // only output from now on
    std::lock_guard data(dataLock_);
    TQnStatusTrigger* trigger = FindTrigger(statusTriggers_, handle);
    if (trigger == nullptr) return BadTriggerHandle;
    trigger->Value = value;
    trigger->Armed = activate;
    return 0;
}

int32_t TQnBaseDispatcher::RemoveTrigger(uint32_t handle) {
    std::lock_guard data(dataLock_);
    if (EraseTrigger(dataTriggers_, handle) || EraseTrigger(timerTriggers_, handle) ||
        EraseTrigger(statusTriggers_, handle))
        return 0;
    return BadTriggerHandle;
}

void TQnBaseDispatcher::SaveTriggers(TQnSavedTriggers& set) {
    std::lock_guard data(dataLock_);
    FreeSavedTriggers(set);
    set.AvailLength = availLength_;
    set.Timers = timerTriggers_;
    set.Data = dataTriggers_;
    set.Status = statusTriggers_;
}

void TQnBaseDispatcher::RestoreTriggers(const TQnSavedTriggers& set) {
    std::lock_guard data(dataLock_);
    availLength_ = set.AvailLength;
    timerTriggers_ = set.Timers.value_or(std::vector<TQnTimerTrigger>{});
    dataTriggers_ = set.Data.value_or(std::vector<TQnDataTrigger>{});
    statusTriggers_ = set.Status.value_or(std::vector<TQnStatusTrigger>{});
    // New handles never repeat a restored one.
    const uint32_t highest =
        std::max({HighestHandle(timerTriggers_), HighestHandle(dataTriggers_), HighestHandle(statusTriggers_) >> 3});
    nextTriggerHandle_ = std::max(nextTriggerHandle_, highest + 1);
}

void TQnBaseDispatcher::FreeSavedTriggers(TQnSavedTriggers& set) { set = TQnSavedTriggers{}; }

void TQnBaseDispatcher::ClearTriggers() {
    std::lock_guard data(dataLock_);
    availLength_ = 0;
    timerTriggers_.clear();
    dataTriggers_.clear();
    statusTriggers_.clear();
    nextTriggerHandle_ = 1;
    statusFired_ = false;
}

bool TQnBaseDispatcher::CheckStatusTriggers() {
    // Output counts first: their lock comes before the data lock.
    const uint32_t outFree = OutBuffFree();
    const uint32_t outUsed = OutBuffUsed();
    uint32_t handle = 0;
    uint32_t value = 0;
    {
        std::lock_guard data(dataLock_);
        for (TQnStatusTrigger& trigger : statusTriggers_) {
            if (!trigger.Armed || trigger.Fired) continue;
            bool fire = false;
            value = 0;
            switch (trigger.Kind) {
                case QnStatusModem:
                    fire = (((trigger.Value & 0xFF) ^ modemStatus_.load()) & (trigger.Value >> 8)) != 0;
                    break;
                case QnStatusLineError:
                    fire = (trigger.Value & lineErrors_.load()) != 0;
                    break;
                case QnStatusOutFree:
                    fire = outFree >= trigger.Value;
                    value = outFree;
                    break;
                case QnStatusOutUsed:
                    fire = outUsed <= trigger.Value;
                    value = outUsed;
                    break;
                case QnStatusOutSent:
                    fire = outputSent_.exchange(false);
                    break;
                default:
                    break;
            }
            if (!fire) continue;
            trigger.Armed = false;
            trigger.Fired = true;
            statusFired_ = true;
            handle = trigger.Handle;
            log_.AddDispatchEntry(LogTrigger, LogStatus, handle, nullptr, 0);
            break;
        }
    }
    if (handle == 0) return false;
    return SendTriggerMessage(QnMsgStatusTrigger, handle, value);
}

void TQnBaseDispatcher::ResetStatusTriggers() {
    std::lock_guard data(dataLock_);
    for (TQnStatusTrigger& trigger : statusTriggers_) trigger.Fired = false;
    statusFired_ = false;
}

bool TQnBaseDispatcher::RunStatusTriggers() {
    while (!closePending_ && CheckStatusTriggers()) {
    }
    if (closePending_) return false;
    std::lock_guard data(dataLock_);
    if (statusFired_) ResetStatusTriggers();
    return true;
}

bool TQnBaseDispatcher::CheckTimerTriggers() {
    uint32_t handle = 0;
    {
        std::lock_guard data(dataLock_);
        for (TQnTimerTrigger& trigger : timerTriggers_) {
            if (!trigger.Active || !TickTimerExpired(trigger.Timer)) continue;
            trigger.Active = false;
            handle = trigger.Handle;
            log_.AddDispatchEntry(LogTrigger, LogTimer, handle, nullptr, 0);
            break;
        }
    }
    return handle != 0 && SendTriggerMessage(QnMsgTimerTrigger, handle, 0);
}

bool TQnBaseDispatcher::SendDataAvailable(uint32_t count, uint32_t pos) {
    log_.AddDispatchEntry(LogTrigger, LogAvailable, count, nullptr, 0);
    bool unanswered = false;
    const bool result = SendTriggerMessage(QnMsgDataAvailable, count, 0, &unanswered);
    // A window that did not answer in time has not seen the notice: it is
    // sent again on the next pass.
    if (!unanswered) lastAvailPos_ = pos;
    return result;
}

bool TQnBaseDispatcher::CheckDataTriggers() {
    if (handlerAdded_.exchange(false)) lastAvailPos_ = UINT32_MAX;
    uint32_t head;
    uint32_t tail;
    uint32_t remaining;
    {
        std::lock_guard ring(ringLock_);
        head = ringHead_;
        tail = ringTail_;
        const uint32_t used = RingUsedLocked();
        // Bytes taken by a reader before they were scanned are gone.
        if (RingDistance(tail, scanPos_) > used) scanPos_ = tail;
        // A full ring has head = tail: whether it was scanned is remembered.
        remaining = RingDistance(scanPos_, head);
        if (used == DispatchRingSize && scanPos_ == head && !scanCaughtUp_) remaining = used;
    }
    scanCaughtUp_ = true;
    uint32_t pos = scanPos_;
    for (; remaining > 0; --remaining) {
        const uint8_t ch = ring_[pos];
        std::vector<std::pair<uint32_t, uint32_t>> matches;  // handle, length
        uint32_t maxLen = 0;
        uint32_t availLength;
        {
            std::lock_guard data(dataLock_);
            availLength = availLength_;
            for (TQnDataTrigger& trigger : dataTriggers_) {
                if (trigger.Length == 0) continue;
                if (trigger.Matched == 0) trigger.Matched = MatchDataTrigger(trigger, ch) ? -1 : 0;
                if (trigger.Matched != 0) {
                    trigger.Matched = 0;
                    matches.emplace_back(trigger.Handle, trigger.Length);
                    maxLen = std::max(maxLen, trigger.Length);
                }
            }
        }
        if (matches.empty()) {
            pos = (pos + 1) % DispatchRingSize;
            continue;
        }

        bool result = true;
        if (availLength != 0 && lastAvailPos_ != pos) {
            // Signed: a reader may have taken bytes of the match already.
            const int64_t upTo = static_cast<int64_t>(RingDistance(tail, pos)) + 1;
            if (upTo - static_cast<int64_t>(maxLen) >= static_cast<int64_t>(availLength)) {
                scanPos_ = pos;
                result = SendDataAvailable(static_cast<uint32_t>(upTo - maxLen), pos);
            }
        }
        for (auto it = matches.rbegin(); it != matches.rend() && !closePending_; ++it) {
            log_.AddDispatchEntry(LogTrigger, LogData, it->first, nullptr, 0);
            result = SendTriggerMessage(QnMsgDataTrigger, it->first, it->second);
        }
        scanPos_ = (pos + 1) % DispatchRingSize;
        scanCaughtUp_ = remaining == 1;
        return result;
    }
    scanPos_ = pos;
    uint32_t availLength;
    {
        std::lock_guard data(dataLock_);
        availLength = availLength_;
    }
    const uint32_t avail = InBuffUsed();
    if (availLength == 0 || lastAvailPos_ == pos || avail < availLength) return false;
    return SendDataAvailable(avail, pos);
}

void TQnBaseDispatcher::StatusAndTimerPass() {
    if (closePending_) return;
    {
        std::lock_guard data(dataLock_);
        statusFired_ = false;
    }
    for (;;) {
        if (closePending_) return;
        const bool status = CheckStatusTriggers();
        if (closePending_) return;
        if (!status && !CheckTimerTriggers()) break;
    }
    std::lock_guard data(dataLock_);
    if (statusFired_) ResetStatusTriggers();
}
