// Keyboard and character-set maps: the two compiled resources, the AHT3
// loader on damaged blobs and lookups; and the terminal key map with its
// caret codec, read back by key and shift state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/core/MapKeys.h"
#include "console/core/QnTrmMap.h"
#include "console/core/QnTrmVT100.h"
#include "platform/core/ConfigObject.h"
#include "support/TempFolder.h"

namespace {

using tavrin::test::ReadFile;

TEST(QnKeyboardMapping, LoadsAllThreeLevels) {
    TQnKeyboardMapping m;
    ASSERT_TRUE(m.LoadFromRes("QNVT100KeyMap"));
    EXPECT_EQ(m.Count(), 221);  // the emulator's key table reads its entries for real keys
    // One entry of each level; keys compare with their case.
    EXPECT_EQ(
        std::vector<std::string>({m.Get("\\x87"), m.Get("VK_F12"), m.Get("DEC_KP,6"), m.Get("vk_f1"), m.Get("\\x0A")}),
        std::vector<std::string>({"VK_F24", "DEC_LF", "\\eOl", "", ""}));
}

// The loader relies on it: of two equal keys the first stays.
TEST(QnKeyboardMapping, AddKeepsTheFirstOfEqualKeys) {
    TQnKeyboardMapping m;
    ASSERT_TRUE(m.LoadFromRes("QNVT100KeyMap"));
    EXPECT_FALSE(m.Add("VK_F1", "x"));
    EXPECT_EQ(m.Get("VK_F1"), "DEC_PF1k");
}

// A blob of two keyboard records framed as AHT3, for damaging; its first key
// is longer than the 63 characters a map keeps.
std::vector<uint8_t> TwoKeyRecords() {
    std::vector<uint8_t> b = {'A', 'H', 'T', '3', 2, 0, 0, 0};
    for (const std::string& s : {std::string(100, 'k'), std::string("v1"), std::string("k2"), std::string("v2")}) {
        b.push_back(static_cast<uint8_t>(s.size()));
        b.insert(b.end(), s.begin(), s.end());
    }
    b.insert(b.end(), {'A', 'H', 'T', '3'});
    return b;
}

TEST(QnKeyboardMapping, DamagedBlobsLeaveAnEmptyMapAndSayWhy) {
    const std::vector<uint8_t> good = TwoKeyRecords();
    {
        TQnKeyboardMapping m;
        ASSERT_TRUE(m.LoadFromBlob(good.data(), good.size()));
        EXPECT_EQ(m.Get(std::string(63, 'k')), "v1");
        EXPECT_EQ(m.Get("k2"), "v2");
    }
    struct Damage {
        const char* what;
        std::vector<uint8_t> blob;
    };
    std::vector<uint8_t> wrongMagic = good;
    wrongMagic[3] = '2';
    std::vector<uint8_t> noTrailer(good.begin(), good.end() - 4);
    std::vector<uint8_t> badTrailer = good;
    badTrailer.back() = 'X';
    std::vector<uint8_t> tooMany = good;
    tooMany[4] = 3;
    std::vector<uint8_t> longString = good;
    longString[8] = 250;  // the first key claims more bytes than there are
    const Damage damages[] = {
        {"empty", {}},
        {"wrong magic", wrongMagic},
        {"short count", {'A', 'H', 'T', '3', 1, 0}},
        {"no trailer", noTrailer},
        {"bad trailer", badTrailer},
        {"count above records", tooMany},
        {"string past the end", longString},
        {"cut inside a record", std::vector<uint8_t>(good.begin(), good.begin() + 12)},
    };
    for (const Damage& d : damages) {
        TQnKeyboardMapping m;
        m.Add("old", "entry");
        std::string error;
        EXPECT_FALSE(m.LoadFromBlob(d.blob.data(), d.blob.size(), &error)) << d.what;
        EXPECT_EQ(m.Count(), 0) << d.what;
        EXPECT_FALSE(error.empty()) << d.what;
    }
    TQnKeyboardMapping missing;
    std::string error;
    EXPECT_FALSE(missing.LoadFromRes("NoSuchMap", &error));
    EXPECT_NE(error.find("NoSuchMap"), std::string::npos);
}

TEST(QnCharSetMapping, LoadsTheFiveSets) {
    TQnCharSetMapping m;
    ASSERT_TRUE(m.LoadFromRes("qnvt100charset"));
    EXPECT_EQ(m.Count(), 603);
    struct Row {
        const char* set;
        uint8_t ch;
        const char* font;
        uint8_t glyph;
    };
    const Row rows[] = {
        // The paint tests show the line-drawing glyphs on screen.
        {"VT100-UK", '#', "<Default>", 0x9C},
        {"VT100-ROM1", '~', "<Default>", '~'},
        {"VT100-linedraw", '_', "Terminal", 0x20},
        {"VT100-ROM2", '`', "Terminal", 0x04},
    };
    for (const Row& r : rows) {
        const TQnCharSetMapping::TEntry* e = m.Find(r.set, r.ch);
        ASSERT_NE(e, nullptr) << r.set << " " << int(r.ch);
        EXPECT_EQ(e->FontName, r.font);
        EXPECT_EQ(e->Glyph, r.glyph) << r.set << " " << int(r.ch);
    }
    EXPECT_EQ(m.Find("VT100-UK", 0x7F), nullptr);
    EXPECT_EQ(m.Find("vt100-uk", 'A'), nullptr);  // set names compare exactly
    EXPECT_EQ(m.GetFontNames(), std::vector<std::string>{"Terminal"});
}

TEST(QnCharSetMapping, EmulatorCharSetNames) {
    const char* const names[] = {"VT100-USASCII", "VT100-UK", "VT100-linedraw", "VT100-ROM1", "VT100-ROM2"};
    for (uint8_t set = csUSASCII; set <= csROM2; ++set) EXPECT_STREQ(QnVT100CharSetName(set), names[set]);
    EXPECT_STREQ(QnVT100CharSetName(77), "VT100-USASCII");
}

TEST(KeyStringCodecTest, DecodesCaretForm) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        // caret form, bytes
        {"^[[A", "\x1B[A"}, {"^a", "\x01"},
        {"^A", "\x01"},     {"^_", "\x1F"},
        {"^`", " "},        {"^@", std::string(1, '\0')},
        {"^^", "^"},        {"^^^", "^"},
        {"^^^M", "^\r"},    {"abc^", "abc"},
        {"^1x", "x"},       {"^?", ""},
        {"a=b c", "a=b c"}, {"\xE9^\xE9", "\xE9\xA9"},
    };
    for (const auto& [caret, bytes] : cases)
        EXPECT_EQ(TMapTermKeys::DecodeKeyString(caret), bytes) << '"' << caret << '"';
}

TEST(KeyStringCodecTest, EveryByteRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, char(b));
        EXPECT_EQ(TMapTermKeys::DecodeKeyString(TMapTermKeys::EncodeKeyString(one)), one) << b;
        const std::string framed = " " + one + "^" + one + " ";
        EXPECT_EQ(TMapTermKeys::DecodeKeyString(TMapTermKeys::EncodeKeyString(framed)), framed) << b;
    }
}

TEST(KeyMapFileTest, MappingsSurviveSaveAndLoad) {
    tavrin::test::TTempFolder folder;
    const std::string file = folder.File("tavrin.kmap");
    const std::vector<std::string> typed = {" leading", "trailing ", "  ",   "^@",    "^[[A",  "a=b",
                                            "^^",       "\xE9\xFF",  "\x1E", "a\x1E", "\x1E^`"};
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
        EXPECT_EQ(loaded.GetKeyBytes(TermKeyCodes[i], shift), TMapTermKeys::DecodeKeyString(typed[i])) << typed[i];
    }
}

}  // namespace
