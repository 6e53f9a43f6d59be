#pragma once
// Helpers for the machine tests: small Z80 programs and recording stand-ins
// for the devices (the temporary program folder is the shared one).

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "machine/MachineDevices.h"
#include "machine/TavrinMachine.h"
#include "support/TempFolder.h"

namespace tavrin::test {

// Loads code at address and resets the CPU there.
void LoadProgram(TTavrinMachine& m, uint16_t address, const std::vector<uint8_t>& code);
// Executes count instructions.
void Step(TTavrinMachine& m, int count);
// Executes IN A,(port) with A preset; returns A.
uint8_t InPort(TTavrinMachine& m, uint8_t port, uint8_t presetA = 0x5A);
// Executes OUT (port),A.
void OutPort(TTavrinMachine& m, uint8_t port, uint8_t value);

struct TFakePrinter : IPrinterDevice {
    bool Ready = true;
    std::string Bytes;
    bool IsReady() override { return Ready; }
    void WriteChar(uint8_t ch) override { Bytes += static_cast<char>(ch); }
};
struct TFakeSerial : ISerialLine {
    bool Open = true;
    bool Writable = true;
    std::string Written;
    bool IsOpen() override { return Open; }
    bool CanWrite() override { return Writable; }
    void WriteByte(uint8_t b) override { Written += static_cast<char>(b); }
};
struct TFakeTcp : ITcpComServer {
    bool Active = true;
    bool Writable = true;
    std::string Incoming;
    std::string Written;
    bool GetActive() override { return Active; }
    bool DataAvailable() override { return Active && !Incoming.empty(); }
    bool CanWrite() override { return Active && Writable; }
    bool ReadByte(uint8_t& b) override
    {
        if (!Active || Incoming.empty())
            return false;
        b = static_cast<uint8_t>(Incoming.front());
        Incoming.erase(0, 1);
        return true;
    }
    void WriteByte(uint8_t b) override
    {
        if (Active)
            Written += static_cast<char>(b);
    }
};

// An Intel HEX file of the bytes at origin, 16 bytes per data record, with
// the end record.
std::string MakeHex(uint16_t origin, const std::vector<uint8_t>& bytes);

// Reply text of the system-manager channel: each line followed by CR LF.
std::string Lines(std::initializer_list<std::string> lines);

} // namespace tavrin::test
