// The line settings: properties onto the line record and the record into
// kernel terminal settings (data bits and parity too, which pseudo-terminals
// ignore).

#include <asm/termbits.h>
#include <gtest/gtest.h>

#include "net/ComRxOptions.h"

namespace {

struct TFormatCase {
    TComDataBits Bits;
    TComParity Parity;
    TComStopBits Stop;
    uint32_t Cflags;  // size, parity and stop bits for the kernel
};
class Formats : public testing::TestWithParam<TFormatCase> {};

TEST_P(Formats, ReachTheKernelSettings)
{
    const TFormatCase& c = GetParam();
    TComOptions o;
    o.SetDataBits(c.Bits);
    o.SetParity(c.Parity);
    o.SetStopBits(c.Stop);
    const TComTermios t = ComOptionsToTermios(o.Record());
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), c.Cflags);
    EXPECT_EQ((t.c_iflag & INPCK) != 0, c.Parity != Com_pNone);
}

INSTANTIATE_TEST_SUITE_P(
    All, Formats,
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

TEST_P(Flows, MapToKernelFlagsAndModemOutputs)
{
    const TFlowCase& c = GetParam();
    TComOptions o;
    o.HardwareFlow().SetTxUseCtsFlow(c.Cts);
    o.HardwareFlow().SetTxDtrState(c.Dtr);
    o.HardwareFlow().SetRxRTSState(c.Rts);
    o.SoftwareFlow().SetTxFlow(c.Xon);
    o.SoftwareFlow().SetRxFlow(c.Xon);
    o.SoftwareFlow().SetXoffChar(0x02);
    const TComTermios t = ComOptionsToTermios(o.Record());
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.Crtscts);
    // Breaks are marked; nothing else of the input or output is touched.
    EXPECT_EQ(t.c_iflag, c.Xon ? static_cast<uint32_t>(PARMRK | IXON | IXOFF) : static_cast<uint32_t>(PARMRK));
    EXPECT_EQ(t.c_lflag | t.c_oflag, 0u);
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x02);
    EXPECT_EQ(t.RaiseDtr, c.RaiseDtr);
    EXPECT_EQ(t.RaiseRts, c.RaiseRts);
}

INSTANTIATE_TEST_SUITE_P(
    All, Flows,
    testing::Values(TFlowCase{true, Com_dtrHandshake, Com_rtsHandshake, false, true, true, true},
                    TFlowCase{false, Com_dtrEnabled, Com_rtsEnabled, true, false, true, true},
                    TFlowCase{false, Com_dtrDisabled, Com_rtsDisabled, false, false, false, false},
                    TFlowCase{false, Com_dtrDisabled, Com_rtsHandshake, true, true, false, true}));

} // namespace
