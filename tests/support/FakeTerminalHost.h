#pragma once
// A terminal without a window for the CRT emulators: it pairs with an
// emulator like the real terminal does and records what the emulator asks
// of it (cursor moves, keyboard data, port output, bells, colours).

#include <string>
#include <utility>
#include <vector>

#include "console/core/QnTrmEmu.h"

namespace tavrin::test {

class TFakeTerminalHost : public TQnTerminalHost {
public:
    ~TFakeTerminalHost() override { DetachTerminalEmulator(this, false); }

    TQnTerminalEmulator* Emulator() const override { return emulator; }
    void SetEmulator(TQnTerminalEmulator* e) override {
        if (e == emulator) return;
        if (emulator) {
            emulator = nullptr;
            DetachTerminalEmulator(this, true);
        }
        if (e) {
            emulator = e;
            AttachTerminalEmulator(this, e);
        }
    }
    bool HalfDuplex() const override { return halfDuplex; }
    bool UseLazyDisplay() const override { return false; }
    bool FreezeScrollBack() const override { return freeze; }
    TColor Color() const override { return color; }
    void SetColor(TColor c) override { color = c; }
    TColor FontColor() const override { return fontColor; }
    void SetFontColor(TColor c) override { fontColor = c; }
    void SetCursorType(TQnCursorType t) override { cursorType = t; }
    TQnTerminalView View() const override { return view; }
    void SetColumns(int n) override {
        if (emulator) emulator->Buffer()->SetColCount(n);
    }
    void BufferCursorMoved(TQnTerminalEmulator&, int row, int col) override { moves.push_back({row, col}); }
    void KeyboardData(TQnTerminalEmulator&, char ch) override { keyboard += ch; }
    void Beep() override { ++beeps; }
    void RestoreNumLock() override { ++numLockRestores; }
    bool PortOpen() const override { return portOpen; }
    bool PortServesTerminal() const override { return portOpen; }
    void PortWriteChar(char ch) override { port += ch; }
    void PortWriteString(const std::string& s) override { port += s; }

    TQnTerminalEmulator* emulator = nullptr;
    bool halfDuplex = false;
    bool freeze = true;
    bool portOpen = false;
    TColor color = QnBlack;
    TColor fontColor = QnSilver;
    TQnCursorType cursorType = ctBlock;
    TQnTerminalView view{1, 1, 80, 24, 8, 16};
    std::vector<std::pair<int, int>> moves;
    std::string keyboard;
    std::string port;
    int beeps = 0;
    int numLockRestores = 0;
};

}  // namespace tavrin::test
