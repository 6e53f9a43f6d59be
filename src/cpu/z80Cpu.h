#pragma once
// Z80 processor: executes one instruction per ExecuteOpcode call on a flat
// 64 KiB memory, with I/O and interrupt requests delivered through events.

#include <cstdint>
#include <functional>

class TCpuEmu {
public:
    TCpuEmu();
    virtual ~TCpuEmu();

    TCpuEmu(const TCpuEmu&) = delete;
    TCpuEmu& operator=(const TCpuEmu&) = delete;

    // Events; the first argument is always the processor itself.
    std::function<void(TCpuEmu& sender, uint16_t port, uint8_t& dataByte)> OnPortRead;
    std::function<void(TCpuEmu& sender, uint16_t port, uint8_t dataByte)> OnPortWrite;
    std::function<void(TCpuEmu& sender, bool& isIrq)> OnCheckForNonMaskIrq;
    std::function<void(TCpuEmu& sender, bool& isIrq, uint8_t& vector)> OnCheckForInterrupt;
    std::function<void(TCpuEmu& sender)> OnEndOFInterrupt;
    std::function<void(TCpuEmu& sender)> OnOpcodeDone;

    // Address of the instruction executed last, and of the one to run next.
    uint16_t LastPC = 0;
    uint16_t NextPC = 0;
    // Instructions executed since the last Reset.
    int64_t OpcodeCount = 0;

    void Reset(uint16_t address);
    void ExecuteOpcode();

    // Block transfers wrap from FFFFh to 0000h.
    void WriteMemory(uint16_t address, uint16_t count, const void* buffer);
    void ReadMemory(uint16_t address, uint16_t count, void* buffer) const;
    void WriteMemoryByte(uint16_t address, uint8_t value) { mem_[address] = value; }
    uint8_t ReadMemoryByte(uint16_t address) const { return mem_[address]; }

    // Register properties.
    uint8_t RegisterA() const { return reg_[kA]; }
    void SetRegisterA(uint8_t v) { reg_[kA] = v; }
    uint8_t StatusFlags() const { return reg_[kF]; }
    void SetStatusFlags(uint8_t v) { reg_[kF] = v; }
    uint8_t RegisterB() const { return reg_[kB]; }
    void SetRegisterB(uint8_t v) { reg_[kB] = v; }
    uint8_t RegisterC() const { return reg_[kC]; }
    void SetRegisterC(uint8_t v) { reg_[kC] = v; }
    uint8_t RegisterD() const { return reg_[kD]; }
    void SetRegisterD(uint8_t v) { reg_[kD] = v; }
    uint8_t RegisterE() const { return reg_[kE]; }
    void SetRegisterE(uint8_t v) { reg_[kE] = v; }
    uint8_t RegisterH() const { return reg_[kH]; }
    void SetRegisterH(uint8_t v) { reg_[kH] = v; }
    uint8_t RegisterL() const { return reg_[kL]; }
    void SetRegisterL(uint8_t v) { reg_[kL] = v; }
    uint8_t RegisterR() const { return uint8_t((r7_ & 0x80) | (rCount_ & 0x7F)); }
    void SetRegisterR(uint8_t v) {
        r7_ = uint8_t(v & 0x80);
        rCount_ = v;
    }
    uint8_t RegisterI() const { return i_; }
    void SetRegisterI(uint8_t v) { i_ = v; }
    uint8_t RegisterIXH() const { return reg_[kIXH]; }
    void SetRegisterIXH(uint8_t v) { reg_[kIXH] = v; }
    uint8_t RegisterIXL() const { return reg_[kIXL]; }
    void SetRegisterIXL(uint8_t v) { reg_[kIXL] = v; }
    uint8_t RegisterIYH() const { return reg_[kIYH]; }
    void SetRegisterIYH(uint8_t v) { reg_[kIYH] = v; }
    uint8_t RegisterIYL() const { return reg_[kIYL]; }
    void SetRegisterIYL(uint8_t v) { reg_[kIYL] = v; }
    uint8_t RegisterPCH() const { return uint8_t(pc_ >> 8); }
    void SetRegisterPCH(uint8_t v) {
        pc_ = uint16_t((pc_ & 0x00FF) | (v << 8));
        NextPC = pc_;
    }
    uint8_t RegisterPCL() const { return uint8_t(pc_); }
    void SetRegisterPCL(uint8_t v) {
        pc_ = uint16_t((pc_ & 0xFF00) | v);
        NextPC = pc_;
    }
    uint8_t RegisterSPH() const { return uint8_t(sp_ >> 8); }
    void SetRegisterSPH(uint8_t v) { sp_ = uint16_t((sp_ & 0x00FF) | (v << 8)); }
    uint8_t RegisterSPL() const { return uint8_t(sp_); }
    void SetRegisterSPL(uint8_t v) { sp_ = uint16_t((sp_ & 0xFF00) | v); }
    uint8_t ExRegisterA() const { return alt_[kA]; }
    void SetExRegisterA(uint8_t v) { alt_[kA] = v; }
    uint8_t ExStatusFlags() const { return alt_[kF]; }
    void SetExStatusFlags(uint8_t v) { alt_[kF] = v; }
    uint8_t ExRegisterB() const { return alt_[kB]; }
    void SetExRegisterB(uint8_t v) { alt_[kB] = v; }
    uint8_t ExRegisterC() const { return alt_[kC]; }
    void SetExRegisterC(uint8_t v) { alt_[kC] = v; }
    uint8_t ExRegisterD() const { return alt_[kD]; }
    void SetExRegisterD(uint8_t v) { alt_[kD] = v; }
    uint8_t ExRegisterE() const { return alt_[kE]; }
    void SetExRegisterE(uint8_t v) { alt_[kE] = v; }
    uint8_t ExRegisterH() const { return alt_[kH]; }
    void SetExRegisterH(uint8_t v) { alt_[kH] = v; }
    uint8_t ExRegisterL() const { return alt_[kL]; }
    void SetExRegisterL(uint8_t v) { alt_[kL] = v; }

    // Interrupt and halt state: bits 0-1 interrupt mode code (0 = IM 0,
    // 1 = the alternative IM 0 form, 2 = IM 1, 3 = IM 2), bit 4 skip the next
    // interrupt poll, bit 5 IFF1, bit 6 IFF2, bit 7 halted. Exposed for the
    // register display and for tests that need to stage an interrupt.
    static constexpr uint8_t kStateModeMask = 0x03;
    static constexpr uint8_t kStateSkipPoll = 0x10;
    static constexpr uint8_t kStateIff1 = 0x20;
    static constexpr uint8_t kStateIff2 = 0x40;
    static constexpr uint8_t kStateHalted = 0x80;
    uint8_t CpuState() const { return state_; }
    void SetCpuState(uint8_t v) { state_ = v; }

private:
    friend struct TZ80Core;
    friend struct TZ80Exec;
    friend struct TZ80Ed;

    // Register file: pairs sit low byte first so that each pair is one
    // little-endian 16-bit value.
    enum : int { kC = 0, kB, kE, kD, kL, kH, kF, kA, kIXL, kIXH, kIYL, kIYH, kRegCount };

    // Returns the opcode a device supplied (IM 0), or -1.
    int CheckInterrupts();

    uint8_t mem_[0x10000];
    uint8_t reg_[kRegCount] = {};
    uint8_t alt_[8] = {};
    // R: bit 7 as last loaded, the low seven bits counted in rCount_.
    uint8_t r7_ = 0;
    uint8_t rCount_ = 0;
    uint8_t i_ = 0;
    uint8_t state_ = 0;
    uint16_t pc_ = 0;
    uint16_t sp_ = 0;
};
