// The dispatcher over the scriptable fake device: line state and errors, the
// output thread's hand-over, the life cycle, and triggers and their delivery
// to every kind of handler, which may leave during a delivery.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ScriptedUiPrompts.h"
#include "serial/QnExcept.h"
#include "serial/QnExceptionDisplayScope.h"
#include "support/FakeSerialDevice.h"
#include "support/NamedRows.h"
#include "support/QtEventually.h"
#include "support/QtTestApp.h"

using namespace tavrin::test;

namespace {

struct Message {
    uint32_t Msg, WParam, LParam;
};

// Collects messages from any thread.
struct Recorder {
    void Add(uint32_t msg, uint32_t w, uint32_t l) {
        std::lock_guard guard(lock);
        messages.push_back({msg, w, l});
    }
    std::vector<Message> Of(uint32_t msg) {
        std::lock_guard guard(lock);
        std::vector<Message> found;
        std::ranges::copy_if(messages, std::back_inserter(found), [msg](const Message& m) { return m.Msg == msg; });
        return found;
    }
    std::mutex lock;
    std::vector<Message> messages;
};

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

class FakeDispatcher : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(Open(), 0); }
    int32_t Open(uint32_t outSize = 4096, uint32_t options = QnOptionRaiseDtr | QnOptionRaiseRts) {
        return dispatcher.InitPort("fake", 115200, 0, 8, 1, 4096, outSize, options);
    }
    TFakeSerialDevice& Device() { return dispatcher.Device(); }
    // Injects line errors and waits until the dispatch thread has latched
    // them: a byte fed afterwards is read by a later pass than the one that
    // took the errors.
    void InjectAndSettle(uint32_t errors) {
        Device().InjectLineErrors(errors);
        ASSERT_TRUE(Eventually([&] { return Device().PendingErrors() == 0; }));
        Device().Feed("z");
        ASSERT_EQ(TakeBytes(dispatcher, 1), "z");
    }

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

TEST_F(FakeDispatcher, RingFillsToItsSizeAndTheRestFollowsInOrderOnceRoomIsMade) {
    std::string sent;
    for (int i = 0; i < 9000; ++i) sent.push_back(static_cast<char>('a' + i % 26));
    Device().Feed(sent);
    ASSERT_TRUE(Eventually([&] { return dispatcher.InBuffUsed() == DispatchRingSize; }));
    EXPECT_TRUE(dispatcher.DataAvailable().Wait(0));
    EXPECT_EQ(dispatcher.GetBlock(nullptr, DispatchRingSize + 1), -3007);  // more than held: nothing taken
    EXPECT_EQ(TakeBytes(dispatcher, sent.size()), sent);
    EXPECT_EQ(dispatcher.InBuffUsed(), 0u);
}

TEST_F(FakeDispatcher, ModemLineChangesLatchUntilRead) {
    uint8_t status = 0;
    Device().SetModemLines(QnLineCts | QnLineDsr);
    ASSERT_TRUE(Eventually([&] { return ((status = dispatcher.GetModemStatus()) & 0xF0) == 0x30; }));
    EXPECT_EQ(status, 0x33);  // CTS and DSR, both changed
    Device().SetModemLines(QnLineCts | QnLineDcd);
    ASSERT_TRUE(Eventually([&] { return ((status = dispatcher.GetModemStatus()) & 0xF0) == 0x90; }));
    EXPECT_EQ(status, 0x9A);                       // DSR dropped, DCD rose
    EXPECT_EQ(dispatcher.GetModemStatus(), 0x90);  // change bits cleared by the read
}

TEST_F(FakeDispatcher, LineErrorsAccumulateAndABreakIsLatchedUntilChecked) {
    InjectAndSettle(QnErrorFraming);
    InjectAndSettle(QnErrorParity);
    // A block sent meanwhile refreshes the errors without losing earlier ones.
    ASSERT_EQ(dispatcher.PutBlock(Bytes("x"), 1), 0);
    EXPECT_EQ(dispatcher.GetLineError(), 3);  // parity before framing
    EXPECT_EQ(dispatcher.GetLineError(), 0);  // the four error bits clear together
    InjectAndSettle(QnErrorBreak);
    EXPECT_EQ(dispatcher.GetLineError(), 9);
    EXPECT_EQ(dispatcher.GetLineError(), 9);  // the break bit survives GetLineError
    EXPECT_TRUE(dispatcher.CheckLineBreak());
    EXPECT_FALSE(dispatcher.CheckLineBreak());
    EXPECT_EQ(dispatcher.GetLineError(), 0);
}

TEST_F(FakeDispatcher, OpenRaisesDtrAndRtsAndFlowOwnedLinesAreLeftAlone) {
    const auto journal = Device().Journal();
    for (const char* raised : {"DTR+", "RTS+"}) EXPECT_NE(std::ranges::find(journal, raised), journal.end()) << raised;
    ASSERT_EQ(dispatcher.SetHardwareFlow(3686, 409, QnHwUseRts | QnHwRequireCts), 0);
    EXPECT_EQ(dispatcher.SetRts(false), 1);
    EXPECT_EQ(dispatcher.SetDtr(false), 0);
    EXPECT_EQ(Device().Journal().back(), "DTR-");
    EXPECT_EQ(std::tuple(Device().State().XoffLim, Device().State().XonLim), std::tuple(4096 - 3686, 409));
    EXPECT_EQ(dispatcher.SetHardwareFlow(10, 20, 0), -1002);
    EXPECT_EQ(dispatcher.SetSoftwareFlow(5000, 0, QnSwReceive), -1002);
}

// A handshake the host cannot do keeps DTR raised, ready to receive, and
// hands the line back at the level set by hand.
TEST_F(FakeDispatcher, DtrHandshakeHoldsDtrRaised) {
    auto lastDtr = [&] {
        const auto journal = Device().Journal();
        const auto last = std::ranges::find_if(journal.rbegin(), journal.rend(),
                                               [](const std::string& call) { return call.starts_with("DTR"); });
        return last == journal.rend() ? std::string() : *last;
    };
    ASSERT_EQ(dispatcher.SetDtr(false), 0);
    ASSERT_EQ(dispatcher.SetHardwareFlow(3686, 409, QnHwUseDtr), 0);
    EXPECT_EQ(lastDtr(), "DTR+");
    EXPECT_EQ(dispatcher.SetDtr(false), 1);
    EXPECT_EQ(lastDtr(), "DTR+");
    ASSERT_EQ(dispatcher.SetHardwareFlow(3686, 409, 0), 0);
    EXPECT_EQ(lastDtr(), "DTR-");
}

struct LineCase {
    const char* name;
    uint32_t baud;
    uint8_t parity, dataBits, stopBits;
    int32_t result;
    uint32_t wantBaud;
    uint8_t wantParity, wantBits, wantStopField;
};

class LineSettings : public FakeDispatcher, public ::testing::WithParamInterface<LineCase> {};

TEST_P(LineSettings, ReachTheDeviceAsNormalised) {
    const LineCase& c = GetParam();
    EXPECT_EQ(dispatcher.SetLine(c.baud, c.parity, c.dataBits, c.stopBits), c.result);
    const TQnLineState state = Device().State();
    EXPECT_EQ(std::tuple(state.Baud, state.Parity, state.ByteSize, state.StopBits),
              std::tuple(c.wantBaud, c.wantParity, c.wantBits, c.wantStopField));
}

INSTANTIATE_TEST_SUITE_P(Cases, LineSettings,
                         ::testing::Values(LineCase{"KeepAll", 0, 5, 9, 3, 0, 115200, 0, 8, 0},
                                           LineCase{"Change", 38400, 2, 7, 2, 0, 38400, 2, 7, 2},
                                           LineCase{"FiveBitsTwoStopsIsOneAndAHalf", 0, 5, 5, 2, 0, 115200, 0, 5, 1},
                                           LineCase{"ZeroStopBitsIsOne", 0, 1, 9, 0, 0, 115200, 1, 8, 0},
                                           LineCase{"LargeStopBitsIsTwo", 0, 5, 9, 7, 0, 115200, 0, 8, 2},
                                           LineCase{"BadParity", 0, 6, 8, 1, -1002, 115200, 0, 8, 0},
                                           LineCase{"BadDataBits", 0, 0, 4, 1, -1002, 115200, 0, 8, 0}),
                         tavrin::test::RowName);

TEST_F(FakeDispatcher, RS485RaisesRtsForEachBlockAndDropsItWhenSent) {
    dispatcher.SetRS485Mode(true);
    const std::size_t before = Device().Journal().size();
    ASSERT_EQ(dispatcher.PutBlock(Bytes("abc"), 3), 0);
    ASSERT_TRUE(Eventually([&] { return Device().Journal().size() >= before + 4; }));
    const auto journal = Device().Journal();
    EXPECT_EQ(std::vector<std::string>(journal.begin() + static_cast<long>(before), journal.end()),
              (std::vector<std::string>{"RTS+", "write abc", "empty", "RTS-"}));
}

class SmallOutput : public FakeDispatcher {
protected:
    void SetUp() override { ASSERT_EQ(Open(16), 0); }
};

TEST_F(SmallOutput, BlockOfExactlyTheFreeSpaceFillsTheRing) {
    Device().Stall(true);
    ASSERT_EQ(dispatcher.PutBlock(Bytes(std::string(16, 'f')), 16), 0);
    EXPECT_EQ(dispatcher.OutBuffUsed(), 16u);
    EXPECT_EQ(dispatcher.OutBuffFree(), 0u);
    EXPECT_EQ(dispatcher.PutChar('x'), -3006);  // nothing queued
    Device().Stall(false);
    EXPECT_TRUE(Eventually([&] { return Device().Written() == std::string(16, 'f'); }));
    EXPECT_TRUE(Eventually([&] { return dispatcher.OutBuffUsed() == 0; }));
}

TEST_F(SmallOutput, WrappedPendingBytesGoOutInOneWrite) {
    ASSERT_EQ(dispatcher.PutBlock(Bytes("0123456789"), 10), 0);
    ASSERT_TRUE(Eventually([&] { return Device().Written().size() == 10; }));
    Device().Stall(true);
    ASSERT_EQ(dispatcher.PutChar('A'), 0);  // the output thread now waits writing it
    ASSERT_TRUE(Eventually([&] { return Device().WriterBlocked(); }));
    ASSERT_EQ(dispatcher.PutBlock(Bytes("BCDEFGHIJ"), 9), 0);  // runs past the ring's end
    Device().Stall(false);
    EXPECT_TRUE(Eventually([&] { return Device().Written() == "0123456789ABCDEFGHIJ"; }));
    EXPECT_EQ(Device().WriteSizes(), (std::vector<uint32_t>{10, 1, 9}));
}

TEST_F(FakeDispatcher, TraceAndLogRecordBothDirections) {
    dispatcher.Trace().InitTracing(100);
    dispatcher.Log().InitDispatchLog(1000);
    ASSERT_EQ(dispatcher.PutBlock(Bytes("out"), 3), 0);
    Device().Feed("in");
    EXPECT_EQ(TakeBytes(dispatcher, 2), "in");
    EXPECT_EQ(dispatcher.Trace().Entries(),
              (std::vector<TTraceEntry>{{'T', 'o'}, {'T', 'u'}, {'T', 't'}, {'R', 'i'}, {'R', 'n'}}));
    std::vector<std::pair<uint8_t, std::string>> logged;
    for (const TLogEntry& entry : dispatcher.Log().Entries())
        logged.emplace_back(entry.SubKind, std::string(entry.Bytes.begin(), entry.Bytes.end()));
    for (const auto& [subKind, bytes] : {std::pair<uint8_t, std::string>{2, "out"}, {1, "in"}})
        EXPECT_NE(std::ranges::find(logged, std::make_pair(subKind, bytes)), logged.end()) << bytes;
}

TEST_F(FakeDispatcher, SecondOpenIsRefusedAndAClosedDispatcherOpensAgain) {
    EXPECT_EQ(Open(), -2008);
    dispatcher.DonePort();
    ASSERT_EQ(Open(), 0);
    Device().Feed("again");
    EXPECT_EQ(TakeBytes(dispatcher, 5), "again");
}

TEST(FakeDispatcherLife, PortListReusesTheLowestFreeSlot) {
    auto first = std::make_unique<TFakeDispatcher>();
    auto second = std::make_unique<TFakeDispatcher>();
    EXPECT_EQ(second->HandleIndex(), first->HandleIndex() + 1);
    const int32_t freed = first->HandleIndex();
    first.reset();
    TFakeDispatcher third;
    EXPECT_EQ(third.HandleIndex(), freed);
    EXPECT_EQ(PortListSnapshot()[static_cast<std::size_t>(freed)], &third);
    second.reset();
    EXPECT_EQ(PortListSnapshot().size(), static_cast<std::size_t>(freed) + 1);  // trailing slot trimmed
}

TEST(FakeDispatcherLife, ClosedDispatcherRefusesWork) {
    TFakeDispatcher dispatcher;
    EXPECT_EQ(dispatcher.PutChar('x'), -2007);
    EXPECT_EQ(dispatcher.SetLine(9600, 0, 8, 1), -2007);
    EXPECT_EQ(dispatcher.GetBlock(nullptr, 1), -3007);
}

// Thousands of opens and closes with traffic in both directions, and
// dispatchers destroyed while open.
TEST(FakeDispatcherLife, OpenCloseDestroyLoops) {
    for (int round = 0; round < 2000; ++round) {
        auto dispatcher = std::make_unique<TFakeDispatcher>();
        ASSERT_EQ(dispatcher->InitPort("fake", 9600, 0, 8, 1, 1024, 256, 0), 0);
        dispatcher->Device().Feed("ping");
        dispatcher->PutBlock(Bytes("pong"), 4);
        if (round % 3 == 0) dispatcher->Device().Stall(true);
        dispatcher->PutBlock(Bytes("more"), 4);
        if (round % 2 == 0) dispatcher->DonePort();
        dispatcher.reset();  // destroying an open dispatcher closes it
    }
}

// Pattern, stream, whether case is ignored, and the 1-based byte positions
// that complete a match.
TEST(DataMatch, ReportsEveryCompletedPattern) {
    const std::tuple<std::string, std::string, bool, std::vector<std::size_t>> rows[] = {
        {"ABA", "ABABA", false, {3, 5}}, {"AAB", "AAAAB", false, {5}},    {"OK", "xokxOK", true, {3, 6}},
        {"OK", "xokxOK", false, {6}},    {"\r", "a\rb\r", false, {2, 4}}, {"ABC", "ABABD", false, {}}};
    for (const auto& [pattern, stream, ignoreCase, matchedAt] : rows) {
        TQnDataTrigger trigger;
        trigger.Length = static_cast<uint32_t>(pattern.size());
        trigger.IgnoreCase = ignoreCase;
        std::ranges::copy(pattern, trigger.Pattern);
        std::vector<std::size_t> at;
        for (std::size_t i = 0; i < stream.size(); ++i)
            if (MatchDataTrigger(trigger, static_cast<uint8_t>(stream[i]))) at.push_back(i + 1);
        EXPECT_EQ(at, matchedAt) << pattern << " in " << stream << (ignoreCase ? " ignoring case" : "");
    }
}

// Every handler sees all bytes of an arrival once; the ring advances by the
// largest read, and bytes left unread are not announced until more arrive.
TEST_F(FakeDispatcher, DataAvailableIsSharedAndTheRingAdvancesByTheLargestRead) {
    Listen(events, 2);
    Listen(second, 3);
    dispatcher.SetDataTriggerLength(1);
    Device().Feed("abcde");
    ASSERT_TRUE(Eventually([&] { return second.Of(QnMsgDataAvailable).size() == 1; }));
    const Message m = events.Of(QnMsgDataAvailable).at(0);
    EXPECT_EQ(std::pair(m.WParam, m.LParam), std::pair(5u, static_cast<uint32_t>(dispatcher.HandleIndex()) << 16));
    ASSERT_TRUE(Eventually([&] { return dispatcher.InBuffUsed() == 2; }));
    EXPECT_EQ(TakeBytes(dispatcher, 2), "de");
    EXPECT_EQ(events.Of(QnMsgDataAvailable).size(), 1u);
    Device().Feed("6");
    ASSERT_TRUE(Eventually([&] { return events.Of(QnMsgDataAvailable).size() == 2; }));
}

// Bytes announced while nobody listened are announced again to a handler
// that registers later, without waiting for more bytes.
TEST_F(FakeDispatcher, BytesThatCameUnheardAreAnnouncedToANewHandler) {
    dispatcher.Log().InitDispatchLog(1000);
    dispatcher.SetDataTriggerLength(1);
    Device().Feed("abc");
    ASSERT_TRUE(Eventually([&] {
        return std::ranges::any_of(dispatcher.Log().Entries(),
                                   [](const TLogEntry& e) { return e.Kind == 2 && e.SubKind == 5; });
    }));
    Listen(events);
    ASSERT_TRUE(Eventually([&] { return events.Of(QnMsgDataAvailable).size() == 1; }));
    EXPECT_EQ(events.Of(QnMsgDataAvailable).at(0).WParam, 3u);
    EXPECT_TRUE(Eventually([&] { return dispatcher.InBuffUsed() == 0; }));
}

TEST_F(FakeDispatcher, PatternFiresWithItsLengthAcrossTheRingEnd) {
    Listen(events);
    const int32_t handle = dispatcher.AddDataTrigger("WRAP", false);
    ASSERT_GT(handle, 0);
    // Move the ring position to just before its end.
    const std::string filler(DispatchRingSize - 2, '.');
    Device().Feed(filler);
    ASSERT_EQ(TakeBytes(dispatcher, filler.size()), filler);
    Device().Feed("xWRAPy");
    ASSERT_TRUE(Eventually([&] { return events.Of(QnMsgDataTrigger).size() == 1; }));
    const Message m = events.Of(QnMsgDataTrigger)[0];
    EXPECT_EQ(std::pair(m.WParam, m.LParam & 0xFFFF), std::pair(static_cast<uint32_t>(handle), 4u));
    EXPECT_EQ(TakeBytes(dispatcher, 6), "xWRAPy");  // read across the ring's end
    EXPECT_EQ(dispatcher.AddDataTrigger(std::string(DataTriggerCursors + 1, 'x'), false), DataTriggerTooLong);
    EXPECT_EQ(dispatcher.SetTimerTrigger(9999, 1, true), BadTriggerHandle);
}

// A pattern of exactly the longest length is taken and fires with its
// length; its repeated first byte keeps every cursor busy before the match.
TEST_F(FakeDispatcher, PatternOfTheLongestLengthFires) {
    Listen(events);
    std::string longest(DataTriggerCursors, 'a');
    longest.back() = 'b';
    const int32_t handle = dispatcher.AddDataTrigger(longest, false);
    ASSERT_GT(handle, 0);
    Device().Feed("a" + longest);
    ASSERT_TRUE(Eventually([&] { return events.Of(QnMsgDataTrigger).size() == 1; }));
    const Message m = events.Of(QnMsgDataTrigger)[0];
    EXPECT_EQ(std::pair(m.WParam, m.LParam & 0xFFFF), std::pair(static_cast<uint32_t>(handle), DataTriggerCursors));
}

// One-shot: quiet until armed again. Parity fires first, framing after the
// re-arm: either error of the mask fires. (The port's trigger table shows
// each kind's condition.)
TEST_F(FakeDispatcher, StatusTriggerFiresOnceUntilArmedAgain) {
    Listen(events);
    dispatcher.SetDataTriggerLength(1);
    const int32_t handle = dispatcher.AddStatusTrigger(QnStatusLineError);
    ASSERT_GT(handle, 0);
    const auto arm = [&] {
        return dispatcher.SetStatusTrigger(static_cast<uint32_t>(handle), QnErrorParity | QnErrorFraming, true);
    };
    const auto cause = [&](uint32_t error) {
        while (dispatcher.GetLineError() != 0) {
        }
        Device().InjectLineErrors(error);
    };
    ASSERT_EQ(arm(), 0);
    cause(QnErrorParity);
    ASSERT_TRUE(Eventually([&] { return events.Of(QnMsgStatusTrigger).size() == 1; }));
    EXPECT_EQ(events.Of(QnMsgStatusTrigger)[0].WParam, static_cast<uint32_t>(handle));
    cause(QnErrorFraming);
    Device().Feed("z");
    ASSERT_TRUE(Eventually([&] { return dispatcher.InBuffUsed() == 0 && !events.Of(QnMsgDataAvailable).empty(); }));
    EXPECT_EQ(events.Of(QnMsgStatusTrigger).size(), 1u);
    ASSERT_EQ(arm(), 0);
    cause(QnErrorFraming);
    ASSERT_TRUE(Eventually([&] { return events.Of(QnMsgStatusTrigger).size() == 2; }));
}

// Output used at or below 0: quiet while queued bytes wait to be written,
// fired with the count 0 once the last one has gone.
TEST_F(FakeDispatcher, OutputCountTriggerOfZeroFiresOnAnEmptyOutputBuffer) {
    Listen(events);
    dispatcher.SetDataTriggerLength(1);
    const int32_t handle = dispatcher.AddStatusTrigger(QnStatusOutUsed);
    ASSERT_GT(handle, 0);
    Device().Stall(true);
    ASSERT_EQ(dispatcher.PutBlock(Bytes("abc"), 3), 0);
    ASSERT_TRUE(Eventually([&] { return Device().WriterBlocked(); }));
    ASSERT_EQ(dispatcher.SetStatusTrigger(static_cast<uint32_t>(handle), 0, true), 0);
    // A pass of the dispatch thread with the bytes still queued.
    Device().Feed("z");
    ASSERT_TRUE(Eventually([&] { return !events.Of(QnMsgDataAvailable).empty(); }));
    EXPECT_TRUE(events.Of(QnMsgStatusTrigger).empty());
    Device().Stall(false);
    ASSERT_TRUE(Eventually([&] { return events.Of(QnMsgStatusTrigger).size() == 1; }));
    const Message fired = events.Of(QnMsgStatusTrigger)[0];
    EXPECT_EQ(std::pair(fired.WParam, fired.LParam), std::pair(static_cast<uint32_t>(handle), 0u));
    EXPECT_EQ(Device().Written(), "abc");
}

// The owner's window alone is not served; an unanswered window gets the
// notice again.
TEST_F(FakeDispatcher, WindowsReceiveMessagesOnceServed) {
    FakeWindow own, other;
    dispatcher.RegisterWindowHandler(&own);
    dispatcher.SetDataTriggerLength(1);
    Device().Feed("a");
    ASSERT_TRUE(Eventually([&] { return dispatcher.InBuffUsed() == 1; }));
    EXPECT_TRUE(own.received.Of(QnMsgDataAvailable).empty());
    dispatcher.RegisterWindowHandler(&other);
    other.unanswered = true;
    Device().Feed("b");
    ASSERT_TRUE(Eventually([&] { return !own.received.Of(QnMsgDataAvailable).empty(); }));
    ASSERT_TRUE(Eventually([&] { return other.received.Of(QnMsgDataAvailable).size() == 1; }));
    EXPECT_EQ(other.received.Of(QnMsgDataAvailable)[0].WParam, 2u);
    dispatcher.DeregisterWindowHandler(&other);
    dispatcher.DeregisterWindowHandler(&own);
    dispatcher.DonePort();  // no delivery may still reach the windows below
}

TEST_F(FakeDispatcher, HandlerLeavingDuringDeliveryStaysUntilItEnds) {
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
    Device().Feed("1");
    ASSERT_TRUE(Eventually([&] { return second.Of(QnMsgDataAvailable).size() == 1; }));
    uint8_t byte;
    dispatcher.GetBlock(&byte, 1);
    Device().Feed("2");
    ASSERT_TRUE(Eventually([&] { return second.Of(QnMsgDataAvailable).size() >= 2; }));
    EXPECT_EQ(first.Of(QnMsgDataAvailable).size(), 1u);
}

// A handler's DonePort ends the delivery; the dispatch thread closes the
// port as it ends, whatever message the handler was given.
struct HandlerCloseCase {
    const char* name;
    uint32_t msg;
    void (*cause)(TFakeDispatcher&);
};
TAVRIN_PRINT_AS_NAME(HandlerCloseCase)

class HandlerClose : public FakeDispatcher, public ::testing::WithParamInterface<HandlerCloseCase> {};

TEST_P(HandlerClose, TheDispatchThreadClosesThePortAsItEnds) {
    std::atomic<bool> closing{true};
    dispatcher.RegisterEventHandler([this, &closing](uint32_t msg, uint32_t, uint32_t) {
        if (msg == GetParam().msg && closing.exchange(false)) dispatcher.DonePort();
    });
    Listen(later);
    GetParam().cause(dispatcher);
    ASSERT_TRUE(Eventually(
        [&] { return !dispatcher.IsOpen() && !dispatcher.DispatcherActive() && dispatcher.ThreadCount() == 0; }));
    EXPECT_TRUE(later.Of(GetParam().msg).empty());  // the delivery stopped at the closing handler
    EXPECT_EQ(dispatcher.PutBlock(Bytes("x"), 1), -2007);
    EXPECT_EQ(dispatcher.SetLine(9600, 0, 8, 1), -2007);
    // Opening again joins the thread that closed the port.
    ASSERT_EQ(Open(), 0);
    EXPECT_EQ(dispatcher.ThreadCount(), 3);
    ASSERT_EQ(dispatcher.PutBlock(Bytes("again"), 5), 0);
    EXPECT_TRUE(Eventually([&] { return Device().Written() == "again"; }));
}

INSTANTIATE_TEST_SUITE_P(Messages, HandlerClose,
                         ::testing::Values(HandlerCloseCase{"DataAvailable", QnMsgDataAvailable,
                                                            [](TFakeDispatcher& d) {
                                                                d.SetDataTriggerLength(1);
                                                                d.Device().Feed("x");
                                                            }},
                                           HandlerCloseCase{"Pattern", QnMsgDataTrigger,
                                                            [](TFakeDispatcher& d) {
                                                                ASSERT_GT(d.AddDataTrigger("OK", false), 0);
                                                                d.Device().Feed("OK");
                                                            }},
                                           HandlerCloseCase{"Timer", QnMsgTimerTrigger,
                                                            [](TFakeDispatcher& d) {
                                                                const int32_t handle = d.AddTimerTrigger();
                                                                ASSERT_GT(handle, 0);
                                                                ASSERT_EQ(d.SetTimerTrigger(
                                                                              static_cast<uint32_t>(handle), 0, true),
                                                                          0);
                                                            }}),
                         tavrin::test::RowName);

// Destroying the dispatcher right after its dispatch thread closed the port
// joins that thread.
TEST(FakeDispatcherLife, DestroyedAfterAHandlerClosedIt) {
    for (int round = 0; round < 200; ++round) {
        auto dispatcher = std::make_unique<TFakeDispatcher>();
        ASSERT_EQ(dispatcher->InitPort("fake", 9600, 0, 8, 1, 1024, 256, 0), 0);
        TFakeDispatcher* self = dispatcher.get();
        dispatcher->RegisterEventHandler([self](uint32_t, uint32_t, uint32_t) { self->DonePort(); });
        dispatcher->SetDataTriggerLength(1);
        dispatcher->Device().Feed("x");
        if (round % 2 == 0) {
            ASSERT_TRUE(Eventually([&] { return !dispatcher->IsOpen(); }));
        }
        dispatcher.reset();
    }
}

// A handler that takes some bytes of a data message and then flushes: the
// flushed bytes are gone for it and for the handlers after it, and the ring
// goes on with what arrives next.
struct FlushCase {
    const char* name;
    uint32_t taken;
};
TAVRIN_PRINT_AS_NAME(FlushCase)

class FlushDuringDelivery : public FakeDispatcher, public ::testing::WithParamInterface<FlushCase> {};

TEST_P(FlushDuringDelivery, DropsEveryHeldByte) {
    std::mutex lock;
    std::vector<uint32_t> flusherSaw, nextSaw;  // InBuffUsed after the flush; in the next handler
    std::vector<int32_t> readAfterFlush;
    std::string nextGot;
    std::atomic<bool> flushing{true};
    dispatcher.RegisterEventHandler([&](uint32_t msg, uint32_t, uint32_t) {
        if (msg != QnMsgDataAvailable || !flushing.exchange(false)) return;
        std::string taken(GetParam().taken, '\0');
        dispatcher.GetBlock(reinterpret_cast<uint8_t*>(taken.data()), GetParam().taken);
        dispatcher.FlushInBuffer();
        uint8_t byte;
        std::lock_guard guard(lock);
        flusherSaw.push_back(dispatcher.InBuffUsed());
        readAfterFlush.push_back(dispatcher.GetBlock(&byte, 1));
    });
    dispatcher.RegisterEventHandler([&](uint32_t msg, uint32_t, uint32_t) {
        if (msg != QnMsgDataAvailable) return;
        const uint32_t held = dispatcher.InBuffUsed();
        std::string bytes(std::min(held, 16u), '\0');
        dispatcher.GetBlock(reinterpret_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
        std::lock_guard guard(lock);
        nextSaw.push_back(held);
        nextGot += bytes;
    });
    dispatcher.SetDataTriggerLength(1);
    Device().Feed("abcde");
    ASSERT_TRUE(Eventually([&] {
        std::lock_guard guard(lock);
        return nextSaw.size() == 1;
    }));
    Device().Feed("xyz");
    ASSERT_TRUE(Eventually([&] {
        std::lock_guard guard(lock);
        return nextSaw.size() == 2;
    }));
    std::lock_guard guard(lock);
    EXPECT_EQ(flusherSaw, std::vector<uint32_t>{0});
    EXPECT_EQ(readAfterFlush, std::vector<int32_t>{-3007});
    EXPECT_EQ(nextSaw, (std::vector<uint32_t>{0, 3}));
    EXPECT_EQ(nextGot, "xyz");
    EXPECT_TRUE(Eventually([&] { return dispatcher.InBuffUsed() == 0; }));
}

INSTANTIATE_TEST_SUITE_P(Taken, FlushDuringDelivery,
                         ::testing::Values(FlushCase{"Nothing", 0}, FlushCase{"Some", 2}, FlushCase{"All", 5}),
                         tavrin::test::RowName);

// A pattern begun before a flush does not complete after it.
struct FlushedPatternCase {
    const char* name;
    const char* before;
    const char* after;
    std::size_t matches;
};
TAVRIN_PRINT_AS_NAME(FlushedPatternCase)

class FlushedPattern : public FakeDispatcher, public ::testing::WithParamInterface<FlushedPatternCase> {};

TEST_P(FlushedPattern, StartsOverAfterAFlush) {
    const FlushedPatternCase& c = GetParam();
    Listen(events);
    ASSERT_GT(dispatcher.AddDataTrigger("AB", false), 0);
    dispatcher.SetDataTriggerLength(1);
    Device().Feed(c.before);
    ASSERT_TRUE(Eventually([&] { return events.Of(QnMsgDataAvailable).size() == 1; }));
    dispatcher.FlushInBuffer();
    Device().Feed(c.after);
    ASSERT_TRUE(Eventually([&] { return events.Of(QnMsgDataAvailable).size() == 2; }));
    EXPECT_EQ(events.Of(QnMsgDataTrigger).size(), c.matches);
}

INSTANTIATE_TEST_SUITE_P(Streams, FlushedPattern,
                         ::testing::Values(FlushedPatternCase{"SplitByTheFlush", "A", "B", 0},
                                           FlushedPatternCase{"WhollyAfterTheFlush", "A", "AB", 1}),
                         tavrin::test::RowName);

// A worker thread that raises ends, and the user is shown why, on the GUI
// thread, as the program shows its other errors.
struct ThreadFailureCase {
    const char* name;
    void (*cause)(TFakeDispatcher&);
    const char* text;
};
TAVRIN_PRINT_AS_NAME(ThreadFailureCase)

class ThreadFailure : public FakeDispatcher, public ::testing::WithParamInterface<ThreadFailureCase> {};

TEST_P(ThreadFailure, IsShownAndEndsOnlyThatThread) {
    tavrin::test::QtTestApp();
    TScriptedUiPrompts prompts;
    QObject window;
    TQnExceptionDisplayScope display(prompts, window);
    GetParam().cause(dispatcher);
    ASSERT_TRUE(tavrin::test::EventuallyWithEvents([&] { return !prompts.Log.empty(); }));
    EXPECT_EQ(prompts.Log.size(), 1u);
    EXPECT_EQ(prompts.Log[0].Kind, TScriptedUiPrompts::TKind::Error);
    EXPECT_EQ(prompts.Log[0].Text, GetParam().text);
    EXPECT_TRUE(Eventually([&] { return dispatcher.ThreadCount() == 2; }));
    dispatcher.DonePort();
    EXPECT_EQ(dispatcher.ThreadCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Threads, ThreadFailure,
    ::testing::Values(ThreadFailureCase{"DispatchHandler",
                                        [](TFakeDispatcher& d) {
                                            d.RegisterEventHandler([](uint32_t, uint32_t, uint32_t) {
                                                throw EQnException::CreateWithText("handler failed");
                                            });
                                            d.SetDataTriggerLength(1);
                                            d.Device().Feed("x");
                                        },
                                        "handler failed"},
                      ThreadFailureCase{"DispatchRead",
                                        [](TFakeDispatcher& d) {
                                            d.Device().FailNext("read");
                                            d.Device().Feed("x");
                                        },
                                        "device read failed"},
                      ThreadFailureCase{"Output",
                                        [](TFakeDispatcher& d) {
                                            d.Device().FailNext("write");
                                            d.PutChar('x');
                                        },
                                        "device write failed"},
                      ThreadFailureCase{"LineEvents", [](TFakeDispatcher& d) { d.Device().FailNext("wait"); },
                                        "device wait failed"}),
    tavrin::test::RowName);

}  // namespace
