// Triggers and their delivery on the scriptable fake device: each kind fires
// once at the right moment, every handler kind receives the messages, and
// handlers may leave during a delivery.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "support/FakeSerialDevice.h"
#include "support/NamedRows.h"

namespace {

struct Message {
    uint32_t Msg, WParam, LParam;
    bool operator==(const Message&) const = default;
};

// Collects messages from any thread.
class Recorder {
public:
    void Add(uint32_t msg, uint32_t w, uint32_t l) {
        std::lock_guard guard(lock_);
        messages_.push_back({msg, w, l});
    }
    std::vector<Message> Of(uint32_t msg) {
        std::lock_guard guard(lock_);
        std::vector<Message> found;
        for (const Message& m : messages_)
            if (m.Msg == msg) found.push_back(m);
        return found;
    }

private:
    std::mutex lock_;
    std::vector<Message> messages_;
};

Recorder procRecorder;
void RecordingProc(uint32_t msg, uint32_t w, uint32_t l) { procRecorder.Add(msg, w, l); }

class FakeWindow : public IQnMessageWindow {
public:
    uint32_t WindowHandle() const override { return 77; }
    bool SendMessageTimeout(uint32_t msg, uint32_t w, uint32_t l, int, int) override {
        if (unanswered.exchange(false)) return false;
        received.Add(msg, w, l);
        return true;
    }
    Recorder received;
    std::atomic<bool> unanswered{false};
};

class Triggers : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(dispatcher.InitPort("fake", 115200, 0, 8, 1, 4096, 4096, 0), 0); }
    // An event handler that records and reads `take` bytes of a data message.
    TQnHandlerToken Listen(Recorder& into, uint32_t take = UINT32_MAX) {
        return dispatcher.RegisterEventHandler([this, &into, take](uint32_t msg, uint32_t w, uint32_t l) {
            into.Add(msg, w, l);
            if (msg != QnMsgDataAvailable) return;
            std::string bytes(std::min(take, w), '\0');
            dispatcher.GetBlock(reinterpret_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
        });
    }
    // Declared before the dispatcher, so they outlive its threads.
    Recorder events, first, second, later;
    TFakeDispatcher dispatcher;
};

struct MatchCase {
    std::string Pattern, Stream;
    bool IgnoreCase;
    std::vector<std::size_t> MatchedAt;  // 1-based byte positions
};

class DataMatch : public ::testing::TestWithParam<MatchCase> {};

TEST_P(DataMatch, ReportsEveryCompletedPattern) {
    const MatchCase& c = GetParam();
    TQnDataTrigger trigger;
    trigger.Length = static_cast<uint32_t>(c.Pattern.size());
    trigger.IgnoreCase = c.IgnoreCase;
    for (std::size_t i = 0; i < c.Pattern.size(); ++i) trigger.Pattern[i] = static_cast<uint8_t>(c.Pattern[i]);
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < c.Stream.size(); ++i)
        if (MatchDataTrigger(trigger, static_cast<uint8_t>(c.Stream[i]))) at.push_back(i + 1);
    EXPECT_EQ(at, c.MatchedAt);
}

INSTANTIATE_TEST_SUITE_P(Patterns, DataMatch,
                         ::testing::Values(MatchCase{"ABA", "ABABA", false, {3, 5}},
                                           MatchCase{"AAB", "AAAB", false, {4}},
                                           MatchCase{"OK", "xokxOK", true, {3, 6}},
                                           MatchCase{"OK", "xokxOK", false, {6}},
                                           MatchCase{"\r", "a\rb\r", false, {2, 4}},
                                           MatchCase{"ABC", "ABABD", false, {}}));

// Every handler sees all bytes of an arrival once; the ring advances by the
// largest read, and bytes left unread are not announced until more arrive.
TEST_F(Triggers, DataAvailableIsSharedAndTheRingAdvancesByTheLargestRead) {
    Listen(events, 2);
    Listen(second, 3);
    dispatcher.SetDataTriggerLength(1);
    dispatcher.Device().Feed("abcde");
    ASSERT_TRUE(Eventually([&] { return second.Of(QnMsgDataAvailable).size() == 1; }));
    const Message m = events.Of(QnMsgDataAvailable).at(0);
    EXPECT_EQ(m.WParam, 5u);
    EXPECT_EQ(m.LParam, static_cast<uint32_t>(dispatcher.HandleIndex()) << 16);
    ASSERT_TRUE(Eventually([&] { return dispatcher.InBuffUsed() == 2; }));
    uint8_t rest[2];
    ASSERT_EQ(dispatcher.GetBlock(rest, 2), 2);
    EXPECT_EQ(std::string(rest, rest + 2), "de");
    EXPECT_EQ(events.Of(QnMsgDataAvailable).size(), 1u);
    dispatcher.Device().Feed("6");
    ASSERT_TRUE(Eventually([&] { return events.Of(QnMsgDataAvailable).size() == 2; }));
}

TEST_F(Triggers, PatternFiresWithItsLengthAcrossTheRingEnd) {
    Listen(events);
    const int32_t handle = dispatcher.AddDataTrigger("WRAP", false);
    ASSERT_GT(handle, 0);
    // Move the ring position to just before its end.
    const std::string filler(DispatchRingSize - 2, '.');
    dispatcher.Device().Feed(filler);
    ASSERT_TRUE(Eventually([&] { return dispatcher.InBuffUsed() == filler.size(); }));
    std::string sink(filler.size(), '\0');
    ASSERT_GT(dispatcher.GetBlock(reinterpret_cast<uint8_t*>(sink.data()), static_cast<uint32_t>(sink.size())), 0);
    dispatcher.Device().Feed("xWRAPy");
    ASSERT_TRUE(Eventually([&] { return events.Of(QnMsgDataTrigger).size() == 1; }));
    const Message m = events.Of(QnMsgDataTrigger)[0];
    EXPECT_EQ(m.WParam, static_cast<uint32_t>(handle));
    EXPECT_EQ(m.LParam & 0xFFFF, 4u);
    EXPECT_EQ(dispatcher.AddDataTrigger(std::string(DataTriggerCursors + 1, 'x'), false), DataTriggerTooLong);
    EXPECT_EQ(dispatcher.SetTimerTrigger(9999, 1, true), BadTriggerHandle);
}

struct StatusCase {
    const char* name;
    uint32_t Kind;
    uint16_t Value;
    std::function<void(TFakeDispatcher&)> Cause;
};

class StatusTriggers : public Triggers, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusTriggers, FireOnceWhenTheirConditionHolds) {
    const StatusCase& c = GetParam();
    Listen(events);
    dispatcher.SetDataTriggerLength(1);
    const int32_t handle = dispatcher.AddStatusTrigger(c.Kind);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(StatusTriggerKind(static_cast<uint32_t>(handle)), c.Kind);
    ASSERT_EQ(dispatcher.SetStatusTrigger(static_cast<uint32_t>(handle), c.Value, true), 0);
    c.Cause(dispatcher);
    ASSERT_TRUE(Eventually([&] { return events.Of(QnMsgStatusTrigger).size() == 1; }));
    EXPECT_EQ(events.Of(QnMsgStatusTrigger)[0].WParam, static_cast<uint32_t>(handle));
    // One-shot: quiet until armed again, then fires again with the same value.
    c.Cause(dispatcher);
    dispatcher.Device().Feed("z");
    ASSERT_TRUE(Eventually([&] { return dispatcher.InBuffUsed() == 0 && !events.Of(QnMsgDataAvailable).empty(); }));
    EXPECT_EQ(events.Of(QnMsgStatusTrigger).size(), 1u);
    ASSERT_EQ(dispatcher.SetStatusTrigger(static_cast<uint32_t>(handle), c.Value, true), 0);
    c.Cause(dispatcher);
    ASSERT_TRUE(Eventually([&] { return events.Of(QnMsgStatusTrigger).size() == 2; }));
}

const uint8_t sent[] = {'h', 'i'};
INSTANTIATE_TEST_SUITE_P(
    Kinds, StatusTriggers,
    ::testing::Values(
        StatusCase{"ModemLine", QnStatusModem, 0x1000,
                   [](TFakeDispatcher& d) { d.Device().SetModemLines(d.GetModemStatus() & QnLineCts ? 0 : QnLineCts); }},
        // Parity first, framing after the re-arm: either error of the mask fires.
        StatusCase{"LineErrorInTheMask", QnStatusLineError, QnErrorParity | QnErrorFraming,
                   [](TFakeDispatcher& d) {
                       static int round = 0;
                       while (d.GetLineError() != 0) {
                       }
                       d.Device().InjectLineErrors(round++ % 3 == 0 ? QnErrorParity : QnErrorFraming);
                   }},
        StatusCase{"OutputFree", QnStatusOutFree, 4000, [](TFakeDispatcher&) {}},
        StatusCase{"OutputUsed", QnStatusOutUsed, 0, [](TFakeDispatcher&) {}},
        StatusCase{"OutputSent", QnStatusOutSent, 0, [](TFakeDispatcher& d) { d.PutBlock(sent, 2); }}), tavrin::test::RowName);

// The owner's window alone is not served; an unanswered window gets the
// notice again.
TEST_F(Triggers, ProcedureAndWindowsReceiveMessagesOnceServed) {
    FakeWindow own, other;
    dispatcher.RegisterWindowHandler(&own);
    dispatcher.SetDataTriggerLength(1);
    dispatcher.Device().Feed("a");
    ASSERT_TRUE(Eventually([&] { return dispatcher.InBuffUsed() == 1; }));
    EXPECT_TRUE(own.received.Of(QnMsgDataAvailable).empty());
    dispatcher.RegisterWindowHandler(&other);
    dispatcher.RegisterProcHandler(RecordingProc);
    other.unanswered = true;
    dispatcher.Device().Feed("b");
    ASSERT_TRUE(Eventually([&] { return !own.received.Of(QnMsgDataAvailable).empty(); }));
    ASSERT_TRUE(Eventually([&] { return other.received.Of(QnMsgDataAvailable).size() == 1; }));
    EXPECT_EQ(other.received.Of(QnMsgDataAvailable)[0].WParam, 2u);
    EXPECT_FALSE(procRecorder.Of(QnMsgDataAvailable).empty());
    dispatcher.DeregisterProcHandler(RecordingProc);
    dispatcher.DeregisterWindowHandler(&other);
    dispatcher.DeregisterWindowHandler(&own);
    dispatcher.DonePort();  // no delivery may still reach the windows below
}

TEST_F(Triggers, HandlerLeavingDuringDeliveryStaysUntilItEnds) {
    TQnHandlerToken self = 0;
    // Two handlers of one function: removing one by its token keeps the other.
    auto handler = [&](Recorder& into) {
        return [&, into = &into](uint32_t msg, uint32_t w, uint32_t l) {
            into->Add(msg, w, l);
            if (into == &first) dispatcher.DeregisterEventHandler(self);
        };
    };
    self = dispatcher.RegisterEventHandler(handler(first));
    dispatcher.RegisterEventHandler(handler(second));
    dispatcher.SetDataTriggerLength(1);
    dispatcher.Device().Feed("1");
    ASSERT_TRUE(Eventually([&] { return second.Of(QnMsgDataAvailable).size() == 1; }));
    uint8_t byte;
    dispatcher.GetBlock(&byte, 1);
    dispatcher.Device().Feed("2");
    ASSERT_TRUE(Eventually([&] { return second.Of(QnMsgDataAvailable).size() >= 2; }));
    EXPECT_EQ(first.Of(QnMsgDataAvailable).size(), 1u);
}

TEST_F(Triggers, HandlerClosingTheDispatcherEndsTheDeliveryAndTheOwnerFinishes) {
    dispatcher.RegisterEventHandler([this](uint32_t, uint32_t, uint32_t) { dispatcher.DonePort(); });
    Listen(later);
    dispatcher.SetDataTriggerLength(1);
    dispatcher.Device().Feed("x");
    ASSERT_TRUE(Eventually([&] { return dispatcher.ThreadCount() == 2; }));  // the dispatch thread has ended
    EXPECT_TRUE(later.Of(QnMsgDataAvailable).empty());
    dispatcher.DonePort();
    EXPECT_FALSE(dispatcher.IsOpen());
    EXPECT_EQ(dispatcher.ThreadCount(), 0);
}

}  // namespace
