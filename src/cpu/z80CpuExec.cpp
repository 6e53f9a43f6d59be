// Instruction execution outside the ED page: unprefixed opcodes, the CB page
// and the DD/FD index forms. Each opcode is a compile-time specialisation, so
// register indices and flag rules fold into straight-line code behind one
// switch per opcode byte.

#include "cpu/z80Core.h"
#include "cpu/z80EdPage.h"

using namespace z80;

namespace {

// Index mode of the instruction being executed: HL, IX or IY.
enum : int { kModeHL = 0, kModeIX = 1, kModeIY = 2 };

// Register file index of the 3-bit register field r (6 = memory, never used).
constexpr int PlainReg(int r) {
    constexpr int map[8] = {TZ80Core::kB, TZ80Core::kC, TZ80Core::kD, TZ80Core::kE,
                            TZ80Core::kH, TZ80Core::kL, TZ80Core::kF, TZ80Core::kA};
    return map[r];
}
// The same under an index prefix: H and L become the index register halves.
template <int X>
constexpr int MappedReg(int r) {
    if constexpr (X == kModeIX) {
        if (r == 4) return TZ80Core::kIXH;
        if (r == 5) return TZ80Core::kIXL;
    } else if constexpr (X == kModeIY) {
        if (r == 4) return TZ80Core::kIYH;
        if (r == 5) return TZ80Core::kIYL;
    }
    return PlainReg(r);
}
// Low-byte index of HL, IX or IY.
template <int X>
constexpr int IndexLo() {
    return X == kModeHL ? TZ80Core::kL : X == kModeIX ? TZ80Core::kIXL : TZ80Core::kIYL;
}

TAVRIN_Z80_INLINE bool Condition(uint8_t f, int cc) {
    switch (cc) {
        case 0:
            return !(f & FZ);
        case 1:
            return (f & FZ) != 0;
        case 2:
            return !(f & FC);
        case 3:
            return (f & FC) != 0;
        case 4:
            return !(f & FP);
        case 5:
            return (f & FP) != 0;
        case 6:
            return !(f & FS);
        default:
            return (f & FS) != 0;
    }
}

}  // namespace

struct TZ80Exec : TZ80Core {
    // Memory operand: (HL), or (IX+d) / (IY+d) with d fetched now.
    template <int X>
    static TAVRIN_Z80_INLINE uint16_t OperandAddress(C& c) {
        if constexpr (X == kModeHL) {
            return Pair(c, kL);
        } else {
            const int8_t d = int8_t(Fetch(c));
            return uint16_t(Pair(c, IndexLo<X>()) + d);
        }
    }

    // 16-bit register pair p for LD rp,nn / INC rp / DEC rp / ADD HL,rp.
    template <int X, int P>
    static TAVRIN_Z80_INLINE uint16_t GetRp(C& c) {
        if constexpr (P == 0)
            return Pair(c, kC);
        else if constexpr (P == 1)
            return Pair(c, kE);
        else if constexpr (P == 2)
            return Pair(c, IndexLo<X>());
        else
            return c.sp_;
    }
    template <int X, int P>
    static TAVRIN_Z80_INLINE void SetRp(C& c, uint16_t v) {
        if constexpr (P == 0)
            SetPair(c, kC, v);
        else if constexpr (P == 1)
            SetPair(c, kE, v);
        else if constexpr (P == 2)
            SetPair(c, IndexLo<X>(), v);
        else
            c.sp_ = v;
    }
    // PUSH / POP pairs: p = 3 is AF.
    template <int X, int P>
    static constexpr int Rp2Lo() {
        return P == 0 ? kC : P == 1 ? kE : P == 2 ? IndexLo<X>() : kF;
    }

    // Relative jumps copy bits 3 and 5 of the resulting PC's low byte into F.
    static TAVRIN_Z80_INLINE void JumpFlags(C& c) {
        uint8_t& f = c.reg_[kF];
        f = uint8_t((f & ~FXY) | (c.pc_ & FXY));
    }

    template <int X, int OP>
    static TAVRIN_Z80_INLINE void Op(C& c);

    template <int X>
    static TAVRIN_Z80_INLINE void Dispatch(C& c, uint8_t op);
    template <int X>
    static void Exec(C& c, uint8_t op);

    template <int OP>
    static TAVRIN_Z80_INLINE void CbOp(C& c);
    static TAVRIN_Z80_INLINE void CbPage(C& c);
};

template <int X, int OP>
TAVRIN_Z80_INLINE void TZ80Exec::Op(C& c) {
    constexpr int x = OP >> 6, y = (OP >> 3) & 7, z = OP & 7, p = y >> 1, q = y & 1;
    uint8_t* const reg = c.reg_;
    uint8_t& f = reg[kF];
    uint8_t& a = reg[kA];

    if constexpr (x == 1) {
        if constexpr (OP == 0x76) {
            // HALT repeats itself until an interrupt moves PC past it.
            c.state_ |= C::kStateHalted;
            --c.pc_;
        } else if constexpr (z == 6) {
            const uint16_t address = OperandAddress<X>(c);
            reg[PlainReg(y)] = c.mem_[address];
        } else if constexpr (y == 6) {
            const uint16_t address = OperandAddress<X>(c);
            c.mem_[address] = reg[PlainReg(z)];
        } else {
            reg[MappedReg<X>(y)] = reg[MappedReg<X>(z)];
        }
    } else if constexpr (x == 2) {
        if constexpr (z == 6) {
            const uint16_t address = OperandAddress<X>(c);
            Alu<y>(c, c.mem_[address]);
        } else {
            Alu<y>(c, reg[MappedReg<X>(z)]);
        }
    } else if constexpr (x == 0) {
        if constexpr (z == 0) {
            if constexpr (y == 0) {
                // NOP
            } else if constexpr (y == 1) {
                const uint8_t ta = a, tf = f;
                a = c.alt_[kA];
                f = c.alt_[kF];
                c.alt_[kA] = ta;
                c.alt_[kF] = tf;
            } else {
                const int8_t e = int8_t(Fetch(c));
                bool taken;
                if constexpr (y == 2) {
                    taken = --reg[kB] != 0;
                } else if constexpr (y == 3) {
                    taken = true;
                } else {
                    taken = Condition(f, y - 4);
                }
                if (taken) c.pc_ = uint16_t(c.pc_ + e);
                JumpFlags(c);
            }
        } else if constexpr (z == 1) {
            if constexpr (q == 0) {
                SetRp<X, p>(c, Fetch16(c));
            } else {
                const uint32_t hl = GetRp<X, 2>(c);
                const uint32_t rr = GetRp<X, p>(c);
                const uint32_t sum = hl + rr;
                f = uint8_t((f & (FS | FZ | FP)) | ((hl >> 8) & FXY) | (((hl ^ rr ^ sum) >> 8) & FH) |
                            ((sum >> 16) & FC));
                SetRp<X, 2>(c, uint16_t(sum));
            }
        } else if constexpr (z == 2) {
            if constexpr (y == 0) {
                c.mem_[Pair(c, kC)] = a;
            } else if constexpr (y == 1) {
                a = c.mem_[Pair(c, kC)];
            } else if constexpr (y == 2) {
                c.mem_[Pair(c, kE)] = a;
            } else if constexpr (y == 3) {
                a = c.mem_[Pair(c, kE)];
            } else if constexpr (y == 4) {
                SetWord(c, Fetch16(c), GetRp<X, 2>(c));
            } else if constexpr (y == 5) {
                SetRp<X, 2>(c, Word(c, Fetch16(c)));
            } else if constexpr (y == 6) {
                c.mem_[Fetch16(c)] = a;
            } else {
                a = c.mem_[Fetch16(c)];
            }
        } else if constexpr (z == 3) {
            if constexpr (q == 0)
                SetRp<X, p>(c, uint16_t(GetRp<X, p>(c) + 1));
            else
                SetRp<X, p>(c, uint16_t(GetRp<X, p>(c) - 1));
        } else if constexpr (z == 4 || z == 5) {
            if constexpr (y == 6) {
                const uint16_t address = OperandAddress<X>(c);
                c.mem_[address] = z == 4 ? Inc8(c.mem_[address], f) : Dec8(c.mem_[address], f);
            } else {
                uint8_t& r = reg[MappedReg<X>(y)];
                r = z == 4 ? Inc8(r, f) : Dec8(r, f);
            }
        } else if constexpr (z == 6) {
            if constexpr (y == 6) {
                const uint16_t address = OperandAddress<X>(c);
                c.mem_[address] = Fetch(c);
            } else {
                reg[MappedReg<X>(y)] = Fetch(c);
            }
        } else {
            constexpr uint8_t kKeep = FS | FZ | FP;
            if constexpr (y == 0) {
                a = uint8_t((a << 1) | (a >> 7));
                f = uint8_t((f & kKeep) | (a & (FXY | FC)));
            } else if constexpr (y == 1) {
                const uint8_t out = a & 1;
                a = uint8_t((a >> 1) | (out << 7));
                f = uint8_t((f & kKeep) | (a & FXY) | out);
            } else if constexpr (y == 2) {
                const uint8_t out = a >> 7;
                a = uint8_t((a << 1) | (f & FC));
                f = uint8_t((f & kKeep) | (a & FXY) | out);
            } else if constexpr (y == 3) {
                const uint8_t out = a & 1;
                a = uint8_t((a >> 1) | ((f & FC) << 7));
                f = uint8_t((f & kKeep) | (a & FXY) | out);
            } else if constexpr (y == 4) {
                // DAA: one addition or subtraction of the correction, chosen by N.
                const uint8_t old = a;
                uint8_t correction = 0;
                uint8_t carry = 0;
                if (old > 0x99 || (f & FC)) {
                    correction = 0x60;
                    carry = FC;
                }
                if ((f & FH) || (old & 0x0F) > 9) correction |= 0x06;
                uint8_t nf;
                a = (f & FN) ? Sub8(old, correction, 0, nf) : Add8(old, correction, 0, nf);
                f = uint8_t((nf & ~(FC | FP)) | carry | (Szp(a) & FP));
            } else if constexpr (y == 5) {
                a = uint8_t(~a);
                f |= FH | FN;
            } else if constexpr (y == 6) {
                f = uint8_t((f & (kKeep | FXY)) | FC);
            } else {
                const uint8_t oldC = f & FC;
                f = uint8_t((f & (kKeep | FXY)) | (oldC ? FH : 0) | (oldC ^ FC));
            }
        }
    } else {  // x == 3
        if constexpr (z == 0) {
            if (Condition(f, y)) c.pc_ = Pop(c);
        } else if constexpr (z == 1) {
            if constexpr (q == 0) {
                SetPair(c, Rp2Lo<X, p>(), Pop(c));
            } else if constexpr (p == 0) {
                c.pc_ = Pop(c);
            } else if constexpr (p == 1) {
                for (int i = kC; i <= kH; ++i) {
                    const uint8_t t = reg[i];
                    reg[i] = c.alt_[i];
                    c.alt_[i] = t;
                }
            } else if constexpr (p == 2) {
                c.pc_ = GetRp<X, 2>(c);
            } else {
                c.sp_ = GetRp<X, 2>(c);
            }
        } else if constexpr (z == 2) {
            const uint16_t nn = Fetch16(c);
            if (Condition(f, y)) c.pc_ = nn;
        } else if constexpr (z == 3) {
            if constexpr (y == 0) {
                c.pc_ = Fetch16(c);
            } else if constexpr (y == 1) {
                if constexpr (X == kModeHL)
                    CbPage(c);
                else
                    IndexedCb(c, OperandAddress<X>(c));
            } else if constexpr (y == 2) {
                const uint8_t n = Fetch(c);
                PortWrite(c, uint16_t((a << 8) | n), a);
            } else if constexpr (y == 3) {
                const uint8_t n = Fetch(c);
                // A itself is the destination: a handler that answers nothing leaves it.
                PortRead(c, uint16_t((a << 8) | n), a);
            } else if constexpr (y == 4) {
                constexpr int lo = IndexLo<X>();
                const uint8_t ml = c.mem_[c.sp_];
                const uint16_t hiAddr = uint16_t(c.sp_ + 1);
                const uint8_t mh = c.mem_[hiAddr];
                c.mem_[c.sp_] = reg[lo];
                c.mem_[hiAddr] = reg[lo + 1];
                reg[lo] = ml;
                reg[lo + 1] = mh;
            } else if constexpr (y == 5) {
                const uint16_t de = Pair(c, kE);
                SetPair(c, kE, Pair(c, kL));
                SetPair(c, kL, de);
            } else if constexpr (y == 6) {
                c.state_ = uint8_t((c.state_ & ~(C::kStateIff1 | C::kStateIff2)) | C::kStateSkipPoll);
            } else {
                c.state_ |= C::kStateIff1 | C::kStateIff2 | C::kStateSkipPoll;
            }
        } else if constexpr (z == 4) {
            const uint16_t nn = Fetch16(c);
            if (Condition(f, y)) {
                Push(c, c.pc_);
                c.pc_ = nn;
            }
        } else if constexpr (z == 5) {
            if constexpr (q == 0) {
                Push(c, Pair(c, Rp2Lo<X, p>()));
            } else if constexpr (p == 0) {
                const uint16_t nn = Fetch16(c);
                Push(c, c.pc_);
                c.pc_ = nn;
            } else if constexpr (p == 1) {
                Prefixed(c, kModeIX);
            } else if constexpr (p == 2) {
                EdPage(c);
            } else {
                Prefixed(c, kModeIY);
            }
        } else if constexpr (z == 6) {
            Alu<y>(c, Fetch(c));
        } else {
            Push(c, c.pc_);
            c.pc_ = uint16_t(y * 8);
        }
    }
}

template <int X>
TAVRIN_Z80_INLINE void TZ80Exec::Dispatch(C& c, uint8_t op) {
#define TAVRIN_Z80_MAIN_CASE(n) \
    case n:                     \
        Op<X, n>(c);            \
        break;
    switch (op) { TAVRIN_Z80_CASES256(TAVRIN_Z80_MAIN_CASE) }
#undef TAVRIN_Z80_MAIN_CASE
}

template <int X>
void TZ80Exec::Exec(C& c, uint8_t op) {
    Dispatch<X>(c, op);
}

template <int OP>
TAVRIN_Z80_INLINE void TZ80Exec::CbOp(C& c) {
    constexpr int x = OP >> 6, y = (OP >> 3) & 7, z = OP & 7;
    uint8_t* const reg = c.reg_;
    if constexpr (z == 6) {
        const uint16_t address = Pair(c, kL);
        uint8_t& m = c.mem_[address];
        if constexpr (x == 0)
            m = Rot<y>(m, reg[kF]);
        else if constexpr (x == 1)
            BitTest(c, y, m);
        else if constexpr (x == 2)
            m = uint8_t(m & ~(1u << y));
        else
            m = uint8_t(m | (1u << y));
    } else {
        uint8_t& r = reg[PlainReg(z)];
        if constexpr (x == 0)
            r = Rot<y>(r, reg[kF]);
        else if constexpr (x == 1)
            BitTest(c, y, r);
        else if constexpr (x == 2)
            r = uint8_t(r & ~(1u << y));
        else
            r = uint8_t(r | (1u << y));
    }
}

TAVRIN_Z80_INLINE void TZ80Exec::CbPage(C& c) {
    const uint8_t op = Fetch(c);
    CountR(c);
#define TAVRIN_Z80_CB_CASE(n) \
    case n:                   \
        CbOp<n>(c);           \
        break;
    switch (op) { TAVRIN_Z80_CASES256(TAVRIN_Z80_CB_CASE) }
#undef TAVRIN_Z80_CB_CASE
}

// DD CB d op / FD CB d op: the operand is always the byte at IX+d / IY+d.
// Rotates and shifts also copy the result into register z (6 = none); BIT,
// RES and SET touch memory only.
void TZ80Core::IndexedCb(C& c, uint16_t address) {
    const uint8_t op = Fetch(c);
    CountR(c);
    const int x = op >> 6, y = (op >> 3) & 7, z = op & 7;
    uint8_t& m = c.mem_[address];
    switch (x) {
        case 0: {
            const uint8_t res = RotRuntime(y, m, c.reg_[kF]);
            m = res;
            if (z != 6) c.reg_[PlainReg(z)] = res;
            break;
        }
        case 1:
            BitTest(c, y, m);
            break;
        case 2:
            m = uint8_t(m & ~(1u << y));
            break;
        default:
            m = uint8_t(m | (1u << y));
            break;
    }
}

uint8_t TZ80Core::RotRuntime(int y, uint8_t v, uint8_t& f) {
    switch (y) {
        case 0:
            return Rot<0>(v, f);
        case 1:
            return Rot<1>(v, f);
        case 2:
            return Rot<2>(v, f);
        case 3:
            return Rot<3>(v, f);
        case 4:
            return Rot<4>(v, f);
        case 5:
            return Rot<5>(v, f);
        case 6:
            return Rot<6>(v, f);
        default:
            return Rot<7>(v, f);
    }
}

// A chain of DD/FD prefixes: the last one decides. The poll between a
// prefix and its opcode is always skipped, which clears the skip bit.
void TZ80Core::Prefixed(C& c, int mode) {
    uint8_t op;
    for (unsigned fetched = 1;; ++fetched) {
        op = Fetch(c);
        CountR(c);
        if (op == 0xDD)
            mode = kModeIX;
        else if (op == 0xFD)
            mode = kModeIY;
        else
            break;
        // Nothing can change memory during a chain, so one that has gone once
        // round the address space never ends: stop it there, with PC back
        // where it began, so that the call still returns.
        if (fetched == 0xFFFF) {
            c.state_ &= uint8_t(~C::kStateSkipPoll);
            return;
        }
    }
    c.state_ &= uint8_t(~C::kStateSkipPoll);
    if (mode == kModeIX)
        TZ80Exec::Exec<kModeIX>(c, op);
    else
        TZ80Exec::Exec<kModeIY>(c, op);
}

void TCpuEmu::ExecuteOpcode() {
    LastPC = pc_;
    int supplied = -1;
    if (state_ & kStateSkipPoll)
        state_ &= uint8_t(~kStateSkipPoll);
    else if (OnCheckForNonMaskIrq || ((state_ & kStateIff1) && OnCheckForInterrupt)) [[unlikely]]
        supplied = CheckInterrupts();
    uint8_t op;
    if (supplied < 0) [[likely]] {
        op = mem_[pc_++];
        TZ80Core::CountR(*this);
    } else {
        op = uint8_t(supplied);
    }
    TZ80Exec::Dispatch<kModeHL>(*this, op);
    NextPC = pc_;
    ++OpcodeCount;
    if (OnOpcodeDone) OnOpcodeDone(*this);
}
