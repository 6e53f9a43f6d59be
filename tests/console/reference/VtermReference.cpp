// libvterm's screen beside the VT100 emulator.
#include "reference/VtermReference.h"

#include <vterm.h>

#include <algorithm>
#include <array>
#include <cstdio>

namespace tavrin::test {

TVtermScreen::TVtermScreen(int rows, int cols) : FVt(vterm_new(rows, cols)) {
    vterm_set_utf8(FVt, 0);  // the host program's bytes are 8-bit characters
    FScreen = vterm_obtain_screen(FVt);
    vterm_screen_reset(FScreen, 1);
}

TVtermScreen::~TVtermScreen() { vterm_free(FVt); }

void TVtermScreen::Feed(const std::string& bytes) { vterm_input_write(FVt, bytes.data(), bytes.size()); }

uint32_t TVtermScreen::Char(int row, int col) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(FScreen, VTermPos{row, col}, &cell);
    return cell.chars[0] == 0 ? ' ' : cell.chars[0];
}

TQnCharAttrs TVtermScreen::Attrs(int row, int col) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(FScreen, VTermPos{row, col}, &cell);
    TQnCharAttrs a = 0;
    if (cell.attrs.bold) a |= atBold;
    if (cell.attrs.underline) a |= atUnderline;
    if (cell.attrs.blink) a |= atBlink;
    if (cell.attrs.reverse) a |= atReverse;
    return a;
}

int TVtermScreen::CursorRow() const {
    VTermPos pos{};
    vterm_state_get_cursorpos(vterm_obtain_state(FVt), &pos);
    return pos.row;
}

int TVtermScreen::CursorCol() const {
    VTermPos pos{};
    vterm_state_get_cursorpos(vterm_obtain_state(FVt), &pos);
    return pos.col;
}

namespace {

// What libvterm shows for a character of a designated set, asked of
// libvterm itself once per set: the emulator keeps the letter and its set
// number, libvterm the translated character.
uint32_t Translated(uint8_t set, uint8_t ch) {
    static const auto tables = [] {
        std::array<std::array<uint32_t, 128>, 3> t{};
        const char finals[3] = {'B', 'A', '0'};  // USASCII, UK, line drawing
        for (int s = 0; s < 3; ++s)
            for (int c = 0x20; c < 0x7F; ++c) {
                TVtermScreen probe(1, 2);
                probe.Feed(std::string("\x1b(") + finals[s] + static_cast<char>(c));
                t[static_cast<size_t>(s)][static_cast<size_t>(c)] = probe.Char(0, 0);
            }
        return t;
    }();
    return tables[set][ch & 0x7F];
}

}  // namespace

TReferencePair::TReferencePair(int rows, int cols) : FVterm(rows, cols), FRows(rows), FCols(cols) {
    FEmulator.SetTerminal(&FHost);
    FEmulator.Buffer()->SetRowCount(rows);
    FEmulator.Buffer()->SetColCount(cols);
}

TReferencePair::~TReferencePair() { FEmulator.SetTerminal(nullptr); }

void TReferencePair::Feed(const std::string& bytes) {
    FEmulator.ProcessBlock(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()), csPort);
    FVterm.Feed(ForLibvterm(bytes));
    // Here every editing, tab and mode command ends a pending wrap, and a
    // pending wrap does nothing while wrapping is off; libvterm keeps it
    // across some of them and wraps regardless. When no wrap is pending here,
    // libvterm's is ended too, by moving it to the column it is in.
    const TQnTerminalBuffer& b = *FEmulator.Buffer();
    if (!b.BeyondMargin() || !b.UseAutoWrap) FVterm.Feed("\x1b[" + std::to_string(FVterm.CursorCol() + 1) + "G");
}

// libvterm ignores the column switch (DECCOLM); the erase, home and region
// reset that goes with it on a VT100, and here, are spelled out for it.
std::string TReferencePair::ForLibvterm(const std::string& bytes) {
    static const std::string columns[] = {"\x1b[?3h", "\x1b[?3l"};
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        out += bytes[i];
        for (const std::string& c : columns)
            if (i + 1 >= c.size() && bytes.compare(i + 1 - c.size(), c.size(), c) == 0)
                out += "\x1b[r\x1b[2J\x1b[H";
    }
    return out;
}

// The character the emulator's cell stands for, in libvterm's terms; 0
// for cells of the two ROM sets, which libvterm does not have.
uint32_t TReferencePair::ExpectedChar(int row, int col) const {
    const TQnTerminalBuffer& b = *FEmulator.Buffer();
    const auto ch = static_cast<uint8_t>(b.CharAt(row + 1, col + 1));
    const uint8_t set = b.CharSetAt(row + 1, col + 1);
    if (ch < 0x20 || ch >= 0x7F) return ch;
    switch (set) {
        case csUSASCII: return Translated(0, ch);
        case csUK: return Translated(1, ch);
        case csLineDraw: return Translated(2, ch);
        default: return 0;
    }
}

std::vector<std::string> TReferencePair::Differences(const std::vector<int>& skipRows, bool cursor,
                                                    size_t limit) const {
    std::vector<std::string> out;
    const TQnTerminalBuffer& b = *FEmulator.Buffer();
    char text[160];
    const int cols = std::min(FCols, b.ColCount());
    for (int r = 0; r < FRows && out.size() < limit; ++r) {
        if (std::find(skipRows.begin(), skipRows.end(), r + 1) != skipRows.end()) continue;
        for (int c = 0; c < cols && out.size() < limit; ++c) {
            const uint32_t mine = ExpectedChar(r, c);
            const uint32_t theirs = FVterm.Char(r, c);
            if (mine != 0 && mine != theirs) {
                std::snprintf(text, sizeof text, "row %d col %d: char U+%04X here, U+%04X in libvterm", r + 1, c + 1,
                              mine, theirs);
                out.emplace_back(text);
                continue;
            }
            // Blank cells keep the attributes of the erasure here (the
            // buffer fills with the current attributes), none in libvterm.
            if (theirs == ' ') continue;
            const TQnCharAttrs compared = atBold | atUnderline | atBlink | atReverse;
            // libvterm shows a reversed screen in the cells' reverse bit.
            const TQnCharAttrs screen = FEmulator.ReverseScreen() ? atReverse : 0;
            const TQnCharAttrs a = (b.AttrAt(r + 1, c + 1) ^ screen) & compared;
            if (a != FVterm.Attrs(r, c)) {
                std::snprintf(text, sizeof text, "row %d col %d: attributes %02X here, %02X in libvterm", r + 1, c + 1,
                              a, FVterm.Attrs(r, c));
                out.emplace_back(text);
            }
        }
    }
    if (cursor && (b.CursorScreenRow() != FVterm.CursorRow() + 1 || b.CursorScreenCol() != FVterm.CursorCol() + 1)) {
        std::snprintf(text, sizeof text, "cursor %d;%d here, %d;%d in libvterm", b.CursorScreenRow(),
                      b.CursorScreenCol(), FVterm.CursorRow() + 1, FVterm.CursorCol() + 1);
        out.emplace_back(text);
    }
    return out;
}

}  // namespace tavrin::test
