// The VT100 emulator: byte processing and command execution.
#include "console/core/QnTrmVT100.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

// SGR colours 30..37 / 40..47 as 00BBGGRRh values.
constexpr TColor SgrColors[8] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0};

// Code page 437 box drawing B0h..DAh as line-drawing letters.
constexpr char BoxLetters[] =
    "aaaxuuukkuxkjjjkmvwtqntt"  // B0h..C7h
    "mlvwtqnvvwwmmllnnjl";      // C8h..DAh
static_assert(sizeof BoxLetters - 1 == 0xDA - 0xB0 + 1);

}  // namespace

const char* QnVT100CharSetName(uint8_t number) {
    static const char* const names[] = {"VT100-USASCII", "VT100-UK", "VT100-linedraw", "VT100-ROM1", "VT100-ROM2"};
    return number < 5 ? names[number] : names[0];
}

TQnVT100Emulator::TQnVT100Emulator() {
    AdoptBuffer(std::make_unique<TQnTerminalBuffer>(false));
    FLineAttrs = std::make_unique<TQnLineAttrArray>(*Buffer());
    FPaint = std::make_unique<TQnVT100Paint>(*Buffer(), *FLineAttrs, FCharSetMap);
    Buffer()->OnScroll = [this](TQnTerminalBuffer&, int count, int first, int last) {
        FLineAttrs->Scroll(count, first, last);
    };
    std::string error;
    if (!FKeyMap.LoadFromRes(QnVT100KeyMapResource, &error)) FMapLoadError = error;
    if (!FCharSetMap.LoadFromRes(QnVT100CharSetResource, &error))
        FMapLoadError += (FMapLoadError.empty() ? "" : " ") + error;
}

TQnVT100Emulator::~TQnVT100Emulator() {
    if (Buffer()) Buffer()->OnScroll = nullptr;
}

// --- modes ----------------------------------------------------------------------

void TQnVT100Emulator::SetCol132Mode(bool on) {
    if (on == FCol132Mode) return;
    FCol132Mode = on;
    const int columns = on ? 132 : 80;
    if (FTerminal)
        FTerminal->SetColumns(columns);
    else
        Buffer()->SetColCount(columns);
}

void TQnVT100Emulator::SetOriginMode(bool on) {
    if (on == FOriginMode) return;
    FOriginMode = on;
    Buffer()->UseAbsAddress = !on;
}

void TQnVT100Emulator::SetReverseScreen(bool on) {
    if (on == FReverseScreen) return;
    FReverseScreen = on;
    FPaint->ReverseScreen = on;
    FPaint->RepaintAll = true;
}

void TQnVT100Emulator::SetMode(int mode, bool on) {
    if (mode == 4)
        Buffer()->UseInsertMode = on;
    else if (mode == 20)
        Buffer()->UseNewLineMode = on;
}

void TQnVT100Emulator::SetPrivateMode(int mode, bool on) {
    switch (mode) {
        case 1:
            CursorKeyAppMode = on;
            break;
        case 2:
            SetANSIMode(on);
            break;
        case 3:
            // The host's column switch also clears the screen, homes the
            // cursor and drops the scroll region, as programs expect of it.
            SetCol132Mode(on);
            Buffer()->SetScrollRegion(1, Buffer()->RowCount());
            Buffer()->EraseScreen();
            Buffer()->SetHostCursorPosition(1, 1);
            break;
        case 4:
            FSmoothScroll = on;
            break;
        case 5:
            SetReverseScreen(on);
            break;
        case 6:
            SetOriginMode(on);
            break;
        case 7:
            // A character written into the last column while wrapping was
            // off leaves no wrap pending for the next one.
            if (on && !Buffer()->UseAutoWrap && Buffer()->BeyondMargin()) Buffer()->SetCol(Buffer()->GetCol());
            Buffer()->UseAutoWrap = on;
            break;
        case 8:
            AutoRepeat = on;
            break;
        case 9:
            FInterlace = on;
            break;
        case 999:
            KeypadAppMode = on;
            break;
        default:
            break;
    }
}

void TQnVT100Emulator::SetModes(bool on) {
    const int n = FParser.ArgumentCount();
    const int a0 = FParser.GetArgument(0);
    if (n == 1)
        SetMode(a0, on);
    else if (n == 2 && a0 == QnPrivateMarker)
        SetPrivateMode(FParser.GetArgument(1), on);
}

// --- byte processing --------------------------------------------------------------

void TQnVT100Emulator::ProcessBlock(const uint8_t* data, int len, TQnCharSource source) {
    if (!data) return;
    for (int i = 0; i < len; ++i) {
        if (!OnProcessChar) {
            // A run of text between sequences goes to the buffer in one call;
            // its last character takes the parser's road so that the parser
            // ends in the state one character leaves.
            int end = i;
            if (FParser.BetweenSequences())
                while (end < len && data[end] >= 0x20 && data[end] < 0x7F) ++end;
            if (end - i >= 2) {
                Buffer()->WriteRun(reinterpret_cast<const char*>(data + i), end - i - 1);
                i = end - 1;
            }
            HandleByte(data[i]);
            continue;
        }
        const std::string replace = RunProcessCharHook(static_cast<char>(data[i]), source);
        for (char c : replace) HandleByte(static_cast<uint8_t>(c));
    }
}

void TQnVT100Emulator::HandleByte(uint8_t ch) {
    switch (FParser.ProcessChar(ch)) {
        case prChar:
            Buffer()->WriteChar(static_cast<char>(ch));
            break;
        case prHighChar:
            if (DisplayUpperASCII)
                Buffer()->WriteChar(static_cast<char>(ch));
            else
                WriteBoxChar(ch);
            break;
        case prCommand:
            ProcessParserCommand();
            break;
        default:
            break;
    }
}

void TQnVT100Emulator::WriteBoxChar(uint8_t ch) {
    if (ch < 0xB0 || ch > 0xDA) return;
    TQnTerminalBuffer& b = *Buffer();
    const uint8_t saved = b.CharSet();
    b.SetCharSet(csLineDraw);
    b.WriteChar(BoxLetters[ch - 0xB0]);
    b.SetCharSet(saved);
}

// The count of a cursor or editing command: 0 counts as 1, anything below
// (a private marker) means the command is ignored (0 returned), and counts
// are kept within what the screen can hold.
int TQnVT100Emulator::Count(int screenLimit) const {
    if (FParser.ArgumentCount() < 1) return 0;
    const int a0 = FParser.GetArgument(0);
    if (a0 < 0) return 0;
    return std::clamp(a0, 1, std::max(screenLimit, 1));
}

void TQnVT100Emulator::ProcessParserCommand() {
    TQnTerminalBuffer& b = *Buffer();
    const int n = FParser.ArgumentCount();
    const int a0 = FParser.GetArgument(0);
    const int a1 = FParser.GetArgument(1);
    switch (FParser.Command()) {
        case vcCUP:
            if (n == 2) b.SetHostCursorPosition(std::max(a0, 1), std::max(a1, 1));
            break;
        case vcCUU:
            if (n == 1)
                for (int k = Count(b.RowCount()); k > 0; --k) b.MoveCursorUp(false);
            break;
        case vcCUD:
            if (n == 1)
                for (int k = Count(b.RowCount()); k > 0; --k) b.MoveCursorDown(false);
            break;
        case vcCUF:
            if (n == 1)
                for (int k = Count(b.ColCount()); k > 0; --k) b.MoveCursorRight(false, false);
            break;
        case vcCUB:
            if (n == 1)
                for (int k = Count(b.ColCount()); k > 0; --k) b.MoveCursorLeft(false, false);
            break;
        case vcSM:
            SetModes(true);
            break;
        case vcRM:
            SetModes(false);
            break;
        case vcSGR:
            SelectGraphicRendition();
            break;
        case vcDECSC:
            ExecuteCommand(ecSaveCursorPos, nullptr);
            break;
        case vcDECRC:
            ExecuteCommand(ecRestoreCursorPos, nullptr);
            break;
        case vcDSR:
            if (n == 1 && a0 == 5) {
                PortReply("\x1b[0n");
            } else if (n == 1 && a0 == 6) {
                char text[40];
                std::snprintf(text, sizeof text, "\x1b[%d;%dR", b.GetRow(), b.GetCol());
                PortReply(text);
            }
            break;
        case vcHT:
            if (n == 1)
                for (int k = std::min(a0, b.ColCount()); k > 0; --k) b.DoHorzTab();
            break;
        case vcVT:
            if (n == 1)
                for (int k = std::min(a0, b.RowCount()); k > 0; --k) b.DoVertTab();
            break;
        case vcDA:
            if (n == 1 && a0 == 0)
                PortReply("\x1b[?1;0c");
            else if (n == 1 && a0 == 52)
                PortReply("\x1b/Z");
            break;
        case vcDCH:
            if (const int k = Count(b.ColCount())) b.DeleteChars(k);
            break;
        case vcDL:
            if (const int k = Count(b.RowCount())) b.DeleteLines(k);
            break;
        case vcECH:
            if (const int k = Count(b.ColCount())) b.EraseChars(k);
            break;
        case vcICH:
            if (const int k = Count(b.ColCount())) b.InsertChars(k);
            break;
        case vcIL:
            if (const int k = Count(b.RowCount())) b.InsertLines(k);
            break;
        case vcED:
            if (n != 1) break;
            if (a0 == 0)
                b.EraseToEOW();
            else if (a0 == 1)
                b.EraseFromBOW();
            else if (a0 == 2)
                b.EraseScreen();
            break;
        case vcEL:
            if (n != 1) break;
            if (a0 == 0)
                b.EraseToEOL();
            else if (a0 == 1)
                b.EraseFromBOL();
            else if (a0 == 2)
                b.EraseLine();
            break;
        case vcHTS:
            b.SetHorzTabStop();
            break;
        case vcTBC:
            if (a0 == 0)
                b.ClearHorzTabStop();
            else if (a0 == 3)
                b.ClearAllHorzTabStops();
            break;
        case vcNEL:
            ExecuteCommand(ecNEL, nullptr);
            break;
        case vcRI:
            b.MoveCursorUp(true);
            break;
        case vcIND:
            b.MoveCursorDown(true);
            break;
        case vcRIS:
            Reset();
            break;
        case vcDECSTBM: {
            const int top = (a0 == 0 || a0 == QnEmptyParameter) ? 1 : a0;
            const int bottom = (a1 == 0 || a1 == QnEmptyParameter) ? b.RowCount() : a1;
            b.SetScrollRegion(top, bottom);
            break;
        }
        case vcENQ:
            PortReply(Answerback);
            break;
        case vcBEL:
            ExecuteCommand(ecBell, nullptr);
            break;
        case vcBS:
            b.DoBackspace();
            break;
        case vcLF:
            b.DoLineFeed();
            break;
        case vcCR:
            b.DoCarriageReturn();
            break;
        case vcSO:
            b.SetCharSet(ANSIMode() ? FG1CharSet : uint8_t{csLineDraw});
            FShiftOut = true;
            break;
        case vcSI:
            b.SetCharSet(ANSIMode() ? FG0CharSet : uint8_t{csUSASCII});
            FShiftOut = false;
            break;
        case vcDECALN:
            ExecuteCommand(ecDECALN, nullptr);
            break;
        case vcDECDHL:
            if (n == 1) SetLineAttr(a0 == 0 ? laDblHeightTop : laDblHeightBottom);
            break;
        case vcDECDWL:
            SetLineAttr(laDblWidth);
            break;
        case vcDECSWL:
            SetLineAttr(laNormal);
            break;
        case vcDECLL:
            for (int i = 0; i < n; ++i) {
                const int led = FParser.GetArgument(i);
                if (led == 0)
                    FLEDs = 0;
                else if (led >= 1 && led <= 4)
                    FLEDs = static_cast<uint8_t>(FLEDs | (1u << (led - 1)));
            }
            break;
        case vcDECREQTPARM:
            PortReply(FormatTermParamsReport(n == 1 ? std::clamp(a0, 0, 1) : 1));
            break;
        case vcSCS:
            if (n == 2) DesignateCharSet(a0, a1);
            break;
        default:
            break;  // DECTST and unknown codes
    }
}

void TQnVT100Emulator::SelectGraphicRendition() {
    TQnTerminalBuffer& b = *Buffer();
    const int n = FParser.ArgumentCount();
    for (int i = 0; i < n; ++i) {
        const int a = FParser.GetArgument(i);
        const TQnCharAttrs attrs = b.GetCharAttrs();
        switch (a) {
            case 0:
                b.SetCharAttrs(0);
                b.SetForeColor(b.DefForeColor());
                b.SetBackColor(b.DefBackColor());
                break;
            case 1:
                b.SetCharAttrs(attrs | atBold);
                break;
            case 4:
                b.SetCharAttrs(attrs | atUnderline);
                break;
            case 5:
                b.SetCharAttrs(attrs | atBlink);
                break;
            case 7:
                b.SetCharAttrs(attrs | atReverse);
                break;
            case 8:
                b.SetCharAttrs(attrs | atInvisible);
                break;
            case 22:
                b.SetCharAttrs(attrs & ~atBold);
                break;
            case 24:
                b.SetCharAttrs(attrs & ~atUnderline);
                break;
            case 25:
                b.SetCharAttrs(attrs & ~atBlink);
                break;
            case 27:
                b.SetCharAttrs(attrs & ~atReverse);
                break;
            case 28:
                b.SetCharAttrs(attrs & ~atInvisible);
                break;
            case 38:
            case 48: {
                // Extended colours this terminal does not show: their
                // sub-parameters (5;n or 2;r;g;b) are skipped, not read as renditions.
                const int kind = FParser.GetArgument(i + 1);
                if (kind == 5)
                    i += 2;
                else if (kind == 2)
                    i += 4;
                break;
            }
            default:
                if (a >= 30 && a <= 37)
                    b.SetForeColor(SgrColors[a - 30]);
                else if (a >= 40 && a <= 47)
                    b.SetBackColor(SgrColors[a - 40]);
                break;
        }
    }
}

void TQnVT100Emulator::DesignateCharSet(int which, int final) {
    uint8_t set;
    switch (final) {
        case 'B':
            set = csUSASCII;
            break;
        case 'A':
            set = csUK;
            break;
        case 0:
            set = csLineDraw;
            break;
        case 1:
            set = csROM1;
            break;
        case 2:
            set = csROM2;
            break;
        default:
            return;
    }
    if (which == 0)
        FG0CharSet = set;
    else if (which == 1)
        FG1CharSet = set;
    else
        return;
    if ((which == 1) == FShiftOut) Buffer()->SetCharSet(set);
}

// Line size of the cursor's row; the row is a screen row whatever the
// addressing mode, so origin mode does not shift it.
void TQnVT100Emulator::SetLineAttr(TQnLineAttr attr) {
    const int row = Buffer()->CursorScreenRow();
    FLineAttrs->SetAttr(row, attr);
    if (FTerminal) FTerminal->InvalidateRow(row);
}

void TQnVT100Emulator::Reset() {
    TQnTerminalBuffer& b = *Buffer();
    b.Reset();
    SetANSIMode(true);
    CursorKeyAppMode = false;
    KeypadAppMode = false;
    AutoRepeat = true;
    SetCol132Mode(false);
    FInterlace = false;
    SetOriginMode(false);
    SetReverseScreen(false);
    FSmoothScroll = false;
    FShiftOut = false;
    FG0CharSet = csUSASCII;
    FG1CharSet = csUSASCII;
    // Line sizes and the whole screen are reset too, and all of it repainted.
    for (int row = b.RowCount() - b.SVRowCount() + 1; row <= b.RowCount(); ++row) FLineAttrs->SetAttr(row, laNormal);
    b.InvalidateScreenRect(1, 1, b.ColCount(), b.RowCount());
    FPaint->RepaintAll = true;
}

namespace {
// The VT100's code for a line speed; rates it does not know report as 19200.
int SpeedCode(uint32_t baud) {
    switch (baud) {
        case 150:
            return 32;
        case 300:
            return 48;
        case 600:
            return 56;
        case 1200:
            return 64;
        case 2400:
            return 88;
        case 4800:
            return 104;
        case 9600:
            return 112;
        default:
            return 120;
    }
}
}  // namespace

std::string TQnVT100Emulator::FormatTermParamsReport(int request) const {
    // Without a serial line behind the terminal: no parity, 8 bits, 9600 baud.
    int parity = 1, bits = 1, speed = 112;
    if (const auto line = FTerminal ? FTerminal->PortLine() : std::nullopt) {
        parity = line->Parity == 1 ? 4 : line->Parity == 2 ? 5 : 1;
        bits = line->DataBits == 8 ? 1 : 2;
        speed = SpeedCode(line->Baud);
    }
    char text[64];
    std::snprintf(text, sizeof text, "\x1b[%d;%d;%d;%d;%d;%d;%dx", request + 2, parity, bits, speed, speed, 1, 0);
    return text;
}

void TQnVT100Emulator::ClearScreen() { Buffer()->EraseScreen(); }

void TQnVT100Emulator::ClearAll() { Buffer()->EraseAll(); }

bool TQnVT100Emulator::NeedsUpdate() {
    if (Buffer()->HasDisplayChanged() || FPaint->RepaintAll) return true;
    return Buffer()->HasCursorMoved();
}

void TQnVT100Emulator::LazyPaint(TQnTerminalPainter& painter) {
    if (FTerminal) FPaint->LazyPaint(*FTerminal, painter);
}

void TQnVT100Emulator::Paint(TQnTerminalPainter& painter) {
    if (FTerminal) FPaint->Paint(*FTerminal, painter);
}

void TQnVT100Emulator::BlinkPaint(TQnTerminalPainter& painter, bool phase) {
    if (FTerminal) FPaint->BlinkPaint(*FTerminal, painter, phase);
}

bool TQnVT100Emulator::HasBlinkingText() { return FTerminal && FPaint->HasBlinkingText(FTerminal->View()); }
