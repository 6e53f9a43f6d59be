// The VT100 emulator against libvterm's screen on the same byte streams:
// captured vttest screens (see tests/console/vttest/README) and generated
// streams, compared after every screen or step. Where this terminal differs
// from libvterm on purpose, the emulator's own tests show it.
#include <gtest/gtest.h>
#include <vterm.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "console/core/QnTrmVT100.h"
#include "support/FakeTerminalHost.h"

namespace {

// libvterm's screen layer with 8-bit characters.
class VtermScreen {
public:
    VtermScreen(int rows, int cols) : FVt(vterm_new(rows, cols)), FScreen(vterm_obtain_screen(FVt)) {
        vterm_set_utf8(FVt, 0);  // the host program's bytes are 8-bit characters
        vterm_screen_reset(FScreen, 1);
    }
    ~VtermScreen() { vterm_free(FVt); }
    VtermScreen(const VtermScreen&) = delete;
    VtermScreen& operator=(const VtermScreen&) = delete;

    void Feed(const std::string& bytes) { vterm_input_write(FVt, bytes.data(), bytes.size()); }
    // A cell (0-based); its character 0 is read as a space.
    VTermScreenCell Cell(int row, int col) const {
        VTermScreenCell cell{};
        vterm_screen_get_cell(FScreen, VTermPos{row, col}, &cell);
        if (cell.chars[0] == 0) cell.chars[0] = ' ';
        return cell;
    }
    // In the buffer's attribute bits.
    TQnCharAttrs Attrs(int row, int col) const {
        const VTermScreenCell c = Cell(row, col);
        return (c.attrs.bold ? atBold : 0) | (c.attrs.underline ? atUnderline : 0) | (c.attrs.blink ? atBlink : 0) |
               (c.attrs.reverse ? atReverse : 0);
    }
    VTermPos Cursor() const {  // 0-based
        VTermPos pos{};
        vterm_state_get_cursorpos(vterm_obtain_state(FVt), &pos);
        return pos;
    }

private:
    VTerm* FVt;
    VTermScreen* FScreen;
};

// What libvterm shows for a character of a designated set (USASCII, UK, line
// drawing), asked of libvterm itself once per set: the emulator keeps the
// letter and its set number, libvterm the translated character.
uint32_t Translated(uint8_t set, uint8_t ch) {
    static const auto tables = [] {
        std::array<std::array<uint32_t, 128>, 3> t{};
        for (size_t s = 0; s < 3; ++s)
            for (int c = 0x20; c < 0x7F; ++c) {
                VtermScreen probe(1, 2);
                probe.Feed(std::string("\x1b(") + "BA0"[s] + static_cast<char>(c));
                t[s][static_cast<size_t>(c)] = probe.Cell(0, 0).chars[0];
            }
        return t;
    }();
    return tables[set][ch & 0x7F];
}

// The emulator on a 24 x 80 buffer beside libvterm, compared cell by cell.
class ReferencePair {
public:
    ReferencePair() { FEmulator.SetTerminal(&FHost); }
    ~ReferencePair() { FEmulator.SetTerminal(nullptr); }

    void Feed(const std::string& bytes) {
        FEmulator.ProcessBlock(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()), csPort);
        FVterm.Feed(ForLibvterm(bytes));
        // Here every editing, tab and mode command ends a pending wrap, and a
        // pending wrap does nothing while wrapping is off; libvterm keeps it
        // across some of them and wraps regardless. When no wrap is pending
        // here, libvterm's is ended too, by moving it to the column it is in.
        const TQnTerminalBuffer& b = *FEmulator.Buffer();
        if (!b.BeyondMargin() || !b.UseAutoWrap) FVterm.Feed("\x1b[" + std::to_string(FVterm.Cursor().col + 1) + "G");
    }
    const TQnTerminalBuffer& Buffer() { return *FEmulator.Buffer(); }

    // One line per differing cell (up to 12) and for the cursor, all joined;
    // empty when the screens agree. Rows in `skipRows` (1-based) are left out.
    std::string Differences(const std::vector<int>& skipRows = {}) const {
        std::ostringstream out;
        const TQnTerminalBuffer& b = *FEmulator.Buffer();
        // libvterm shows a reversed screen in the cells' reverse bit.
        const TQnCharAttrs screen = FEmulator.ReverseScreen() ? atReverse : 0;
        int count = 0;
        for (int r = 0; r < 24; ++r) {
            if (std::find(skipRows.begin(), skipRows.end(), r + 1) != skipRows.end()) continue;
            for (int c = 0; c < std::min(80, b.ColCount()) && count < 12; ++c) {
                const uint32_t mine = ExpectedChar(r, c), theirs = FVterm.Cell(r, c).chars[0];
                const int a = (b.AttrAt(r + 1, c + 1) ^ screen) & (atBold | atUnderline | atBlink | atReverse);
                // Blank cells keep the attributes of the erasure here (the buffer
                // fills with the current attributes), none in libvterm.
                if ((mine == 0 || mine == theirs) && (theirs == ' ' || a == FVterm.Attrs(r, c))) continue;
                out << "\n  row " << r + 1 << " col " << c + 1 << std::hex << ": U+" << mine << " attributes " << a
                    << " here, U+" << theirs << " attributes " << int(FVterm.Attrs(r, c)) << std::dec << " in libvterm";
                ++count;
            }
        }
        const VTermPos at = FVterm.Cursor();
        if (b.CursorScreenRow() != at.row + 1 || b.CursorScreenCol() != at.col + 1)
            out << "\n  cursor " << b.CursorScreenRow() << ";" << b.CursorScreenCol() << " here, " << at.row + 1 << ";"
                << at.col + 1 << " in libvterm";
        return out.str();
    }

private:
    // The character the emulator's cell stands for, in libvterm's terms; 0
    // for cells of the two ROM sets, which libvterm does not have.
    uint32_t ExpectedChar(int row, int col) const {
        const TQnTerminalBuffer& b = *FEmulator.Buffer();
        const auto ch = static_cast<uint8_t>(b.CharAt(row + 1, col + 1));
        const uint8_t set = b.CharSetAt(row + 1, col + 1);
        if (ch < 0x20 || ch >= 0x7F) return ch;
        return set == csUSASCII    ? Translated(0, ch)
               : set == csUK       ? Translated(1, ch)
               : set == csLineDraw ? Translated(2, ch)
                                   : 0;
    }
    // libvterm ignores the column switch (DECCOLM); the erase, home and
    // region reset that go with it on a VT100, and here, are spelled out.
    static std::string ForLibvterm(const std::string& bytes) {
        std::string out;
        for (size_t i = 0; i < bytes.size(); ++i) {
            out += bytes[i];
            if (i >= 4 && (bytes.compare(i - 4, 5, "\x1b[?3h") == 0 || bytes.compare(i - 4, 5, "\x1b[?3l") == 0))
                out += "\x1b[r\x1b[2J\x1b[H";
        }
        return out;
    }

    tavrin::test::TFakeTerminalHost FHost;
    TQnVT100Emulator FEmulator;
    VtermScreen FVterm{24, 80};
};

std::vector<std::string> Screens(const std::string& name) {
    std::ifstream in(std::string(TAVRIN_SOURCE_DIR) + "/tests/console/vttest/" + name, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> screens;
    for (size_t pos = 0; pos + 4 <= data.size();) {
        size_t len = 0;
        for (int i = 3; i >= 0; --i) len = len << 8 | static_cast<uint8_t>(data[pos + static_cast<size_t>(i)]);
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
    {"cursor.bin",
     4,
     {},
     "VT (0Bh) inside sequences: here a vertical tab to the next vertical stop (the region's bottom without "
     "stops); libvterm takes it for a line feed"},
    {"screen.bin", 2, {}, Columns132},
    {"screen.bin", 4, {}, Columns132},
    {"screen.bin",
     14,
     {12, 16},
     "DECRC after a designation: here the character set saved by DECSC comes back, libvterm keeps the "
     "current one, so its line-drawing and diamond rows show ASCII letters"},
};

class VttestScreens : public testing::TestWithParam<std::string> {};

TEST_P(VttestScreens, RenderAsLibvtermRendersThem) {
    const std::vector<std::string> screens = Screens(GetParam());
    ASSERT_GE(screens.size(), 2u) << "no capture " << GetParam();
    ReferencePair pair;
    for (size_t i = 0; i < screens.size(); ++i) {
        pair.Feed(screens[i]);
        const auto known = std::find_if(std::begin(KnownDifferences), std::end(KnownDifferences),
                                        [&](const auto& k) { return GetParam() == k.file && i == k.screen; });
        if (known == std::end(KnownDifferences)) {
            EXPECT_EQ(pair.Differences(), "") << GetParam() << " screen " << i;
        } else {
            EXPECT_NE(pair.Differences(), "")
                << GetParam() << " screen " << i << " no longer differs: " << known->reason;
            if (!known->rows.empty()) {
                EXPECT_EQ(pair.Differences(known->rows), "") << GetParam() << " screen " << i;
            }
        }
        int shown = 0;
        for (int row = 1; row <= 24; ++row)
            for (char c : pair.Buffer().LineText(row)) shown += c != ' ';
        EXPECT_GT(shown, 20) << GetParam() << " screen " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Vt100Reference, VttestScreens, testing::Values("cursor.bin", "screen.bin", "charsets.bin"),
                         [](const testing::TestParamInfo<std::string>& row) {
                             return row.param.substr(0, row.param.find('.'));
                         });

// Streams the generated ones below do not reach: writing on rows outside a
// scroll region, where autowrap is a return and a line feed that may have
// nowhere to go.
TEST(Vt100Reference, WrapOutsideTheRegionAgrees) {
    const std::string csi = "\x1b[";
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"bottom row below the region", csi + "5;10r" + csi + "24;1H" + std::string(81, 'a')},
        {"bottom row, two lines", csi + "5;10r" + csi + "24;1H" + std::string(80, 'a') + std::string(81, 'b')},
        {"row below the region", csi + "5;10r" + csi + "20;1H" + std::string(170, 'c')},
        {"row above the region", csi + "5;10r" + csi + "1;1H" + std::string(90, 'd')},
        {"top row above the region", csi + "3;10r" + csi + "1;75H" + std::string(20, 'e')},
    };
    for (const auto& c : cases) {
        ReferencePair pair;
        pair.Feed(c.bytes);
        EXPECT_EQ(pair.Differences(), "") << c.name;
    }
}

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
            case 0:
            case 1:
            case 2: {
                std::string t;
                for (int n = Pick(1, 30); n > 0; --n) t += static_cast<char>(Pick(0x20, 0x7E));
                return t;
            }
            case 3:
                return Position();
            case 4:
                return FRegions ? "\x1b" + std::string(1, "DEM"[Pick(0, 2)]) : csi + N(0, 30) + "ABCD"[Pick(0, 3)];
            case 5:
                return std::string(1, "\r\n\b\t"[Pick(0, 3)]);
            case 6:
                if (FRegions) {
                    FTop = Pick(1, 23);
                    FBottom = Pick(FTop + 1, 24);
                    return csi + std::to_string(FTop) + ";" + std::to_string(FBottom) + "r" + Position();
                }
                return "\x1b" + std::string(1, "DEM"[Pick(0, 2)]);
            case 7:
                return csi + N(0, 10) + "LMP@"[Pick(0, 3)];
            case 8:
                return csi + N(0, 2) + "JK"[Pick(0, 1)];
            case 9:
                return Pick(0, 1) ? "\x1bH" : csi + (Pick(0, 1) ? "0" : "3") + "g";
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
                return Pick(0, 1) ? "\x1b"
                                    "7"
                                  : "\x1b"
                                    "8";
            case 12:
                return csi + (Pick(0, 1) ? "4h" : "4l");
            case 13:
                return csi + (Pick(0, 1) ? "?7h" : "?7l");
            default:
                return std::string(static_cast<size_t>(Pick(1, 4)), static_cast<char>(Pick(0x41, 0x5A)));
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
        ReferencePair pair;
        StreamGenerator gen(seed, seed % 2 == 0);
        std::string stream;
        for (int step = 0; step < 400; ++step) {
            const std::string bytes = gen.Next();
            stream += bytes;
            pair.Feed(bytes);
            const std::string d = pair.Differences();
            if (!d.empty()) {
                ADD_FAILURE() << "seed " << seed << " step " << step << d << "\n  stream tail: "
                              << testing::PrintToString(stream.substr(stream.size() > 200 ? stream.size() - 200 : 0));
                break;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Vt100Reference, GeneratedStreams, testing::Range(1u, 201u, 20u));

}  // namespace
