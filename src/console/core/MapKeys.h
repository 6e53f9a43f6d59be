#pragma once
// Terminal key mappings of the TTY console: byte strings the user assigns to
// keys that type no character (arrows, paging keys, Backspace, Delete,
// Insert, F1-F12), separately for the key alone, with Shift and with Ctrl.
// Holds the mappings in caret form in a settings store, answers the console's
// key lookups and loads and saves the ".kmap" file. No widgets here: the
// editing dialog works on this object.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/core/VirtualKeyCodes.h"

class TNrKeyValueSections;

inline constexpr int TermKeyCount = 23;
inline constexpr int KeyStateCount = 3;

// Key states: 0 Normal, 1 Shift, 2 Ctrl.
enum TTermKeyState : int { tksNormal = 0, tksShift = 1, tksCtrl = 2 };

extern const std::array<const char*, TermKeyCount> TermKeyNames;
extern const std::array<uint16_t, TermKeyCount> TermKeyCodes;
// The names used in captions and section names; Normal has none.
extern const std::array<const char*, KeyStateCount> KeyStateNames;
// The choices the dialog offers: "Normal", "Shift", "Ctrl".
extern const std::array<const char*, KeyStateCount> KeyStateCaptions;

class TMapTermKeys {
public:
    // The key-map file beside the program (its name with ".kmap").
    TMapTermKeys();
    explicit TMapTermKeys(std::string fileName);
    ~TMapTermKeys();
    TMapTermKeys(const TMapTermKeys&) = delete;
    TMapTermKeys& operator=(const TMapTermKeys&) = delete;

    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& fileName) { FFileName = fileName; }

    // Replaces the mappings with the file's. A missing file gives no
    // mappings and false. A file that exists but cannot be read throws
    // std::system_error and keeps Save from overwriting it.
    bool Load();
    // Rewrites the whole file from the mappings held (errors propagate).
    // False, writing nothing, after a failed Load.
    bool Save();
    bool LoadFailed() const { return FLoadFailed; }

    // Lookups of the console's key handlers. A key outside the table is
    // never mapped.
    bool IsKeyMapped(uint16_t key, TShiftState shift) const;
    std::string GetKeyBytes(uint16_t key, TShiftState shift) const;

    // Stored caret-form text; empty for an unmapped key or an index or state
    // out of range.
    std::string GetMapping(int index, int state) const;
    // Stores the text (in memory only); out-of-range arguments do nothing.
    void SetMapping(int index, int state, const std::string& text);
    // Stores typed caret text in its normal form and returns what was stored.
    // Empty text unmaps the key.
    std::string UpdateMapping(int index, int state, const std::string& typed);

    TNrKeyValueSections& Store() { return *FStore; }
    const TNrKeyValueSections& Store() const { return *FStore; }

    // Index 0..22 of a virtual key in the table.
    static bool FindKey(uint16_t key, int& index);
    // Exactly Shift gives Shift, exactly Ctrl gives Ctrl, anything else Normal.
    static int KeyStateOf(TShiftState shift);
    // "Up Arrow", "Shift-Up Arrow", "Ctrl-F1"; empty out of range.
    static std::string GetKeyCaption(int index, int state);
    // Caret form to bytes: "^A" is 01h, "^[" 1Bh, "^`" 20h, "^@" 00h, "^^" is
    // "^"; a caret before a character below "@" drops both; a final lone
    // caret is dropped.
    static std::string DecodeKeyString(const std::string& text);
    // Bytes to caret form: bytes below 20h as "^" and the character 40h
    // above, "^" as "^^", leading and trailing blanks as "^`" (the settings
    // file trims values), everything else as itself. 1Eh stays a raw byte
    // ("^^" is taken by the caret), fenced by "^!" at either end of the text.
    static std::string EncodeKeyString(const std::string& bytes);

private:
    std::string FFileName;
    std::unique_ptr<TNrKeyValueSections> FStore;
    bool FLoadFailed = false;
};
