// libFuzzer target: output through the VT100 emulator, interleaved with
// resizes, mode switches, keys and repaints; a cursor or scroll region outside
// the screen is a finding. Input: the sizes, then control bytes that feed a
// run of output (high bit clear) or perform one operation.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "console/core/QnTrmVT100.h"
#include "support/TerminalFuzzSupport.h"

namespace {

using tavrin::test::Check;
using tavrin::test::RandomRepaint;
using tavrin::test::RandomStartSize;
using tavrin::test::ResizeBuffer;

constexpr int MaxCols = 300;
constexpr int MaxSVRows = 400;

// Counts what was sent, so that long runs stay cheap, and checks every
// cursor move as it comes.
class FakeHost : public tavrin::test::TFakeTerminalHost {
public:
    void BufferCursorMoved(TQnTerminalEmulator& sender, int, int) override {
        const TQnTerminalBuffer& b = *sender.Buffer();
        Check(b.CursorScreenCol() >= 1 && b.CursorScreenCol() <= b.ColCount());
        Check(b.CursorScreenRow() <= b.RowCount() && b.CursorScreenRow() > b.RowCount() - b.SVRowCount());
    }
    void KeyboardData(TQnTerminalEmulator&, char) override { ++keys; }
    void PortWriteString(const std::string& s) override { replies += s.size(); }
    size_t keys = 0, replies = 0;
};

// After every step: the cursor and the scroll region lie on the screen
// (the cursor may reach the scrollback only through the buffer's own
// absolute addressing, which the host program cannot ask for).
void CheckScreen(TQnVT100Emulator& emu) {
    const TQnTerminalBuffer& b = *emu.Buffer();
    const int rows = b.RowCount(), cols = b.ColCount();
    Check(cols >= 2 && rows >= 2 && rows <= b.SVRowCount());
    Check(b.CursorScreenCol() >= 1 && b.CursorScreenCol() <= cols);
    Check(b.CursorScreenRow() >= 1 && b.CursorScreenRow() <= rows);
    Check(b.ScrollTop() >= 1 && b.ScrollTop() <= b.ScrollBottom() && b.ScrollBottom() <= rows);
    Check(b.GetOriginRow() >= 1 && b.GetOriginRow() <= rows);
    emu.LineAttrs().GetAttr(1);
    Check(emu.LineAttrs().Size() == b.SVRowCount());
}

void Operation(FakeHost& host, TQnVT100Emulator& emu, uint8_t op, FuzzedDataProvider& in) {
    TQnTerminalBuffer& b = *emu.Buffer();
    switch (op % 12) {
        case 0:
            ResizeBuffer(b, 0, in.ConsumeIntegralInRange<int>(0, MaxCols));
            break;
        case 1:
            ResizeBuffer(b, 1, in.ConsumeIntegralInRange<int>(0, MaxSVRows));
            break;
        case 2:
            ResizeBuffer(b, 2, in.ConsumeIntegralInRange<int>(0, MaxSVRows));
            break;
        case 3: {
            uint16_t key = in.ConsumeIntegral<uint16_t>();
            emu.KeyDown(key, TShiftState(in.ConsumeIntegral<uint8_t>()));
            char ch = in.ConsumeIntegral<char>();
            emu.KeyPress(ch);
            break;
        }
        case 4:
            emu.ClearScreen();
            break;
        case 5:
            emu.SetANSIMode(in.ConsumeBool());
            break;
        case 6:
            emu.SetCol132Mode(in.ConsumeBool());
            break;
        case 7: {
            const uint8_t m = in.ConsumeIntegral<uint8_t>();
            emu.CursorKeyAppMode = m & 1;
            emu.KeypadAppMode = m & 2;
            emu.AutoRepeat = m & 4;
            emu.DisplayUpperASCII = m & 8;
            host.halfDuplex = m & 16;
            host.portOpen = m & 32;
            break;
        }
        case 8: {
            // A key text of the input's own, escapes and all.
            const std::string text = in.ConsumeRandomLengthString(12);
            emu.KeyboardMap().LoadFromRes(QnVT100KeyMapResource);
            emu.KeyboardMap().Add("\\x3A", "VK_FUZZ");
            emu.KeyboardMap().Add("VK_FUZZ", "DEC_FUZZ");
            emu.KeyboardMap().Add("DEC_FUZZ", text);
            uint16_t key = 0x3A;
            emu.KeyDown(key, TShiftState());
            break;
        }
        default:
            RandomRepaint(host, emu, in);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    FakeHost host;
    TQnVT100Emulator emu;
    emu.SetTerminal(&host);
    TQnTerminalBuffer& b = *emu.Buffer();
    RandomStartSize(b, in, MaxCols, MaxSVRows);
    CheckScreen(emu);

    int steps = 0;
    while (in.remaining_bytes() > 0 && ++steps < 4000) {
        const uint8_t control = in.ConsumeIntegral<uint8_t>();
        if (control & 0x80) {
            Operation(host, emu, control, in);
        } else {
            const std::string run = in.ConsumeBytesAsString(static_cast<size_t>(control) * 4 + 1);
            emu.ProcessBlock(reinterpret_cast<const uint8_t*>(run.data()), static_cast<int>(run.size()), csPort);
        }
        CheckScreen(emu);
    }
    emu.SetTerminal(nullptr);
    return 0;
}
