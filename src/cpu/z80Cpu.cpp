// Processor component: memory, reset and interrupt acceptance.

#include "cpu/z80Cpu.h"

#include <algorithm>
#include <cstring>

#include "cpu/z80Core.h"

TCpuEmu::TCpuEmu() {
    std::memset(mem_, 0, sizeof mem_);
    Reset(0);
}

TCpuEmu::~TCpuEmu() = default;

void TCpuEmu::Reset(uint16_t address) {
    std::memset(reg_, 0xFF, sizeof reg_);
    std::memset(alt_, 0xFF, sizeof alt_);
    sp_ = 0xFFFF;
    i_ = 0;
    SetRegisterR(0);
    pc_ = address;
    LastPC = address;
    NextPC = address;
    OpcodeCount = 0;
    state_ = 0;
}

void TCpuEmu::WriteMemory(uint16_t address, uint16_t count, const void* buffer) {
    if (count == 0) return;
    const auto* src = static_cast<const uint8_t*>(buffer);
    const size_t first = std::min<size_t>(count, 0x10000 - size_t(address));
    std::memcpy(mem_ + address, src, first);
    std::memcpy(mem_, src + first, count - first);
}

void TCpuEmu::ReadMemory(uint16_t address, uint16_t count, void* buffer) const {
    if (count == 0) return;
    auto* dst = static_cast<uint8_t*>(buffer);
    const size_t first = std::min<size_t>(count, 0x10000 - size_t(address));
    std::memcpy(dst, mem_ + address, first);
    std::memcpy(dst + first, mem_, count - first);
}

// Polled before an opcode fetch when a handler could answer. An NMI wins
// over a maskable request; IM 0 hands the device's byte back as the opcode.
int TCpuEmu::CheckInterrupts() {
    bool irq = false;
    if (OnCheckForNonMaskIrq) OnCheckForNonMaskIrq(*this, irq);
    if (irq) {
        if (state_ & kStateHalted) {
            ++pc_;
            state_ &= uint8_t(~kStateHalted);
        }
        state_ = uint8_t((state_ & ~(kStateIff1 | kStateIff2)) | ((state_ & kStateIff1) ? kStateIff2 : 0));
        TZ80Core::Push(*this, pc_);
        pc_ = 0x0066;
        return -1;
    }
    if (!(state_ & kStateIff1) || !OnCheckForInterrupt) return -1;
    uint8_t vector = 0xFF;  // idle bus when the handler answers without a vector
    OnCheckForInterrupt(*this, irq, vector);
    if (!irq) return -1;
    if (state_ & kStateHalted) {
        ++pc_;
        state_ &= uint8_t(~kStateHalted);
    }
    state_ &= uint8_t(~(kStateIff1 | kStateIff2));
    switch (state_ & kStateModeMask) {
        case 3:
            TZ80Core::Push(*this, pc_);
            pc_ = TZ80Core::Word(*this, uint16_t((i_ << 8) | vector));
            break;
        case 2:
            TZ80Core::Push(*this, pc_);
            pc_ = 0x0038;
            break;
        default:
            return vector;
    }
    return -1;
}
