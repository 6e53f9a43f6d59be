// A host serial port: the line settings mapped to the kernel's (data bits
// and parity too, which pseudo-terminals ignore); on pseudo-terminal pairs
// data both ways, settings as the kernel holds them, flow-control stalls,
// exclusive open, hang-up and close; then on a fake device with the modem
// lines and breaks that pseudo-terminals lack: event sets, breaks as their
// own one-byte blocks, and the input marks of line errors.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <asm/termbits.h>

#include <cstdlib>
#include <thread>

#include "net/ComRx.h"
#include "support/ComRxTestSupport.h"

using namespace tavrin::test;
using namespace std::string_literals;

namespace {

struct TFormatCase {
    TComDataBits Bits;
    TComParity Parity;
    TComStopBits Stop;
    uint32_t Cflags;  // size, parity and stop bits for the kernel
};
class Formats : public testing::TestWithParam<TFormatCase> {};

TEST_P(Formats, ReachTheKernelSettings) {
    const TFormatCase& c = GetParam();
    TComOptions o;
    o.SetDataBits(c.Bits);
    o.SetParity(c.Parity);
    o.SetStopBits(c.Stop);
    const TComTermios t = ComOptionsToTermios(o.Record());
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), c.Cflags);
    EXPECT_EQ((t.c_iflag & INPCK) != 0, c.Parity != Com_pNone);
}

INSTANTIATE_TEST_SUITE_P(All, Formats,
                         testing::Values(TFormatCase{Com_dbSeven, Com_pNone, Com_sbOne, CS7},
                                         TFormatCase{Com_dbSeven, Com_pEven, Com_sbTwo, CS7 | PARENB | CSTOPB},
                                         TFormatCase{Com_dbSeven, Com_pOdd, Com_sbOne, CS7 | PARENB | PARODD},
                                         TFormatCase{Com_dbEight, Com_pNone, Com_sbTwo, CS8 | CSTOPB},
                                         TFormatCase{Com_dbEight, Com_pMark, Com_sbOne, CS8 | PARENB | PARODD | CMSPAR},
                                         TFormatCase{Com_dbFive, Com_pNone, Com_sbOneAndHalf, CS5 | CSTOPB}));

struct TFlowCase {
    bool Cts;
    TComDtrState Dtr;
    TComRtsState Rts;
    bool Xon;
    bool Crtscts, RaiseDtr, RaiseRts;
};
class Flows : public testing::TestWithParam<TFlowCase> {};

TEST_P(Flows, MapToKernelFlagsAndModemOutputs) {
    const TFlowCase& c = GetParam();
    TComOptions o;
    o.HardwareFlow().SetTxUseCtsFlow(c.Cts);
    o.HardwareFlow().SetTxDtrState(c.Dtr);
    o.HardwareFlow().SetRxRTSState(c.Rts);
    o.SoftwareFlow().SetTxFlow(c.Xon);
    o.SoftwareFlow().SetRxFlow(c.Xon);
    const TComTermios t = ComOptionsToTermios(o.Record());
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.Crtscts);
    // Breaks are marked; nothing else of the input or output is touched.
    EXPECT_EQ(t.c_iflag, c.Xon ? static_cast<uint32_t>(PARMRK | IXON | IXOFF) : static_cast<uint32_t>(PARMRK));
    EXPECT_EQ(t.c_lflag | t.c_oflag, 0u);
    EXPECT_EQ(std::pair(t.c_cc[VSTART], t.c_cc[VSTOP]), std::pair(uint8_t{0x11}, uint8_t{0x13}));  // the standard ones
    EXPECT_EQ(std::pair(t.RaiseDtr, t.RaiseRts), std::pair(c.RaiseDtr, c.RaiseRts));
}

INSTANTIATE_TEST_SUITE_P(All, Flows,
                         testing::Values(TFlowCase{true, Com_dtrHandshake, Com_rtsHandshake, false, true, true, true},
                                         TFlowCase{false, Com_dtrEnabled, Com_rtsEnabled, true, false, true, true},
                                         TFlowCase{false, Com_dtrDisabled, Com_rtsDisabled, false, false, false, false},
                                         TFlowCase{false, Com_dtrDisabled, Com_rtsHandshake, true, true, false, true}));

class ComRxPty : public testing::Test {
protected:
    void SetUp() override {
        Port.PortName = Pty.SlavePath();
        Port.Dispatcher = Posts.Dispatcher();
        Port.OnDataBlock = [this](TComRx&, const uint8_t* data, uint32_t count) {
            Received.append(reinterpret_cast<const char*>(data), count);
        };
    }

    TPty Pty;
    TPostQueue Posts;
    TComRx Port;
    std::string Received;
};

TEST_F(ComRxPty, CarriesBurstsBothWaysInOrder) {
    Port.Open();
    const std::string in = Pattern(200000, 1);  // several reads of 64 KB
    std::thread writer([&] { WriteAll(Pty.Master(), in); });
    const bool all = Posts.PumpUntil([&] { return Received.size() >= in.size(); }, 10s);
    writer.join();
    ASSERT_TRUE(all);
    EXPECT_TRUE(Received == in);

    const std::string out = Pattern(2000, 2);
    for (char c : out) ASSERT_TRUE(Port.WriteByte(static_cast<uint8_t>(c), 1000));
    EXPECT_EQ(ReadFor(Pty.Master(), out.size()), out);
}

// The mapping itself is checked in the tables above; here it reaches the
// kernel, and the chosen flow characters stall and resume writes.
TEST_F(ComRxPty, SettingsReachTheDeviceAndXoffStallsWritesForABoundedTime) {
    TComOptions& o = Port.Options();
    o.SetBaudRate(Com_br14400);
    o.SetStopBits(Com_sbTwo);
    o.HardwareFlow().SetTxUseCtsFlow(true);
    o.SoftwareFlow().SetTxFlow(true);
    o.SoftwareFlow().SetRxFlow(true);
    o.SoftwareFlow().SetXonChar(0x05);
    o.SoftwareFlow().SetXoffChar(0x06);
    Port.Open();
    const TComTermios t = ReadTermios(Pty.Master());
    EXPECT_EQ(std::pair(t.c_ospeed, t.c_ispeed), std::pair(14400u, 14400u));
    EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), static_cast<uint32_t>(CSTOPB | CRTSCTS));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<uint32_t>(IXON | IXOFF));

    ASSERT_TRUE(Port.CanWrite());
    WriteAll(Pty.Master(), "\x06");
    ASSERT_TRUE(Posts.PumpUntil([&] { return !Port.CanWrite(); }, 2s)) << "XOFF did not stall the line";
    EXPECT_FALSE(Port.WriteByte('a', 100));  // returns, byte dropped
    EXPECT_EQ(ReadFor(Pty.Master(), 1, 100ms), "");
    WriteAll(Pty.Master(), "\x05");
    ASSERT_TRUE(Posts.PumpUntil([&] { return Port.CanWrite(); }, 2s));
    EXPECT_TRUE(Port.WriteByte('b', 100));
    EXPECT_EQ(ReadFor(Pty.Master(), 1), "b");
    EXPECT_TRUE(Received.empty()) << "XON/XOFF must not reach the data";
}

// A second open finds the port in use; closing stops the thread, drops the
// events still posted and frees the port.
TEST_F(ComRxPty, ClosingDropsEventsStillPostedAndFreesThePort) {
    Port.Open();
    TComRx other;
    other.PortName = Pty.SlavePath();
    EXPECT_THAT([&] { other.Open(); },
                testing::ThrowsMessage<EComPortInUse>(testing::EndsWith(" (device \"" + Pty.SlavePath() + "\")")));
    WriteAll(Pty.Master(), "late");
    ASSERT_TRUE(Posts.WaitPending(1));  // the block is posted, not yet run
    Port.Close();
    Posts.PumpPending();
    EXPECT_TRUE(Received.empty());
    EXPECT_FALSE(Port.CanWrite());
    EXPECT_FALSE(Port.WriteByte('x', 100));
    EXPECT_NO_THROW(other.Open());
}

// The reading thread ends rather than spin on a line that stays readable.
TEST_F(ComRxPty, AHungUpLineStopsTheThread) {
    Port.Open();
    Pty.CloseMaster();
    EXPECT_TRUE(Posts.PumpUntil([&] { return !Port.Active(); }));
}

// TAVRIN_COMn overrides a COM name (the glue tests open their lines that way).
TEST(ComRxOpen, ComNamesMapToHostPortsAndFailuresRaiseTheirExceptions) {
    ::unsetenv("TAVRIN_COM3");
    EXPECT_EQ(ResolveComPortName("COM3"), "/dev/ttyS2");
    EXPECT_EQ(ResolveComPortName("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolveComPortName("COMX"), "COMX");
    TComRx port;
    port.PortName = "/dev/tavrin-no-such-port";
    EXPECT_THAT([&] { port.Open(); }, testing::ThrowsMessage<EComInvalidPort>(testing::StrEq(
                                          "The request could not be completed because the specified comunications "
                                          "port could not be accessed! (device \"/dev/tavrin-no-such-port\")")));
    port.PortName = "/dev/null";  // not a terminal
    EXPECT_THAT([&] { port.Open(); },
                testing::ThrowsMessage<EComSetOptions>(testing::StrEq(
                    "Unable to configure selected comunications port with the specified options! (device "
                    "\"/dev/null\")")));
}

// A "COM"n name fails with the device path it stands for, the one the open tried.
TEST(ComRxOpen, AFailedOpenNamesTheDevicePathItTried) {
    const struct {
        const char* Override;
        std::string Expected;
    } rows[] = {{nullptr, "/dev/ttyS6"}, {"/dev/tavrin-no-such-adapter", "/dev/tavrin-no-such-adapter"}};
    for (const auto& r : rows) {
        if (r.Override)
            ::setenv("TAVRIN_COM7", r.Override, 1);
        else
            ::unsetenv("TAVRIN_COM7");
        TComRx port;
        port.PortName = "COM7";
        // Whether /dev/ttyS6 exists or not, the open fails one way or another.
        port.DeviceOpener = [](const std::string&, const TComTermios&, TComOpenError& error) {
            error = TComOpenError::InvalidPort;
            return std::unique_ptr<IComDevice>();
        };
        EXPECT_THAT([&] { port.Open(); },
                    testing::ThrowsMessage<EComInvalidPort>(testing::EndsWith(" (device \"" + r.Expected + "\")")));
    }
    ::unsetenv("TAVRIN_COM7");
}

class ComRxFake : public testing::Test {
protected:
    void SetUp() override {
        Port.DeviceOpener = TFakeComDevice::Opener(Device);
        Port.Dispatcher = Posts.Dispatcher();
        Port.OnDataBlock = [this](TComRx&, const uint8_t* data, uint32_t count) {
            Log += "[" + std::string(reinterpret_cast<const char*>(data), count) + "]";
        };
        Port.OnModemSignal = [this](TComRx&, TComModemEvents events) { Log += "{" + std::to_string(events) + "}"; };
    }
    bool LogIs(const std::string& expected) {
        return Posts.PumpUntil([&] { return Log.size() >= expected.size(); }) && Log == expected;
    }

    std::shared_ptr<TFakeComDevice::TState> Device;
    TPostQueue Posts;
    TComRx Port;
    std::string Log;
};

// Breaks reboot the machine: line changes must never read as one.
TEST_F(ComRxFake, ModemLineChangesArriveAsEventSets) {
    Port.Open();
    const std::pair<TComModemCounts, TComModemEvents> steps[] = {
        {{1, 0, 0, 0}, ComEvents(cme_RING)},
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

// With the options the machine uses (nulls passed, error bytes kept); each
// piece of input arrives in a read of its own.
struct TMarkCase {
    const char* Name;
    std::vector<std::string> Input;
    std::string Log;
};
class ComRxMarks : public ComRxFake, public testing::WithParamInterface<TMarkCase> {};

TEST_P(ComRxMarks, AreDecoded) {
    Port.Open();
    for (const std::string& piece : GetParam().Input) {
        WriteAll(Device->PeerFd, piece);
        Posts.PumpUntil([] { return false; }, 50ms);
    }
    EXPECT_TRUE(LogIs(GetParam().Log)) << Log;
}

INSTANTIATE_TEST_SUITE_P(All, ComRxMarks,
                         testing::Values(TMarkCase{"doubledFF",
                                                   {"a\xFF\xFF"
                                                    "b"s},
                                                   "[a\xFF"
                                                   "b]"},
                                         TMarkCase{"breakBetweenData",
                                                   {"AB\xFF\0\0"
                                                    "CD"s},
                                                   "[AB]" + Break + "[\0][CD]"s},
                                         TMarkCase{"breakSplitAcrossReads", {"\xFF", "\0\0"s}, Break + "[\0]"s},
                                         TMarkCase{"errorByteKept",
                                                   {"x\xFF\0"
                                                    "Ay"s},
                                                   "[xAy]"},
                                         TMarkCase{"nulsPassed", {"\0z\0"s}, "[\0z\0]"s}),
                         [](const testing::TestParamInfo<TMarkCase>& row) { return std::string(row.param.Name); });

}  // namespace
