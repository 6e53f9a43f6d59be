// Builds the disassembler's instruction table from the regular structure of
// the Z80 opcode map (x = bits 7-6, y = bits 5-3, z = bits 2-0, p = y / 2,
// q = y % 2) instead of listing 1,268 texts by hand.

#include "cpu/OpcodeToText.h"

#include <array>
#include <string>
#include <vector>

namespace {

constexpr int kCB = 0xCB;
constexpr int kDD = 0xDD;
constexpr int kED = 0xED;
constexpr int kFD = 0xFD;

const std::array<const char*, 8> kReg = {"B", "C", "D", "E", "H", "L", "(HL)", "A"};
const std::array<const char*, 4> kPair = {"BC", "DE", "HL", "SP"};
const std::array<const char*, 4> kPairAF = {"BC", "DE", "HL", "AF"};
const std::array<const char*, 8> kCond = {"NZ", "Z", "NC", "C", "PO", "PE", "P", "M"};
const std::array<const char*, 8> kAlu = {"ADD A,", "ADC A,", "SUB ", "SBC A,", "AND ", "XOR ", "OR ", "CP "};
const std::array<const char*, 8> kRot = {"RLC", "RRC", "RL", "RR", "SLA", "SRA", "SLL", "SRL"};

std::string Hex(unsigned value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), digits[value & 15]);
        value >>= 4;
    } while (value != 0);
    return s;
}

// Text of an unprefixed opcode; empty for the four prefix bytes.
std::string MainText(int op) {
    const int x = op >> 6, y = (op >> 3) & 7, z = op & 7, p = y >> 1, q = y & 1;
    const std::string r = kReg[y];
    switch (x) {
        case 0:
            switch (z) {
                case 0: {
                    static const std::array<const char*, 4> fixed = {"NOP", "EX AF,AF", "DJNZ (PC+e)", "JR (PC+e)"};
                    if (y < 4) return fixed[y];
                    return std::string("JR ") + kCond[y - 4] + ",(PC+e)";
                }
                case 1:
                    return q == 0 ? std::string("LD ") + kPair[p] + ",nn" : std::string("ADD HL,") + kPair[p];
                case 2: {
                    static const std::array<const char*, 4> mem = {"(BC)", "(DE)", "(nn)", "(nn)"};
                    const std::string reg = p == 2 ? "HL" : "A";
                    return q == 0 ? "LD " + std::string(mem[p]) + "," + reg : "LD " + reg + "," + mem[p];
                }
                case 3:
                    return std::string(q == 0 ? "INC " : "DEC ") + kPair[p];
                case 4:
                    return "INC " + r;
                case 5:
                    return "DEC " + r;
                case 6:
                    return "LD " + r + ",n";
                default: {
                    static const std::array<const char*, 8> acc = {"RLCA", "RRCA", "RLA", "RRA",
                                                                   "DAA",  "CPL",  "SCF", "CCF"};
                    return acc[y];
                }
            }
        case 1:
            if (y == 6 && z == 6) return "HALT";
            return "LD " + r + "," + kReg[z];
        case 2:
            return std::string(kAlu[y]) + kReg[z];
        default:
            switch (z) {
                case 0:
                    return std::string("RET ") + kCond[y];
                case 1:
                    if (q == 0) return std::string("POP ") + kPairAF[p];
                    {
                        static const std::array<const char*, 4> misc = {"RET", "EXX", "JP (HL)", "LD SP,HL"};
                        return misc[p];
                    }
                case 2:
                    return std::string("JP ") + kCond[y] + ",(nn)";
                case 3: {
                    static const std::array<const char*, 8> misc = {"JP (nn)",    "",         "OUT (n),A", "IN A,(n)",
                                                                    "EX (SP),HL", "EX DE,HL", "DI",        "EI"};
                    return misc[y];
                }
                case 4:
                    return std::string("CALL ") + kCond[y] + ",(nn)";
                case 5:
                    if (q == 0) return std::string("PUSH ") + kPairAF[p];
                    return p == 0 ? "CALL (nn)" : "";
                case 6:
                    return std::string(kAlu[y]) + "n";
                default:
                    return "RST " + Hex(unsigned(y) * 8) + "H";
            }
    }
}

std::string BitText(int op) {
    const int x = op >> 6, y = (op >> 3) & 7, z = op & 7;
    if (x == 0) return std::string(kRot[y]) + " " + kReg[z] + (y == 6 ? "*" : "");
    static const std::array<const char*, 4> group = {"", "BIT", "RES", "SET"};
    return std::string(group[x]) + " " + std::to_string(y) + "," + kReg[z];
}

// Text of ED 00-FF; empty where the page has no instruction.
std::string ExtendedText(int op) {
    const int x = op >> 6, y = (op >> 3) & 7, z = op & 7, p = y >> 1, q = y & 1;
    if (x == 2) {
        if (z > 3 || y < 4) return "";
        static const std::array<std::array<const char*, 4>, 4> block = {{
            {"LDI", "CPI", "INI", "OUTI"},
            {"LDD", "CPD", "IND", "OUTD"},
            {"LDIR", "CPIR", "INIR", "OTIR"},
            {"LDDR", "CPDR", "INDR", "OTDR"},
        }};
        return block[y - 4][z];
    }
    if (x != 1) return "";
    switch (z) {
        case 0:
            return y == 6 ? "IN F,(C)* / IN (C)*" : std::string("IN ") + kReg[y] + ",(C)";
        case 1:
            return y == 6 ? "OUT (C),0*" : std::string("OUT (C),") + kReg[y];
        case 2:
            return std::string(q == 0 ? "SBC HL," : "ADC HL,") + kPair[p];
        case 3:
            return q == 0 ? std::string("LD (nn),") + kPair[p] : std::string("LD ") + kPair[p] + ",(nn)";
        case 4:
            return y == 0 ? "NEG" : "NEG*";
        case 5:
            return y == 0 ? "RETN" : y == 1 ? "RETI" : "RETN*";
        case 6: {
            static const std::array<const char*, 8> im = {"IM 0",  "IM 0/1*", "IM 1",  "IM 2",
                                                          "IM 0*", "IM 0/1*", "IM 1*", "IM 2*"};
            return im[y];
        }
        default: {
            static const std::array<const char*, 8> misc = {"LD I,A", "LD R,A", "LD A,I", "LD A,R",
                                                            "RRD",    "RLD",    "",       ""};
            return misc[y];
        }
    }
}

struct TSplit {
    std::string Op;
    std::vector<std::string> Args;
};

TSplit Split(const std::string& text) {
    TSplit s;
    const auto space = text.find(' ');
    s.Op = text.substr(0, space);
    if (space == std::string::npos) return s;
    std::string rest = text.substr(space + 1);
    size_t start = 0;
    for (;;) {
        const auto comma = rest.find(',', start);
        s.Args.push_back(rest.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return s;
}

std::string Join(const TSplit& s) {
    std::string text = s.Op;
    for (size_t i = 0; i < s.Args.size(); ++i) text += (i == 0 ? " " : ",") + s.Args[i];
    return text;
}

bool UsesHL(const TSplit& s) {
    for (const auto& a : s.Args)
        if (a == "H" || a == "L" || a == "HL" || a == "(HL)") return true;
    return false;
}

// The index-register form of an unprefixed instruction that uses H, L, HL or
// (HL): HL becomes the index register, (HL) becomes (IX+d); without a memory
// operand H and L become the undocumented halves, marked with "*".
std::string IndexText(const std::string& mainText, const std::string& ix) {
    TSplit s = Split(mainText);
    if (s.Op == "JP" && s.Args.size() == 1) {  // JP (HL) jumps to HL itself: no displacement
        s.Args[0] = "(" + ix + ")";
        return Join(s);
    }
    bool memory = false;
    for (const auto& a : s.Args) memory |= a == "(HL)";
    bool halves = false;
    for (auto& a : s.Args) {
        if (a == "HL") {
            a = ix;
        } else if (a == "(HL)") {
            a = "(" + ix + "+d)";
        } else if (!memory && (a == "H" || a == "L")) {
            a = ix + a;
            halves = true;
        }
    }
    return Join(s) + (halves ? "*" : "");
}

std::string StripStar(std::string text) {
    if (!text.empty() && text.back() == '*') text.pop_back();
    return text;
}

std::string IndexBitText(int op, const std::string& ix) {
    const int x = op >> 6, z = op & 7;
    std::string memText = BitText((op & ~7) | 6);
    memText.replace(memText.find("(HL)"), 4, "(" + ix + "+d)");
    if (z == 6) return memText;
    if (x == 1) return memText + "*";
    return "LD " + std::string(kReg[z]) + "," + StripStar(memText) + "*";
}

int KindOf(const std::string& text) {
    if (text.find("nn") != std::string::npos) return 2;
    for (char c : text)
        if (c == 'd' || c == 'n' || c == 'e') return 1;
    return 0;
}

void Add(std::vector<TOpcodeEntry>& rows, int count, int p1, int p2, int op, std::string text) {
    TOpcodeEntry e;
    e.PrefixCount = count;
    e.Prefix1 = p1;
    e.Prefix2 = p2;
    e.Opcode = op;
    e.HasDisplacement = count == 2 ? 1 : 0;
    e.OperandKind = count == 2 ? 0 : KindOf(text);
    // LD (IX+d),n carries two operand bytes, though of different kinds.
    if (count == 1 && (p1 == kDD || p1 == kFD) && op == 0x36) e.OperandKind = 2;
    e.Mnemonic = std::move(text);
    rows.push_back(std::move(e));
}

void AddIndexPage(std::vector<TOpcodeEntry>& rows, int prefix, const std::string& ix) {
    for (int op = 0; op < 256; ++op) {
        if (op == kCB) {
            for (int cb = 0; cb < 256; ++cb) Add(rows, 2, prefix, kCB, cb, IndexBitText(cb, ix));
            continue;
        }
        const std::string text = MainText(op);
        if (text.empty() || op == 0xEB || !UsesHL(Split(text))) continue;
        Add(rows, 1, prefix, 0, op, IndexText(text, ix));
    }
}

std::vector<TOpcodeEntry> BuildTable() {
    std::vector<TOpcodeEntry> rows;
    rows.reserve(OpcodeTableRowCount);
    for (int op = 0; op < 256; ++op) {
        switch (op) {
            case kCB:
                for (int cb = 0; cb < 256; ++cb) Add(rows, 1, kCB, 0, cb, BitText(cb));
                break;
            case kDD:
                AddIndexPage(rows, kDD, "IX");
                break;
            case kFD:
                AddIndexPage(rows, kFD, "IY");
                break;
            case kED:
                for (int ed = 0; ed < 256; ++ed) {
                    std::string text = ExtendedText(ed);
                    if (!text.empty()) Add(rows, 1, kED, 0, ed, std::move(text));
                }
                break;
            default:
                Add(rows, 0, 0, 0, op, MainText(op));
        }
    }
    return rows;
}

}  // namespace

std::span<const TOpcodeEntry> OpcodeTable() {
    static const std::vector<TOpcodeEntry> table = BuildTable();
    return table;
}
