// The line settings: properties onto the line record and the record into
// kernel terminal settings (data bits and parity too, which pseudo-terminals
// ignore).

#include <asm/termbits.h>
#include <gtest/gtest.h>

#include "net/ComRxOptions.h"

namespace {

// The flow characters' defaults reach the kernel in the flow table below.
TEST(ComOptions, DefaultsPassRawData)
{
    TComOptions o;
    EXPECT_EQ(o.BaudRate(), Com_br1200);  // speed 0 reads as 1200
    EXPECT_TRUE(o.PassNulls());
    const TComTermios t = ComOptionsToTermios(o.Record());
    EXPECT_EQ(t.c_iflag, static_cast<uint32_t>(PARMRK));  // breaks marked, nothing else touched
    EXPECT_EQ(t.c_lflag | t.c_oflag, 0u);
}

struct TFormatCase {
    TComDataBits Bits;
    TComParity Parity;
    TComStopBits Stop;
    uint8_t ParityCode;  // as the record keeps it
    uint32_t Cflags;     // size, parity and stop bits for the kernel
};
class Formats : public testing::TestWithParam<TFormatCase> {};

TEST_P(Formats, ReachRecordAndKernel)
{
    const TFormatCase& c = GetParam();
    TComOptions o;
    o.SetDataBits(c.Bits);
    o.SetParity(c.Parity);
    o.SetStopBits(c.Stop);
    EXPECT_EQ(o.Record().Parity, c.ParityCode);
    const TComTermios t = ComOptionsToTermios(o.Record());
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), c.Cflags);
    EXPECT_EQ((t.c_iflag & INPCK) != 0, c.Parity != Com_pNone);
}

INSTANTIATE_TEST_SUITE_P(
    All, Formats,
    testing::Values(TFormatCase{Com_dbSeven, Com_pNone, Com_sbOne, 0, CS7},
                    TFormatCase{Com_dbSeven, Com_pEven, Com_sbTwo, 2, CS7 | PARENB | CSTOPB},
                    TFormatCase{Com_dbSeven, Com_pOdd, Com_sbOne, 1, CS7 | PARENB | PARODD},
                    TFormatCase{Com_dbEight, Com_pNone, Com_sbTwo, 0, CS8 | CSTOPB},
                    TFormatCase{Com_dbEight, Com_pMark, Com_sbOne, 3, CS8 | PARENB | PARODD | CMSPAR},
                    TFormatCase{Com_dbFive, Com_pNone, Com_sbOneAndHalf, 0, CS5 | CSTOPB}));

struct TFlowCase {
    bool Cts;
    TComDtrState Dtr;
    TComRtsState Rts;
    bool Xon;
    uint32_t Flags;  // the record's flags word
    bool Crtscts, RaiseDtr, RaiseRts;
};
class Flows : public testing::TestWithParam<TFlowCase> {};

TEST_P(Flows, MapToFlagsAndModemOutputs)
{
    const TFlowCase& c = GetParam();
    TComOptions o;
    o.HardwareFlow().SetTxUseCtsFlow(c.Cts);
    o.HardwareFlow().SetTxDtrState(c.Dtr);
    o.HardwareFlow().SetRxRTSState(c.Rts);
    o.SoftwareFlow().SetTxFlow(c.Xon);
    o.SoftwareFlow().SetRxFlow(c.Xon);
    o.SoftwareFlow().SetXoffChar(0x02);
    EXPECT_EQ(o.Record().Flags, c.Flags);
    const TComTermios t = ComOptionsToTermios(o.Record());
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.Crtscts);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), c.Xon ? static_cast<uint32_t>(IXON | IXOFF) : 0u);
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x02);
    EXPECT_EQ(t.RaiseDtr, c.RaiseDtr);
    EXPECT_EQ(t.RaiseRts, c.RaiseRts);
}

INSTANTIATE_TEST_SUITE_P(
    All, Flows,
    testing::Values(TFlowCase{true, Com_dtrHandshake, Com_rtsHandshake, false, 0x2024, true, true, true},
                    TFlowCase{false, Com_dtrEnabled, Com_rtsEnabled, true, 0x1310, false, true, true},
                    TFlowCase{false, Com_dtrDisabled, Com_rtsDisabled, false, 0x0000, false, false, false},
                    TFlowCase{false, Com_dtrDisabled, Com_rtsHandshake, true, 0x2300, true, false, true}));

} // namespace
