#pragma once
// One-instruction Z80 disassembler. Table-driven: one row per instruction
// encoding, found by its prefixes and opcode; the row's lower-case
// placeholders ("n", "nn", "d", "e") are replaced by the instruction's bytes
// in hexadecimal. Knows nothing about the CPU: the caller passes the bytes.

#include <cstdint>
#include <span>
#include <string>

struct TOpcodeEntry {
    int32_t PrefixCount = 0;      // 0, 1 (CB, DD, ED, FD) or 2 (DD CB, FD CB)
    int32_t Prefix1 = 0;          // first prefix byte, 0 when none
    int32_t Prefix2 = 0;          // CB on the DD CB / FD CB pages, else 0
    int32_t HasDisplacement = 0;  // 1 on the DD CB / FD CB pages
    int32_t Opcode = 0;           // the byte after the prefixes
    int32_t OperandKind = 0;      // number of operand bytes: 0, 1 or 2
    std::string Mnemonic;         // upper case text with lower-case placeholders
};

inline constexpr int32_t OpcodeTableRowCount = 1268;

// Every instruction encoding, in ascending order of its bytes with each
// prefix page nested at its prefix's place. Built once, on first use.
std::span<const TOpcodeEntry> OpcodeTable();

// Bytes holds the first instruction byte in bits 0-7, the second in 8-15,
// the third in 16-23 and the fourth in 24-31. Returns the row index into
// OpcodeTable(), or -1 when the bytes are no known instruction.
int32_t FindOpcodeEntry(uint32_t Bytes);

// Sets Text to the instruction's assembler text, or "???".
void DisassembleOpcode(uint32_t Bytes, std::string& Text);
std::string DisassembleOpcode(uint32_t Bytes);
