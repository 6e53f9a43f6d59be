// The VT100 emulator against libvterm's screen on the same byte streams:
// vttest's cursor-movement, screen-feature and character-set screens
// (captured with scripts/capture-vttest, see tests/console/vttest/README),
// and generated streams of cursor motion, regions, insert/delete, erase, tabs
// and renditions. Characters, the cursor and bold, underline, blink and
// reverse are compared after every screen or step.
//
// Where this terminal deliberately differs from libvterm the difference is
// listed below with its reason, and shown in a test of its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "reference/VtermReference.h"

namespace {

using tavrin::test::TReferencePair;
using tavrin::test::TVtermScreen;

std::vector<std::string> Screens(const std::string& name) {
    std::ifstream in(std::string(TAVRIN_SOURCE_DIR) + "/tests/console/vttest/" + name, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> screens;
    size_t pos = 0;
    while (pos + 4 <= data.size()) {
        const size_t len = static_cast<uint8_t>(data[pos]) | static_cast<uint8_t>(data[pos + 1]) << 8 |
                           static_cast<uint8_t>(data[pos + 2]) << 16 | size_t{static_cast<uint8_t>(data[pos + 3])} << 24;
        pos += 4;
        if (len > data.size() - pos) break;
        screens.push_back(data.substr(pos, len));
        pos += len;
    }
    return screens;
}


// Screens on which the two differ on purpose; no rows listed means the whole screen.
struct KnownDifference {
    const char* file;
    size_t screen;
    std::vector<int> rows;
    const char* reason;
};

const char* const Columns132 =
    "132 columns: libvterm has no 132-column mode, so text past column 80 wraps or is clipped there";
const KnownDifference KnownDifferences[] = {
    {"cursor.bin", 1, {}, Columns132},
    {"cursor.bin", 3, {}, Columns132},
    {"cursor.bin", 4, {},
     "VT (0Bh) inside sequences: here a vertical tab to the next vertical stop (the region's bottom without "
     "stops); libvterm takes it for a line feed"},
    {"screen.bin", 2, {}, Columns132},
    {"screen.bin", 4, {}, Columns132},
    {"screen.bin", 14, {12, 16},
     "DECRC after a designation: here the character set saved by DECSC comes back, libvterm keeps the "
     "current one, so its line-drawing and diamond rows show ASCII letters"},
};

const KnownDifference* Known(const std::string& file, size_t screen) {
    for (const KnownDifference& k : KnownDifferences)
        if (file == k.file && screen == k.screen) return &k;
    return nullptr;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) all += "\n  " + l;
    return all;
}

int NonBlankCells(TReferencePair& pair) {
    int n = 0;
    for (int row = 1; row <= 24; ++row)
        for (char c : pair.Emulator().Buffer()->LineText(row)) n += c != ' ';
    return n;
}

class VttestScreens : public testing::TestWithParam<std::string> {};

TEST_P(VttestScreens, RenderAsLibvtermRendersThem) {
    const std::vector<std::string> screens = Screens(GetParam());
    ASSERT_GE(screens.size(), 2u) << "no capture " << GetParam();
    TReferencePair pair;
    for (size_t i = 0; i < screens.size(); ++i) {
        pair.Feed(screens[i]);
        const KnownDifference* known = Known(GetParam(), i);
        if (!known) {
            EXPECT_EQ(Join(pair.Differences()), "") << GetParam() << " screen " << i;
        } else {
            EXPECT_NE(Join(pair.Differences()), "") << GetParam() << " screen " << i << " no longer differs: "
                                                     << known->reason;
            if (!known->rows.empty()) {
                EXPECT_EQ(Join(pair.Differences(known->rows)), "") << GetParam() << " screen " << i;
            }
        }
        EXPECT_GT(NonBlankCells(pair), 20) << GetParam() << " screen " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Vt100Reference, VttestScreens,
                         testing::Values("cursor.bin", "screen.bin", "charsets.bin"),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param.substr(0, info.param.find('.'));
                         });

// Random VT100 streams of cursor motion, regions, insert/delete, erase,
// tabs and renditions, from a fixed seed. With `regions` the stream sets
// scroll regions and origin mode and moves the cursor only inside the
// region; without, it uses the whole screen and relative cursor motion.
class StreamGenerator {
public:
    StreamGenerator(uint32_t seed, bool regions) : FRandom(seed), FRegions(regions) {}
    std::string Next() {
        const std::string csi = "\x1b[";
        switch (Pick(0, 17)) {
            case 0: case 1: case 2: {
                std::string t;
                for (int n = Pick(1, 30); n > 0; --n) t += static_cast<char>(Pick(0x20, 0x7E));
                return t;
            }
            case 3: return Position();
            case 4: return FRegions ? "\x1b" + std::string(1, "DEM"[Pick(0, 2)]) : csi + N(0, 30) + "ABCD"[Pick(0, 3)];
            case 5: return std::string(1, "\r\n\b\t"[Pick(0, 3)]);
            case 6:
                if (FRegions) {
                    FTop = Pick(1, 23);
                    FBottom = Pick(FTop + 1, 24);
                    return csi + std::to_string(FTop) + ";" + std::to_string(FBottom) + "r" + Position();
                }
                return "\x1b" + std::string(1, "DEM"[Pick(0, 2)]);
            case 7: return csi + N(0, 10) + "LMP@"[Pick(0, 3)];
            case 8: return csi + N(0, 2) + "JK"[Pick(0, 1)];
            case 9: return Pick(0, 1) ? "\x1bH" : csi + (Pick(0, 1) ? "0" : "3") + "g";
            case 10: {
                static const char* const sgr[] = {"0", "1", "4", "5", "7", "22", "24", "25", "27", ""};
                std::string s = csi + sgr[Pick(0, 9)];
                for (int n = Pick(0, 3); n > 0; --n) s += std::string(";") + sgr[Pick(0, 8)];
                return s + "m";
            }
            case 11:
                if (FRegions) {
                    FOrigin = !FOrigin;
                    return csi + (FOrigin ? "?6h" : "?6l") + Position();
                }
                return Pick(0, 1) ? "\x1b" "7" : "\x1b" "8";
            case 12: return csi + (Pick(0, 1) ? "4h" : "4l");
            case 13: return csi + (Pick(0, 1) ? "?7h" : "?7l");
            default: return std::string(static_cast<size_t>(Pick(1, 4)), static_cast<char>(Pick(0x41, 0x5A)));
        }
    }

private:
    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(FRandom); }
    std::string N(int lo, int hi) {
        const int v = Pick(lo - 1, hi);
        return v < lo ? std::string() : std::to_string(v);  // sometimes the parameter is left out
    }
    // Anywhere on the screen, or inside the region (in its own numbers in origin mode).
    std::string Position() {
        const int row = FRegions ? Pick(FTop, FBottom) - (FOrigin ? FTop - 1 : 0) : Pick(0, 26);
        return "\x1b[" + std::to_string(row) + ";" + N(0, 85) + "H";
    }
    std::mt19937 FRandom;
    bool FRegions;
    bool FOrigin = false;
    int FTop = 1, FBottom = 24;
};


// Blocks of seeds: even seeds use scroll regions and origin mode.
class GeneratedStreams : public testing::TestWithParam<uint32_t> {};

TEST_P(GeneratedStreams, AgreeAfterEveryStep) {
    for (uint32_t seed = GetParam(); seed < GetParam() + 20; ++seed) {
        TReferencePair pair;
        StreamGenerator gen(seed, seed % 2 == 0);
        std::string stream;
        for (int step = 0; step < 400; ++step) {
            const std::string bytes = gen.Next();
            stream += bytes;
            pair.Feed(bytes);
            const std::vector<std::string> d = pair.Differences();
            if (!d.empty()) {
                ADD_FAILURE() << "seed " << seed << " step " << step << Join(d) << "\n  stream tail: "
                              << testing::PrintToString(stream.substr(stream.size() > 200 ? stream.size() - 200 : 0));
                break;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Vt100Reference, GeneratedStreams, testing::Range(1u, 201u, 20u));

// The listed differences, each shown on both sides.
struct Difference {
    const char* name;
    std::string input;
    int row, col, vtRow, vtCol;  // cursor here and in libvterm
    std::string line1, vtLine1;   // screen row 1 here and in libvterm
};
void PrintTo(const Difference& d, std::ostream* os) { *os << d.name; }

class ListedDifferences : public testing::TestWithParam<Difference> {};

std::string Row1(const TVtermScreen& vt) {
    std::string s;
    for (int c = 0; c < 80; ++c) s += static_cast<char>(vt.Char(0, c));
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

TEST_P(ListedDifferences, BehaveAsListed) {
    const Difference& d = GetParam();
    TReferencePair pair;
    pair.Emulator().ProcessBlock(reinterpret_cast<const uint8_t*>(d.input.data()), static_cast<int>(d.input.size()),
                                 csPort);
    TVtermScreen vt(24, 80);
    vt.Feed(d.input);
    const TQnTerminalBuffer& b = *pair.Emulator().Buffer();
    std::string mine = b.LineText(1);
    while (!mine.empty() && mine.back() == ' ') mine.pop_back();
    EXPECT_EQ(std::make_pair(b.CursorScreenRow(), b.CursorScreenCol()), std::make_pair(d.row, d.col));
    EXPECT_EQ(std::make_pair(vt.CursorRow() + 1, vt.CursorCol() + 1), std::make_pair(d.vtRow, d.vtCol));
    EXPECT_EQ(mine, d.line1);
    EXPECT_EQ(Row1(vt), d.vtLine1);
}

const std::string CSI = "\x1b[";
const Difference Differences[] = {
    // This terminal's VT and FF: vertical tab to the next stop, and erase screen.
    {"VerticalTab", "a\x0b", 24, 2, 2, 2, "a", "a"},
    {"FormFeed", "a\x0c", 1, 2, 2, 2, "", "a"},
    // CAN and SUB inside a sequence are ignored here; libvterm ends the sequence.
    {"CancelInsideSequence", "ab" + CSI + "2\x18" "Jc", 1, 4, 1, 5, "  c", "abJc"},
    // The scroll region homes the cursor to its own top-left here, to 1;1 there.
    {"RegionHoming", CSI + "5;10r", 5, 1, 1, 1, "", ""},
    // Origin mode leaves the cursor where it is here; libvterm homes it.
    {"OriginModeHoming", CSI + "5;10r" + CSI + "20;5H" + CSI + "?6h", 20, 5, 5, 1, "", ""},
    // ECH past the end of the line goes on with the next row here.
    {"EraseCharsPastTheLine", "x" + std::string(79, 'a') + "bcd" + CSI + "1;79H" + CSI + "5X", 1, 79, 1, 79,
     "x" + std::string(77, 'a'), "x" + std::string(77, 'a')},
    // Cursor up stops at the region's top here (as on a VT100); libvterm goes on.
    {"CursorUpStopsAtRegionTop", CSI + "5;10r" + CSI + "6;1H" + CSI + "4A", 5, 1, 2, 1, "", ""},
    // DECSC / DECRC keep the row in the current addressing and not origin mode.
    {"RestoreInOriginMode", CSI + "5;10r" + CSI + "2;1H\x1b" "7" + CSI + "?6h\x1b" "8", 6, 1, 2, 1, "", ""},
};

INSTANTIATE_TEST_SUITE_P(Vt100Reference, ListedDifferences, testing::ValuesIn(Differences),
                         [](const testing::TestParamInfo<Difference>& info) { return std::string(info.param.name); });

TEST(Vt100Reference, ColumnSwitchIsSpelledOutForLibvterm) {
    // libvterm ignores DECCOLM; the pair hands it the erase, home and region
    // reset that go with it, so the screens agree again afterwards.
    TReferencePair pair;
    pair.Feed("text" + CSI + "5;10r" + CSI + "?3h" + CSI + "?3lafter");
    EXPECT_EQ(Join(pair.Differences()), "");
    EXPECT_EQ(pair.Emulator().Buffer()->LineText(1).substr(0, 6), "after ");
    TVtermScreen raw(24, 80);
    raw.Feed("text" + CSI + "?3h" + CSI + "?3lafter");
    EXPECT_EQ(Row1(raw), "textafter");
}

TEST(Vt100Reference, RomCharacterSetsAreLeftOut) {
    // libvterm has no ROM sets: their cells are not compared.
    TReferencePair pair;
    pair.Feed("\x1b(1ab\x1b(2cd");
    EXPECT_EQ(pair.Emulator().Buffer()->CharSetAt(1, 1), csROM1);
    EXPECT_EQ(pair.Emulator().Buffer()->CharSetAt(1, 3), csROM2);
    EXPECT_EQ(Join(pair.Differences()), "");
}

}  // namespace
