// Every recorded single-instruction vector against its final state, with
// the values this processor's own rules decide computed by ExpectationsFor.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cpu/z80Cpu.h"
#include "support/SharedData.h"
#include "support/Z80State.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace tavrin::test;

constexpr uint8_t kXY = 0x28;  // flag bits 3 and 5
constexpr uint8_t kZ = 0x40, kN = 0x02, kC = 0x01;

fs::path VectorDir() { return tavrin::test::SharedDir() / "z80-single-step"; }

std::vector<std::string> VectorFiles() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(VectorDir(), ec))
        if (entry.path().extension() == ".json") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

const char* const kRegisterNames[8] = {"b", "c", "d", "e", "h", "l", "?", "a"};

int RamAt(const json& state, int address) {
    for (const auto& cell : state["ram"])
        if (int(cell[0]) == address) return cell[1];
    return 0;
}

// Operand r (B C D E H L (HL) A) before the instruction. Under an index
// prefix H and L are the index halves and (HL) is (IX+d) / (IY+d), with d
// the byte after the opcode (after CB on the indexed CB page).
int OperandBefore(const json& in, int prefix, int r) {
    const char* index = prefix == 0xDD ? "ix" : prefix == 0xFD ? "iy" : nullptr;
    if (r == 6) {
        if (index == nullptr) return RamAt(in, int(in["h"]) << 8 | int(in["l"]));
        const int d = int8_t(RamAt(in, (int(in["pc"]) + 2) & 0xFFFF));
        return RamAt(in, (int(in[index]) + d) & 0xFFFF);
    }
    if (index != nullptr && (r == 4 || r == 5)) return r == 4 ? int(in[index]) >> 8 : int(in[index]) & 0xFF;
    return in[kRegisterNames[r]];
}

// The recorded flags with bits 3 and 5 taken from v.
uint8_t WithXY(uint8_t recorded, int v) { return uint8_t((recorded & ~kXY) | (v & kXY)); }

// What the case's final state is checked against where this processor's
// rules differ from the recorded hardware for one instruction form.
struct Expectations {
    // Expected F from the initial and recorded final state and the byte the
    // instruction moved through a port; empty: F as recorded.
    std::function<uint8_t(const json& in, const json& out, uint8_t portByte)> flags;
    bool indexedCb = false;          // R counts the opcode after d: DD CB d op adds 3
    bool haltStaysOnOpcode = false;  // PC stays on the HALT opcode
    bool iff1Kept = false;           // RETI leaves IFF1 as it was
    bool pollSkipped = false;        // DI also skips the next poll
    int untouchedRegister = -1;      // register z of an indexed RES/SET: memory only
    bool blockIo = false;            // block I/O puts B before its decrement on the bus
};

Expectations ExpectationsFor(const std::string& name) {
    Expectations e;
    std::istringstream words(name);
    std::vector<int> bytes;
    std::string word;
    while (words >> word)
        if (word != "__") bytes.push_back(std::stoi(word, nullptr, 16));
    int prefix = 0;
    if (bytes.at(0) == 0xDD || bytes.at(0) == 0xFD) {
        prefix = bytes[0];
        bytes.erase(bytes.begin());
    }
    const auto xyFrom = [&e](std::function<int(const json&, const json&)> source) {
        e.flags = [source](const json& in, const json& out, uint8_t) {
            return WithXY(uint8_t(int(out["f"])), source(in, out));
        };
    };
    const int op0 = bytes.at(0);
    if (op0 == 0xCB) {
        const int op = bytes.at(1), y = (op >> 3) & 7, z = op & 7;
        if ((op >> 6) == 1) {  // BIT b: bits 3 and 5 of the operand masked to bit b
            const int r = prefix ? 6 : z;
            xyFrom([prefix, r, y](const json& in, const json&) { return OperandBefore(in, prefix, r) & (1 << y); });
        }
        if (prefix) {
            e.indexedCb = true;
            if ((op >> 6) >= 2 && z != 6) e.untouchedRegister = z;
        }
        return e;
    }
    if (op0 == 0xED) {
        const int op = bytes.at(1);
        if ((op & 0xC7) == 0x42)  // ADC/SBC HL,rp: from H before
            xyFrom([](const json& in, const json&) { return int(in["h"]); });
        if ((op & 0xC7) == 0x44)  // NEG: from the zero minuend
            xyFrom([](const json&, const json&) { return 0; });
        if (op == 0x4D) e.iff1Kept = true;
        if ((op & 0xE7) == 0xA0)  // LDI family: from B after the decrement
            xyFrom([](const json&, const json& out) { return int(out["b"]); });
        if ((op & 0xE7) == 0xA1)  // CPI family: from A
            xyFrom([](const json& in, const json&) { return int(in["a"]); });
        if ((op & 0xE6) == 0xA2) {
            // INI/OUTI family: F is the byte moved, then Z (B now 0), N = 1, C kept.
            e.blockIo = true;
            e.flags = [](const json& in, const json& out, uint8_t v) {
                return uint8_t((v & ~(kZ | kN | kC)) | (int(out["b"]) == 0 ? kZ : 0) | kN | (int(in["f"]) & kC));
            };
        }
        return e;
    }
    const int x = op0 >> 6, y = (op0 >> 3) & 7, z = op0 & 7;
    if (x == 0 && (z == 4 || z == 5))  // INC/DEC r: from the value before
        xyFrom([prefix, y](const json& in, const json&) { return OperandBefore(in, prefix, y); });
    if (x == 0 && z == 1 && (y & 1))  // ADD HL,rp: from H (IXH, IYH) before
        xyFrom([prefix](const json& in, const json&) { return OperandBefore(in, prefix, 4); });
    if (x == 0 && z == 0 && y >= 2)  // DJNZ, JR: from the low byte of the new PC
        xyFrom([](const json&, const json& out) { return int(out["pc"]); });
    if (op0 == 0x27 || (y < 4 && (x == 2 || (x == 3 && z == 6))))  // DAA; ADD ADC SUB SBC: from A before
        xyFrom([](const json& in, const json&) { return int(in["a"]); });
    if (op0 == 0x2F || op0 == 0x37 || op0 == 0x3F)  // CPL, SCF, CCF keep them
        xyFrom([](const json& in, const json&) { return int(in["f"]); });
    if (op0 == 0x76) e.haltStaysOnOpcode = true;
    if (op0 == 0xF3) e.pollSkipped = true;
    return e;
}

TZ80State FromJson(const json& s) {
    const auto pair = [&s](const char* hi, const char* lo) { return uint16_t(int(s[hi]) << 8 | int(s[lo])); };
    TZ80State t;
    t.af = pair("a", "f");
    t.bc = pair("b", "c");
    t.de = pair("d", "e");
    t.hl = pair("h", "l");
    t.af2 = s["af_"], t.bc2 = s["bc_"], t.de2 = s["de_"], t.hl2 = s["hl_"];
    t.ix = s["ix"], t.iy = s["iy"], t.sp = s["sp"], t.pc = s["pc"];
    t.i = s["i"], t.r = s["r"];
    t.iff1 = int(s["iff1"]) != 0, t.iff2 = int(s["iff2"]) != 0;
    t.mode = s["im"];
    return t;
}

struct PortEvent {
    uint16_t port;
    uint8_t value;
    char dir;
};

// Compares one case; returns a description of every mismatch.
std::string RunCase(TCpuEmu& cpu, const json& test, const Expectations& e) {
    const json& in = test["initial"];
    const json& out = test["final"];
    std::vector<PortEvent> expectedPorts;
    if (test.contains("ports"))
        for (const auto& p : test["ports"])
            expectedPorts.push_back({uint16_t(int(p[0])), uint8_t(int(p[1])), std::string(p[2])[0]});

    std::vector<PortEvent> seen;
    size_t nextRead = 0;
    cpu.OnPortRead = [&](TCpuEmu&, uint16_t port, uint8_t& data) {
        while (nextRead < expectedPorts.size() && expectedPorts[nextRead].dir != 'r') ++nextRead;
        data = nextRead < expectedPorts.size() ? expectedPorts[nextRead++].value : 0xFF;
        seen.push_back({port, data, 'r'});
    };
    cpu.OnPortWrite = [&](TCpuEmu&, uint16_t port, uint8_t data) { seen.push_back({port, data, 'w'}); };

    const TZ80State start = FromJson(in);
    cpu.Reset(0);
    LoadZ80State(cpu, start, Z80CodeFromMode(start.mode), int(in["ei"]) ? TCpuEmu::kStateSkipPoll : 0);
    for (const auto& cell : in["ram"]) cpu.WriteMemoryByte(cell[0], cell[1]);
    cpu.ExecuteOpcode();

    // The recorded final state, with this processor's own rules applied.
    TZ80State want = FromJson(out);
    if (e.flags) want.SetF(e.flags(in, out, expectedPorts.empty() ? 0 : expectedPorts[0].value));
    if (e.untouchedRegister >= 0) want.SetReg8(e.untouchedRegister, start.Reg8(e.untouchedRegister));
    if (e.indexedCb) want.r = uint8_t((start.r & 0x80) | ((start.r + 3) & 0x7F));
    if (e.haltStaysOnOpcode) want.pc = uint16_t(want.pc - 1);
    if (e.iff1Kept) want.iff1 = start.iff1;
    const TZ80State got = SaveZ80State(cpu);

    std::ostringstream err;
    if (got != want) err << "\n  got:  " << Describe(got) << "\n  want: " << Describe(want);
    auto check = [&](const char* what, int value, int expected) {
        if (value != expected) err << " " << what << "=" << std::hex << value << " want " << expected << std::dec;
    };
    check("NextPC", cpu.NextPC, want.pc);
    check("LastPC", cpu.LastPC, start.pc);
    const uint8_t state = cpu.CpuState();
    check("ei", (state & TCpuEmu::kStateSkipPoll) != 0, e.pollSkipped ? 1 : int(out["ei"]));
    check("halted", (state & TCpuEmu::kStateHalted) != 0, e.haltStaysOnOpcode ? 1 : 0);
    check("count", int(cpu.OpcodeCount), 1);

    // Whole memory: everything not listed in the final state must still be 0.
    static std::vector<uint8_t> wantMem(0x10000), gotMem(0x10000);
    std::fill(wantMem.begin(), wantMem.end(), 0);
    for (const auto& cell : out["ram"]) wantMem[int(cell[0])] = uint8_t(int(cell[1]));
    cpu.ReadMemory(0, 0xFFFF, gotMem.data());
    gotMem[0xFFFF] = cpu.ReadMemoryByte(0xFFFF);
    if (gotMem != wantMem)
        for (size_t a = 0; a < wantMem.size(); ++a) check("mem", int(a << 8 | gotMem[a]), int(a << 8 | wantMem[a]));

    if (seen.size() != expectedPorts.size()) {
        err << " port events " << seen.size() << " want " << expectedPorts.size();
    } else {
        for (size_t k = 0; k < seen.size(); ++k) {
            check("port", seen[k].port, e.blockIo ? int(start.bc) : expectedPorts[k].port);
            check("port value", seen[k].value, expectedPorts[k].value);
            check("port dir", seen[k].dir, expectedPorts[k].dir);
        }
    }

    // Leave memory zeroed for the next case.
    for (const json* st : {&in, &out})
        for (const auto& cell : (*st)["ram"]) cpu.WriteMemoryByte(cell[0], 0);
    cpu.OnPortRead = nullptr;
    cpu.OnPortWrite = nullptr;
    return err.str();
}

class SingleStepVectors : public ::testing::TestWithParam<std::string> {};

TEST_P(SingleStepVectors, MatchesRecordedFinalState) {
    const fs::path path = VectorDir() / (GetParam() + ".json");
    std::ifstream file(path);
    ASSERT_TRUE(file) << "cannot open " << path;
    const json cases = json::parse(file);
    ASSERT_TRUE(cases.is_array());
    ASSERT_FALSE(cases.empty());
    const Expectations e = ExpectationsFor(GetParam());
    auto cpu = std::make_unique<TCpuEmu>();
    int failures = 0;
    for (const auto& test : cases) {
        const std::string diff = RunCase(*cpu, test, e);
        if (!diff.empty() && ++failures <= 3) ADD_FAILURE() << std::string(test["name"]) << ":" << diff;
    }
    EXPECT_EQ(failures, 0) << "of " << cases.size() << " cases";
}

std::string CaseName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Z80, SingleStepVectors, ::testing::ValuesIn(VectorFiles()), CaseName);

TEST(SingleStepVectorData, FolderIsPresentAndComplete) {
    ASSERT_TRUE(tavrin::test::SharedEntryPresent("z80-single-step"));
    EXPECT_GE(VectorFiles().size(), 1600u);
}

}  // namespace
