// The receive thread on a fake device with modem lines and breaks, which
// pseudo-terminals lack: event sets, breaks as their own one-byte blocks,
// and the input marks of line errors.

#include <gtest/gtest.h>

#include <sys/socket.h>

#include "net/ComRx.h"
#include "support/NetTestSupport.h"

using namespace tavrin::test;

namespace {

class ComRxFake : public testing::Test {
protected:
    void SetUp() override
    {
        Port.DeviceOpener = TFakeComDevice::Opener(Device);
        Port.Dispatcher = Posts.Dispatcher();
        Port.OnDataBlock = [this](TComRx&, const uint8_t* data, uint32_t count) {
            Log += "[" + std::string(reinterpret_cast<const char*>(data), count) + "]";
        };
        Port.OnModemSignal = [this](TComRx&, TComModemEvents events) { Log += "{" + std::to_string(events) + "}"; };
    }
    void Send(const std::string& bytes) { WriteAll(Device->PeerFd, bytes); }
    bool LogEnds(const std::string& tail)
    {
        return Posts.PumpUntil([&] { return Log.size() >= tail.size() && Log.ends_with(tail); });
    }

    std::shared_ptr<TFakeComDevice::TState> Device;
    TPostQueue Posts;
    TComRx Port;
    std::string Log;
};

struct TModemCase {
    const char* Name;
    TComModemCounts Change;
    TComModemEvents Events;
};
class ComRxModem : public ComRxFake, public testing::WithParamInterface<TModemCase> {};

TEST_P(ComRxModem, LineChangesArriveAsEventSets)
{
    Port.Open();
    {
        std::lock_guard lock(Device->Lock);
        TComModemCounts& c = Device->Counts;
        c.Ring += GetParam().Change.Ring;
        c.Cts += GetParam().Change.Cts;
        c.Dsr += GetParam().Change.Dsr;
        c.Dcd += GetParam().Change.Dcd;
    }
    ASSERT_TRUE(LogEnds("{" + std::to_string(GetParam().Events) + "}")) << Log;
    EXPECT_EQ(Log, "{" + std::to_string(GetParam().Events) + "}");
}

INSTANTIATE_TEST_SUITE_P(
    All, ComRxModem,
    testing::Values(TModemCase{"ring", {1, 0, 0, 0}, ComEvents(cme_RING)},
                    TModemCase{"ctsAndDsr", {0, 2, 1, 0}, ComEvents(cme_CTS) | ComEvents(cme_DSR)},
                    TModemCase{"carrier", {0, 0, 0, 1}, ComEvents(cme_RLSD)},
                    TModemCase{"all", {1, 1, 1, 1},
                               ComEvents(cme_RING) | ComEvents(cme_CTS) | ComEvents(cme_DSR) | ComEvents(cme_RLSD)}),
    [](const testing::TestParamInfo<TModemCase>& info) { return std::string(info.param.Name); });

const std::string BreakEvent = "{" + std::to_string(ComEvents(cme_BREAK)) + "}";

struct TMarkCase {
    const char* Name;
    std::string Input;
    std::string Log;
};
class ComRxMarks : public ComRxFake, public testing::WithParamInterface<TMarkCase> {};

TEST_P(ComRxMarks, AreDecoded)
{
    Port.Options().SetErrorChar('?');
    Port.Open();
    Send(GetParam().Input);
    ASSERT_TRUE(LogEnds(GetParam().Log)) << Log;
    EXPECT_EQ(Log, GetParam().Log);
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(
    All, ComRxMarks,
    testing::Values(TMarkCase{"doubledFF", "a\xFF\xFF" "b"s, "[a\xFF" "b]"},
                    TMarkCase{"breakBetweenData", "AB\xFF\x00\x00" "CD"s, "[AB]" + BreakEvent + "[\0"s + "][CD]"},
                    TMarkCase{"breakAlone", "\xFF\x00\x00"s, BreakEvent + "[\0]"s},
                    TMarkCase{"parityErrorKeepsByte", "x\xFF\x00" "Ay"s, "[xAy]"},
                    TMarkCase{"nulsPass", "\0z\0"s, "[\0z\0]"s}),
    [](const testing::TestParamInfo<TMarkCase>& info) { return std::string(info.param.Name); });

TEST_F(ComRxFake, ErrorBytesAreReplacedWhenAsked)
{
    Port.Options().SetReplaceOnError(true);
    Port.Options().SetErrorChar('?');
    Port.Open();
    Send(std::string("x\xFF\x00" "Ay", 5));
    ASSERT_TRUE(LogEnds("[x?y]")) << Log;
}

TEST_F(ComRxFake, NulsAreDiscardedWhenNotPassed)
{
    Port.Options().SetPassNulls(false);
    Port.Open();
    Send(std::string("\0A\0B", 4));
    ASSERT_TRUE(LogEnds("[AB]")) << Log;
}

TEST_F(ComRxFake, AMarkSplitAcrossReadsIsStillABreak)
{
    Port.Open();
    Send("\xFF");
    Posts.PumpUntil([] { return false; }, 50ms);
    Send(std::string("\0\0", 2));
    ASSERT_TRUE(LogEnds(BreakEvent + std::string("[\0]", 3))) << Log;
}

TEST_F(ComRxFake, WritesReachTheDevice)
{
    Port.Open();
    EXPECT_TRUE(Port.CanWrite());
    EXPECT_TRUE(Port.WriteByte('Q', 100));
    EXPECT_EQ(ReadFor(Device->PeerFd, 1), "Q");
}

TEST_F(ComRxFake, WithoutDispatcherEventsRunOnTheReceiveThread)
{
    Port.Dispatcher = nullptr;
    std::atomic<int> blocks{0};
    Port.OnDataBlock = [&](TComRx&, const uint8_t*, uint32_t) { ++blocks; };
    Port.Open();
    Send("abc");
    for (int i = 0; i < 500 && blocks == 0; ++i)
        std::this_thread::sleep_for(2ms);
    EXPECT_EQ(blocks, 1);
}

} // namespace
