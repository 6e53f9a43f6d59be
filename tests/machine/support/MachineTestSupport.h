#pragma once
// Helpers for the machine tests: small Z80 programs, HEX files and reply
// texts (the temporary program folder is the shared one).

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
// Executes IN A,(port) with A preset; returns A.
uint8_t InPort(TTavrinMachine& m, uint8_t port, uint8_t presetA = 0x5A);
// Executes OUT (port),A.
void OutPort(TTavrinMachine& m, uint8_t port, uint8_t value);
// Executes OUT (C),A with BC = port, so the port's high byte is the caller's.
void OutPortBC(TTavrinMachine& m, uint16_t port, uint8_t value);

// A system-manager command as a CP/M program sends it: OUT (40h),0, the text
// on 41h, OUT (40h),1. The reply is left in the channel.
void SendSysCommand(TTavrinMachine& m, const std::string& command);
struct TTranscript {
    std::string Reply;
    uint8_t Status = 0;  // IN (40h) right after the command ran
};
// SendSysCommand, IN (40h), then IN (41h) until 1Ah.
TTranscript RunTranscript(TTavrinMachine& m, const std::string& command);

// An Intel HEX file of the bytes at origin, 16 bytes per data record, with
// the end record.
std::string MakeHex(uint16_t origin, const std::vector<uint8_t>& bytes);

// Reply text of the system-manager channel: each line followed by CR LF.
std::string Lines(std::initializer_list<std::string> lines);

}  // namespace tavrin::test
