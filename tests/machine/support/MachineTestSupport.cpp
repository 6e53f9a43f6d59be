#include "support/MachineTestSupport.h"

#include <algorithm>
#include <array>

#include "disk/HexStream.h"

namespace tavrin::test {

namespace {

// Runs a few instructions placed at 8000h, without allocating: the serial
// tests go through the ports once a byte, megabytes at a time.
template <size_t N>
void RunAt8000(TTavrinMachine& m, const std::array<uint8_t, N>& code, int instructions) {
    m.Cpu().WriteMemory(0x8000, N, code.data());
    m.Cpu().Reset(0x8000);
    for (int i = 0; i < instructions; ++i) m.Cpu().ExecuteOpcode();
}

}  // namespace

void LoadProgram(TTavrinMachine& m, uint16_t address, const std::vector<uint8_t>& code) {
    m.Cpu().WriteMemory(address, static_cast<uint16_t>(code.size()), code.data());
    m.Cpu().Reset(address);
}

uint8_t InPort(TTavrinMachine& m, uint8_t port, uint8_t presetA) {
    RunAt8000(m, std::to_array<uint8_t>({0x3E, presetA, 0xDB, port}), 2);
    return m.Cpu().RegisterA();
}

void OutPort(TTavrinMachine& m, uint8_t port, uint8_t value) {
    RunAt8000(m, std::to_array<uint8_t>({0x3E, value, 0xD3, port}), 2);
}

void OutPortBC(TTavrinMachine& m, uint16_t port, uint8_t value) {
    const auto low = static_cast<uint8_t>(port), high = static_cast<uint8_t>(port >> 8);
    RunAt8000(m, std::to_array<uint8_t>({0x01, low, high, 0x3E, value, 0xED, 0x79}), 3);
}

void SendSysCommand(TTavrinMachine& m, const std::string& command) {
    OutPort(m, 0x40, 0);
    for (char c : command) OutPort(m, 0x41, static_cast<uint8_t>(c));
    OutPort(m, 0x40, 1);
}

TTranscript RunTranscript(TTavrinMachine& m, const std::string& command) {
    SendSysCommand(m, command);
    TTranscript t;
    t.Status = InPort(m, 0x40);
    for (uint8_t b; t.Reply.size() < 20000 && (b = InPort(m, 0x41)) != 0x1A;) t.Reply += static_cast<char>(b);
    return t;
}

// The disk layer's HEX writer, whose exact records its own tests pin down.
std::string MakeHex(uint16_t origin, const std::vector<uint8_t>& bytes) {
    std::string text;
    for (size_t pos = 0; pos < bytes.size(); pos += 16)
        text += TZilogHex32WriterStream::FormatDataRecord(static_cast<uint16_t>(origin + pos), bytes.data() + pos,
                                                          static_cast<int>(std::min<size_t>(16, bytes.size() - pos)));
    return text + TZilogHex32WriterStream::FormatEndRecord();
}

std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

}  // namespace tavrin::test
