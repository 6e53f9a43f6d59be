// Documented flags (S Z H P/V N C) of the arithmetic and logic groups,
// checked exhaustively against a reference written from the flag
// definitions (signed ranges, nibble sums, bit counts) rather than from the
// processor's bit tricks.

#include <bit>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "CpuHarness.h"

namespace {

using namespace cputest;

constexpr uint8_t kDocumented = kS | kZ | kH | kP | kN | kC;

struct Reference {
    uint8_t result;
    uint8_t flags;  // documented bits only
};

uint8_t SignZero(int result) { return uint8_t((result & 0x80 ? kS : 0) | ((result & 0xFF) == 0 ? kZ : 0)); }
uint8_t Parity(int v) { return (std::popcount(unsigned(v & 0xFF)) % 2 == 0) ? kP : 0; }

Reference AluReference(int op, int a, int b, int carry) {
    const int cin = (op == 1 || op == 3) ? carry : 0;
    switch (op) {
        case 0:
        case 1: {  // ADD, ADC
            const int sum = a + b + cin;
            const int signedSum = int8_t(a) + int8_t(b) + cin;
            uint8_t f = SignZero(sum);
            if ((a & 0x0F) + (b & 0x0F) + cin > 0x0F) f |= kH;
            if (signedSum < -128 || signedSum > 127) f |= kP;
            if (sum > 0xFF) f |= kC;
            return {uint8_t(sum), f};
        }
        case 2:
        case 3:
        case 7: {  // SUB, SBC, CP
            const int diff = a - b - cin;
            const int signedDiff = int8_t(a) - int8_t(b) - cin;
            uint8_t f = uint8_t(SignZero(diff) | kN);
            if ((a & 0x0F) - (b & 0x0F) - cin < 0) f |= kH;
            if (signedDiff < -128 || signedDiff > 127) f |= kP;
            if (diff < 0) f |= kC;
            return {uint8_t(op == 7 ? a : diff), f};
        }
        case 4: return {uint8_t(a & b), uint8_t(SignZero(a & b) | kH | Parity(a & b))};
        case 5: return {uint8_t(a ^ b), uint8_t(SignZero(a ^ b) | Parity(a ^ b))};
        default: return {uint8_t(a | b), uint8_t(SignZero(a | b) | Parity(a | b))};
    }
}

class AluExhaustive : public ::testing::TestWithParam<int> {};

// ALU A,n for every A, n and carry in; 65,536 x 2 instructions per operation.
TEST_P(AluExhaustive, DocumentedFlagsMatchDefinition) {
    const int op = GetParam();
    auto cpu = MakeCpu({});
    const uint8_t code[] = {uint8_t(0xC6 | (op << 3)), 0x00};
    int failures = 0;
    for (int carry = 0; carry < 2; ++carry) {
        for (int a = 0; a < 256; ++a) {
            for (int b = 0; b < 256; ++b) {
                cpu->WriteMemory(0x0100, 2, code);
                cpu->WriteMemoryByte(0x0101, uint8_t(b));
                cpu->SetRegisterPCH(0x01);
                cpu->SetRegisterPCL(0x00);
                cpu->SetRegisterA(uint8_t(a));
                cpu->SetStatusFlags(uint8_t(carry ? 0xFF : 0xFE));
                cpu->ExecuteOpcode();
                const Reference ref = AluReference(op, a, b, carry);
                if ((cpu->RegisterA() != ref.result || (cpu->StatusFlags() & kDocumented) != ref.flags) &&
                    ++failures <= 5)
                    ADD_FAILURE() << "op " << op << " a=" << a << " b=" << b << " carry=" << carry << ": A="
                                  << int(cpu->RegisterA()) << " F=" << int(cpu->StatusFlags() & kDocumented)
                                  << " want A=" << int(ref.result) << " F=" << int(ref.flags);
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

std::string AluName(const ::testing::TestParamInfo<int>& info) {
    static const char* const names[] = {"Add", "Adc", "Sub", "Sbc", "And", "Xor", "Or", "Cp"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Cpu, AluExhaustive, ::testing::Range(0, 8), AluName);

// DAA for every A and every combination of N, H and C, against the decimal
// adjustment table: the correction, the carry and the half carry by the rules
// for addition and subtraction.
TEST(DaaExhaustive, DocumentedFlagsMatchDecimalTable) {
    auto cpu = MakeCpu({});
    int failures = 0;
    for (int a = 0; a < 256; ++a) {
        for (int n = 0; n < 2; ++n) {
            for (int h = 0; h < 2; ++h) {
                for (int c = 0; c < 2; ++c) {
                    const int low = a & 0x0F;
                    int correction = 0;
                    bool carryOut = c != 0;
                    if (c || a > 0x99) {
                        correction = 0x60;
                        carryOut = true;
                    }
                    if (h || low > 9) correction |= 0x06;
                    const int result = (n ? a - correction : a + correction) & 0xFF;
                    const bool halfOut = n ? (h && low < 6) : (low > 9);
                    const uint8_t want = uint8_t(SignZero(result) | (halfOut ? kH : 0) | Parity(result) |
                                                 (n ? kN : 0) | (carryOut ? kC : 0));

                    cpu->WriteMemoryByte(0x0100, 0x27);
                    cpu->SetRegisterPCH(0x01);
                    cpu->SetRegisterPCL(0x00);
                    cpu->SetRegisterA(uint8_t(a));
                    cpu->SetStatusFlags(uint8_t((n ? kN : 0) | (h ? kH : 0) | (c ? kC : 0)));
                    cpu->ExecuteOpcode();
                    if ((cpu->RegisterA() != result || (cpu->StatusFlags() & kDocumented) != want) && ++failures <= 5)
                        ADD_FAILURE() << "a=" << a << " n=" << n << " h=" << h << " c=" << c << ": A="
                                      << int(cpu->RegisterA()) << " F=" << int(cpu->StatusFlags() & kDocumented)
                                      << " want A=" << result << " F=" << int(want);
                }
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

// 16-bit ADD, ADC and SBC on a grid of boundary values.
TEST(WordArithmetic, DocumentedFlagsMatchDefinition) {
    const uint16_t values[] = {0x0000, 0x0001, 0x00FF, 0x0100, 0x0FFF, 0x1000, 0x7FFF,
                               0x8000, 0x8001, 0xF000, 0xFFFE, 0xFFFF, 0x1234, 0xABCD};
    auto cpu = MakeCpu({});
    int failures = 0;
    for (uint16_t hl : values) {
        for (uint16_t de : values) {
            for (int carry = 0; carry < 2; ++carry) {
                struct Op {
                    const char* name;
                    std::vector<uint8_t> code;
                };
                const Op ops[] = {{"ADD HL,DE", {0x19}}, {"ADC HL,DE", {0xED, 0x5A}}, {"SBC HL,DE", {0xED, 0x52}}};
                for (int k = 0; k < 3; ++k) {
                    const int cin = k == 0 ? 0 : carry;
                    const uint8_t before = carry ? 0xFF : 0x00;
                    int result;
                    uint8_t want;
                    if (k < 2) {
                        const int sum = hl + de + cin;
                        result = sum & 0xFFFF;
                        want = uint8_t(((hl & 0x0FFF) + (de & 0x0FFF) + cin > 0x0FFF ? kH : 0) | (sum > 0xFFFF ? kC : 0));
                        if (k == 0) {
                            want |= before & (kS | kZ | kP);
                        } else {
                            const int s = int16_t(hl) + int16_t(de) + cin;
                            want |= uint8_t((result & 0x8000 ? kS : 0) | (result == 0 ? kZ : 0) |
                                            (s < -32768 || s > 32767 ? kP : 0));
                        }
                    } else {
                        const int diff = hl - de - cin;
                        result = diff & 0xFFFF;
                        const int s = int16_t(hl) - int16_t(de) - cin;
                        want = uint8_t((result & 0x8000 ? kS : 0) | (result == 0 ? kZ : 0) |
                                       ((hl & 0x0FFF) - (de & 0x0FFF) - cin < 0 ? kH : 0) |
                                       (s < -32768 || s > 32767 ? kP : 0) | kN | (diff < 0 ? kC : 0));
                    }
                    cpu->WriteMemory(0x0100, uint16_t(ops[k].code.size()), ops[k].code.data());
                    Set(*cpu, Reg::PC, 0x0100);
                    Set(*cpu, Reg::HL, hl);
                    Set(*cpu, Reg::DE, de);
                    cpu->SetStatusFlags(before);
                    cpu->ExecuteOpcode();
                    if ((Get(*cpu, Reg::HL) != result || (cpu->StatusFlags() & kDocumented) != want) &&
                        ++failures <= 5)
                        ADD_FAILURE() << ops[k].name << " hl=" << hl << " de=" << de << " carry=" << carry
                                      << ": HL=" << Get(*cpu, Reg::HL) << " F=" << int(cpu->StatusFlags() & kDocumented)
                                      << " want HL=" << result << " F=" << int(want);
                }
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

}  // namespace
