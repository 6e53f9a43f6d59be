// Terminal key mappings: the caret codec, and the key-map file read back
// by key and shift state.

#include "console/MapKeys.h"

#include "machine/ConfigObject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace {

using tavrin::test::ReadFile;
using TempFolder = tavrin::test::TTempFolder;

TEST(KeyStringCodecTest, DecodesCaretForm) {
    const std::vector<std::pair<std::string, std::string>> cases = {  // caret form, bytes
        {"^[[A", "\x1B[A"},
        {"^a", "\x01"},
        {"^A", "\x01"},
        {"^_", "\x1F"},
        {"^`", " "},
        {"^@", std::string(1, '\0')},
        {"^^", "^"},
        {"^^^", "^"},
        {"^^^M", "^\r"},
        {"abc^", "abc"},
        {"^1x", "x"},
        {"^?", ""},
        {"a=b c", "a=b c"},
        {"\xE9^\xE9", "\xE9\xA9"},
    };
    for (const auto& [caret, bytes] : cases)
        EXPECT_EQ(TMapTermKeys::DecodeKeyString(caret), bytes) << '"' << caret << '"';
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

}  // namespace
