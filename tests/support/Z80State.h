#pragma once
// A whole processor state as plain values, loaded into and read back from
// TCpuEmu through its public properties. The differential exerciser and the
// recorded-vector runner compare processors in these terms.

#include <cstdint>
#include <cstdio>
#include <string>

#include "cpu/z80Cpu.h"

namespace tavrin::test {

struct TZ80State {
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
    // Register z of an opcode: B C D E H L - A.
    uint8_t Reg8(int z) const {
        const uint16_t pair = z < 2 ? bc : z < 4 ? de : z < 6 ? hl : af;
        return uint8_t((z & 1) && z != 7 ? pair : pair >> 8);
    }
    void SetReg8(int z, uint8_t v) {
        uint16_t& pair = z < 2 ? bc : z < 4 ? de : z < 6 ? hl : af;
        pair = (z & 1) && z != 7 ? uint16_t((pair & 0xFF00) | v) : uint16_t((pair & 0x00FF) | v << 8);
    }
    bool operator==(const TZ80State&) const = default;
};

inline std::string Describe(const TZ80State& s) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "AF=%04X BC=%04X DE=%04X HL=%04X IX=%04X IY=%04X SP=%04X PC=%04X "
                  "AF'=%04X BC'=%04X DE'=%04X HL'=%04X I=%02X R=%02X IFF=%d/%d IM%d",
                  s.af, s.bc, s.de, s.hl, s.ix, s.iy, s.sp, s.pc, s.af2, s.bc2, s.de2, s.hl2, s.i, s.r, int(s.iff1),
                  int(s.iff2), int(s.mode));
    return text;
}

// TCpuEmu's interrupt mode code: 0 and 1 both mean IM 0.
inline int Z80ModeFromCode(int code) { return code <= 1 ? 0 : code - 1; }
inline uint8_t Z80CodeFromMode(int mode) { return mode == 0 ? 0 : uint8_t(mode + 1); }

// How TZ80State's register pairs are read from and written to TCpuEmu.
struct TZ80RegisterPair {
    uint16_t TZ80State::*field;
    uint8_t (TCpuEmu::*high)() const;
    uint8_t (TCpuEmu::*low)() const;
    void (TCpuEmu::*setHigh)(uint8_t);
    void (TCpuEmu::*setLow)(uint8_t);
};
inline const TZ80RegisterPair Z80RegisterPairs[] = {
    {&TZ80State::af, &TCpuEmu::RegisterA, &TCpuEmu::StatusFlags, &TCpuEmu::SetRegisterA, &TCpuEmu::SetStatusFlags},
    {&TZ80State::bc, &TCpuEmu::RegisterB, &TCpuEmu::RegisterC, &TCpuEmu::SetRegisterB, &TCpuEmu::SetRegisterC},
    {&TZ80State::de, &TCpuEmu::RegisterD, &TCpuEmu::RegisterE, &TCpuEmu::SetRegisterD, &TCpuEmu::SetRegisterE},
    {&TZ80State::hl, &TCpuEmu::RegisterH, &TCpuEmu::RegisterL, &TCpuEmu::SetRegisterH, &TCpuEmu::SetRegisterL},
    {&TZ80State::af2, &TCpuEmu::ExRegisterA, &TCpuEmu::ExStatusFlags, &TCpuEmu::SetExRegisterA,
     &TCpuEmu::SetExStatusFlags},
    {&TZ80State::bc2, &TCpuEmu::ExRegisterB, &TCpuEmu::ExRegisterC, &TCpuEmu::SetExRegisterB, &TCpuEmu::SetExRegisterC},
    {&TZ80State::de2, &TCpuEmu::ExRegisterD, &TCpuEmu::ExRegisterE, &TCpuEmu::SetExRegisterD, &TCpuEmu::SetExRegisterE},
    {&TZ80State::hl2, &TCpuEmu::ExRegisterH, &TCpuEmu::ExRegisterL, &TCpuEmu::SetExRegisterH, &TCpuEmu::SetExRegisterL},
    {&TZ80State::ix, &TCpuEmu::RegisterIXH, &TCpuEmu::RegisterIXL, &TCpuEmu::SetRegisterIXH, &TCpuEmu::SetRegisterIXL},
    {&TZ80State::iy, &TCpuEmu::RegisterIYH, &TCpuEmu::RegisterIYL, &TCpuEmu::SetRegisterIYH, &TCpuEmu::SetRegisterIYL},
    {&TZ80State::sp, &TCpuEmu::RegisterSPH, &TCpuEmu::RegisterSPL, &TCpuEmu::SetRegisterSPH, &TCpuEmu::SetRegisterSPL},
    {&TZ80State::pc, &TCpuEmu::RegisterPCH, &TCpuEmu::RegisterPCL, &TCpuEmu::SetRegisterPCH, &TCpuEmu::SetRegisterPCL},
};

// `extraState` adds state bits of TCpuEmu's own (the poll skip, HALT).
inline void LoadZ80State(TCpuEmu& c, const TZ80State& s, uint8_t modeCode, uint8_t extraState = 0) {
    for (const auto& p : Z80RegisterPairs) {
        (c.*p.setHigh)(uint8_t(s.*p.field >> 8));
        (c.*p.setLow)(uint8_t(s.*p.field));
    }
    c.SetRegisterI(s.i);
    c.SetRegisterR(s.r);
    c.SetCpuState(
        uint8_t((s.iff1 ? TCpuEmu::kStateIff1 : 0) | (s.iff2 ? TCpuEmu::kStateIff2 : 0) | modeCode | extraState));
}

inline TZ80State SaveZ80State(const TCpuEmu& c) {
    TZ80State s;
    for (const auto& p : Z80RegisterPairs) s.*p.field = uint16_t((c.*p.high)() << 8 | (c.*p.low)());
    s.i = c.RegisterI();
    s.r = c.RegisterR();
    s.iff1 = (c.CpuState() & TCpuEmu::kStateIff1) != 0;
    s.iff2 = (c.CpuState() & TCpuEmu::kStateIff2) != 0;
    s.mode = uint8_t(Z80ModeFromCode(c.CpuState() & TCpuEmu::kStateModeMask));
    return s;
}

}  // namespace tavrin::test
