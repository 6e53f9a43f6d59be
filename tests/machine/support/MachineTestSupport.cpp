#include "support/MachineTestSupport.h"

#include <cstdio>

namespace tavrin::test {

void LoadProgram(TTavrinMachine& m, uint16_t address, const std::vector<uint8_t>& code)
{
    m.CpuEmu1.WriteMemory(address, static_cast<uint16_t>(code.size()), code.data());
    m.CpuEmu1.Reset(address);
}

uint8_t InPort(TTavrinMachine& m, uint8_t port, uint8_t presetA)
{
    LoadProgram(m, 0x8000, {0x3E, presetA, 0xDB, port});
    m.CpuEmu1.ExecuteOpcode();
    m.CpuEmu1.ExecuteOpcode();
    return m.CpuEmu1.RegisterA();
}

void OutPort(TTavrinMachine& m, uint8_t port, uint8_t value)
{
    LoadProgram(m, 0x8000, {0x3E, value, 0xD3, port});
    m.CpuEmu1.ExecuteOpcode();
    m.CpuEmu1.ExecuteOpcode();
}

std::string MakeHex(uint16_t origin, const std::vector<uint8_t>& bytes)
{
    std::string text;
    char line[64];
    for (size_t pos = 0; pos < bytes.size(); pos += 16) {
        size_t n = std::min<size_t>(16, bytes.size() - pos);
        uint16_t address = static_cast<uint16_t>(origin + pos);
        std::snprintf(line, sizeof line, ":%02X%04X00", static_cast<unsigned>(n), address);
        text += line;
        unsigned sum = static_cast<unsigned>(n) + (address >> 8) + (address & 0xFF);
        for (size_t i = 0; i < n; ++i) {
            std::snprintf(line, sizeof line, "%02X", bytes[pos + i]);
            text += line;
            sum += bytes[pos + i];
        }
        std::snprintf(line, sizeof line, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
        text += line;
    }
    text += ":00000001FF\r\n";
    return text;
}

std::string Lines(std::initializer_list<std::string> lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

} // namespace tavrin::test
