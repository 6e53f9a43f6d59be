// Terminal key mappings: caret codec, key table and captions, lookup by
// shift state, normalising updates, and the key-map file.

#include "console/MapKeys.h"

#include "machine/ConfigObject.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += char(v);
    return s;
}

TShiftState Shift(std::initializer_list<TShiftStateElement> elements) {
    TShiftState state;
    for (auto e : elements) state.Include(e);
    return state;
}

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "mapkeys-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        FPath = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(FPath, ec);
    }
    std::string File(const std::string& name) const { return (FPath / name).string(); }

private:
    fs::path FPath;
};

std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
}

struct CodecCase {
    std::string caret;
    std::string bytes;
};

TEST(KeyStringCodecTest, DecodesCaretForm) {
    const std::vector<CodecCase> cases = {
        {"^[[A", Bytes({0x1B, 0x5B, 0x41})},
        {"^a", Bytes({0x01})},
        {"^A", Bytes({0x01})},
        {"^z", Bytes({0x1A})},
        {"^[", Bytes({0x1B})},
        {"^_", Bytes({0x1F})},
        {"^`", " "},
        {"^@", Bytes({0x00})},
        {"^^", "^"},
        {"^^^", "^"},
        {"^^^M", Bytes({'^', 0x0D})},
        {"abc^", "abc"},
        {"^1x", "x"},
        {"^ x", "x"},
        {"^?", ""},
        {"", ""},
        {"a=b c", "a=b c"},
        {"\xE9^\xE9", Bytes({0xE9, 0xA9})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TMapTermKeys::DecodeKeyString(c.caret), c.bytes) << '"' << c.caret << '"';
}

TEST(KeyStringCodecTest, EncodesToCaretForm) {
    const std::vector<CodecCase> cases = {
        {"^[[A", Bytes({0x1B, 0x5B, 0x41})},
        {"^A^Z", Bytes({0x01, 0x1A})},
        {"^@", Bytes({0x00})},
        {"^_", Bytes({0x1F})},
        {"^^", "^"},
        {"a b", "a b"},
        {"^`a b^`", " a b "},
        {"^`^`x^`^`", "  x  "},
        {"^`^`^`", "   "},
        {"^`^M", Bytes({' ', 0x0D})},
        {"\x7F\xE9\xFF", "\x7F\xE9\xFF"},
        {"", ""},
        // 1Eh has no caret form ("^^" is the caret): raw, fenced at the ends.
        {"^!\x1E^!", "\x1E"},
        {"a\x1E^^", "a\x1E^"},
        {"^!\x1E\x1E^!", "\x1E\x1E"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TMapTermKeys::EncodeKeyString(c.bytes), c.caret) << '"' << c.caret << '"';
}

TEST(KeyStringCodecTest, EveryByteRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, char(b));
        EXPECT_EQ(TMapTermKeys::DecodeKeyString(TMapTermKeys::EncodeKeyString(one)), one) << b;
        const std::string framed = " " + one + "^" + one + " ";
        EXPECT_EQ(TMapTermKeys::DecodeKeyString(TMapTermKeys::EncodeKeyString(framed)), framed)
            << b;
    }
}

TEST(KeyTableTest, KeysCodesAndCaptions) {
    struct Key {
        const char* name;
        uint16_t code;
    };
    const std::vector<Key> keys = {
        {"Up Arrow", 0x26}, {"Down Arrow", 0x28}, {"Left Arrow", 0x25}, {"Right Arrow", 0x27},
        {"Page Down", 0x22}, {"Page Up", 0x21}, {"Home", 0x24},       {"End", 0x23},
        {"Backspace", 0x08}, {"Delete", 0x2E},  {"Insert", 0x2D},     {"F1", 0x70},
        {"F2", 0x71},        {"F3", 0x72},      {"F4", 0x73},         {"F5", 0x74},
        {"F6", 0x75},        {"F7", 0x76},      {"F8", 0x77},         {"F9", 0x78},
        {"F10", 0x79},       {"F11", 0x7A},     {"F12", 0x7B},
    };
    ASSERT_EQ(keys.size(), size_t(TermKeyCount));
    for (int i = 0; i < TermKeyCount; ++i) {
        const Key& k = keys[size_t(i)];
        int index = -1;
        EXPECT_TRUE(TMapTermKeys::FindKey(k.code, index)) << k.name;
        EXPECT_EQ(index, i) << k.name;
        EXPECT_EQ(TMapTermKeys::GetKeyCaption(i, tksNormal), k.name);
        EXPECT_EQ(TMapTermKeys::GetKeyCaption(i, tksShift), std::string("Shift-") + k.name);
        EXPECT_EQ(TMapTermKeys::GetKeyCaption(i, tksCtrl), std::string("Ctrl-") + k.name);
    }
    for (uint16_t code : {uint16_t(VK_TAB), uint16_t(VK_RETURN), uint16_t(0x41), uint16_t(0x7C),
                          uint16_t(0x26 + 0x100)}) {
        int index = -1;
        EXPECT_FALSE(TMapTermKeys::FindKey(code, index)) << code;
    }
    EXPECT_EQ(TMapTermKeys::GetKeyCaption(TermKeyCount, tksNormal), "");
    EXPECT_EQ(TMapTermKeys::GetKeyCaption(0, KeyStateCount), "");
    EXPECT_EQ(TMapTermKeys::GetKeyCaption(-1, tksShift), "");
    EXPECT_STREQ(KeyStateCaptions[0], "Normal");
    EXPECT_STREQ(KeyStateCaptions[1], "Shift");
    EXPECT_STREQ(KeyStateCaptions[2], "Ctrl");
}

TEST(KeyLookupTest, ShiftStateChoosesTheMapping) {
    TMapTermKeys map("unused.kmap");
    map.SetMapping(0, tksNormal, "^[[A");
    map.SetMapping(0, tksCtrl, "^[OA");
    struct Case {
        const char* what;
        TShiftState shift;
        bool mapped;
        std::string bytes;
    };
    const std::string normal = Bytes({0x1B, '[', 'A'});
    const std::string ctrl = Bytes({0x1B, 'O', 'A'});
    const std::vector<Case> cases = {
        {"none", Shift({}), true, normal},
        {"Shift (not mapped)", Shift({ssShift}), false, ""},
        {"Ctrl", Shift({ssCtrl}), true, ctrl},
        {"Shift+Ctrl", Shift({ssShift, ssCtrl}), true, normal},
        {"Alt", Shift({ssAlt}), true, normal},
        {"Ctrl+Alt", Shift({ssCtrl, ssAlt}), true, normal},
        {"Shift+left button", Shift({ssShift, ssLeft}), true, normal},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(map.IsKeyMapped(VK_UP, c.shift), c.mapped) << c.what;
        EXPECT_EQ(map.GetKeyBytes(VK_UP, c.shift), c.bytes) << c.what;
    }
    EXPECT_FALSE(map.IsKeyMapped(VK_DOWN, Shift({})));
    EXPECT_EQ(map.GetKeyBytes(VK_DOWN, Shift({})), "");
}

TEST(KeyLookupTest, KeysOutsideTheTableAreNeverMapped) {
    TMapTermKeys map("unused.kmap");
    map.Store().SetValue("State_", "Tab", "x");
    map.SetMapping(TermKeyCount, tksNormal, "y");
    map.SetMapping(0, KeyStateCount, "z");
    map.SetMapping(-1, tksNormal, "w");
    EXPECT_FALSE(map.IsKeyMapped(VK_TAB, Shift({})));
    EXPECT_EQ(map.GetKeyBytes(VK_TAB, Shift({})), "");
    EXPECT_EQ(map.GetMapping(TermKeyCount, tksNormal), "");
    for (int i = 0; i < TermKeyCount; ++i)
        for (int s = 0; s < KeyStateCount; ++s) EXPECT_EQ(map.GetMapping(i, s), "") << i << s;
}

TEST(KeyLookupTest, UpdateStoresTheNormalForm) {
    struct Case {
        std::string typed, stored, bytes;
    };
    const std::vector<Case> cases = {
        {"^a", "^A", Bytes({0x01})},
        {"^^", "^^", "^"},
        {"^1x", "x", "x"},
        {"abc^", "abc", "abc"},
        {" x ", "^`x^`", " x "},
        {"^@", "^@", Bytes({0x00})},
        {"", "", ""},
    };
    TMapTermKeys map("unused.kmap");
    for (const auto& c : cases) {
        map.SetMapping(9, tksShift, "previous");
        EXPECT_EQ(map.UpdateMapping(9, tksShift, c.typed), c.stored) << c.typed;
        EXPECT_EQ(map.GetMapping(9, tksShift), c.stored) << c.typed;
        EXPECT_EQ(map.GetKeyBytes(VK_DELETE, Shift({ssShift})), c.bytes) << c.typed;
        EXPECT_EQ(map.IsKeyMapped(VK_DELETE, Shift({ssShift})), !c.stored.empty()) << c.typed;
    }
}

TEST(KeyMapFileTest, MappingsSurviveSaveAndLoad) {
    TempFolder folder;
    const std::string file = folder.File("tavrin.kmap");
    const std::vector<std::string> typed = {" leading", "trailing ", "  ", "^@", "^[[A", "a=b",
                                            "^^", "\xE9\xFF", "\x1E", "a\x1E", "\x1E^`"};
    {
        TMapTermKeys map(file);
        EXPECT_FALSE(map.Load());
        for (size_t i = 0; i < typed.size(); ++i) map.UpdateMapping(int(i), int(i % 3), typed[i]);
        ASSERT_TRUE(map.Save());
    }
    const std::string text = ReadFile(file);
    EXPECT_NE(text.find("[State_]\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[State_Shift]\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[State_Ctrl]\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Up Arrow=^`leading\r\n"), std::string::npos) << text;

    TMapTermKeys loaded(file);
    ASSERT_TRUE(loaded.Load());
    for (size_t i = 0; i < typed.size(); ++i) {
        TShiftState shift;
        if (i % 3 == 1) shift.Include(ssShift);
        if (i % 3 == 2) shift.Include(ssCtrl);
        EXPECT_EQ(loaded.GetKeyBytes(TermKeyCodes[i], shift),
                  TMapTermKeys::DecodeKeyString(typed[i]))
            << typed[i];
    }
}

TEST(KeyMapFileTest, UnknownKeysAreKeptButUnused) {
    TempFolder folder;
    const std::string file = folder.File("tavrin.kmap");
    WriteFile(file, "[State_]\r\nNum Lock=^[Op\r\nup arrow=^[[A\r\n[Other]\r\nKey=1\r\n");
    TMapTermKeys map(file);
    ASSERT_TRUE(map.Load());
    EXPECT_EQ(map.GetKeyBytes(VK_UP, Shift({})), Bytes({0x1B, '[', 'A'}));
    map.SetMapping(1, tksNormal, "^[[B");
    ASSERT_TRUE(map.Save());

    TMapTermKeys again(file);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.Store().GetValue("State_", "Num Lock"), "^[Op");
    EXPECT_EQ(again.Store().GetValue("Other", "Key"), "1");
    EXPECT_EQ(again.GetMapping(1, tksNormal), "^[[B");
}

TEST(KeyMapFileTest, LoadReplacesAndMissingFileEmpties) {
    TempFolder folder;
    const std::string file = folder.File("tavrin.kmap");
    WriteFile(file, "[State_Ctrl]\r\nF1=one\r\n");
    TMapTermKeys map(file);
    map.SetMapping(2, tksNormal, "old");
    ASSERT_TRUE(map.Load());
    EXPECT_EQ(map.GetMapping(2, tksNormal), "");
    EXPECT_EQ(map.GetMapping(11, tksCtrl), "one");

    map.SetFileName(folder.File("missing.kmap"));
    EXPECT_FALSE(map.Load());
    EXPECT_EQ(map.GetMapping(11, tksCtrl), "");
}

TEST(KeyMapFileTest, UnreadableFileIsNotOverwritten) {
    TempFolder folder;
    const std::string file = folder.File("tavrin.kmap");
    fs::create_directory(file);  // exists, but cannot be read as a key map
    TMapTermKeys map(file);
    EXPECT_THROW(map.Load(), std::system_error);
    EXPECT_TRUE(map.LoadFailed());
    map.SetMapping(0, tksNormal, "x");
    EXPECT_FALSE(map.Save());
    EXPECT_TRUE(fs::is_directory(file));
}

}  // namespace
