#pragma once
// The ED page: port I/O through C, 16-bit ADC/SBC, loads through memory,
// NEG, RETN/RETI, IM, the I and R transfers, RRD/RLD and the block
// instructions (one iteration per call). Included by the execution unit only,
// so that the page inlines into the main dispatch.

#include "cpu/z80Core.h"

struct TZ80Ed : TZ80Core {
    static constexpr int kPlainReg[8] = {kB, kC, kD, kE, kH, kL, kF, kA};
    static uint16_t GetRp(const C& c, int p) { return p == 3 ? c.sp_ : Pair(c, kPlainLo(p)); }
    static void SetRp(C& c, int p, uint16_t v) {
        if (p == 3)
            c.sp_ = v;
        else
            SetPair(c, kPlainLo(p), v);
    }
    static constexpr int kPlainLo(int p) { return p == 0 ? kC : p == 1 ? kE : kL; }

    template <int OP>
    static TAVRIN_Z80_INLINE void Group1(C& c);
    template <int OP>
    static TAVRIN_Z80_INLINE void Block(C& c);
    template <int OP>
    static TAVRIN_Z80_INLINE void Op(C& c);
};

template <int OP>
TAVRIN_Z80_INLINE void TZ80Ed::Group1(C& c) {
    constexpr uint8_t op = OP;
    const int y = (op >> 3) & 7, z = op & 7, p = y >> 1, q = y & 1;
    uint8_t* const reg = c.reg_;
    uint8_t& f = reg[kF];
    uint8_t& a = reg[kA];
    switch (z) {
        case 0: {              // IN r,(C); ED 70 only sets the flags
            uint8_t v = 0xFF;  // idle bus when the handler answers nothing
            PortRead(c, Pair(c, kC), v);
            f = uint8_t(Szp(v) | (f & z80::FC));
            if (y != 6) reg[TZ80Ed::kPlainReg[y]] = v;
            break;
        }
        case 1:  // OUT (C),r; ED 71 sends 0
            PortWrite(c, Pair(c, kC), y == 6 ? uint8_t(0) : reg[TZ80Ed::kPlainReg[y]]);
            break;
        case 2: {  // SBC HL,rp / ADC HL,rp
            const uint32_t hl = Pair(c, kL);
            const uint32_t rr = GetRp(c, p);
            const uint32_t carry = f & z80::FC;
            uint32_t r;
            uint32_t overflow;
            if (q) {
                r = hl + rr + carry;
                overflow = ~(hl ^ rr) & (hl ^ r) & 0x8000;
            } else {
                r = hl - rr - carry;
                overflow = (hl ^ rr) & (hl ^ r) & 0x8000;
            }
            const uint16_t res = uint16_t(r);
            f = uint8_t(((res >> 8) & z80::FS) | (res == 0 ? z80::FZ : 0) | ((hl >> 8) & z80::FXY) |
                        (((hl ^ rr ^ r) >> 8) & z80::FH) | (overflow >> 13) | ((r >> 16) & z80::FC) |
                        (q ? 0 : z80::FN));
            SetPair(c, kL, res);
            break;
        }
        case 3: {  // LD (nn),rp / LD rp,(nn)
            const uint16_t nn = Fetch16(c);
            if (q)
                SetRp(c, p, Word(c, nn));
            else
                SetWord(c, nn, GetRp(c, p));
            break;
        }
        case 4: {  // NEG
            const uint8_t t = a;
            a = Sub8(0, t, 0, f);
            f = uint8_t((f & ~(z80::FP | z80::FC)) | (t == 0x80 ? z80::FP : 0) | (t != 0 ? z80::FC : 0));
            break;
        }
        case 5:  // RETI keeps IFF1; RETN restores it from IFF2
            if (op == 0x4D) {
                if (c.OnEndOFInterrupt) c.OnEndOFInterrupt(c);
            } else if (c.state_ & C::kStateIff2) {
                c.state_ |= C::kStateIff1;
            } else {
                c.state_ &= uint8_t(~C::kStateIff1);
            }
            c.pc_ = Pop(c);
            break;
        case 6:  // IM: the mode code is bits 3-4 of the opcode
            c.state_ = uint8_t((c.state_ & ~C::kStateModeMask) | ((op >> 3) & 3));
            break;
        default:
            switch (y) {
                case 0:
                    c.i_ = a;
                    break;
                case 1:
                    c.SetRegisterR(a);
                    break;
                case 2:
                case 3:
                    a = y == 2 ? c.i_ : c.RegisterR();
                    f = uint8_t((Szp(a) & ~z80::FP) | (f & z80::FC) | ((c.state_ & C::kStateIff2) ? z80::FP : 0));
                    break;
                case 4: {  // RRD
                    uint8_t& m = c.mem_[Pair(c, kL)];
                    const uint8_t old = m;
                    m = uint8_t(((a & 0x0F) << 4) | (old >> 4));
                    a = uint8_t((a & 0xF0) | (old & 0x0F));
                    f = uint8_t(Szp(a) | (f & z80::FC));
                    break;
                }
                case 5: {  // RLD
                    uint8_t& m = c.mem_[Pair(c, kL)];
                    const uint8_t old = m;
                    m = uint8_t(((old << 4) & 0xF0) | (a & 0x0F));
                    a = uint8_t((a & 0xF0) | (old >> 4));
                    f = uint8_t(Szp(a) | (f & z80::FC));
                    break;
                }
                default:
                    break;  // ED 77, ED 7F
            }
            break;
    }
}

// Block transfer, compare and I/O: bit 3 of the opcode is the direction,
// bit 4 the repeat; a repeating form that is not finished steps PC back onto
// its ED byte. No block instruction changes C.
template <int OP>
TAVRIN_Z80_INLINE void TZ80Ed::Block(C& c) {
    constexpr uint8_t op = OP;
    const uint16_t step = (op & 0x08) ? 0xFFFF : 0x0001;
    const bool repeat = (op & 0x10) != 0;
    uint8_t* const reg = c.reg_;
    uint8_t& f = reg[kF];
    const uint8_t oldC = f & z80::FC;
    const uint16_t hl = Pair(c, kL);
    switch (op & 3) {
        case 0: {  // LDI LDD LDIR LDDR
            const uint16_t de = Pair(c, kE);
            c.mem_[de] = c.mem_[hl];
            SetPair(c, kL, uint16_t(hl + step));
            SetPair(c, kE, uint16_t(de + step));
            const uint16_t bc = uint16_t(Pair(c, kC) - 1);
            SetPair(c, kC, bc);
            f = uint8_t((f & (z80::FS | z80::FZ | z80::FC)) | (bc != 0 ? z80::FP : 0) | (reg[kB] & z80::FXY));
            if (repeat && bc != 0) c.pc_ = uint16_t(c.pc_ - 2);
            break;
        }
        case 1: {  // CPI CPD CPIR CPDR
            uint8_t sf;
            const uint8_t res = Sub8(reg[kA], c.mem_[hl], 0, sf);
            SetPair(c, kL, uint16_t(hl + step));
            const uint16_t bc = uint16_t(Pair(c, kC) - 1);
            SetPair(c, kC, bc);
            f = uint8_t((sf & ~(z80::FP | z80::FC)) | (bc != 0 ? z80::FP : 0) | oldC);
            if (repeat && bc != 0 && res != 0) c.pc_ = uint16_t(c.pc_ - 2);
            break;
        }
        case 2:
        case 3: {                               // INI IND INIR INDR / OUTI OUTD OTIR OTDR
            const uint16_t port = Pair(c, kC);  // B before the decrement
            uint8_t v;
            if ((op & 3) == 2) {
                v = 0xFF;  // idle bus when the handler answers nothing
                PortRead(c, port, v);
                c.mem_[hl] = v;
            } else {
                v = c.mem_[hl];
                PortWrite(c, port, v);
            }
            SetPair(c, kL, uint16_t(hl + step));
            const uint8_t b = --reg[kB];
            f = uint8_t((v & ~(z80::FZ | z80::FN | z80::FC)) | (b == 0 ? z80::FZ : 0) | z80::FN | oldC);
            if (repeat && b != 0) c.pc_ = uint16_t(c.pc_ - 2);
            break;
        }
    }
}

template <int OP>
TAVRIN_Z80_INLINE void TZ80Ed::Op(C& c) {
    if constexpr ((OP >> 6) == 1) {
        Group1<OP>(c);
    } else if constexpr ((OP >> 6) == 2 && (OP & 7) < 4) {
        // Bit 5 is not examined: ED 80-9F mirror ED A0-BF.
        Block<OP>(c);
    }
    // ED 00-3F, ED C0-FF and the rest of ED 80-BF do nothing.
}

TAVRIN_Z80_INLINE void TZ80Core::EdPage(C& c) {
    const uint8_t op = Fetch(c);
    CountR(c);
#define TAVRIN_Z80_ED_CASE(n) \
    case n:                   \
        TZ80Ed::Op<n>(c);     \
        break;
    switch (op) { TAVRIN_Z80_CASES256(TAVRIN_Z80_ED_CASE) }
#undef TAVRIN_Z80_ED_CASE
}
