// libFuzzer target: output through the teletype emulator and screen buffer,
// interleaved with buffer operations, generic commands with absurd arguments
// and repaints; a cursor or region outside the grid is a finding. Input:
// sizes and modes, then control bytes that feed a run of output (high bit
// clear) or perform one operation.

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdint>
#include <string>

#include "console/core/QnTrmEmu.h"
#include "support/TerminalFuzzSupport.h"

namespace {

using tavrin::test::Check;
using tavrin::test::RandomRepaint;
using tavrin::test::RandomStartSize;
using tavrin::test::ResizeBuffer;

constexpr int MaxCols = 300;
constexpr int MaxSVRows = 600;

// Checks each cursor move as it comes, and offers only the sizes a window
// can show.
class FakeHost : public tavrin::test::TFakeTerminalHost {
public:
    void SetColumns(int n) override {
        if (emulator && n >= 2 && n <= MaxCols) emulator->Buffer()->SetColCount(n);
    }
    void BufferCursorMoved(TQnTerminalEmulator& sender, int row, int col) override {
        // The position comes in the buffer's addressing: screen numbers, or
        // numbers from the origin of the scroll region when not absolute.
        const TQnTerminalBuffer& b = *sender.Buffer();
        const int64_t screenRow = int64_t{row} + (b.UseAbsAddress ? 0 : b.GetOriginRow() - 1);
        const int64_t screenCol = int64_t{col} + (b.UseAbsAddress ? 0 : b.GetOriginCol() - 1);
        Check(screenRow == b.CursorScreenRow() && screenCol == b.CursorScreenCol());
        Check(screenCol >= 1 && screenCol <= b.ColCount());
        Check(screenRow <= b.RowCount() && screenRow > b.RowCount() - b.SVRowCount());
    }
};

void CheckBuffer(const TQnTerminalBuffer& b) {
    const int rows = b.RowCount(), cols = b.ColCount(), sv = b.SVRowCount();
    Check(cols >= 2 && rows >= 2 && rows <= sv);
    const int firstScreenRow = rows - sv + 1;  // screen number of the oldest scrollback row
    Check(b.CursorScreenCol() >= 1 && b.CursorScreenCol() <= cols);
    Check(b.CursorScreenRow() >= firstScreenRow && b.CursorScreenRow() <= rows);
    Check(b.ScrollTop() >= firstScreenRow && b.ScrollTop() <= b.ScrollBottom() && b.ScrollBottom() <= rows);
    Check(b.GetOriginCol() >= 1 && b.GetOriginCol() <= cols);
    Check(b.GetOriginRow() >= firstScreenRow && b.GetOriginRow() <= rows);
}

// A number that is usually small but sometimes absurd.
int Arg(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
        case 0:
            return INT_MIN;
        case 1:
            return INT_MAX;
        case 2:
            return in.ConsumeIntegral<int32_t>();
        case 3:
            return -in.ConsumeIntegralInRange<int>(0, 300);
        default:
            return in.ConsumeIntegralInRange<int>(0, 300);
    }
}

void SetModes(FakeHost& host, TQnTerminalBuffer& b, uint8_t modes) {
    b.UseAbsAddress = modes & 1;
    b.UseAutoWrap = modes & 2;
    b.UseAutoWrapDelay = modes & 4;
    b.UseInsertMode = modes & 8;
    b.UseNewLineMode = modes & 16;
    host.portOpen = modes & 32;
    host.halfDuplex = modes & 64;
}

// The buffer's operations without arguments, and with one or two numbers.
using B = TQnTerminalBuffer;
constexpr void (B::*kActions[])() = {&B::EraseToEOL,
                                     &B::EraseFromBOL,
                                     &B::EraseLine,
                                     &B::EraseToEOW,
                                     &B::EraseFromBOW,
                                     &B::EraseScreen,
                                     &B::EraseAll,
                                     &B::SetHorzTabStop,
                                     &B::ClearHorzTabStop,
                                     &B::ClearAllHorzTabStops,
                                     &B::SetVertTabStop,
                                     &B::ClearVertTabStop,
                                     &B::ClearAllVertTabStops,
                                     &B::DoVertTab,
                                     &B::DoBackVertTab,
                                     &B::DoBackHorzTab,
                                     &B::DoHorzTab,
                                     &B::Reset};
constexpr void (B::*kOneNumber[])(int) = {&B::InsertLines, &B::DeleteLines, &B::InsertChars, &B::DeleteChars,
                                          &B::EraseChars,  &B::SetRow,      &B::SetCol,      &B::SetHostRow};
constexpr void (B::*kTwoNumbers[])(int, int) = {&B::SetScrollRegion, &B::SetCursorPosition, &B::SetHostCursorPosition};

void Operation(FakeHost& host, TQnTerminalEmulator& emu, uint8_t op, FuzzedDataProvider& in) {
    TQnTerminalBuffer& b = *emu.Buffer();
    const auto pick = [&in](const auto& table) {
        return table[in.ConsumeIntegralInRange<size_t>(0, std::size(table) - 1)];
    };
    switch (op % 26) {
        case 0:
        case 1:
            (b.*pick(kTwoNumbers))(Arg(in), Arg(in));
            break;
        case 2:
        case 3:
        case 4:
            (b.*pick(kOneNumber))(Arg(in));
            break;
        case 5:
            b.SetUseScrollRegion(in.ConsumeBool());
            break;
        case 6:
        case 7:
            (b.*pick(kActions))();
            break;
        case 8:
            ResizeBuffer(b, 0, in.ConsumeIntegralInRange<int>(0, MaxCols));
            break;
        case 9:
            ResizeBuffer(b, 1, in.ConsumeIntegralInRange<int>(0, MaxSVRows));
            break;
        case 10:
            ResizeBuffer(b, 2, in.ConsumeIntegralInRange<int>(0, MaxSVRows));
            break;
        case 11:
        case 12: {
            const bool wrap = in.ConsumeBool(), scroll = in.ConsumeBool();
            switch (in.ConsumeIntegralInRange<int>(0, 3)) {
                case 0:
                    b.MoveCursorUp(scroll);
                    break;
                case 1:
                    b.MoveCursorDown(scroll);
                    break;
                case 2:
                    b.MoveCursorLeft(wrap, scroll);
                    break;
                default:
                    b.MoveCursorRight(wrap, scroll);
                    break;
            }
            break;
        }
        case 13:
            emu.ClearScreen();
            break;
        case 14:
            SetModes(host, b, in.ConsumeIntegral<uint8_t>());
            break;
        case 15:
            emu.ClearAll();
            break;
        case 16:
            b.WriteWideChar(in.ConsumeIntegral<uint16_t>());
            break;
        case 17:
            b.SetCharAttrs(in.ConsumeIntegral<TQnCharAttrs>());
            break;
        case 18:
            b.SetCharSet(in.ConsumeIntegral<uint8_t>());
            break;
        case 19: {
            // A generic command with positional arguments.
            const auto command = static_cast<TQnEmuCommand>(in.ConsumeIntegralInRange<int>(0, QnEmuCommandCount - 1));
            TQnEmuCommandParams params;
            const int count = in.ConsumeIntegralInRange<int>(0, 4);
            for (int i = 0; i < count; ++i) {
                if (in.ConsumeBool())
                    params.Add("", std::to_string(Arg(in)));
                else
                    params.Add("", in.ConsumeRandomLengthString(16));
            }
            emu.ExecuteCommand(command, &params);
            break;
        }
        case 20: {
            char key = in.ConsumeIntegral<char>();
            emu.KeyPress(key);
            emu.SendChar(in.ConsumeIntegral<char>(), in.ConsumeBool(), csKeyboard);
            break;
        }
        case 21: {
            // Reading every row the buffer answers for, a whole row each.
            for (int row = b.RowCount() - b.SVRowCount() - 1; row <= b.RowCount() + 1; ++row) {
                const char* chars = b.GetLineCharPtr(row);
                const TQnCharAttrs* attrs = b.GetLineAttrPtr(row);
                const TColor* fores = b.GetLineForeColorPtr(row);
                const uint8_t* sets = b.GetLineCharSetPtr(row);
                const bool inside = row >= b.RowCount() - b.SVRowCount() + 1 && row <= b.RowCount();
                Check((chars != nullptr) == inside && (attrs != nullptr) == inside);
                if (!inside) continue;
                unsigned sum = 0;
                for (int c = 0; c < b.ColCount(); ++c) sum += uint8_t(chars[c]) + attrs[c] + fores[c] + sets[c];
                Check(sum != 0xFFFFFFFF || b.LineText(row).size() == static_cast<size_t>(b.ColCount()));
            }
            b.CharAt(Arg(in), Arg(in));
            b.AttrAt(Arg(in), Arg(in));
            break;
        }
        case 22: {
            TQnRect r;
            while (b.GetInvalidRect(r)) {
            }
            b.InvalidateScreenRect(Arg(in), Arg(in), Arg(in), Arg(in));
            break;
        }
        case 23:
            b.SetDefChar(in.ConsumeIntegral<char>());
            break;
        default:
            RandomRepaint(host, emu, in);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    FakeHost host;
    TQnTTYEmulator emu;
    emu.SetTerminal(&host);
    TQnTerminalBuffer& b = *emu.Buffer();

    RandomStartSize(b, in, MaxCols, MaxSVRows);
    SetModes(host, b, in.ConsumeIntegral<uint8_t>() & 31);
    CheckBuffer(b);

    int steps = 0;
    while (in.remaining_bytes() > 0 && ++steps < 4000) {
        const uint8_t control = in.ConsumeIntegral<uint8_t>();
        if (control & 0x80) {
            Operation(host, emu, control, in);
        } else {
            const std::string run = in.ConsumeBytesAsString(static_cast<size_t>(control) + 1);
            emu.ProcessBlock(reinterpret_cast<const uint8_t*>(run.data()), static_cast<int>(run.size()),
                             (control & 1) ? csPort : csWriteChar);
        }
        CheckBuffer(b);
    }
    emu.SetTerminal(nullptr);
    return 0;
}
