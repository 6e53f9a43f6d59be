#pragma once
// Terminal emulators: the base every emulator shares (terminal link, screen
// buffer, character output towards the keyboard callback, port and local
// echo, saved cursor, per-character hook and the generic command executor)
// and the plain teletype emulator that every terminal keeps as its fallback.
//
// Emulators know their terminal only through TQnTerminalHost and paint only
// through TQnTerminalPainter, so they run without any widget. The Qt window
// that implements both is TQnCustomTerminal (QnTerminal.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/core/QnCmdList.h"
#include "console/core/QnMisc.h"
#include "console/core/QnTrmBuf.h"
#include "console/core/QnTrmTextPaint.h"
#include "platform/core/VirtualKeyCodes.h"

enum TQnCharSource : uint8_t { csUnknown = 0, csKeyboard = 1, csPort = 2, csWriteChar = 3 };
enum TQnCursorType : uint8_t { ctNone = 0, ctUnderline = 1, ctBlock = 2 };

class TQnTerminalEmulator;

// Line settings of a terminal's serial port, as a VT100 reports them.
struct TQnPortLine {
    uint32_t Baud = 0;
    uint8_t Parity = 0;  // 0 none, 1 odd, 2 even
    uint8_t DataBits = 8;
};

// What the painting code reads of the terminal's view onto the buffer:
// first visible column and row (1-based screen numbers, the row below 1
// while the scrollback is viewed), the counts of drawn cells including a
// partly visible last one, and the cell size in pixels.
struct TQnTerminalView {
    int LeftCol = 1;
    int TopRow = 1;
    int DrawCols = 0;
    int DrawRows = 0;
    int CharWidth = 1;
    int CharHeight = 1;
};

// The cells under a painter's clip box: screen columns and rows, inclusive,
// numbered as the view counts them.
struct TQnClipCells {
    int FromCol = 1;
    int ToCol = 0;
    int TopRow = 1;
    int BottomRow = 0;
};
// False for an empty clip box, which covers no cell.
bool QnClipCells(const TQnTerminalView& view, const TQnRect& clip, TQnClipCells& cells);

// The services of a terminal window that an emulator uses.
class TQnTerminalHost {
public:
    virtual ~TQnTerminalHost() = default;

    // The user emulator (nullptr while the terminal's own one is in use).
    virtual TQnTerminalEmulator* Emulator() const = 0;
    virtual void SetEmulator(TQnTerminalEmulator* emulator) = 0;

    virtual bool HalfDuplex() const = 0;
    virtual bool UseLazyDisplay() const = 0;
    virtual bool FreezeScrollBack() const = 0;
    virtual TColor Color() const = 0;  // background of the window
    virtual void SetColor(TColor c) = 0;
    virtual TColor FontColor() const = 0;
    virtual void SetFontColor(TColor c) = 0;
    virtual void SetCursorType(TQnCursorType t) = 0;
    virtual TQnTerminalView View() const = 0;
    // Column count of the terminal (its emulator's buffer), e.g. 80 / 132.
    virtual void SetColumns(int n) = 0;
    // Schedules a repaint, through the emulator's Paint, of one screen row
    // (1-based, as the view counts rows) when it is in view.
    virtual void InvalidateRow(int /*row*/) {}

    // Called by the emulator for every cursor move of its buffer (1-based
    // row and column in the buffer's addressing): schedule a repaint, keep
    // the cursor in view and tell the terminal's own listeners.
    virtual void BufferCursorMoved(TQnTerminalEmulator& sender, int row, int col) = 0;
    // A character typed on the terminal, on its way to the host program.
    virtual void KeyboardData(TQnTerminalEmulator& sender, char ch) = 0;
    virtual void Beep() {}
    // The NumLock key was sent as a terminal key: put the keyboard's lock back.
    virtual void RestoreNumLock() {}

    // Serial-port link; a terminal without a port answers false, drops
    // output and has no line settings.
    virtual bool PortOpen() const { return false; }
    virtual bool PortServesTerminal() const { return false; }
    virtual void PortWriteChar(char) {}
    virtual void PortWriteString(const std::string&) {}
    virtual std::optional<TQnPortLine> PortLine() const { return std::nullopt; }
};

// Drawing surface of a terminal, in client pixels. Rectangles are
// half-open: Right and Bottom are one past the last pixel.
class TQnTerminalPainter {
public:
    virtual ~TQnTerminalPainter() = default;
    virtual TQnRect ClipBox() const = 0;
    virtual void FillRect(const TQnRect& r, TColor color) = 0;
    // Fills `opaque` with `fill`, then draws the glyph bytes from (x, y) (top
    // left of the first cell) with a fixed advance per glyph. An empty font
    // name means the terminal's own font.
    virtual void TextOut(int x, int y, const TQnRect& opaque, const char* glyphs, int count, int advance, TColor text,
                         TColor fill, const std::string& fontName, bool doubleHeight) = 0;
    virtual void Line(int x1, int y1, int x2, int y2, TColor color) = 0;
};

// Pairs a terminal with its user emulator; both sides' setters call these,
// and the early return of the first ends the mutual calls after one round.
void AttachTerminalEmulator(TQnTerminalHost* terminal, TQnTerminalEmulator* emulator);
void DetachTerminalEmulator(TQnTerminalHost* terminal, bool unhook);
// The emulator paired with a terminal, or nullptr.
TQnTerminalEmulator* PairedEmulator(const TQnTerminalHost* terminal);

class TQnTerminalEmulator : public TQnBaseComponent {
public:
    // Per-character hook: may replace the character (ReplaceWith) and queue
    // generic commands, which are executed before the replacement is shown.
    using TQnOnProcessChar = std::function<void(TQnTerminalEmulator& sender, char character, std::string& replaceWith,
                                                TQnEmuCommandList& commands, TQnCharSource source)>;

    TQnTerminalEmulator();
    ~TQnTerminalEmulator() override;

    std::string Answerback = "QUONterm";
    TQnOnProcessChar OnProcessChar;

    TQnTerminalBuffer* Buffer() const { return FBuffer.get(); }
    TQnTerminalHost* Terminal() const { return FTerminal; }
    // The emulator is a terminal's own fallback: it never pairs.
    bool Internal() const { return FInternal; }
    void SetInternal(bool internal) { FInternal = internal; }

    virtual bool NeedsUpdate();
    virtual void SetTerminal(TQnTerminalHost* terminal);
    virtual void ClearScreen() {}
    virtual void ClearAll() {}
    virtual void SendChar(char ch, bool echo, TQnCharSource source);
    virtual void BlinkPaint(TQnTerminalPainter&, bool /*phase*/) {}
    virtual bool HasBlinkingText() { return false; }
    virtual void KeyDown(uint16_t& /*key*/, TShiftState /*shift*/) {}
    virtual void KeyPress(char& /*key*/) {}
    virtual void LazyPaint(TQnTerminalPainter&) {}
    virtual void Paint(TQnTerminalPainter&) {}
    virtual void ProcessBlock(const uint8_t* /*data*/, int /*len*/, TQnCharSource /*source*/) {}
    // Fonts the emulator draws with besides the terminal's own (the cell is
    // measured over all of them); empty for a plain emulator.
    virtual std::vector<std::string> FontNames() const { return {}; }

    void ExecuteCommand(TQnEmuCommand command, const TQnEmuCommandParams* params);
    void ExecuteCommandList(const TQnEmuCommandList& list);

protected:
    // The buffer's cursor-moved callback; descendants install it.
    void BufferCursorMoved(TQnTerminalBuffer& sender, int row, int col);
    // Descendants create their buffer and hand it over here.
    void AdoptBuffer(std::unique_ptr<TQnTerminalBuffer> buffer);
    // A reply to the host, sent only through a port that serves this terminal.
    void PortReply(const std::string& text);
    // Runs OnProcessChar (which must be set) on one received character and
    // executes the commands it queued; returns the text to show instead.
    std::string RunProcessCharHook(char ch, TQnCharSource source);

    TQnEmuCommandList FCommands;
    TQnTerminalHost* FTerminal = nullptr;

private:
    struct TSavedCursor {
        bool Valid = false;
        TQnCharAttrs Attrs = 0;
        TColor Back = 0;
        uint8_t CharSet = 0;
        int Col = 1;
        TColor Fore = 0;
        int Row = 1;
    };
    void SaveCursor();
    void RestoreCursor();

    std::unique_ptr<TQnTerminalBuffer> FBuffer;
    bool FInternal = false;
    TSavedCursor FSaved;
};

// Plain teletype: printable bytes are written, CR, LF, BS, HT and BEL act,
// every other control byte is ignored. Painted in runs of equal colours.
class TQnTTYEmulator : public TQnTerminalEmulator {
public:
    TQnTTYEmulator();

    void ClearScreen() override;
    void ClearAll() override;
    void KeyPress(char& key) override;
    void LazyPaint(TQnTerminalPainter& painter) override;
    void Paint(TQnTerminalPainter& painter) override;
    void ProcessBlock(const uint8_t* data, int len, TQnCharSource source) override;

private:
    void HandleChar(char c);
    void FollowTerminalColors();

    TQnTextPaint FTextPaint;
    bool FRepaintAll = false;
};

// Text colour and fill colour of a cell as drawn, from its stored colours
// and attributes: reverse (flipped again by selection and by a reversed
// screen), invisible (text in the fill colour) and bold (brightened fore).
void QnCellColors(TColor fore, TColor back, TQnCharAttrs attrs, bool reverseScreen, TColor& text, TColor& fill);
TColor QnBrighten(TColor c);
