#pragma once
// The VT100 emulator beside libvterm's screen layer: the same bytes go to
// both, and the screens are compared cell by cell (characters, bold,
// underline, blink, reverse) and by cursor position.

#include <cstdint>
#include <string>
#include <vector>

#include "console/QnTrmVT100.h"
#include "support/FakeTerminalHost.h"

struct VTerm;
struct VTermScreen;

namespace tavrin::test {

class TVtermScreen {
public:
    TVtermScreen(int rows, int cols);
    ~TVtermScreen();
    TVtermScreen(const TVtermScreen&) = delete;
    TVtermScreen& operator=(const TVtermScreen&) = delete;

    void Feed(const std::string& bytes);
    // The character of a cell (0-based), 0 read as a space.
    uint32_t Char(int row, int col) const;
    // Bold 1, underline 2, blink 8, reverse 16: the buffer's attribute bits.
    TQnCharAttrs Attrs(int row, int col) const;
    int CursorRow() const;  // 0-based
    int CursorCol() const;

private:
    VTerm* FVt;
    VTermScreen* FScreen;
};

// The emulator on a buffer of the same size, with the comparison.
class TReferencePair {
public:
    TReferencePair(int rows = 24, int cols = 80);
    ~TReferencePair();

    void Feed(const std::string& bytes);
    TQnVT100Emulator& Emulator() { return FEmulator; }
    TVtermScreen& Vterm() { return FVterm; }
    // One line per differing cell (up to `limit`) and for the cursor; empty
    // when the screens agree. Rows listed in `skipRows` (1-based) are not
    // compared, nor the cursor when `cursor` is false.
    std::vector<std::string> Differences(const std::vector<int>& skipRows = {}, bool cursor = true,
                                         size_t limit = 12) const;

private:
    uint32_t ExpectedChar(int row, int col) const;
    static std::string ForLibvterm(const std::string& bytes);

    TFakeTerminalHost FHost;
    TQnVT100Emulator FEmulator;
    TVtermScreen FVterm;
    int FRows, FCols;
};

}  // namespace tavrin::test
