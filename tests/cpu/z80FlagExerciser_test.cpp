// Instruction exerciser: every instruction group runs from many pseudo-random
// starting states, one instruction at a time, on TCpuEmu and on the libz80ex
// reference processor, and the two must agree on every register, the memory
// written, the port traffic, and the documented flags S Z H P/V N C. Flag
// bits 3 and 5 are left out wherever flags are computed; the recorded
// hardware vectors check those. The few places where this processor follows
// its own rule instead of the hardware are listed in QuirksFor and checked
// against that rule instead.
//
// Seeds are fixed, so a failure repeats; the message shows the instruction,
// the starting state and both results of the first differing state.

#include <z80ex/z80ex.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cpu/z80Cpu.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr uint32_t kScale = 4;  // sanitizer builds run every fourth state
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr uint32_t kScale = 4;
#else
constexpr uint32_t kScale = 1;
#endif
#else
constexpr uint32_t kScale = 1;
#endif

constexpr uint8_t kDocumentedFlags = 0xD7;  // S Z H P/V N C
constexpr uint8_t kAllFlags = 0xFF;         // F only moves as data
constexpr uint8_t kZeroFlagOnly = 0x40;
constexpr uint8_t kCarry = 0x01;

// ---------------------------------------------------------------------------
// Processor state common to both processors.

struct Regs {
    uint16_t af = 0, bc = 0, de = 0, hl = 0;
    uint16_t af2 = 0, bc2 = 0, de2 = 0, hl2 = 0;
    uint16_t ix = 0, iy = 0, sp = 0, pc = 0;
    uint8_t i = 0, r = 0;
    bool iff1 = false, iff2 = false;
    uint8_t mode = 0;  // interrupt mode 0, 1 or 2

    uint8_t A() const { return uint8_t(af >> 8); }
    uint8_t F() const { return uint8_t(af); }
    void SetA(uint8_t v) { af = uint16_t((af & 0x00FF) | (v << 8)); }
    void SetF(uint8_t v) { af = uint16_t((af & 0xFF00) | v); }
};

// Register z of an opcode (B C D E H L - A).
uint8_t Reg8(const Regs& s, int z) {
    switch (z) {
        case 0: return uint8_t(s.bc >> 8);
        case 1: return uint8_t(s.bc);
        case 2: return uint8_t(s.de >> 8);
        case 3: return uint8_t(s.de);
        case 4: return uint8_t(s.hl >> 8);
        case 5: return uint8_t(s.hl);
        default: return s.A();
    }
}

std::string Describe(const Regs& s) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "AF=%04X BC=%04X DE=%04X HL=%04X IX=%04X IY=%04X SP=%04X PC=%04X "
                  "AF'=%04X BC'=%04X DE'=%04X HL'=%04X I=%02X R=%02X IFF=%d/%d IM%d",
                  s.af, s.bc, s.de, s.hl, s.ix, s.iy, s.sp, s.pc, s.af2, s.bc2, s.de2, s.hl2, s.i,
                  s.r, int(s.iff1), int(s.iff2), int(s.mode));
    return text;
}

struct PortEvent {
    bool write = false;
    uint16_t port = 0;
    uint8_t value = 0;
    bool operator==(const PortEvent&) const = default;
};

// What a port answers: a value fixed by the port number and the trial, so both
// processors see the same input.
uint8_t PortAnswer(uint16_t port, uint32_t salt) {
    uint32_t h = (port ^ salt) * 0x9E3779B1u;
    h ^= h >> 15;
    return uint8_t(h ^ (h >> 8));
}

std::string DescribePorts(const std::vector<PortEvent>& events) {
    std::string text;
    char item[32];
    for (const auto& e : events) {
        std::snprintf(item, sizeof item, " %s %04X=%02X", e.write ? "out" : "in", e.port, e.value);
        text += item;
    }
    return text.empty() ? " none" : text;
}

// ---------------------------------------------------------------------------
// The reference processor with its memory and port log.

class TReferenceCpu {
public:
    std::array<uint8_t, 0x10000> mem{};
    std::vector<uint16_t> written;
    std::vector<PortEvent> ports;
    uint32_t salt = 0;

    TReferenceCpu()
        : ctx_(z80ex_create(&MemRead, this, &MemWrite, this, &PortRead, this, &PortWrite, this,
                            &IntRead, this)) {}
    ~TReferenceCpu() { z80ex_destroy(ctx_); }
    TReferenceCpu(const TReferenceCpu&) = delete;
    TReferenceCpu& operator=(const TReferenceCpu&) = delete;

    void Load(const Regs& s) {
        z80ex_set_reg(ctx_, regAF, s.af);
        z80ex_set_reg(ctx_, regBC, s.bc);
        z80ex_set_reg(ctx_, regDE, s.de);
        z80ex_set_reg(ctx_, regHL, s.hl);
        z80ex_set_reg(ctx_, regAF_, s.af2);
        z80ex_set_reg(ctx_, regBC_, s.bc2);
        z80ex_set_reg(ctx_, regDE_, s.de2);
        z80ex_set_reg(ctx_, regHL_, s.hl2);
        z80ex_set_reg(ctx_, regIX, s.ix);
        z80ex_set_reg(ctx_, regIY, s.iy);
        z80ex_set_reg(ctx_, regSP, s.sp);
        z80ex_set_reg(ctx_, regPC, s.pc);
        z80ex_set_reg(ctx_, regI, s.i);
        z80ex_set_reg(ctx_, regR, s.r);
        z80ex_set_reg(ctx_, regR7, s.r & 0x80);
        z80ex_set_reg(ctx_, regIFF1, s.iff1);
        z80ex_set_reg(ctx_, regIFF2, s.iff2);
        z80ex_set_reg(ctx_, regIM, s.mode);
    }

    Regs Save() const {
        Regs s;
        s.af = z80ex_get_reg(ctx_, regAF);
        s.bc = z80ex_get_reg(ctx_, regBC);
        s.de = z80ex_get_reg(ctx_, regDE);
        s.hl = z80ex_get_reg(ctx_, regHL);
        s.af2 = z80ex_get_reg(ctx_, regAF_);
        s.bc2 = z80ex_get_reg(ctx_, regBC_);
        s.de2 = z80ex_get_reg(ctx_, regDE_);
        s.hl2 = z80ex_get_reg(ctx_, regHL_);
        s.ix = z80ex_get_reg(ctx_, regIX);
        s.iy = z80ex_get_reg(ctx_, regIY);
        s.sp = z80ex_get_reg(ctx_, regSP);
        s.pc = z80ex_get_reg(ctx_, regPC);
        s.i = uint8_t(z80ex_get_reg(ctx_, regI));
        s.r = uint8_t((z80ex_get_reg(ctx_, regR) & 0x7F) | (z80ex_get_reg(ctx_, regR7) & 0x80));
        s.iff1 = z80ex_get_reg(ctx_, regIFF1) != 0;
        s.iff2 = z80ex_get_reg(ctx_, regIFF2) != 0;
        s.mode = uint8_t(z80ex_get_reg(ctx_, regIM));
        return s;
    }

    // One whole instruction: the peer returns after each prefix byte with the
    // prefix pending, so step on until a complete instruction has run.
    void Step() {
        written.clear();
        ports.clear();
        for (int guard = 0; guard < 16; ++guard) {
            z80ex_step(ctx_);
            if (z80ex_last_op_type(ctx_) == 0) return;
        }
    }

private:
    static TReferenceCpu& Self(void* p) { return *static_cast<TReferenceCpu*>(p); }
    static Z80EX_BYTE MemRead(Z80EX_CONTEXT*, Z80EX_WORD addr, int, void* p) {
        return Self(p).mem[addr];
    }
    static void MemWrite(Z80EX_CONTEXT*, Z80EX_WORD addr, Z80EX_BYTE value, void* p) {
        Self(p).mem[addr] = value;
        Self(p).written.push_back(addr);
    }
    static Z80EX_BYTE PortRead(Z80EX_CONTEXT*, Z80EX_WORD port, void* p) {
        const uint8_t v = PortAnswer(port, Self(p).salt);
        Self(p).ports.push_back({false, port, v});
        return v;
    }
    static void PortWrite(Z80EX_CONTEXT*, Z80EX_WORD port, Z80EX_BYTE value, void* p) {
        Self(p).ports.push_back({true, port, value});
    }
    static Z80EX_BYTE IntRead(Z80EX_CONTEXT*, void*) { return 0xFF; }

    Z80EX_CONTEXT* ctx_;
};

// ---------------------------------------------------------------------------
// TCpuEmu through its public properties.

int ModeFromCode(uint8_t code) { return code <= 1 ? 0 : code - 1; }

void LoadCpu(TCpuEmu& c, const Regs& s, uint8_t modeCode) {
    c.SetRegisterA(s.A());
    c.SetStatusFlags(s.F());
    c.SetRegisterB(uint8_t(s.bc >> 8));
    c.SetRegisterC(uint8_t(s.bc));
    c.SetRegisterD(uint8_t(s.de >> 8));
    c.SetRegisterE(uint8_t(s.de));
    c.SetRegisterH(uint8_t(s.hl >> 8));
    c.SetRegisterL(uint8_t(s.hl));
    c.SetExRegisterA(uint8_t(s.af2 >> 8));
    c.SetExStatusFlags(uint8_t(s.af2));
    c.SetExRegisterB(uint8_t(s.bc2 >> 8));
    c.SetExRegisterC(uint8_t(s.bc2));
    c.SetExRegisterD(uint8_t(s.de2 >> 8));
    c.SetExRegisterE(uint8_t(s.de2));
    c.SetExRegisterH(uint8_t(s.hl2 >> 8));
    c.SetExRegisterL(uint8_t(s.hl2));
    c.SetRegisterIXH(uint8_t(s.ix >> 8));
    c.SetRegisterIXL(uint8_t(s.ix));
    c.SetRegisterIYH(uint8_t(s.iy >> 8));
    c.SetRegisterIYL(uint8_t(s.iy));
    c.SetRegisterSPH(uint8_t(s.sp >> 8));
    c.SetRegisterSPL(uint8_t(s.sp));
    c.SetRegisterPCH(uint8_t(s.pc >> 8));
    c.SetRegisterPCL(uint8_t(s.pc));
    c.SetRegisterI(s.i);
    c.SetRegisterR(s.r);
    c.SetCpuState(uint8_t((s.iff1 ? TCpuEmu::kStateIff1 : 0) | (s.iff2 ? TCpuEmu::kStateIff2 : 0) |
                          modeCode));
}

Regs SaveCpu(const TCpuEmu& c) {
    auto pair = [](uint8_t hi, uint8_t lo) { return uint16_t(hi << 8 | lo); };
    Regs s;
    s.af = pair(c.RegisterA(), c.StatusFlags());
    s.bc = pair(c.RegisterB(), c.RegisterC());
    s.de = pair(c.RegisterD(), c.RegisterE());
    s.hl = pair(c.RegisterH(), c.RegisterL());
    s.af2 = pair(c.ExRegisterA(), c.ExStatusFlags());
    s.bc2 = pair(c.ExRegisterB(), c.ExRegisterC());
    s.de2 = pair(c.ExRegisterD(), c.ExRegisterE());
    s.hl2 = pair(c.ExRegisterH(), c.ExRegisterL());
    s.ix = pair(c.RegisterIXH(), c.RegisterIXL());
    s.iy = pair(c.RegisterIYH(), c.RegisterIYL());
    s.sp = pair(c.RegisterSPH(), c.RegisterSPL());
    s.pc = pair(c.RegisterPCH(), c.RegisterPCL());
    s.i = c.RegisterI();
    s.r = c.RegisterR();
    s.iff1 = (c.CpuState() & TCpuEmu::kStateIff1) != 0;
    s.iff2 = (c.CpuState() & TCpuEmu::kStateIff2) != 0;
    s.mode = uint8_t(ModeFromCode(c.CpuState() & TCpuEmu::kStateModeMask));
    return s;
}

// ---------------------------------------------------------------------------
// Pseudo-random starting states.

class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint64_t Next() {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return uint32_t(Next() % n); }
    bool Chance(uint32_t oneIn) { return Below(oneIn) == 0; }
    uint8_t Byte() { return uint8_t(Next()); }
    uint16_t Word() { return uint16_t(Next()); }
    // Bytes at the edges where flags change (carries, overflow, BCD digits)
    // come up far more often than in a uniform draw.
    uint8_t EdgyByte() {
        static constexpr uint8_t kEdges[] = {0x00, 0x01, 0x09, 0x0A, 0x0F, 0x10, 0x7F,
                                             0x80, 0x81, 0x99, 0x9A, 0xF0, 0xFE, 0xFF};
        return Chance(2) ? kEdges[Below(sizeof kEdges)] : Byte();
    }
    uint16_t EdgyWord() {
        if (Chance(2)) return Word();
        const uint8_t hi = EdgyByte();
        return uint16_t(hi << 8 | EdgyByte());
    }

private:
    uint64_t s_;
};

// One starting state and the instruction to run from it.
struct Trial {
    Regs regs;
    uint8_t modeCode = 0;  // TCpuEmu's interrupt mode code for regs.mode
    uint8_t code[6] = {};
    int length = 0;
    std::pair<uint16_t, uint8_t> pokes[4] = {};
    int pokeCount = 0;
    uint32_t salt = 0;

    void Code(std::initializer_list<uint8_t> bytes) {
        length = 0;
        for (uint8_t b : bytes) code[length++] = b;
    }
    void Add(uint8_t b) { code[length++] = b; }
    void Add16(uint16_t w) {
        Add(uint8_t(w));
        Add(uint8_t(w >> 8));
    }
    void Poke(uint16_t address, uint8_t value) { pokes[pokeCount++] = {address, value}; }
    std::string Bytes() const {
        std::string text;
        char item[4];
        for (int k = 0; k < length; ++k) {
            std::snprintf(item, sizeof item, "%02X ", code[k]);
            text += item;
        }
        return text;
    }
};

// Distance between two addresses on the 64 KiB ring.
int RingDistance(uint16_t a, uint16_t b) {
    const int d = uint16_t(a - b);
    return d < 0x8000 ? d : 0x10000 - d;
}

// Data pointers stay well away from the instruction bytes (index offsets
// included), so no instruction overwrites its own code.
constexpr int kCodeClearance = 300;
uint16_t AwayFrom(Rng& rng, uint16_t pc, uint16_t v) {
    while (RingDistance(v, pc) < kCodeClearance) v = rng.Word();
    return v;
}

void RandomState(Rng& rng, Trial& t) {
    Regs& s = t.regs;
    s.pc = rng.Word();
    s.af = rng.EdgyWord();
    s.bc = AwayFrom(rng, s.pc, rng.EdgyWord());
    s.de = AwayFrom(rng, s.pc, rng.EdgyWord());
    s.hl = AwayFrom(rng, s.pc, rng.EdgyWord());
    s.af2 = rng.Word();
    s.bc2 = rng.Word();
    s.de2 = rng.Word();
    s.hl2 = rng.Word();
    s.ix = AwayFrom(rng, s.pc, rng.EdgyWord());
    s.iy = AwayFrom(rng, s.pc, rng.EdgyWord());
    s.sp = AwayFrom(rng, s.pc, rng.Word());
    s.i = rng.Byte();
    s.r = rng.Byte();
    s.iff1 = rng.Chance(2);
    s.iff2 = rng.Chance(2);
    t.modeCode = uint8_t(rng.Below(4));
    s.mode = uint8_t(ModeFromCode(t.modeCode));
    t.salt = uint32_t(rng.Next());
}

// ---------------------------------------------------------------------------
// Instruction generators. Each one picks an instruction of its group and
// shapes the starting state; `index` counts the states of the group.

using Generator = void (*)(Rng& rng, uint32_t index, Trial& t);

uint8_t IndexPrefix(Rng& rng) { return rng.Chance(2) ? 0xDD : 0xFD; }
uint16_t IndexValue(const Trial& t, uint8_t prefix) {
    return prefix == 0xDD ? t.regs.ix : t.regs.iy;
}
uint16_t Displaced(uint16_t base, uint8_t d) { return uint16_t(base + int8_t(d)); }

// A random register operand z of an opcode, never the memory operand.
uint8_t RegisterField(Rng& rng) {
    static constexpr uint8_t kRegs[] = {0, 1, 2, 3, 4, 5, 7};
    return kRegs[rng.Below(7)];
}

// An (IX+d) / (IY+d) operand: prefix, opcode, d, with a fresh byte there.
void IndexedMemory(Rng& rng, Trial& t, uint8_t opcode) {
    const uint8_t prefix = IndexPrefix(rng), d = rng.Byte();
    t.Code({prefix, opcode, d});
    t.Poke(Displaced(IndexValue(t, prefix), d), rng.EdgyByte());
}

void AluImmediate(Rng& rng, uint32_t index, Trial& t) {
    // index: bits 0-7 operand, 8-15 A, 16 carry in, 17-19 operation.
    const uint8_t op = uint8_t((index >> 17) & 7);
    t.regs.SetA(uint8_t(index >> 8));
    t.regs.SetF(uint8_t((rng.Byte() & ~kCarry) | ((index >> 16) & 1)));
    t.Code({uint8_t(0xC6 | op << 3), uint8_t(index)});
}

void AluRegister(Rng& rng, uint32_t, Trial& t) {
    t.Code({uint8_t(0x80 | rng.Below(8) << 3 | RegisterField(rng))});
}

void AluOnItself(Rng&, uint32_t index, Trial& t) {
    // index: bits 0-7 F, 8-15 A, 16-18 operation; operand A itself.
    t.regs.af = uint16_t(index);
    t.Code({uint8_t(0x87 | ((index >> 16) & 7) << 3)});
}

void AluMemory(Rng& rng, uint32_t, Trial& t) {
    const uint8_t op = uint8_t(0x86 | rng.Below(8) << 3);
    if (rng.Chance(2)) {
        t.Code({op});
        t.Poke(t.regs.hl, rng.EdgyByte());
    } else {
        IndexedMemory(rng, t, op);
    }
}

void AluIndexHalves(Rng& rng, uint32_t, Trial& t) {
    t.Code({IndexPrefix(rng), uint8_t(0x84 | rng.Below(8) << 3 | rng.Below(2))});
}

void IncDec8(Rng& rng, uint32_t, Trial& t) {
    const uint8_t dec = uint8_t(rng.Below(2));
    switch (rng.Below(4)) {
        case 0: t.Code({uint8_t(0x04 | RegisterField(rng) << 3 | dec)}); break;
        case 1:
            t.Code({uint8_t(0x34 | dec)});
            t.Poke(t.regs.hl, rng.EdgyByte());
            break;
        case 2: IndexedMemory(rng, t, uint8_t(0x34 | dec)); break;
        default: t.Code({IndexPrefix(rng), uint8_t(0x24 | rng.Below(2) << 3 | dec)}); break;
    }
}

void IncDec16(Rng& rng, uint32_t, Trial& t) {
    const uint8_t op = uint8_t(0x03 | rng.Below(2) << 3);
    if (rng.Chance(3))
        t.Code({IndexPrefix(rng), uint8_t(op | 0x20)});
    else
        t.Code({uint8_t(op | rng.Below(4) << 4)});
}

void Add16(Rng& rng, uint32_t, Trial& t) {
    const uint8_t op = uint8_t(0x09 | rng.Below(4) << 4);
    if (rng.Chance(3))
        t.Code({IndexPrefix(rng), op});
    else
        t.Code({op});
}

void AdcSbc16(Rng& rng, uint32_t, Trial& t) {
    t.Code({0xED, uint8_t(0x42 | rng.Below(4) << 4 | rng.Below(2) << 3)});
}

void AccumulatorRotates(Rng& rng, uint32_t, Trial& t) {
    t.Code({uint8_t(0x07 | rng.Below(4) << 3)});
}

void DecimalAdjust(Rng&, uint32_t index, Trial& t) {
    // index: bits 0-7 A, 8-15 F: every flag combination, reachable or not.
    t.regs.af = uint16_t(index << 8 | index >> 8);
    t.Code({0x27});
}

void ComplementCarry(Rng& rng, uint32_t, Trial& t) {
    static constexpr uint8_t kOps[] = {0x2F, 0x37, 0x3F};
    t.Code({kOps[rng.Below(3)]});
}

void Negate(Rng& rng, uint32_t index, Trial& t) {
    t.regs.SetA(uint8_t(index));
    t.Code({0xED, uint8_t(0x44 | rng.Below(8) << 3)});
}

// CB page on a register or (HL): opcodes base..base+3Fh.
void CbPage(Rng& rng, Trial& t, uint8_t base) {
    const uint8_t op = uint8_t(base + rng.Below(0x40));
    t.Code({0xCB, op});
    if ((op & 7) == 6) t.Poke(t.regs.hl, rng.EdgyByte());
}
void CbRotateShift(Rng& rng, uint32_t, Trial& t) { CbPage(rng, t, 0x00); }
void CbBitTest(Rng& rng, uint32_t, Trial& t) { CbPage(rng, t, 0x40); }
void CbResSet(Rng& rng, uint32_t, Trial& t) {
    CbPage(rng, t, uint8_t(rng.Chance(2) ? 0x80 : 0xC0));
}

void IndexedCb(Rng& rng, Trial& t, uint8_t op) {
    const uint8_t prefix = IndexPrefix(rng), d = rng.Byte();
    t.Code({prefix, 0xCB, d, op});
    t.Poke(Displaced(IndexValue(t, prefix), d), rng.EdgyByte());
}
void IndexedCbMemory(Rng& rng, uint32_t, Trial& t) {
    IndexedCb(rng, t, uint8_t(rng.Below(32) << 3 | 6));
}
void IndexedCbRegisterCopy(Rng& rng, uint32_t, Trial& t) {
    IndexedCb(rng, t, uint8_t(rng.Below(32) << 3 | RegisterField(rng)));
}

void RotateDigit(Rng& rng, uint32_t, Trial& t) {
    t.Code({0xED, uint8_t(rng.Chance(2) ? 0x67 : 0x6F)});
    t.Poke(t.regs.hl, rng.Byte());
}

void InterruptRegisters(Rng& rng, uint32_t, Trial& t) {
    static constexpr uint8_t kOps[] = {0x47, 0x4F, 0x57, 0x5F};
    t.Code({0xED, kOps[rng.Below(4)]});
    if (rng.Chance(4)) t.regs.i = rng.Chance(2) ? 0x00 : 0x80;
    if (rng.Chance(4)) t.regs.r = rng.Chance(2) ? 0x7E : 0xFE;  // counting reaches 0 or 80h
}

// A block count near the end: 0, 1 and 2 matter most.
uint16_t BlockCount(Rng& rng) { return rng.Chance(2) ? uint16_t(rng.Below(3)) : rng.Word(); }

void BlockTransfer(Rng& rng, uint32_t, Trial& t) {
    t.Code({0xED, uint8_t(0xA0 | rng.Below(4) << 3)});
    t.regs.bc = BlockCount(rng);
    t.Poke(t.regs.hl, rng.Byte());
}

void BlockCompare(Rng& rng, uint32_t, Trial& t) {
    t.Code({0xED, uint8_t(0xA1 | rng.Below(4) << 3)});
    t.regs.bc = BlockCount(rng);
    t.Poke(t.regs.hl, rng.Chance(3) ? t.regs.A() : rng.EdgyByte());
}

void BlockInOut(Rng& rng, uint32_t, Trial& t) {
    t.Code({0xED, uint8_t(0xA2 | rng.Below(4) << 3 | rng.Below(2))});
    if (rng.Chance(2)) t.regs.bc = uint16_t(rng.Below(3) << 8 | (t.regs.bc & 0xFF));
    t.Poke(t.regs.hl, rng.Byte());
}

// ED opcodes without an instruction: two-byte no-operations.
void EdNoOperation(Rng& rng, uint32_t, Trial& t) {
    uint8_t op;
    switch (rng.Below(4)) {
        case 0: op = uint8_t(rng.Below(0x40)); break;
        case 1: op = uint8_t(0xC0 + rng.Below(0x40)); break;
        case 2: op = uint8_t(0x77 | rng.Below(2) << 3); break;
        default: op = uint8_t(0xA4 | rng.Below(4) << 3 | rng.Below(4)); break;
    }
    t.Code({0xED, op});
}

void InOutRegisterC(Rng& rng, uint32_t, Trial& t) {
    t.Code({0xED, uint8_t(0x40 | rng.Below(8) << 3 | rng.Below(2))});
}

void InOutImmediate(Rng& rng, uint32_t, Trial& t) {
    t.Code({uint8_t(rng.Chance(2) ? 0xDB : 0xD3), rng.Byte()});
}

void Exchanges(Rng& rng, uint32_t, Trial& t) {
    static constexpr uint8_t kOps[] = {0x08, 0xD9, 0xEB, 0xE3};
    const uint8_t op = kOps[rng.Below(4)];
    if (op == 0xE3 && rng.Chance(2))
        t.Code({IndexPrefix(rng), op});
    else
        t.Code({op});
    t.Poke(t.regs.sp, rng.Byte());
    t.Poke(uint16_t(t.regs.sp + 1), rng.Byte());
}

void PushPop(Rng& rng, uint32_t, Trial& t) {
    const uint8_t op = uint8_t(0xC1 | rng.Below(2) << 2 | rng.Below(4) << 4);
    if ((op & 0x30) == 0x20 && rng.Chance(2))
        t.Code({IndexPrefix(rng), op});
    else
        t.Code({op});
    t.Poke(t.regs.sp, rng.Byte());
    t.Poke(uint16_t(t.regs.sp + 1), rng.Byte());
}

void Loads8(Rng& rng, uint32_t, Trial& t) {
    const uint8_t y = RegisterField(rng), z = RegisterField(rng);
    switch (rng.Below(8)) {
        case 0: t.Code({uint8_t(0x40 | y << 3 | z)}); break;
        case 1: t.Code({uint8_t(0x06 | y << 3), rng.Byte()}); break;
        case 2:
            t.Code({uint8_t(rng.Chance(2) ? 0x46 | y << 3 : 0x70 | z)});
            t.Poke(t.regs.hl, rng.Byte());
            break;
        case 3: t.Code({0x36, rng.Byte()}); break;
        case 4: {
            // LD A,(BC)/(DE), LD (BC)/(DE),A, LD A,(nn), LD (nn),A
            const uint8_t op = uint8_t(0x02 | rng.Below(4) << 3);
            const uint16_t nn = AwayFrom(rng, t.regs.pc, rng.Word());
            if (rng.Chance(2)) {
                t.Code({op});
            } else {
                t.Code({uint8_t(op | 0x30)});
                t.Add16(nn);
            }
            break;
        }
        case 5: IndexedMemory(rng, t, uint8_t(rng.Chance(2) ? 0x46 | y << 3 : 0x70 | z)); break;
        case 6:
            IndexedMemory(rng, t, 0x36);
            t.Add(rng.Byte());
            break;
        default:
            // Index halves: H and L on either side name IXH/IXL (IYH/IYL).
            if (rng.Chance(4))
                t.Code({IndexPrefix(rng), uint8_t(0x26 | rng.Below(2) << 3), rng.Byte()});
            else
                t.Code({IndexPrefix(rng), uint8_t(0x40 | y << 3 | z)});
            break;
    }
}

void Loads16(Rng& rng, uint32_t, Trial& t) {
    const uint16_t nn = AwayFrom(rng, t.regs.pc, rng.Word());
    const uint8_t p = uint8_t(rng.Below(4));
    switch (rng.Below(6)) {
        case 0: t.Code({uint8_t(0x01 | p << 4)}); break;
        case 1: t.Code({uint8_t(rng.Chance(2) ? 0x22 : 0x2A)}); break;
        case 2: t.Code({0xED, uint8_t(0x43 | p << 4 | rng.Below(2) << 3)}); break;
        case 3: t.Code({0xF9}); return;
        case 4: t.Code({IndexPrefix(rng), 0xF9}); return;
        default: {
            static constexpr uint8_t kOps[] = {0x21, 0x22, 0x2A};
            t.Code({IndexPrefix(rng), kOps[rng.Below(3)]});
            break;
        }
    }
    t.Add16(nn);
}

void Jumps(Rng& rng, uint32_t, Trial& t) {
    switch (rng.Below(5)) {
        case 0:
            t.Code({0xC3});
            t.Add16(rng.Word());
            break;
        case 1:
            t.Code({uint8_t(0xC2 | rng.Below(8) << 3)});
            t.Add16(rng.Word());
            break;
        case 2:
            if (rng.Chance(2))
                t.Code({0xE9});
            else
                t.Code({IndexPrefix(rng), 0xE9});
            break;
        case 3: {
            static constexpr uint8_t kOps[] = {0x18, 0x20, 0x28, 0x30, 0x38};
            t.Code({kOps[rng.Below(5)], rng.Byte()});
            break;
        }
        default:
            t.Code({0x10, rng.Byte()});
            if (rng.Chance(2)) t.regs.bc = uint16_t(rng.Below(3) << 8 | (t.regs.bc & 0xFF));
            break;
    }
}

void CallsReturns(Rng& rng, uint32_t, Trial& t) {
    switch (rng.Below(6)) {
        case 0:
            t.Code({0xCD});
            t.Add16(rng.Word());
            break;
        case 1:
            t.Code({uint8_t(0xC4 | rng.Below(8) << 3)});
            t.Add16(rng.Word());
            break;
        case 2: t.Code({uint8_t(rng.Chance(2) ? 0xC9 : 0xC0 | rng.Below(8) << 3)}); break;
        case 3: t.Code({uint8_t(0xC7 | rng.Below(8) << 3)}); break;
        default: t.Code({0xED, uint8_t(0x45 | rng.Below(8) << 3)}); break;  // RETN, RETI
    }
    t.Poke(t.regs.sp, rng.Byte());
    t.Poke(uint16_t(t.regs.sp + 1), rng.Byte());
}

void InterruptControl(Rng& rng, uint32_t, Trial& t) {
    if (rng.Chance(3))
        t.Code({uint8_t(rng.Chance(2) ? 0xF3 : 0xFB)});
    else
        t.Code({0xED, uint8_t(0x46 | rng.Below(8) << 3)});
}

// Chains of DD/FD prefixes before instructions with and without an HL
// operand; the last prefix decides.
void PrefixChains(Rng& rng, uint32_t, Trial& t) {
    t.length = 0;
    const int prefixes = 1 + int(rng.Below(3));
    for (int k = 0; k < prefixes; ++k) t.Add(IndexPrefix(rng));
    const uint8_t last = t.code[t.length - 1];
    switch (rng.Below(8)) {
        case 0:
            t.Add(0x21);
            t.Add16(rng.Word());
            break;
        case 1: t.Add(uint8_t(0x09 | rng.Below(4) << 4)); break;
        case 2: {
            const uint8_t d = rng.Byte();
            t.Add(0x7E);
            t.Add(d);
            t.Poke(Displaced(IndexValue(t, last), d), rng.Byte());
            break;
        }
        case 3: t.Add(uint8_t(0x00 | rng.Below(2) << 3)); break;  // NOP, EX AF,AF'
        case 4: t.Add(0xEB); break;
        case 5: t.Add(uint8_t(0x3C | rng.Below(2))); break;
        case 6:
            t.Add(0xED);
            // NEG, ADC HL,rp: the ED page ignores the index prefix
            t.Add(uint8_t(rng.Chance(2) ? 0x44 : 0x4A | rng.Below(4) << 4));
            break;
        default: t.Add(uint8_t(0x84 | rng.Below(2))); break;
    }
}

// ---------------------------------------------------------------------------
// Groups.

struct Group {
    const char* name;
    Generator generate;
    uint32_t states;  // before scaling for sanitizer builds
    uint8_t flagMask;
};

constexpr uint32_t kRandomStates = 100000;

const Group kGroups[] = {
    {"AluImmediate", AluImmediate, 1u << 20, kDocumentedFlags},
    {"AluRegister", AluRegister, kRandomStates, kDocumentedFlags},
    {"AluOnItself", AluOnItself, 1u << 19, kDocumentedFlags},
    {"AluMemoryAndIndexed", AluMemory, kRandomStates, kDocumentedFlags},
    {"AluIndexHalves", AluIndexHalves, kRandomStates, kDocumentedFlags},
    {"IncDec8", IncDec8, kRandomStates, kDocumentedFlags},
    {"IncDec16", IncDec16, kRandomStates, kAllFlags},
    {"Add16", Add16, kRandomStates, kDocumentedFlags},
    {"AdcSbc16", AdcSbc16, kRandomStates, kDocumentedFlags},
    {"AccumulatorRotates", AccumulatorRotates, kRandomStates, kDocumentedFlags},
    {"DecimalAdjust", DecimalAdjust, 1u << 16, kDocumentedFlags},
    {"CplScfCcf", ComplementCarry, kRandomStates, kDocumentedFlags},
    {"Negate", Negate, 1u << 14, kDocumentedFlags},
    {"CbRotateShift", CbRotateShift, kRandomStates, kDocumentedFlags},
    {"CbBitTest", CbBitTest, kRandomStates, kDocumentedFlags},
    {"CbResSet", CbResSet, kRandomStates, kDocumentedFlags},
    {"IndexedCbMemory", IndexedCbMemory, kRandomStates, kDocumentedFlags},
    {"IndexedCbRegisterCopy", IndexedCbRegisterCopy, kRandomStates, kDocumentedFlags},
    {"RotateDigit", RotateDigit, kRandomStates, kDocumentedFlags},
    {"InterruptRegisters", InterruptRegisters, kRandomStates, kDocumentedFlags},
    {"BlockTransfer", BlockTransfer, kRandomStates, kDocumentedFlags},
    {"BlockCompare", BlockCompare, kRandomStates, kDocumentedFlags},
    // Block I/O: Z is compared with the peer; N and C are held to their
    // documented values (N = 1, C unchanged), which the hardware does not keep.
    {"BlockInOut", BlockInOut, kRandomStates, kZeroFlagOnly},
    {"InOutRegisterC", InOutRegisterC, kRandomStates, kDocumentedFlags},
    {"EdNoOperation", EdNoOperation, kRandomStates, kAllFlags},
    {"InOutImmediate", InOutImmediate, kRandomStates, kAllFlags},
    {"Exchanges", Exchanges, kRandomStates, kAllFlags},
    {"PushPop", PushPop, kRandomStates, kAllFlags},
    {"Loads8", Loads8, kRandomStates, kAllFlags},
    {"Loads16", Loads16, kRandomStates, kAllFlags},
    {"Jumps", Jumps, kRandomStates, kDocumentedFlags},
    {"CallsReturns", CallsReturns, kRandomStates, kAllFlags},
    {"InterruptControl", InterruptControl, kRandomStates, kAllFlags},
    {"PrefixChains", PrefixChains, kRandomStates, kDocumentedFlags},
};

// Where this processor's own rule departs from the hardware for one
// instruction, the result is checked against that rule instead.
struct Quirks {
    bool extraRCount = false;          // R also counts the opcode after an index displacement
    int keptRegister = -1;             // indexed RES/SET write only memory, not register z
    bool iff1Kept = false;             // RETI leaves IFF1 as it was
    bool blockIo = false;              // block I/O: N = 1 and C unchanged, as documented
    bool portBeforeDecrement = false;  // block output puts B before the decrement on the bus
};

Quirks QuirksFor(const Trial& t) {
    Quirks q;
    const uint8_t* c = t.code;
    if ((c[0] == 0xDD || c[0] == 0xFD) && c[1] == 0xCB) {
        q.extraRCount = true;
        if ((c[3] >> 6) >= 2 && (c[3] & 7) != 6) q.keptRegister = c[3] & 7;
    }
    if (c[0] == 0xED && c[1] == 0x4D) q.iff1Kept = true;
    if (c[0] == 0xED && (c[1] & 0xE6) == 0xA2) {  // INI IND INIR INDR OUTI OUTD OTIR OTDR
        q.blockIo = true;
        q.portBeforeDecrement = (c[1] & 1) == 1;
    }
    return q;
}

// ---------------------------------------------------------------------------
// The exerciser.

class TExerciser {
public:
    explicit TExerciser(const Group& group)
        : group_(group),
          cpu_(std::make_unique<TCpuEmu>()),
          ref_(std::make_unique<TReferenceCpu>()) {
        Rng fill(0x5EED0000u);
        for (auto& b : ref_->mem) b = fill.Byte();
        SyncMemory();
        cpu_->OnPortRead = [this](TCpuEmu&, uint16_t port, uint8_t& data) {
            data = PortAnswer(port, salt_);
            cpuPorts_.push_back({false, port, data});
        };
        cpu_->OnPortWrite = [this](TCpuEmu&, uint16_t port, uint8_t data) {
            cpuPorts_.push_back({true, port, data});
        };
    }

    // Runs the group; returns the number of differing states and fills
    // `report` with the first one.
    uint32_t Run(std::string& report) {
        uint64_t seed = 0xC0FFEE;
        for (const char* p = group_.name; *p; ++p) seed = seed * 131 + uint8_t(*p);
        Rng rng(seed);
        const uint32_t states = group_.states / kScale;
        uint32_t failures = 0;
        for (uint32_t k = 0; k < states; ++k) {
            Trial t;
            RandomState(rng, t);
            const uint32_t index = k * kScale + (kScale > 1 ? rng.Below(kScale) : 0);
            group_.generate(rng, index, t);
            std::string difference = RunOne(t);
            if (k % 64 == 63 || k + 1 == states) difference += CompareAllMemory(t);
            if (!difference.empty()) {
                if (failures++ == 0) report = difference;
                SyncMemory();
            }
        }
        report +=
            "\n" + std::to_string(failures) + " of " + std::to_string(states) + " states differ";
        return failures;
    }

private:
    void SyncMemory() {
        cpu_->WriteMemory(0x0000, 0x8000, ref_->mem.data());
        cpu_->WriteMemory(0x8000, 0x8000, ref_->mem.data() + 0x8000);
    }

    void Poke(uint16_t address, uint8_t value) {
        ref_->mem[address] = value;
        cpu_->WriteMemoryByte(address, value);
    }

    std::string RunOne(const Trial& t) {
        for (int k = 0; k < t.pokeCount; ++k) Poke(t.pokes[k].first, t.pokes[k].second);
        for (int k = 0; k < t.length; ++k) Poke(uint16_t(t.regs.pc + k), t.code[k]);
        const Regs& start = t.regs;
        // Addresses an instruction of any group may write.
        const uint16_t watch[] = {start.hl, uint16_t(start.hl - 1), start.de,
                                  start.bc, uint16_t(start.sp - 1), uint16_t(start.sp - 2),
                                  start.sp, uint16_t(start.sp + 1)};

        ref_->salt = salt_ = t.salt;
        ref_->Load(start);
        LoadCpu(*cpu_, start, t.modeCode);
        cpuPorts_.clear();
        ref_->Step();
        cpu_->ExecuteOpcode();
        const Regs mine = SaveCpu(*cpu_), peer = ref_->Save();

        const Quirks q = QuirksFor(t);
        std::string diff;
        auto field = [&diff](const char* name, unsigned a, unsigned b) {
            if (a == b) return;
            char item[64];
            std::snprintf(item, sizeof item, " %s %X/%X", name, a, b);
            diff += item;
        };
        field("A", mine.A(), q.keptRegister == 7 ? start.A() : peer.A());
        field("F", mine.F() & group_.flagMask, peer.F() & group_.flagMask);
        if (q.blockIo) field("F N,C", mine.F() & 0x03, 0x02 | (start.F() & kCarry));
        for (int z = 0; z < 6; ++z) {
            static const char* const kNames[] = {"B", "C", "D", "E", "H", "L"};
            // An indexed RES/SET leaves register z as it was.
            const uint8_t expected = z == q.keptRegister ? Reg8(start, z) : Reg8(peer, z);
            field(kNames[z], Reg8(mine, z), expected);
        }
        field("AF'", mine.af2, peer.af2);
        field("BC'", mine.bc2, peer.bc2);
        field("DE'", mine.de2, peer.de2);
        field("HL'", mine.hl2, peer.hl2);
        field("IX", mine.ix, peer.ix);
        field("IY", mine.iy, peer.iy);
        field("SP", mine.sp, peer.sp);
        field("PC", mine.pc, peer.pc);
        field("I", mine.i, peer.i);
        field("R", mine.r, q.extraRCount ? (peer.r & 0x80) | ((peer.r + 1) & 0x7F) : peer.r);
        field("IFF1", mine.iff1, q.iff1Kept ? start.iff1 : peer.iff1);
        field("IFF2", mine.iff2, peer.iff2);
        field("IM", mine.mode, peer.mode);

        auto memory = [&](uint16_t a) {
            const uint8_t m = cpu_->ReadMemoryByte(a);
            if (m == ref_->mem[a]) return;
            char item[48];
            std::snprintf(item, sizeof item, " (%04X) %02X/%02X", a, m, ref_->mem[a]);
            if (diff.find(item) == std::string::npos) diff += item;
        };
        for (uint16_t a : ref_->written) memory(a);
        for (uint16_t a : watch) memory(a);

        std::vector<PortEvent> expectedPorts = ref_->ports;
        if (q.portBeforeDecrement)
            for (auto& e : expectedPorts) e.port = uint16_t(e.port + 0x100);
        if (cpuPorts_ != expectedPorts)
            diff += " ports:" + DescribePorts(cpuPorts_) + " /" + DescribePorts(expectedPorts);

        if (diff.empty()) return diff;
        char mask[8];
        std::snprintf(mask, sizeof mask, "%02X", group_.flagMask);
        return std::string("instruction ") + t.Bytes() + "(flag mask " + mask + ")" +
               "\n  start:   " + Describe(start) + "\n  TCpuEmu: " + Describe(mine) +
               "\n  peer:    " + Describe(peer) + "\n  differs (TCpuEmu/peer):" + diff;
    }

    // Stray writes anywhere in memory, checked now and then.
    std::string CompareAllMemory(const Trial& last) {
        static std::array<uint8_t, 0x10000> mine;
        cpu_->ReadMemory(0x0000, 0x8000, mine.data());
        cpu_->ReadMemory(0x8000, 0x8000, mine.data() + 0x8000);
        if (std::memcmp(mine.data(), ref_->mem.data(), mine.size()) == 0) return {};
        for (uint32_t a = 0; a < 0x10000; ++a) {
            if (mine[a] == ref_->mem[a]) continue;
            char text[160];
            std::snprintf(text, sizeof text,
                          "memory %04X differs (%02X/%02X) after one of the last 64 states, the "
                          "latest being ",
                          a, mine[a], ref_->mem[a]);
            char pc[16];
            std::snprintf(pc, sizeof pc, "at PC %04X", last.regs.pc);
            return text + last.Bytes() + pc;
        }
        return {};
    }

    const Group& group_;
    std::unique_ptr<TCpuEmu> cpu_;
    std::unique_ptr<TReferenceCpu> ref_;
    std::vector<PortEvent> cpuPorts_;
    uint32_t salt_ = 0;
};

void PrintTo(const Group& group, std::ostream* os) { *os << group.name; }

class Z80FlagExerciser : public ::testing::TestWithParam<Group> {};

TEST_P(Z80FlagExerciser, MatchesReferenceProcessor) {
    std::string report;
    const uint32_t failures = TExerciser(GetParam()).Run(report);
    EXPECT_EQ(failures, 0u) << GetParam().name << ": first differing state:\n" << report;
}

INSTANTIATE_TEST_SUITE_P(Groups, Z80FlagExerciser, ::testing::ValuesIn(kGroups),
                         [](const ::testing::TestParamInfo<Group>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
