// The line settings: the property mapping onto the line record and the
// record's translation into kernel terminal settings (data bits and parity
// included, which pseudo-terminals ignore).

#include <asm/termbits.h>
#include <gtest/gtest.h>

#include <tuple>

#include "net/ComRxOptions.h"

namespace {

TEST(ComOptions, NewOptionsPassRawDataWithDefaultFlowCharacters)
{
    TComOptions o;
    EXPECT_EQ(o.Record().BaudRate, 0u);
    EXPECT_EQ(o.BaudRate(), Com_br1200);  // speed 0 reads as 1200
    EXPECT_TRUE(o.PassNulls());
    EXPECT_EQ(o.SoftwareFlow().XonChar(), 0x11);
    EXPECT_EQ(o.SoftwareFlow().XoffChar(), 0x13);
    EXPECT_EQ(o.InQueueSize(), 2048);
    EXPECT_EQ(o.OutQueueSize(), 1024);
}

class BaudRates : public testing::TestWithParam<std::tuple<TComBaudRate, uint32_t>> {};

TEST_P(BaudRates, MapToTheirSpeedAndBack)
{
    const auto [rate, speed] = GetParam();
    TComOptions o;
    o.SetBaudRate(rate);
    EXPECT_EQ(o.Record().BaudRate, speed);
    EXPECT_EQ(o.BaudRate(), rate);
    EXPECT_EQ(ComOptionsToTermios(o.Record()).c_ospeed, speed);
    EXPECT_EQ(ComOptionsToTermios(o.Record()).c_cflag & CBAUD, static_cast<uint32_t>(BOTHER));
}

INSTANTIATE_TEST_SUITE_P(All, BaudRates,
                         testing::Values(std::make_tuple(Com_br110, 110u), std::make_tuple(Com_br9600, 9600u),
                                         std::make_tuple(Com_br14400, 14400u),
                                         std::make_tuple(Com_br128000, 128000u),
                                         std::make_tuple(Com_br256000, 256000u),
                                         std::make_tuple(Com_br921600, 921600u)));

struct TQueueCase {
    int32_t Set;
    int32_t Kept;
};
class QueueSizes : public testing::TestWithParam<TQueueCase> {};

TEST_P(QueueSizes, AreClampedAndRoundedUpTo256)
{
    TComOptions o;
    o.SetInQueueSize(GetParam().Set);
    o.SetOutQueueSize(GetParam().Set);
    EXPECT_EQ(o.InQueueSize(), GetParam().Kept);
    EXPECT_EQ(o.OutQueueSize(), GetParam().Kept);
}

INSTANTIATE_TEST_SUITE_P(All, QueueSizes,
                         testing::Values(TQueueCase{1, 256}, TQueueCase{100, 256}, TQueueCase{257, 512},
                                         TQueueCase{300, 512}, TQueueCase{65537, 65536}, TQueueCase{-5, 256}));

// Data bits and parity as the record stores them and the kernel gets them.
struct TFormatCase {
    TComDataBits Bits;
    TComParity Parity;
    uint8_t ByteSize;
    uint8_t ParityCode;
    uint32_t Cflags;  // CSIZE and parity bits expected
    bool ParityCheck;
};
class Formats : public testing::TestWithParam<TFormatCase> {};

TEST_P(Formats, ReachRecordAndKernel)
{
    const TFormatCase& c = GetParam();
    TComOptions o;
    o.SetDataBits(c.Bits);
    o.SetParity(c.Parity);
    EXPECT_EQ(o.Record().ByteSize, c.ByteSize);
    EXPECT_EQ(o.Record().Parity, c.ParityCode);
    EXPECT_EQ(o.DataBits(), c.Bits);
    EXPECT_EQ(o.Parity(), c.Parity);
    const TComTermios t = ComOptionsToTermios(o.Record());
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR), c.Cflags);
    EXPECT_EQ((t.c_iflag & INPCK) != 0, c.ParityCheck);
    EXPECT_TRUE(t.c_iflag & PARMRK);
    EXPECT_FALSE(t.c_iflag & (IGNBRK | BRKINT | ISTRIP | ICRNL));
    EXPECT_EQ(t.c_lflag, 0u);
    EXPECT_EQ(t.c_oflag, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    All, Formats,
    testing::Values(TFormatCase{Com_dbSeven, Com_pNone, 7, 0, CS7, false},
                    TFormatCase{Com_dbSeven, Com_pEven, 7, 2, CS7 | PARENB, true},
                    TFormatCase{Com_dbSeven, Com_pOdd, 7, 1, CS7 | PARENB | PARODD, true},
                    TFormatCase{Com_dbEight, Com_pNone, 8, 0, CS8, false},
                    TFormatCase{Com_dbEight, Com_pMark, 8, 3, CS8 | PARENB | PARODD | CMSPAR, true},
                    TFormatCase{Com_dbFive, Com_pNone, 5, 0, CS5, false}));

TEST(ComOptions, ReadingOddRecordValuesFallsBackSafely)
{
    TComOptions o;
    o.SetParity(Com_pEven);
    o.SetStopBits(Com_sbTwo);
    EXPECT_EQ(o.StopBits(), Com_sbTwo);
    EXPECT_TRUE(ComOptionsToTermios(o.Record()).c_cflag & CSTOPB);
    o.SetStopBits(Com_sbOne);
    EXPECT_FALSE(ComOptionsToTermios(o.Record()).c_cflag & CSTOPB);
    o.SetDataBits(static_cast<TComDataBits>(9));
    EXPECT_EQ(o.DataBits(), Com_dbEight);
}

TEST(ComOptions, SoftwareFlowReachesFlagsAndControlCharacters)
{
    TComOptions o;
    TComSoftwareFlow& flow = o.SoftwareFlow();
    flow.SetTxFlow(true);
    flow.SetRxFlow(true);
    flow.SetXonChar(0x01);
    flow.SetXoffChar(0x02);
    EXPECT_EQ(o.Record().Flags & 0x300u, 0x300u);
    const TComTermios t = ComOptionsToTermios(o.Record());
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<uint32_t>(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 0x01);
    EXPECT_EQ(t.c_cc[VSTOP], 0x02);
    flow.SetTxFlow(false);
    EXPECT_FALSE(ComOptionsToTermios(o.Record()).c_iflag & IXON);
}

struct THandshakeCase {
    bool Cts;
    TComDtrState Dtr;
    TComRtsState Rts;
    uint32_t Flags;  // record flags for hardware flow
    bool Crtscts;
    bool RaiseDtr;
    bool RaiseRts;
};
class Handshakes : public testing::TestWithParam<THandshakeCase> {};

TEST_P(Handshakes, MapToFlagsAndModemOutputs)
{
    const THandshakeCase& c = GetParam();
    TComOptions o;
    TComHardwareFlow& flow = o.HardwareFlow();
    flow.SetTxUseCtsFlow(c.Cts);
    flow.SetTxDtrState(c.Dtr);
    flow.SetRxRTSState(c.Rts);
    EXPECT_EQ(o.Record().Flags, c.Flags);
    EXPECT_EQ(o.HardwareFlow().TxDtrState(), c.Dtr);
    EXPECT_EQ(o.HardwareFlow().RxRTSState(), c.Rts);
    const TComTermios t = ComOptionsToTermios(o.Record());
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.Crtscts);
    EXPECT_EQ(t.RaiseDtr, c.RaiseDtr);
    EXPECT_EQ(t.RaiseRts, c.RaiseRts);
}

INSTANTIATE_TEST_SUITE_P(
    All, Handshakes,
    testing::Values(THandshakeCase{true, Com_dtrHandshake, Com_rtsHandshake, 0x2024, true, true, true},
                    THandshakeCase{false, Com_dtrEnabled, Com_rtsEnabled, 0x1010, false, true, true},
                    THandshakeCase{false, Com_dtrDisabled, Com_rtsDisabled, 0x0000, false, false, false},
                    THandshakeCase{false, Com_dtrDisabled, Com_rtsHandshake, 0x2000, true, false, true}));

TEST(ComOptions, FlowSettersNotifyOnlyOnChange)
{
    TComHardwareFlow hardware;
    TComSoftwareFlow software;
    int changes = 0;
    hardware.OnChanged = [&](TComHardwareFlow&) { ++changes; };
    software.OnChanged = [&](TComSoftwareFlow&) { ++changes; };
    hardware.SetTxUseCtsFlow(false);
    software.SetXonChar(0x11);
    EXPECT_EQ(changes, 0);
    hardware.SetTxUseCtsFlow(true);
    hardware.SetTxUseCtsFlow(true);
    software.SetXonChar(0x12);
    EXPECT_EQ(changes, 2);
}

TEST(ComOptions, FlowObjectsHoldNothingTheRecordLacks)
{
    TComOptions o;
    o.SoftwareFlow().SetRxFlow(true);
    o.HardwareFlow().SetTxUseDsrFlow(true);
    EXPECT_TRUE(o.SoftwareFlow().RxFlow());
    EXPECT_TRUE(o.HardwareFlow().TxUseDsrFlow());
    EXPECT_EQ(o.Record().Flags, 0x0208u);
}

TEST(ComOptions, ErrorFlagsUseTheirOwnBits)
{
    TComOptions o;
    o.SetPassNulls(false);
    o.SetReplaceOnError(true);
    o.SetAbortOnError(true);
    EXPECT_EQ(o.Record().Flags, 0x4C00u);
    EXPECT_FALSE(o.PassNulls());
    o.SetPassNulls(true);
    EXPECT_EQ(o.Record().Flags, 0x4400u);
}

} // namespace
