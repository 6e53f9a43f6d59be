#pragma once
// Keyboard and character-set maps of the VT100 terminal, both string-keyed
// hash tables filled from "AHT3" resources compiled into the program.
//
// TQnKeyboardMapping holds three levels of names in one table: "\x26" ->
// "VK_UP" (key code to key name), "shift+VK_UP" -> "DEC_UPc" (key with
// modifiers to terminal key) and "DEC_UP1" -> "\e[A" (terminal key in a mode
// to the text it sends). TQnCharSetMapping tells, per character set and
// character, which font and glyph draw it and cuts a text into runs of one
// font (the draw script).
//
// Strings hold at most 63 characters; longer ones are cut. Keys compare
// exactly. Plain C++.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

inline constexpr size_t QnMaxMapString = 63;
// Font name of a character drawn in the terminal's own font.
inline constexpr const char* QnDefaultFontName = "<Default>";

// The PJW hash (ELF form) over the characters of `text`, starting from `seed`.
uint32_t QnElfHash(std::string_view text, uint32_t seed = 0);

// The two AHT3 resources of the program, by name (case-insensitive):
// "QNVT100KeyMap" and "QNVT100CharSet". Empty when there is no such resource.
struct TQnResource {
    const uint8_t* Data = nullptr;
    size_t Size = 0;
};
TQnResource QnFindResource(std::string_view name);

class TQnKeyboardMapping {
public:
    static constexpr uint32_t BucketCount = 57;

    TQnKeyboardMapping() : FBuckets(BucketCount) {}

    // False, keeping the old value, when the key is already there.
    bool Add(std::string_view key, std::string_view value);
    // The value, or an empty string.
    std::string Get(std::string_view key) const;
    bool Find(std::string_view key) const { return Lookup(key) != nullptr; }
    void Clear();
    int Count() const { return FCount; }

    // Clears the map and loads the named program resource. A missing, short
    // or damaged resource leaves the map empty and returns false with the
    // reason in `error`.
    bool LoadFromRes(std::string_view resName, std::string* error = nullptr);
    bool LoadFromBlob(const uint8_t* data, size_t size, std::string* error = nullptr);

private:
    struct TEntry {
        std::string Key, Value;
    };
    const TEntry* Lookup(std::string_view key) const;

    std::vector<std::deque<TEntry>> FBuckets;  // newest entry first in a chain
    int FCount = 0;
};

class TQnCharSetMapping {
public:
    static constexpr uint32_t BucketCount = 199;

    struct TEntry {
        std::string CharSet, FontName;
        uint8_t Char = 0, Glyph = 0;
    };
    // One run of glyphs drawn in one font.
    struct TDrawCommand {
        std::string FontName;
        std::string Text;
    };

    TQnCharSetMapping() : FBuckets(BucketCount) {}

    // Adds FromCh..ToCh of a set, glyphs counting up from `glyph`. False, and
    // nothing added, when any of those characters already has an entry.
    bool Add(std::string_view charSet, uint8_t fromCh, uint8_t glyph, std::string_view fontName, uint8_t toCh);
    const TEntry* Find(std::string_view charSet, uint8_t ch) const;
    void Clear();
    int Count() const { return FCount; }

    bool LoadFromRes(std::string_view resName, std::string* error = nullptr);
    bool LoadFromBlob(const uint8_t* data, size_t size, std::string* error = nullptr);

    // Replaces the draw script by the runs of `text` in `charSet`; an empty
    // text leaves the old script.
    void GenerateDrawScript(std::string_view charSet, std::string_view text);
    // Takes the first run of the script; false when it is empty.
    bool GetNextDrawCommand(std::string& fontName, std::string& text);
    // Distinct font names other than "<Default>" (case-insensitively), in bucket order.
    std::vector<std::string> GetFontNames() const;

private:
    std::vector<std::deque<TEntry>> FBuckets;
    std::deque<TDrawCommand> FScript;
    int FCount = 0;
};
