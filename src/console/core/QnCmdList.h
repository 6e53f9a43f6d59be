#pragma once
// The generic command vocabulary of the terminal emulators and the lists that
// carry commands with named parameters from a per-character hook to the
// emulator's command executor. Also the small integer helpers of the family.

#include <cstdint>
#include <string>
#include <vector>

#include "console/core/QnTrmBuf.h"

enum TQnEmuCommand : uint8_t {
    ecNone,
    ecBell,
    ecBackspace,
    ecTabHorz,
    ecLF,
    ecCR,
    ecBackTabHorz,
    ecCursorDown,
    ecCursorLeft,
    ecCursorRight,
    ecCursorUp,
    ecCursorPos,
    ecDeleteChars,
    ecDeleteLines,
    ecInsertChars,
    ecInsertLines,
    ecEraseAll,
    ecEraseChars,
    ecEraseFromBOW,
    ecEraseFromBOL,
    ecEraseLine,
    ecEraseScreen,
    ecEraseToEOL,
    ecEraseToEOW,
    ecSetHorzTabStop,
    ecClearHorzTabStop,
    ecClearVertTabStop,
    ecClearAllHorzTabStops,
    ecSetVertTabStop,
    ecClearAllVertTabStops,
    ecSetScrollRegion,
    ecTabVert,
    ecBackTabVert,
    ecBackColor,
    ecForeColor,
    ecAbsAddress,
    ecNoAbsAddress,
    ecAutoWrap,
    ecNoAutoWrap,
    ecAutoWrapDelay,
    ecNoAutoWrapDelay,
    ecInsertMode,
    ecNoInsertMode,
    ecNewLineMode,
    ecNoNewLineMode,
    ecScrollRegion,
    ecNoScrollRegion,
    ecSetCharAttr,
    ecAddBold,
    ecBoldOnly,
    ecRemoveBold,
    ecInvertBold,
    ecAddUnderLine,
    ecUnderlineOnly,
    ecRemoveUnderline,
    ecInvertUnderline,
    ecAddStrikethrough,
    ecStrikethroughOnly,
    ecRemoveStrikethrough,
    ecInvertStrikethrough,
    ecAddBlink,
    ecBlinkOnly,
    ecRemoveBlink,
    ecInvertBlink,
    ecAddReverse,
    ecReverseOnly,
    ecRemoveReverse,
    ecInvertReverse,
    ecAddInvisible,
    ecInvisibleOnly,
    ecRemoveInvisible,
    ecInvertInvisible,
    ecAddSelected,
    ecRemoveSelected,
    ecSelectedOnly,
    ecInvertSelected,
    ecRemoveAllAttr,
    ecRemoveAllAttrIgnoreSelect,
    ecClearAndHome,
    ecHome,
    ecCursorEOL,
    ecCursorBOL,
    ecCursorTop,
    ecCursorBottom,
    ecWriteString,
    ecColor,
    ecSaveCursorPos,
    ecRestoreCursorPos,
    ecDeviceAttributesReport,
    ecNEL,
    ecReset,
    ecAnswerback,
    ecDECALN,
    ecDeviceStatusReport,
    ecCursorOff,
    ecCursorUnderline,
    ecCursorBlock
};
inline constexpr int QnEmuCommandCount = ecCursorBlock + 1;  // 97

struct TQnEmuCommandParamsItem {
    std::string Name;
    std::string Value;
};

// Named parameters of one command. Each typed lookup finds the item by its
// exact name, else takes the item at Index, else returns Default; a value
// that does not convert also gives Default.
class TQnEmuCommandParams {
public:
    std::vector<TQnEmuCommandParamsItem> Items;

    TQnEmuCommandParamsItem& Add(std::string name, std::string value);
    int Count() const { return static_cast<int>(Items.size()); }
    int IndexOfName(const std::string& name) const;

    bool GetBoolean(const std::string& name, int index, bool def) const;
    int32_t GetInteger(const std::string& name, int index, int32_t def) const;
    TColor GetColor(const std::string& name, int index, TColor def) const;
    std::string GetString(const std::string& name, int index, const std::string& def) const;

private:
    const TQnEmuCommandParamsItem* Find(const std::string& name, int index) const;
};

struct TQnEmuCommandListItem {
    TQnEmuCommand Command = ecNone;
    TQnEmuCommandParams Params;
};

class TQnEmuCommandList {
public:
    std::vector<TQnEmuCommandListItem> Items;

    TQnEmuCommandListItem& Add(TQnEmuCommand command);
    int Count() const { return static_cast<int>(Items.size()); }
    void Clear() { Items.clear(); }
};

// Converts a signed 32-bit number written in decimal, or in hexadecimal after
// "$" or "0x"; false when the text is not such a number.
bool QnTryStrToInt(const std::string& text, int32_t& value);

inline int QnMinInt(int a, int b) { return a < b ? a : b; }
inline int QnMaxInt(int a, int b) { return a > b ? a : b; }
// The middle one of three; used as a clamp: QnMidInt(value, low, high).
int QnMidInt(int a, int b, int c);
