// Disassembler: table shape (pages, counts, order, fields), the texts of
// representative instructions, and a sweep over every prefix/opcode
// combination checking lookup and operand substitution against simple
// independent rules.

#include "cpu/OpcodeToText.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

namespace {

// Packs up to four instruction bytes; unused trailing bytes get a filler
// that must never show up in the text.
uint32_t Pack(std::initializer_list<int> bytes) {
    uint32_t packed = 0x99999999u;
    int shift = 0;
    for (int b : bytes) {
        packed &= ~(0xFFu << shift);
        packed |= uint32_t(b & 0xFF) << shift;
        shift += 8;
    }
    return packed;
}

std::string HexBytes(uint32_t packed) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02X %02X %02X %02X", packed & 0xFF, (packed >> 8) & 0xFF,
                  (packed >> 16) & 0xFF, packed >> 24);
    return buf;
}

std::vector<std::string> Operands(const std::string& text) {
    std::vector<std::string> out;
    const auto space = text.find(' ');
    if (space == std::string::npos) return out;
    std::string rest = text.substr(space + 1) + ",";
    for (size_t start = 0, comma; (comma = rest.find(',', start)) != std::string::npos;
         start = comma + 1)
        out.push_back(rest.substr(start, comma - start));
    return out;
}

const TOpcodeEntry* UnprefixedRow(int opcode) {
    for (const auto& e : OpcodeTable())
        if (e.PrefixCount == 0 && e.Opcode == opcode) return &e;
    return nullptr;
}

// The DD and FD pages hold exactly the unprefixed instructions that name H,
// L, HL or (HL), except EX DE,HL.
bool UsesHOrL(int opcode) {
    if (opcode == 0xEB) return false;
    const TOpcodeEntry* row = UnprefixedRow(opcode);
    if (row == nullptr) return false;
    for (const auto& a : Operands(row->Mnemonic))
        if (a == "H" || a == "L" || a == "HL" || a == "(HL)") return true;
    return false;
}

bool InEdPage(int op) {
    if (op >= 0x40 && op <= 0x7F) return op != 0x77 && op != 0x7F;
    const int low = op & 0x0F;
    return (op >> 4) >= 0xA && (op >> 4) <= 0xB && (low <= 3 || (low >= 8 && low <= 0xB));
}

struct PageCase {
    const char* name;
    int count, prefix1, prefix2;
    int rows, starred;
    std::function<bool(int)> holds;
};

TEST(OpcodeTableTest, EachPageHoldsItsOpcodesAndStarredRows) {
    const auto all = [](int) { return true; };
    const std::vector<PageCase> pages = {
        {"unprefixed", 0, 0, 0, 252, 0,
         [](int op) { return op != 0xCB && op != 0xDD && op != 0xED && op != 0xFD; }},
        {"CB", 1, 0xCB, 0, 256, 8, all},
        {"DD", 1, 0xDD, 0, 85, 46, UsesHOrL},
        {"ED", 1, 0xED, 0, 78, 20, InEdPage},
        {"FD", 1, 0xFD, 0, 85, 46, UsesHOrL},
        {"DD CB", 2, 0xDD, 0xCB, 256, 225, all},
        {"FD CB", 2, 0xFD, 0xCB, 256, 225, all},
    };
    const auto table = OpcodeTable();
    ASSERT_EQ(table.size(), size_t(OpcodeTableRowCount));
    size_t total = 0;
    for (const auto& page : pages) {
        SCOPED_TRACE(page.name);
        std::set<int> opcodes;
        int rows = 0, starred = 0;
        for (const auto& e : table) {
            if (e.PrefixCount != page.count || e.Prefix1 != page.prefix1 ||
                e.Prefix2 != page.prefix2)
                continue;
            ++rows;
            starred += !e.Mnemonic.empty() && e.Mnemonic.back() == '*';
            opcodes.insert(e.Opcode);
        }
        EXPECT_EQ(rows, page.rows);
        EXPECT_EQ(starred, page.starred);
        for (int op = 0; op < 256; ++op)
            EXPECT_EQ(opcodes.count(op) == 1, page.holds(op)) << "opcode " << op;
        total += size_t(rows);
    }
    EXPECT_EQ(total, table.size()) << "rows outside the seven pages";
}

TEST(OpcodeTableTest, RowsAscendByInstructionBytes) {
    std::vector<int> previous;
    for (const auto& e : OpcodeTable()) {
        std::vector<int> key;
        if (e.PrefixCount >= 1) key.push_back(e.Prefix1);
        if (e.PrefixCount == 2) key.push_back(e.Prefix2);
        key.push_back(e.Opcode);
        EXPECT_LT(previous, key) << e.Mnemonic;
        previous = key;
    }
}

TEST(OpcodeTableTest, FieldsFollowTheMnemonic) {
    for (const auto& e : OpcodeTable()) {
        SCOPED_TRACE(e.Mnemonic);
        EXPECT_LE(e.Mnemonic.size(), 31u);
        for (char c : e.Mnemonic) {
            if (std::islower(static_cast<unsigned char>(c))) {
                EXPECT_TRUE(c == 'n' || c == 'd' || c == 'e') << "stray lower-case " << c;
            }
        }
        const bool indexed = e.PrefixCount == 2;
        EXPECT_EQ(e.HasDisplacement, indexed ? 1 : 0);
        EXPECT_EQ(e.Prefix2, indexed ? 0xCB : 0);
        int kind = 0;
        if (e.Mnemonic.find("nn") != std::string::npos)
            kind = 2;
        else if (e.Mnemonic.find_first_of("dne") != std::string::npos)
            kind = 1;
        if (indexed) kind = 0;
        if (e.PrefixCount == 1 && e.Prefix1 != 0xCB && e.Prefix1 != 0xED && e.Opcode == 0x36)
            kind = 2;  // LD (IX+d),n and LD (IY+d),n only
        EXPECT_EQ(e.OperandKind, kind);
    }
}

struct TextCase {
    uint32_t bytes;
    const char* text;
};

TEST(DisassembleOpcodeTest, GivesTheInstructionText) {
    const std::vector<TextCase> cases = {
        // unprefixed
        {0x00000000u, "NOP"},
        {Pack({0xC3, 0x34, 0x12}), "JP (1234)"},
        {Pack({0xCD, 0x00, 0x80}), "CALL (8000)"},
        {Pack({0x3E, 0x0A}), "LD A,0A"},
        {Pack({0x18, 0xFE}), "JR (PC+FE)"},
        {Pack({0x20, 0x10}), "JR NZ,(PC+10)"},
        {Pack({0x10, 0x80}), "DJNZ (PC+80)"},
        {Pack({0xD3, 0x10}), "OUT (10),A"},
        {Pack({0xDB, 0x7F}), "IN A,(7F)"},
        {Pack({0x08}), "EX AF,AF"},
        {Pack({0xC7}), "RST 0H"},
        {Pack({0xFF}), "RST 38H"},
        {Pack({0x76}), "HALT"},
        {Pack({0x98}), "SBC A,B"},
        {Pack({0xBE}), "CP (HL)"},
        {Pack({0xCE, 0x01}), "ADC A,01"},
        {Pack({0xE6, 0xF0}), "AND F0"},
        {Pack({0xC2, 0xCD, 0xAB}), "JP NZ,(ABCD)"},
        {Pack({0x22, 0x34, 0x12}), "LD (1234),HL"},
        {Pack({0xE9}), "JP (HL)"},
        // CB page
        {Pack({0xCB, 0x37}), "SLL A*"},
        {Pack({0xCB, 0x36}), "SLL (HL)*"},
        {Pack({0xCB, 0x5E}), "BIT 3,(HL)"},
        {Pack({0xCB, 0xFF}), "SET 7,A"},
        // DD and FD pages
        {Pack({0xDD, 0x7E, 0x05}), "LD A,(IX+05)"},
        {Pack({0xDD, 0x21, 0x34, 0x12}), "LD IX,1234"},
        {Pack({0xDD, 0x34, 0x80}), "INC (IX+80)"},
        {Pack({0xFD, 0xE9}), "JP (IY)"},
        {Pack({0xDD, 0x66, 0x05}), "LD H,(IX+05)"},
        {Pack({0xDD, 0x75, 0xFB}), "LD (IX+FB),L"},
        {Pack({0xDD, 0x26, 0x12}), "LD IXH,12*"},
        {Pack({0xDD, 0x65}), "LD IXH,IXL*"},
        {Pack({0xFD, 0x85}), "ADD A,IYL*"},
        {Pack({0xDD, 0x29}), "ADD IX,IX"},
        {Pack({0xDD, 0xE3}), "EX (SP),IX"},
        {Pack({0xFD, 0x22, 0x34, 0x12}), "LD (1234),IY"},
        {Pack({0xDD, 0x36, 0x05, 0x20}), "LD (IX+05),20"},
        {Pack({0xFD, 0x36, 0xFF, 0x00}), "LD (IY+FF),00"},
        // DD CB and FD CB pages: displacement before the opcode
        {Pack({0xDD, 0xCB, 0x05, 0x46}), "BIT 0,(IX+05)"},
        {Pack({0xDD, 0xCB, 0x05, 0x00}), "LD B,RLC (IX+05)*"},
        {Pack({0xDD, 0xCB, 0x05, 0x5F}), "BIT 3,(IX+05)*"},
        {Pack({0xDD, 0xCB, 0x05, 0x36}), "SLL (IX+05)*"},
        {Pack({0xDD, 0xCB, 0x05, 0x37}), "LD A,SLL (IX+05)*"},
        {Pack({0xDD, 0xCB, 0x05, 0x91}), "LD C,RES 2,(IX+05)*"},
        {Pack({0xFD, 0xCB, 0x10, 0x8E}), "RES 1,(IY+10)"},
        {Pack({0xFD, 0xCB, 0xFE, 0xFF}), "LD A,SET 7,(IY+FE)*"},
        // ED page
        {Pack({0xED, 0x43, 0x34, 0x12}), "LD (1234),BC"},
        {Pack({0xED, 0x6B, 0x00, 0xC0}), "LD HL,(C000)"},
        {Pack({0xED, 0x4E}), "IM 0/1*"},
        {Pack({0xED, 0x70}), "IN F,(C)* / IN (C)*"},
        {Pack({0xED, 0x71}), "OUT (C),0*"},
        {Pack({0xED, 0x4D}), "RETI"},
        {Pack({0xED, 0x55}), "RETN*"},
        {Pack({0xED, 0x57}), "LD A,I"},
        {Pack({0xED, 0xB0}), "LDIR"},
        {Pack({0xED, 0xBB}), "OTDR"},
        // no such instruction
        {Pack({0xED, 0x00}), "???"},
        {Pack({0xED, 0x77}), "???"},
        {Pack({0xED, 0xA4}), "???"},
        {Pack({0xED, 0xCB}), "???"},
        {Pack({0xDD, 0x00}), "???"},
        {Pack({0xDD, 0xEB}), "???"},
        {Pack({0xFD, 0xED}), "???"},
    };
    for (const auto& c : cases) {
        std::string text = "previous";
        DisassembleOpcode(c.bytes, text);
        EXPECT_EQ(text, c.text) << HexBytes(c.bytes);
        EXPECT_EQ(DisassembleOpcode(c.bytes), c.text) << HexBytes(c.bytes);
        EXPECT_EQ(FindOpcodeEntry(c.bytes) < 0, std::string(c.text) == "???") << HexBytes(c.bytes);
    }
}

// The row a top-down scan of the table finds for the given bytes.
int32_t ScanForRow(uint32_t bytes) {
    const int b0 = bytes & 0xFF, b1 = (bytes >> 8) & 0xFF, b3 = bytes >> 24;
    int count = 0, opcode = b0;
    if (b0 == 0xCB || b0 == 0xED || b0 == 0xDD || b0 == 0xFD) {
        count = 1;
        opcode = b1;
        if (b0 != 0xCB && b0 != 0xED && b1 == 0xCB) {
            count = 2;
            opcode = b3;
        }
    }
    const auto table = OpcodeTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const auto& e = table[i];
        if (e.PrefixCount == count && e.Opcode == opcode && (count == 0 || e.Prefix1 == b0))
            return int32_t(i);
    }
    return -1;
}

// Checks text against the row's mnemonic: literal characters as they stand,
// every placeholder replaced by the operand bytes in instruction order ("nn"
// little-endian, shown high byte first).
::testing::AssertionResult FilledFrom(const TOpcodeEntry& e, uint32_t bytes,
                                      const std::string& text) {
    std::vector<int> operands;
    if (e.PrefixCount == 2)
        operands.push_back(int((bytes >> 16) & 0xFF));
    else
        for (int i = e.PrefixCount + 1; i < 4; ++i) operands.push_back(int((bytes >> (8 * i)) & 0xFF));
    size_t next = 0;
    std::string expected;
    char buf[8];
    for (size_t i = 0; i < e.Mnemonic.size(); ++i) {
        const char c = e.Mnemonic[i];
        if (c == 'n' && i + 1 < e.Mnemonic.size() && e.Mnemonic[i + 1] == 'n') {
            std::snprintf(buf, sizeof buf, "%02X%02X", operands.at(next + 1), operands.at(next));
            next += 2;
            ++i;
            expected += buf;
        } else if (c == 'n' || c == 'd' || c == 'e') {
            std::snprintf(buf, sizeof buf, "%02X", operands.at(next++));
            expected += buf;
        } else {
            expected += c;
        }
    }
    if (text == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << HexBytes(bytes) << ": got \"" << text
                                         << "\", expected \"" << expected << "\"";
}

void CheckBytes(uint32_t bytes, const std::span<const TOpcodeEntry>& table, int& failures) {
    const int32_t row = FindOpcodeEntry(bytes);
    const std::string text = DisassembleOpcode(bytes);
    if (row < 0) {
        if (text != "???") {
            ADD_FAILURE() << HexBytes(bytes) << " has no row but gives " << text;
            ++failures;
        }
        return;
    }
    if (row >= OpcodeTableRowCount) {
        ADD_FAILURE() << HexBytes(bytes) << " row out of range " << row;
        ++failures;
        return;
    }
    const auto result = FilledFrom(table[size_t(row)], bytes, text);
    if (!result) {
        ADD_FAILURE() << result.message();
        ++failures;
    }
}

TEST(DisassembleOpcodeTest, LookupMatchesATopDownScan) {
    // The row depends on b0, b1 and (after DD CB / FD CB) b3 only.
    for (uint32_t b01 = 0; b01 < 0x10000; ++b01) {
        const uint32_t bytes = b01 | 0x5A000000u;
        ASSERT_EQ(FindOpcodeEntry(bytes), ScanForRow(bytes)) << HexBytes(bytes);
    }
    for (uint32_t prefix : {0xDDu, 0xFDu})
        for (uint32_t b3 = 0; b3 < 256; ++b3) {
            const uint32_t bytes = prefix | 0xCB00u | 0x00770000u | (b3 << 24);
            ASSERT_EQ(FindOpcodeEntry(bytes), ScanForRow(bytes)) << HexBytes(bytes);
        }
}

TEST(DisassembleOpcodeTest, EveryByteCombinationGivesItsRowTextOrUnknown) {
    const auto table = OpcodeTable();
    int failures = 0;
    for (uint32_t b01 = 0; b01 < 0x10000 && failures < 20; ++b01)
        for (uint32_t b2 : {0x00u, 0x5Au, 0xA5u, 0xFFu})
            for (uint32_t b3 : {0x00u, 0x3Cu, 0xC3u, 0xFFu})
                CheckBytes(b01 | (b2 << 16) | (b3 << 24), table, failures);
    // After DD CB / FD CB every displacement with every opcode.
    for (uint32_t prefix : {0xDDu, 0xFDu})
        for (uint32_t b23 = 0; b23 < 0x10000 && failures < 20; ++b23)
            CheckBytes(prefix | 0xCB00u | (b23 << 16), table, failures);
    EXPECT_EQ(failures, 0);
}

}  // namespace
