#pragma once
// Small helpers shared by the processor tests: named register access so that
// test tables can list registers as data, and a processor with a program
// loaded at a given address.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cpu/z80Cpu.h"

namespace cputest {

enum class Reg { A, F, B, C, D, E, H, L, I, R, IX, IY, SP, PC, BC, DE, HL, AF };

inline const char* RegName(Reg r) {
    static const char* const names[] = {"A",  "F",  "B",  "C",  "D",  "E",  "H",  "L",  "I",
                                        "R",  "IX", "IY", "SP", "PC", "BC", "DE", "HL", "AF"};
    return names[int(r)];
}

inline uint16_t Get(const TCpuEmu& c, Reg r) {
    switch (r) {
        case Reg::A: return c.RegisterA();
        case Reg::F: return c.StatusFlags();
        case Reg::B: return c.RegisterB();
        case Reg::C: return c.RegisterC();
        case Reg::D: return c.RegisterD();
        case Reg::E: return c.RegisterE();
        case Reg::H: return c.RegisterH();
        case Reg::L: return c.RegisterL();
        case Reg::I: return c.RegisterI();
        case Reg::R: return c.RegisterR();
        case Reg::IX: return uint16_t(c.RegisterIXH() << 8 | c.RegisterIXL());
        case Reg::IY: return uint16_t(c.RegisterIYH() << 8 | c.RegisterIYL());
        case Reg::SP: return uint16_t(c.RegisterSPH() << 8 | c.RegisterSPL());
        case Reg::PC: return uint16_t(c.RegisterPCH() << 8 | c.RegisterPCL());
        case Reg::BC: return uint16_t(c.RegisterB() << 8 | c.RegisterC());
        case Reg::DE: return uint16_t(c.RegisterD() << 8 | c.RegisterE());
        case Reg::HL: return uint16_t(c.RegisterH() << 8 | c.RegisterL());
        case Reg::AF: return uint16_t(c.RegisterA() << 8 | c.StatusFlags());
    }
    return 0;
}

inline void Set(TCpuEmu& c, Reg r, uint16_t v) {
    const auto hi = uint8_t(v >> 8), lo = uint8_t(v);
    switch (r) {
        case Reg::A: c.SetRegisterA(lo); break;
        case Reg::F: c.SetStatusFlags(lo); break;
        case Reg::B: c.SetRegisterB(lo); break;
        case Reg::C: c.SetRegisterC(lo); break;
        case Reg::D: c.SetRegisterD(lo); break;
        case Reg::E: c.SetRegisterE(lo); break;
        case Reg::H: c.SetRegisterH(lo); break;
        case Reg::L: c.SetRegisterL(lo); break;
        case Reg::I: c.SetRegisterI(lo); break;
        case Reg::R: c.SetRegisterR(lo); break;
        case Reg::IX: c.SetRegisterIXH(hi); c.SetRegisterIXL(lo); break;
        case Reg::IY: c.SetRegisterIYH(hi); c.SetRegisterIYL(lo); break;
        case Reg::SP: c.SetRegisterSPH(hi); c.SetRegisterSPL(lo); break;
        case Reg::PC: c.SetRegisterPCH(hi); c.SetRegisterPCL(lo); break;
        case Reg::BC: c.SetRegisterB(hi); c.SetRegisterC(lo); break;
        case Reg::DE: c.SetRegisterD(hi); c.SetRegisterE(lo); break;
        case Reg::HL: c.SetRegisterH(hi); c.SetRegisterL(lo); break;
        case Reg::AF: c.SetRegisterA(hi); c.SetStatusFlags(lo); break;
    }
}

using RegValues = std::vector<std::pair<Reg, uint16_t>>;
using MemValues = std::vector<std::pair<uint16_t, uint8_t>>;

// A processor reset to `origin` with `code` placed there.
inline std::unique_ptr<TCpuEmu> MakeCpu(const std::vector<uint8_t>& code, uint16_t origin = 0x0100) {
    auto cpu = std::make_unique<TCpuEmu>();
    if (!code.empty()) cpu->WriteMemory(origin, uint16_t(code.size()), code.data());
    cpu->Reset(origin);
    return cpu;
}

inline void Apply(TCpuEmu& c, const RegValues& regs) {
    for (const auto& [r, v] : regs) Set(c, r, v);
}
inline void Apply(TCpuEmu& c, const MemValues& mem) {
    for (const auto& [a, v] : mem) c.WriteMemoryByte(a, v);
}

constexpr uint8_t kS = 0x80, kZ = 0x40, kY = 0x20, kH = 0x10, kX = 0x08, kP = 0x04, kN = 0x02, kC = 0x01;

}  // namespace cputest
