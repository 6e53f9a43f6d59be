// VT100 parser: what each state makes of a byte sequence, the VT52 mode,
// controls inside sequences, and the caps on hostile sequences. Sequences
// whose effect the emulator's tables show are not repeated here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/QnTrmPsr.h"

namespace {

struct Outcome {
    TQnParseResult result;
    int command;
    std::vector<int> args;
};

// Feeds every byte; the outcome is that of the last one.
Outcome Feed(TQnVT100Parser& p, const std::string& bytes) {
    TQnParseResult r = prNone;
    for (char c : bytes) r = p.ProcessChar(static_cast<uint8_t>(c));
    Outcome o{r, p.Command(), {}};
    for (int i = 0; i < p.ArgumentCount(); ++i) o.args.push_back(p.GetArgument(i));
    return o;
}

struct Case {
    const char* name;
    std::string input;
    TQnParseResult result;
    int command;
    std::vector<int> args;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const std::string E = "\x1b";
const std::string V52 = E + "[?2l";

class AnsiSequences : public testing::TestWithParam<Case> {};

TEST_P(AnsiSequences, YieldTheCommand) {
    const Case& c = GetParam();
    TQnVT100Parser p;
    const Outcome o = Feed(p, c.input);
    EXPECT_EQ(o.result, c.result);
    if (c.result == prCommand || c.result == prChar || c.result == prHighChar) {
        EXPECT_EQ(o.command, c.command);
        EXPECT_EQ(o.args, c.args);
    }
}

const Case AnsiCases[] = {
    // Characters and controls in the ground state.
    {"Delete", "\x7f", prHighChar, 1, {}},
    {"OtherControlIgnored", "\x01", prNone, 0, {}},
    {"Cancel", "\x18", prNone, 0, {}},
    // ESC and one byte.
    {"EscOneIsNoOperation", E + "1", prCommand, 0, {}},
    {"EscLessThanIgnoredInAnsi", E + "<", prNone, 0, {}},
    {"UnknownEscape", E + "Q", prNone, 0, {}},
    {"UnknownLineSize", E + "#7", prNone, 0, {}},
    // Character-set designations.
    {"DesignationWithIntermediate", E + "( B", prNone, 0, {}},
    {"UnknownDesignation", E + "(Z", prNone, 0, {}},
    {"OtherSetSwallowed", E + "*0", prNone, 0, {}},
    {"OtherSetWithIntermediate", E + "+ 0", prNone, 0, {}},
    // CSI with the argument checks.
    {"CupRowOnly", E + "[5;H", prCommand, vcCUP, {5, 1}},
    {"CupColumnOnly", E + "[;7H", prCommand, vcCUP, {1, 7}},
    {"CupThreeArguments", E + "[1;2;3H", prNone, 0, {}},
    {"PrivateModeEmpty", E + "[?h", prCommand, vcSM, {-2, -1}},
    {"StatusReportPrivateRefused", E + "[?5n", prNone, 0, {}},
    {"ScrollRegionEmpty", E + "[r", prCommand, vcDECSTBM, {-1}},
    {"ColonRefused", E + "[38:5:1m", prNone, 0, {}},
    {"HighByteInsideRefused", E + "[1\xc4m", prNone, 0, {}},
    {"LargestValue", E + "[2147483647m", prCommand, vcSGR, {2147483647}},
    {"AboveLargestValue", E + "[2147483648m", prNone, 0, {}},
    {"EndlessDigitsSaturate", E + "[" + std::string(200, '9') + "m", prNone, 0, {}},
    // Controls inside sequences act, and the sequence continues.
    {"SubIgnoredInside", E + "[1;\x1a" "5H", prCommand, vcCUP, {1, 5}},
    {"EscapeRestarts", E + "[12" + E + "[3B", prCommand, vcCUD, {3}},
    // Caps: 32 arguments pass, 33 do not; an overlong sequence yields nothing.
    {"ThirtyTwoArguments", E + "[" + std::string(31, ';') + "m", prCommand, vcSGR, std::vector<int>(32, 0)},
    {"ThirtyThreeArguments", E + "[" + std::string(32, ';') + "m", prNone, 0, {}},
    {"OverlongSequence", E + "[" + std::string(300, '0') + "1m", prNone, 0, {}},
    {"OverlongDesignation", E + "(" + std::string(300, ' ') + "B", prNone, 0, {}},
    // VT52 mode, entered by ESC [ ? 2 l.
    {"Vt52KeypadApplication", V52 + E + "=", prCommand, vcSM, {-2, 999}},
    {"Vt52KeypadNumeric", V52 + E + ">", prCommand, vcRM, {-2, 999}},
    {"Vt52ReverseLineFeed", V52 + E + "I", prCommand, vcRI, {}},
    {"Vt52EraseToEndOfScreen", V52 + E + "J", prCommand, vcED, {0}},
    {"Vt52AddressPending", V52 + E + "Y%", prPending, 0, {}},
    {"Vt52ControlRestartsAddress", V52 + E + "Y%\x07" "&'", prCommand, vcCUP, {7, 8}},
    {"Vt52CsiUnknown", V52 + E + "[", prNone, 0, {}},
    {"Vt52Unknown", V52 + E + "Q", prNone, 0, {}},
    {"Vt52LeftByEscLessThan", V52 + "A" + E + "<" + E + "[?2h", prCommand, vcSM, {-2, 2}},
    {"OnlyExactly2EntersVt52", E + "[?2;3l" + E + "A", prNone, 0, {}},
};

INSTANTIATE_TEST_SUITE_P(QnVT100Parser, AnsiSequences, testing::ValuesIn(AnsiCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(QnVT100Parser, ControlInsideSequenceActsAtOnceAndClearForgetsTheCommand) {
    TQnVT100Parser p;
    Feed(p, E + "[12");
    EXPECT_EQ(Feed(p, "\n").command, vcLF);
    EXPECT_EQ(Feed(p, "A").args, std::vector<int>{12});
    EXPECT_EQ(p.GetSequence(), E + "[12A");
    EXPECT_EQ(p.GetArgument(1), 0);  // past the arguments
    p.Clear();
    EXPECT_EQ(p.Command(), 0);
    EXPECT_EQ(p.ArgumentCount(), 0);
    EXPECT_EQ(p.GetSequence(), "");
}

TEST(QnVT100Parser, OverlongSequenceIsForgottenAfterItsFinal) {
    TQnVT100Parser p;
    Feed(p, E + "[" + std::string(1000, '1'));
    EXPECT_EQ(p.ProcessChar('m'), prNone);
    EXPECT_EQ(p.ProcessChar('z'), prChar);
    EXPECT_EQ(Feed(p, E + "[2J").result, prCommand);
}

}  // namespace
