#pragma once
// The I/O ports the machine decodes (the low byte of the port address) and
// the bits of their status bytes.

#include <cstdint>

namespace MachinePort {
inline constexpr uint8_t TtyStatus = 0x10;
inline constexpr uint8_t TtyData = 0x11;
inline constexpr uint8_t CrtStatus = 0x12;
inline constexpr uint8_t CrtData = 0x13;
inline constexpr uint8_t Com1Status = 0x14;
inline constexpr uint8_t Com1Data = 0x15;
inline constexpr uint8_t Com2Status = 0x16;
inline constexpr uint8_t Com2Data = 0x17;
inline constexpr uint8_t PrinterStatus = 0x18;
inline constexpr uint8_t PrinterData = 0x19;
inline constexpr uint8_t ReaderStatus = 0x1A;
inline constexpr uint8_t ReaderData = 0x1B;
inline constexpr uint8_t PunchStatus = 0x1C;
inline constexpr uint8_t PunchData = 0x1D;
inline constexpr uint8_t Com1Config = 0x30;
inline constexpr uint8_t Com2Config = 0x31;
// System-manager channel: status / control, reply / command.
inline constexpr uint8_t SysStatusControl = 0x40;
inline constexpr uint8_t SysReplyCommand = 0x41;
inline constexpr uint8_t DeviceMapping = 0x48;
// The disk controller's eight registers, 70h-77h.
inline constexpr uint8_t DiskFirst = 0x70;
inline constexpr uint8_t DiskLast = 0x77;
}  // namespace MachinePort

// Status port bits.
inline constexpr uint8_t StatusInputReady = 0x02;
inline constexpr uint8_t StatusOutputReady = 0x04;
