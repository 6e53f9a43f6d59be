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

// An Intel HEX file of the bytes at origin, 16 bytes per data record, with
// the end record.
std::string MakeHex(uint16_t origin, const std::vector<uint8_t>& bytes);

// Reply text of the system-manager channel: each line followed by CR LF.
std::string Lines(std::initializer_list<std::string> lines);

}  // namespace tavrin::test
