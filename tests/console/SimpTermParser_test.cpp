// Byte stream in, characters and numbered commands out.

#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "console/SimpTermParser.h"
#include "support/NamedRows.h"

namespace {

// Records every event as text: "c41" for a character, "8:10,5" for a
// command with its row and column.
struct Recorder {
    TSimpTermParser parser;
    std::vector<std::string> events;

    Recorder() {
        parser.OnChar = [this](TSimpTermParser& sender, uint8_t ch) {
            EXPECT_EQ(&sender, &parser);
            char buf[8];
            std::snprintf(buf, sizeof buf, "c%02X", ch);
            events.emplace_back(buf);
        };
        parser.OnCommand = [this](TSimpTermParser& sender, uint8_t cmd, int row, int column) {
            EXPECT_EQ(&sender, &parser);
            events.push_back(std::to_string(cmd) + ":" + std::to_string(row) + "," + std::to_string(column));
        };
    }
    void Feed(const std::string& bytes) {
        for (char c : bytes) parser.ProcessChar(static_cast<uint8_t>(c));
    }
};

struct ParserCase {
    const char* name;
    std::string input;
    std::vector<std::string> expected;
};

const std::string ESC = "\x1b";

TAVRIN_PRINT_AS_NAME(ParserCase)
class SimpTermParserCases : public ::testing::TestWithParam<ParserCase> {};

TEST_P(SimpTermParserCases, ProducesEvents) {
    Recorder r;
    r.Feed(GetParam().input);
    EXPECT_EQ(r.events, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, SimpTermParserCases,
    ::testing::Values(
        ParserCase{"PlainBytes", "ABC", {"c41", "c42", "c43"}},
        ParserCase{"ControlBytesArePlain", std::string("\r\n\x08\x00", 4), {"c0D", "c0A", "c08", "c00"}},
        ParserCase{"ClearScreen", ESC + "Sc", {"1:0,0"}},
        ParserCase{"HighVideoOn", ESC + "Sh", {"2:0,0"}},
        ParserCase{"HighVideoOff", ESC + "Sl", {"3:0,0"}},
        ParserCase{"ClearLine", ESC + "Lc", {"4:0,0"}},
        ParserCase{"ClearToEndOfLine", ESC + "L>", {"5:0,0"}},
        ParserCase{"InsertLine", ESC + "Li", {"6:0,0"}},
        ParserCase{"DeleteLine", ESC + "Ld", {"7:0,0"}},
        ParserCase{"CursorHome", ESC + "Ch", {"9:0,0"}},
        ParserCase{"GotoRowBeforeColumn", ESC + "Cp\x05\x0a", {"8:10,5"}},
        ParserCase{"GotoArgumentsAreRaw", ESC + "Cp" + ESC + "A", {"8:65,27"}},
        ParserCase{"GotoHighBytes", ESC + "Cp\xff\x80", {"8:128,255"}},
        ParserCase{"GotoZeroBytes", ESC + std::string("Cp\0\0", 4), {"8:0,0"}},
        ParserCase{"TextAroundCommand", "x" + ESC + "Shy", {"c78", "2:0,0", "c79"}},
        ParserCase{"UpperCaseThirdReplayed", ESC + "SH", {"c1B", "c53", "c48"}},
        ParserCase{"LowerCaseFamilyReplayed", ESC + "sc", {"c1B", "c73", "c63"}},
        ParserCase{"UnknownLineReplayed", ESC + "Lx", {"c1B", "c4C", "c78"}},
        ParserCase{"UnknownCursorReplayed", ESC + "Cz", {"c1B", "c43", "c7A"}},
        ParserCase{"EscEscBothReplayed", ESC + ESC + "A", {"c1B", "c1B", "c41"}},
        ParserCase{"EscInFamilyReplayed", ESC + "S" + ESC + "Sc", {"c1B", "c53", "c1B", "c53", "c63"}},
        ParserCase{"GroundAfterReplay", ESC + "Lx" + ESC + "Lc", {"c1B", "c4C", "c78", "4:0,0"}},
        ParserCase{"BackToBackCommands", ESC + "Cp\x01\x02" + ESC + "Ch", {"8:2,1", "9:0,0"}},
        ParserCase{"IncompleteSequenceWaits", ESC + "Cp\x01", {}}),
    tavrin::test::RowName);

}  // namespace
