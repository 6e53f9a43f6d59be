#pragma once
// The VT100 emulator of the CRT console: every received byte goes through
// the VT100 parser; characters are written into the screen buffer and the
// parser's commands are executed on it (cursor, erase, scroll region, modes,
// attributes and colours, character sets, tabs, line sizes, reset). Replies
// to the host (device attributes, status and cursor reports, terminal
// parameters, answerback) go out through the terminal's port link. Keys are
// turned into VT100 / VT52 texts through the keyboard map.
//
// Plain C++: the terminal is reached only through TQnTerminalHost.

#include <cstdint>
#include <memory>
#include <string>

#include "console/core/QnLineAttr.h"
#include "console/core/QnTrmEmu.h"
#include "console/core/QnTrmMap.h"
#include "console/core/QnTrmPsr.h"
#include "console/core/QnTrmVT100Paint.h"

// Character-set numbers kept per cell in the buffer's charset plane.
enum TQnVT100CharSet : uint8_t { csUSASCII = 0, csUK = 1, csLineDraw = 2, csROM1 = 3, csROM2 = 4 };
// Name of a character-set number in the charset map ("VT100-USASCII" for
// numbers it does not know).
const char* QnVT100CharSetName(uint8_t number);

// Resource names the emulator loads its maps from.
inline constexpr const char* QnVT100KeyMapResource = "QNVT100KeyMap";
inline constexpr const char* QnVT100CharSetResource = "QNVT100CharSet";

class TQnVT100Emulator : public TQnTerminalEmulator {
public:
    TQnVT100Emulator();
    ~TQnVT100Emulator() override;

    // Bytes 80h..FFh are written as they are; when false, the box-drawing
    // bytes of code page 437 become line-drawing characters and the rest is dropped.
    bool DisplayUpperASCII = false;

    // --- modes --------------------------------------------------------------
    // ANSI (true) or VT52 (false); the parser follows in the same step.
    bool ANSIMode() const { return !FParser.VT52Mode(); }
    void SetANSIMode(bool on) { FParser.SetVT52Mode(!on); }
    bool CursorKeyAppMode = false;
    bool KeypadAppMode = false;
    bool AutoRepeat = true;
    bool Col132Mode() const { return FCol132Mode; }
    void SetCol132Mode(bool on);
    bool OriginMode() const { return FOriginMode; }
    void SetOriginMode(bool on);
    bool ReverseScreen() const { return FReverseScreen; }
    void SetReverseScreen(bool on);
    bool InsertMode() const { return Buffer()->UseInsertMode; }
    bool NewLineMode() const { return Buffer()->UseNewLineMode; }
    bool AutoWrap() const { return Buffer()->UseAutoWrap; }
    bool Interlace() const { return FInterlace; }
    bool SmoothScroll() const { return FSmoothScroll; }
    bool ShiftOut() const { return FShiftOut; }
    uint8_t G0CharSet() const { return FG0CharSet; }
    uint8_t G1CharSet() const { return FG1CharSet; }
    uint8_t LEDs() const { return FLEDs; }

    // --- owned parts ----------------------------------------------------------
    TQnVT100Parser& Parser() { return FParser; }
    TQnKeyboardMapping& KeyboardMap() { return FKeyMap; }
    TQnCharSetMapping& CharSetMap() { return FCharSetMap; }
    TQnLineAttrArray& LineAttrs() { return *FLineAttrs; }
    // Why a map resource failed to load (empty when both loaded).
    const std::string& MapLoadError() const { return FMapLoadError; }

    // --- emulator interface ---------------------------------------------------
    void ProcessBlock(const uint8_t* data, int len, TQnCharSource source) override;
    void KeyDown(uint16_t& key, TShiftState shift) override;
    void KeyPress(char& key) override;
    void ClearScreen() override;
    void ClearAll() override;
    bool NeedsUpdate() override;
    void LazyPaint(TQnTerminalPainter& painter) override;
    void Paint(TQnTerminalPainter& painter) override;
    void BlinkPaint(TQnTerminalPainter& painter, bool phase) override;
    bool HasBlinkingText() override;
    std::vector<std::string> FontNames() const override { return FCharSetMap.GetFontNames(); }

    // The report of terminal parameters for request 0 or 1.
    std::string FormatTermParamsReport(int request) const;

private:
    void HandleByte(uint8_t ch);
    void ProcessParserCommand();
    void WriteBoxChar(uint8_t ch);
    void SetModes(bool on);
    void SetMode(int mode, bool on);
    void SetPrivateMode(int mode, bool on);
    void SelectGraphicRendition();
    void DesignateCharSet(int which, int final);
    void SetLineAttr(TQnLineAttr attr);
    void Reset();
    int Count(int screenLimit) const;
    void SendKeyText(const std::string& text);

    TQnVT100Parser FParser;
    TQnKeyboardMapping FKeyMap;
    TQnCharSetMapping FCharSetMap;
    std::unique_ptr<TQnLineAttrArray> FLineAttrs;
    std::unique_ptr<TQnVT100Paint> FPaint;
    std::string FMapLoadError;

    bool FCol132Mode = false;
    bool FOriginMode = false;
    bool FReverseScreen = false;
    bool FInterlace = false;
    bool FSmoothScroll = false;
    bool FShiftOut = false;
    uint8_t FG0CharSet = csUSASCII;
    uint8_t FG1CharSet = csUSASCII;
    uint8_t FLEDs = 0;
};
