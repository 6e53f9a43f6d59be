#pragma once
// Internal execution helpers of TCpuEmu: register access, fetch, stack and
// the shared flag operations. Only the processor's own .cpp files include it.

#include <cstdint>

#include "cpu/z80Cpu.h"

#define TAVRIN_Z80_INLINE inline __attribute__((always_inline))

// clang-format off
// Expands M(n) for every opcode value n, giving one switch case each.
#define TAVRIN_Z80_CASES16(M, h)                                                              \
    M(h + 0x0) M(h + 0x1) M(h + 0x2) M(h + 0x3) M(h + 0x4) M(h + 0x5) M(h + 0x6) M(h + 0x7) \
    M(h + 0x8) M(h + 0x9) M(h + 0xA) M(h + 0xB) M(h + 0xC) M(h + 0xD) M(h + 0xE) M(h + 0xF)
#define TAVRIN_Z80_CASES256(M)                                                                  \
    TAVRIN_Z80_CASES16(M, 0x00) TAVRIN_Z80_CASES16(M, 0x10) TAVRIN_Z80_CASES16(M, 0x20)         \
    TAVRIN_Z80_CASES16(M, 0x30) TAVRIN_Z80_CASES16(M, 0x40) TAVRIN_Z80_CASES16(M, 0x50)         \
    TAVRIN_Z80_CASES16(M, 0x60) TAVRIN_Z80_CASES16(M, 0x70) TAVRIN_Z80_CASES16(M, 0x80)         \
    TAVRIN_Z80_CASES16(M, 0x90) TAVRIN_Z80_CASES16(M, 0xA0) TAVRIN_Z80_CASES16(M, 0xB0)         \
    TAVRIN_Z80_CASES16(M, 0xC0) TAVRIN_Z80_CASES16(M, 0xD0) TAVRIN_Z80_CASES16(M, 0xE0)         \
    TAVRIN_Z80_CASES16(M, 0xF0)
// clang-format on

namespace z80 {

enum : uint8_t {
    FC = 0x01,
    FN = 0x02,
    FP = 0x04,
    FX = 0x08,
    FH = 0x10,
    FY = 0x20,
    FZ = 0x40,
    FS = 0x80,
    FXY = FX | FY,
};

// S, Z, bits 3 and 5 and parity of every byte value: the flag byte that the
// logic operations produce before H is added.
struct FlagTable {
    uint8_t szp[256];
    constexpr FlagTable() : szp{} {
        for (int v = 0; v < 256; ++v) {
            int ones = 0;
            for (int b = 0; b < 8; ++b) ones += (v >> b) & 1;
            szp[v] = uint8_t((v & (FS | FXY)) | (v == 0 ? FZ : 0) | ((ones & 1) == 0 ? FP : 0));
        }
    }
};
inline constexpr FlagTable kFlagTable;

}  // namespace z80

struct TZ80Core {
    using C = TCpuEmu;
    static constexpr int kC = C::kC, kB = C::kB, kE = C::kE, kD = C::kD, kL = C::kL, kH = C::kH, kF = C::kF, kA = C::kA,
                         kIXL = C::kIXL, kIXH = C::kIXH, kIYL = C::kIYL, kIYH = C::kIYH;

    static TAVRIN_Z80_INLINE uint8_t Szp(uint8_t v) { return z80::kFlagTable.szp[v]; }

    static TAVRIN_Z80_INLINE uint8_t Fetch(C& c) { return c.mem_[c.pc_++]; }
    static TAVRIN_Z80_INLINE uint16_t Fetch16(C& c) {
        const uint8_t lo = Fetch(c);
        const uint8_t hi = Fetch(c);
        return uint16_t(lo | (hi << 8));
    }
    // R counts opcode fetches in its low seven bits; bit 7 only changes by LD R,A.
    static TAVRIN_Z80_INLINE void CountR(C& c) { ++c.rCount_; }

    static TAVRIN_Z80_INLINE uint16_t Pair(const C& c, int lo) { return uint16_t(c.reg_[lo] | (c.reg_[lo + 1] << 8)); }
    static TAVRIN_Z80_INLINE void SetPair(C& c, int lo, uint16_t v) {
        c.reg_[lo] = uint8_t(v);
        c.reg_[lo + 1] = uint8_t(v >> 8);
    }
    static TAVRIN_Z80_INLINE uint16_t Word(const C& c, uint16_t address) {
        return uint16_t(c.mem_[address] | (c.mem_[uint16_t(address + 1)] << 8));
    }
    static TAVRIN_Z80_INLINE void SetWord(C& c, uint16_t address, uint16_t v) {
        c.mem_[address] = uint8_t(v);
        c.mem_[uint16_t(address + 1)] = uint8_t(v >> 8);
    }
    static TAVRIN_Z80_INLINE void Push(C& c, uint16_t v) {
        c.mem_[--c.sp_] = uint8_t(v >> 8);
        c.mem_[--c.sp_] = uint8_t(v);
    }
    static TAVRIN_Z80_INLINE uint16_t Pop(C& c) {
        const uint8_t lo = c.mem_[c.sp_++];
        const uint8_t hi = c.mem_[c.sp_++];
        return uint16_t(lo | (hi << 8));
    }

    // Ports: an unassigned read handler leaves an idle bus (FFh).
    static TAVRIN_Z80_INLINE void PortRead(C& c, uint16_t port, uint8_t& data) {
        if (c.OnPortRead)
            c.OnPortRead(c, port, data);
        else
            data = 0xFF;
    }
    static TAVRIN_Z80_INLINE void PortWrite(C& c, uint16_t port, uint8_t data) {
        if (c.OnPortWrite) c.OnPortWrite(c, port, data);
    }

    // 8-bit addition and subtraction with carry-in. Bits 3 and 5 come from
    // the first operand, not from the result.
    static TAVRIN_Z80_INLINE uint8_t Add8(uint8_t a, uint8_t b, unsigned carry, uint8_t& f) {
        const unsigned r = unsigned(a) + b + carry;
        const uint8_t res = uint8_t(r);
        f = uint8_t((res & z80::FS) | (res == 0 ? z80::FZ : 0) | (a & z80::FXY) | ((a ^ b ^ r) & z80::FH) |
                    ((((a ^ ~unsigned(b)) & (a ^ res)) & 0x80) >> 5) | ((r >> 8) & z80::FC));
        return res;
    }
    static TAVRIN_Z80_INLINE uint8_t Sub8(uint8_t a, uint8_t b, unsigned carry, uint8_t& f) {
        const unsigned r = unsigned(a) - b - carry;
        const uint8_t res = uint8_t(r);
        f = uint8_t((res & z80::FS) | (res == 0 ? z80::FZ : 0) | (a & z80::FXY) | ((a ^ b ^ r) & z80::FH) |
                    ((((a ^ b) & (a ^ res)) & 0x80) >> 5) | ((r >> 8) & z80::FC) | z80::FN);
        return res;
    }

    static TAVRIN_Z80_INLINE uint8_t Inc8(uint8_t v, uint8_t& f) {
        const uint8_t res = uint8_t(v + 1);
        f = uint8_t((f & z80::FC) | (res & z80::FS) | (res == 0 ? z80::FZ : 0) | (v & z80::FXY) |
                    ((v & 0x0F) == 0x0F ? z80::FH : 0) | (v == 0x7F ? z80::FP : 0));
        return res;
    }
    static TAVRIN_Z80_INLINE uint8_t Dec8(uint8_t v, uint8_t& f) {
        const uint8_t res = uint8_t(v - 1);
        f = uint8_t((f & z80::FC) | (res & z80::FS) | (res == 0 ? z80::FZ : 0) | (v & z80::FXY) |
                    ((v & 0x0F) == 0 ? z80::FH : 0) | (v == 0x80 ? z80::FP : 0) | z80::FN);
        return res;
    }

    // ALU operation y (ADD ADC SUB SBC AND XOR OR CP) on A and v.
    template <int Y>
    static TAVRIN_Z80_INLINE void Alu(C& c, uint8_t v) {
        uint8_t& a = c.reg_[kA];
        uint8_t& f = c.reg_[kF];
        if constexpr (Y == 0) {
            a = Add8(a, v, 0, f);
        } else if constexpr (Y == 1) {
            a = Add8(a, v, f & z80::FC, f);
        } else if constexpr (Y == 2) {
            a = Sub8(a, v, 0, f);
        } else if constexpr (Y == 3) {
            a = Sub8(a, v, f & z80::FC, f);
        } else if constexpr (Y == 4) {
            a &= v;
            f = uint8_t(Szp(a) | z80::FH);
        } else if constexpr (Y == 5) {
            a ^= v;
            f = Szp(a);
        } else if constexpr (Y == 6) {
            a |= v;
            f = Szp(a);
        } else {
            Sub8(a, v, 0, f);
            f = uint8_t((f & ~z80::FXY) | (v & z80::FXY));
        }
    }

    // CB rotate and shift y on v; S, Z, parity, bits 3 and 5 from the result.
    template <int Y>
    static TAVRIN_Z80_INLINE uint8_t Rot(uint8_t v, uint8_t& f) {
        unsigned res, out;
        if constexpr (Y == 0) {
            out = v >> 7;
            res = (v << 1) | out;
        } else if constexpr (Y == 1) {
            out = v & 1;
            res = (v >> 1) | (out << 7);
        } else if constexpr (Y == 2) {
            out = v >> 7;
            res = (v << 1) | (f & z80::FC);
        } else if constexpr (Y == 3) {
            out = v & 1;
            res = (v >> 1) | ((f & z80::FC) << 7);
        } else if constexpr (Y == 4) {
            out = v >> 7;
            res = v << 1;
        } else if constexpr (Y == 5) {
            out = v & 1;
            res = (v >> 1) | (v & 0x80);
        } else if constexpr (Y == 6) {
            out = v >> 7;
            res = (v << 1) | 1;
        } else {
            out = v & 1;
            res = v >> 1;
        }
        const uint8_t r8 = uint8_t(res);
        f = uint8_t(Szp(r8) | out);
        return r8;
    }
    static uint8_t RotRuntime(int y, uint8_t v, uint8_t& f);

    static TAVRIN_Z80_INLINE void BitTest(C& c, int bit, uint8_t v) {
        uint8_t& f = c.reg_[kF];
        f = uint8_t(Szp(uint8_t(v & (1u << bit))) | z80::FH | (f & z80::FC));
    }

    // Pages reached after the first opcode byte.
    static void Prefixed(C& c, int mode);
    static TAVRIN_Z80_INLINE void EdPage(C& c);
    static void IndexedCb(C& c, uint16_t address);
};
