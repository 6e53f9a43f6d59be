// Emulator base: terminal pairing, character output, the buffer's cursor
// callback, saved cursor and the generic command executor.
#include "console/core/QnTrmEmu.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {
// Terminal / user-emulator pairs of the program, newest first.
std::vector<std::pair<TQnTerminalHost*, TQnTerminalEmulator*>>& Pairs() {
    static std::vector<std::pair<TQnTerminalHost*, TQnTerminalEmulator*>> pairs;
    return pairs;
}

// Attribute commands come in groups of four per attribute: Add, Only, Remove, Invert.
void ApplyAttrCommand(TQnTerminalBuffer& b, int op, TQnCharAttrs a) {
    const TQnCharAttrs cur = b.GetCharAttrs();
    switch (op) {
        case 0:
            b.SetCharAttrs(cur | a);
            break;
        case 1:
            b.SetCharAttrs(a);
            break;
        case 2:
            b.SetCharAttrs(cur & ~a);
            break;
        default:
            b.SetCharAttrs(cur ^ a);
            break;
    }
}
}  // namespace

void AttachTerminalEmulator(TQnTerminalHost* terminal, TQnTerminalEmulator* emulator) {
    if (!terminal || PairedEmulator(terminal)) return;
    Pairs().insert(Pairs().begin(), {terminal, emulator});
    terminal->SetEmulator(emulator);
    if (emulator) emulator->SetTerminal(terminal);
}

void DetachTerminalEmulator(TQnTerminalHost* terminal, bool unhook) {
    auto& pairs = Pairs();
    auto it = std::find_if(pairs.begin(), pairs.end(), [&](const auto& p) { return p.first == terminal; });
    if (it == pairs.end()) return;
    TQnTerminalEmulator* emulator = it->second;
    pairs.erase(it);
    if (unhook) {
        terminal->SetEmulator(nullptr);
        if (emulator) emulator->SetTerminal(nullptr);
    }
}

TQnTerminalEmulator* PairedEmulator(const TQnTerminalHost* terminal) {
    for (const auto& p : Pairs())
        if (p.first == terminal) return p.second;
    return nullptr;
}

// ---------------------------------------------------------------------------

TQnTerminalEmulator::TQnTerminalEmulator() = default;

TQnTerminalEmulator::~TQnTerminalEmulator() {
    if (!FInternal) TQnTerminalEmulator::SetTerminal(nullptr);
}

void TQnTerminalEmulator::AdoptBuffer(std::unique_ptr<TQnTerminalBuffer> buffer) {
    FBuffer = std::move(buffer);
    if (FBuffer)
        FBuffer->OnCursorMove = [this](TQnTerminalBuffer& b, int row, int col) { BufferCursorMoved(b, row, col); };
}

void TQnTerminalEmulator::SetTerminal(TQnTerminalHost* terminal) {
    if (terminal == FTerminal) return;
    if (FTerminal && !FInternal) {
        TQnTerminalHost* old = FTerminal;
        FTerminal = nullptr;
        DetachTerminalEmulator(old, true);
    }
    FTerminal = terminal;
    if (terminal && !FInternal) {
        TQnTerminalEmulator* other = terminal->Emulator();
        if (other && other != this) DetachTerminalEmulator(terminal, true);
        AttachTerminalEmulator(terminal, this);
    }
}

bool TQnTerminalEmulator::NeedsUpdate() {
    if (!FBuffer) return false;
    if (FBuffer->HasDisplayChanged()) return true;
    return FBuffer->HasCursorMoved();
}

void TQnTerminalEmulator::SendChar(char ch, bool echo, TQnCharSource source) {
    if (!FTerminal) return;
    if (echo && FTerminal->HalfDuplex()) {
        const uint8_t b = static_cast<uint8_t>(ch);
        ProcessBlock(&b, 1, source);
    }
    if (FTerminal && FTerminal->PortOpen()) FTerminal->PortWriteChar(ch);
    if (FTerminal && source == csKeyboard) FTerminal->KeyboardData(*this, ch);
}

void TQnTerminalEmulator::BufferCursorMoved(TQnTerminalBuffer&, int row, int col) {
    if (FTerminal) FTerminal->BufferCursorMoved(*this, row, col);
}

void TQnTerminalEmulator::PortReply(const std::string& text) {
    if (FTerminal && FTerminal->PortServesTerminal()) FTerminal->PortWriteString(text);
}

void TQnTerminalEmulator::SaveCursor() {
    const TQnTerminalBuffer& b = *FBuffer;
    FSaved = {true, b.GetCharAttrs(), b.BackColor(), b.CharSet(), b.GetCol(), b.ForeColor(), b.GetRow()};
}

void TQnTerminalEmulator::RestoreCursor() {
    TQnTerminalBuffer& b = *FBuffer;
    // Nothing saved yet: the cursor goes home with the default rendition.
    const TSavedCursor s =
        FSaved.Valid ? FSaved
                     : TSavedCursor{true, b.DefCharAttrs(), b.DefBackColor(), b.DefCharSet(), 1, b.DefForeColor(), 1};
    b.SetCharAttrs(s.Attrs);
    b.SetBackColor(s.Back);
    b.SetCharSet(s.CharSet);
    b.SetCol(s.Col);
    b.SetForeColor(s.Fore);
    b.SetHostRow(s.Row);
}

bool QnClipCells(const TQnTerminalView& view, const TQnRect& clip, TQnClipCells& cells) {
    if (clip.Right <= clip.Left || clip.Bottom <= clip.Top) return false;
    const int cw = std::max(view.CharWidth, 1), ch = std::max(view.CharHeight, 1);
    cells.FromCol = clip.Left / cw + view.LeftCol;
    cells.ToCol = (clip.Right - 1) / cw + view.LeftCol;
    // The view's first row is added once: clip rows count from the view's top.
    cells.TopRow = clip.Top / ch + view.TopRow;
    cells.BottomRow = (clip.Bottom - 1) / ch + view.TopRow;
    return true;
}

std::string TQnTerminalEmulator::RunProcessCharHook(char ch, TQnCharSource source) {
    // The hook may type or echo through this emulator again, so the command
    // list is taken out of the member while it runs.
    std::string replace(1, ch);
    TQnEmuCommandList commands;
    std::swap(commands, FCommands);
    commands.Clear();
    OnProcessChar(*this, ch, replace, commands, source);
    ExecuteCommandList(commands);
    std::swap(commands, FCommands);
    return replace;
}

void TQnTerminalEmulator::ExecuteCommandList(const TQnEmuCommandList& list) {
    for (const TQnEmuCommandListItem& item : list.Items) ExecuteCommand(item.Command, &item.Params);
}

void TQnTerminalEmulator::ExecuteCommand(TQnEmuCommand command, const TQnEmuCommandParams* params) {
    if (!FBuffer) return;
    static const TQnEmuCommandParams none;
    const TQnEmuCommandParams& p = params ? *params : none;
    TQnTerminalBuffer& b = *FBuffer;
    switch (command) {
        case ecNone:
            break;
        case ecBell:
            if (FTerminal) FTerminal->Beep();
            break;
        case ecBackspace:
            b.DoBackspace();
            break;
        case ecTabHorz:
            b.DoHorzTab();
            break;
        case ecLF:
            b.DoLineFeed();
            break;
        case ecCR:
            b.DoCarriageReturn();
            break;
        case ecBackTabHorz:
            b.DoBackHorzTab();
            break;
        case ecCursorDown:
            b.MoveCursorDown(p.GetBoolean("Scroll", 0, false));
            break;
        case ecCursorUp:
            b.MoveCursorUp(p.GetBoolean("Scroll", 0, false));
            break;
        case ecCursorLeft:
            b.MoveCursorLeft(p.GetBoolean("Wrap", 0, false), p.GetBoolean("Scroll", 1, false));
            break;
        case ecCursorRight:
            b.MoveCursorRight(p.GetBoolean("Wrap", 0, false), p.GetBoolean("Scroll", 1, false));
            break;
        case ecCursorPos:
            b.SetHostCursorPosition(p.GetInteger("Row", 0, 1), p.GetInteger("Col", 1, 1));
            break;
        case ecDeleteChars:
            b.DeleteChars(p.GetInteger("Count", 0, 1));
            break;
        case ecDeleteLines:
            b.DeleteLines(p.GetInteger("Count", 0, 1));
            break;
        case ecInsertChars:
            b.InsertChars(p.GetInteger("Count", 0, 1));
            break;
        case ecInsertLines:
            b.InsertLines(p.GetInteger("Count", 0, 1));
            break;
        case ecEraseAll:
            b.EraseAll();
            break;
        case ecEraseChars:
            b.EraseChars(p.GetInteger("Count", 0, 1));
            break;
        case ecEraseFromBOW:
            b.EraseFromBOW();
            break;
        case ecEraseFromBOL:
            b.EraseFromBOL();
            break;
        case ecEraseLine:
            b.EraseLine();
            break;
        case ecEraseScreen:
            b.EraseScreen();
            break;
        case ecEraseToEOL:
            b.EraseToEOL();
            break;
        case ecEraseToEOW:
            b.EraseToEOW();
            break;
        case ecSetHorzTabStop:
            b.SetHorzTabStop();
            break;
        case ecClearHorzTabStop:
            b.ClearHorzTabStop();
            break;
        case ecClearVertTabStop:
            b.ClearVertTabStop();
            break;
        case ecClearAllHorzTabStops:
            b.ClearAllHorzTabStops();
            break;
        case ecSetVertTabStop:
            b.SetVertTabStop();
            break;
        case ecClearAllVertTabStops:
            b.ClearAllVertTabStops();
            break;
        case ecSetScrollRegion:
            b.SetScrollRegion(p.GetInteger("Top", 0, 1), p.GetInteger("Bottom", 1, 1));
            break;
        case ecTabVert:
            b.DoVertTab();
            break;
        case ecBackTabVert:
            b.DoBackVertTab();
            break;
        case ecBackColor:
            b.SetBackColor(p.GetColor("Color", 0, QnBlack));
            if (p.GetBoolean("Persistent", 1, true) && FTerminal) FTerminal->SetColor(b.BackColor());
            break;
        case ecForeColor:
            b.SetForeColor(p.GetColor("Color", 0, QnSilver));
            if (p.GetBoolean("Persistent", 1, true) && FTerminal) FTerminal->SetFontColor(b.ForeColor());
            break;
        case ecColor:
            b.SetForeColor(p.GetColor("Fore", 0, QnSilver));
            b.SetBackColor(p.GetColor("Back", 1, QnBlack));
            if (p.GetBoolean("Persistent", 2, true) && FTerminal) {
                FTerminal->SetFontColor(b.ForeColor());
                FTerminal->SetColor(b.BackColor());
            }
            break;
        case ecAbsAddress:
            b.UseAbsAddress = true;
            break;
        case ecNoAbsAddress:
            b.UseAbsAddress = false;
            break;
        case ecAutoWrap:
            b.UseAutoWrap = true;
            break;
        case ecNoAutoWrap:
            b.UseAutoWrap = false;
            break;
        case ecAutoWrapDelay:
            b.UseAutoWrapDelay = true;
            break;
        case ecNoAutoWrapDelay:
            b.UseAutoWrapDelay = false;
            break;
        case ecInsertMode:
            b.UseInsertMode = true;
            break;
        case ecNoInsertMode:
            b.UseInsertMode = false;
            break;
        case ecNewLineMode:
            b.UseNewLineMode = true;
            break;
        case ecNoNewLineMode:
            b.UseNewLineMode = false;
            break;
        case ecScrollRegion:
            b.SetUseScrollRegion(true);
            break;
        case ecNoScrollRegion:
            b.SetUseScrollRegion(false);
            break;
        case ecSetCharAttr: {
            static const char* const names[] = {"Bold",    "Underline", "Strikethrough", "Blink",
                                                "Reverse", "Invisible", "Selected"};
            TQnCharAttrs a = 0;
            for (int i = 0; i < 7; ++i)
                if (p.GetBoolean(names[i], i, false)) a = static_cast<TQnCharAttrs>(a | (1u << i));
            b.SetCharAttrs(a);
            break;
        }
        case ecAddBold:
        case ecBoldOnly:
        case ecRemoveBold:
        case ecInvertBold:
            ApplyAttrCommand(b, command - ecAddBold, atBold);
            break;
        case ecAddUnderLine:
        case ecUnderlineOnly:
        case ecRemoveUnderline:
        case ecInvertUnderline:
            ApplyAttrCommand(b, command - ecAddUnderLine, atUnderline);
            break;
        case ecAddStrikethrough:
        case ecStrikethroughOnly:
        case ecRemoveStrikethrough:
        case ecInvertStrikethrough:
            ApplyAttrCommand(b, command - ecAddStrikethrough, atStrikethrough);
            break;
        case ecAddBlink:
        case ecBlinkOnly:
        case ecRemoveBlink:
        case ecInvertBlink:
            ApplyAttrCommand(b, command - ecAddBlink, atBlink);
            break;
        case ecAddReverse:
        case ecReverseOnly:
        case ecRemoveReverse:
        case ecInvertReverse:
            ApplyAttrCommand(b, command - ecAddReverse, atReverse);
            break;
        case ecAddInvisible:
        case ecInvisibleOnly:
        case ecRemoveInvisible:
        case ecInvertInvisible:
            ApplyAttrCommand(b, command - ecAddInvisible, atInvisible);
            break;
        // The selection group is listed in the order Add, Remove, Only, Invert.
        case ecAddSelected:
            ApplyAttrCommand(b, 0, atSelected);
            break;
        case ecRemoveSelected:
            ApplyAttrCommand(b, 2, atSelected);
            break;
        case ecSelectedOnly:
            ApplyAttrCommand(b, 1, atSelected);
            break;
        case ecInvertSelected:
            ApplyAttrCommand(b, 3, atSelected);
            break;
        case ecRemoveAllAttr:
            b.SetCharAttrs(0);
            break;
        case ecRemoveAllAttrIgnoreSelect:
            b.SetCharAttrs(b.GetCharAttrs() & atSelected);
            break;
        case ecClearAndHome:
            b.EraseScreen();
            b.SetCursorPosition(1, 1);
            break;
        case ecHome:
            b.SetCursorPosition(1, 1);
            break;
        case ecCursorEOL:
            b.SetCol(b.ColCount());
            break;
        case ecCursorBOL:
            b.SetCol(1);
            break;
        case ecCursorTop:
            b.SetHostRow(1);
            break;
        case ecCursorBottom:
            b.SetHostRow(b.RowCount());
            break;
        case ecWriteString:
            b.WriteString(p.GetString("String", 0, ""));
            break;
        case ecSaveCursorPos:
            SaveCursor();
            break;
        case ecRestoreCursorPos:
            RestoreCursor();
            break;
        case ecDeviceAttributesReport: {
            const int type = p.GetInteger("Type", 0, 0);
            if (type == 0)
                PortReply("\x1b[?1;0c");
            else if (type == 52)
                PortReply("\x1b/Z");
            break;
        }
        case ecDeviceStatusReport: {
            const int type = p.GetInteger("Type", 0, 5);
            if (type == 5) {
                PortReply("\x1b[0n");
            } else if (type == 6) {
                char text[40];
                std::snprintf(text, sizeof text, "\x1b[%d;%dR", b.GetRow(), b.GetCol());
                PortReply(text);
            }
            break;
        }
        case ecNEL:
            b.DoLineFeed();
            if (!b.UseNewLineMode) b.DoCarriageReturn();
            break;
        case ecReset:
            b.Reset();
            break;
        case ecAnswerback:
            PortReply(Answerback);
            break;
        case ecDECALN: {
            const char old = b.DefChar();
            b.SetDefChar('E');
            b.EraseScreen();
            b.SetDefChar(old);
            break;
        }
        case ecCursorOff:
            if (FTerminal) FTerminal->SetCursorType(ctNone);
            break;
        case ecCursorUnderline:
            if (FTerminal) FTerminal->SetCursorType(ctUnderline);
            break;
        case ecCursorBlock:
            if (FTerminal) FTerminal->SetCursorType(ctBlock);
            break;
        default:
            break;  // values beyond the vocabulary do nothing
    }
}
