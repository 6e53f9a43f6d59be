// The receive thread on a fake device with modem lines and breaks, which
// pseudo-terminals lack: event sets, breaks as their own one-byte blocks,
// and the input marks of line errors.

#include <gtest/gtest.h>

#include "net/ComRx.h"
#include "support/ComRxTestSupport.h"

using namespace tavrin::test;
using namespace std::string_literals;

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
    bool LogIs(const std::string& expected)
    {
        return Posts.PumpUntil([&] { return Log.size() >= expected.size(); }) && Log == expected;
    }

    std::shared_ptr<TFakeComDevice::TState> Device;
    TPostQueue Posts;
    TComRx Port;
    std::string Log;
};

TEST_F(ComRxFake, ModemLineChangesArriveAsEventSets)
{
    Port.Open();
    const std::pair<TComModemCounts, TComModemEvents> steps[] = {
        {{1, 0, 0, 0}, ComEvents(cme_RING)},
        {{1, 2, 1, 0}, ComEvents(cme_CTS) | ComEvents(cme_DSR)},
        {{1, 2, 1, 1}, ComEvents(cme_RLSD)},
        {{2, 3, 2, 2}, ComEvents(cme_RING) | ComEvents(cme_CTS) | ComEvents(cme_DSR) | ComEvents(cme_RLSD)}};
    for (const auto& [counts, events] : steps) {
        Log.clear();
        {
            std::lock_guard lock(Device->Lock);
            Device->Counts = counts;
        }
        EXPECT_TRUE(LogIs("{" + std::to_string(events) + "}")) << Log;
    }
}

const std::string Break = "{" + std::to_string(ComEvents(cme_BREAK)) + "}";

struct TMarkCase {
    const char* Name;
    bool PassNulls, Replace;
    std::string Input;
    std::string Log;
};
class ComRxMarks : public ComRxFake, public testing::WithParamInterface<TMarkCase> {};

TEST_P(ComRxMarks, AreDecoded)
{
    Port.Options().SetPassNulls(GetParam().PassNulls);
    Port.Options().SetReplaceOnError(GetParam().Replace);
    Port.Options().SetErrorChar('?');
    Port.Open();
    WriteAll(Device->PeerFd, GetParam().Input);
    EXPECT_TRUE(LogIs(GetParam().Log)) << Log;
}

INSTANTIATE_TEST_SUITE_P(
    All, ComRxMarks,
    testing::Values(TMarkCase{"doubledFF", true, false, "a\xFF\xFF" "b"s, "[a\xFF" "b]"},
                    TMarkCase{"breakBetweenData", true, false, "AB\xFF\0\0" "CD"s, "[AB]" + Break + "[\0][CD]"s},
                    TMarkCase{"breakWithoutNuls", false, false, "\xFF\0\0"s, Break + "[\0]"s},
                    TMarkCase{"errorByteKept", true, false, "x\xFF\0" "Ay"s, "[xAy]"},
                    TMarkCase{"errorByteReplaced", true, true, "x\xFF\0" "Ay"s, "[x?y]"},
                    TMarkCase{"nulsPassed", true, false, "\0z\0"s, "[\0z\0]"s},
                    TMarkCase{"nulsDiscarded", false, false, "\0z\0"s, "[z]"}),
    [](const testing::TestParamInfo<TMarkCase>& info) { return std::string(info.param.Name); });

TEST_F(ComRxFake, AMarkSplitAcrossReadsIsStillABreak)
{
    Port.Open();
    WriteAll(Device->PeerFd, "\xFF");
    Posts.PumpUntil([] { return false; }, 50ms);
    WriteAll(Device->PeerFd, "\0\0"s);
    EXPECT_TRUE(LogIs(Break + "[\0]"s)) << Log;
}

TEST_F(ComRxFake, WithoutDispatcherEventsRunOnTheReceiveThread)
{
    Port.Dispatcher = nullptr;
    std::atomic<int> blocks{0};
    Port.OnDataBlock = [&](TComRx&, const uint8_t*, uint32_t) { ++blocks; };
    Port.Open();
    WriteAll(Device->PeerFd, "abc");
    for (int i = 0; i < 500 && blocks == 0; ++i)
        std::this_thread::sleep_for(2ms);
    EXPECT_EQ(blocks, 1);
    EXPECT_TRUE(Port.WriteByte('Q', 100));
    EXPECT_EQ(ReadFor(Device->PeerFd, 1), "Q");
}

} // namespace
