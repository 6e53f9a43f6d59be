#include "disk/HexStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include "disk/ImageRegistry.h"

namespace {

constexpr uint64_t SegmentMask = ~uint64_t{0xFFFF};
constexpr uint64_t AddressLimit = uint64_t{1} << 32;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

void AppendHexByte(std::string& line, uint8_t b) {
    static const char Digits[] = "0123456789ABCDEF";
    line.push_back(Digits[b >> 4]);
    line.push_back(Digits[b & 0x0F]);
}

// The record from its length byte on, then the checksum and the line end.
std::string FormatRecord(uint8_t type, uint16_t address, const uint8_t* data, int count) {
    std::string line;
    line.reserve(static_cast<size_t>(11 + 2 * count + 2));
    line.push_back(':');
    uint8_t sum = 0;
    auto put = [&](uint8_t b) {
        AppendHexByte(line, b);
        sum = static_cast<uint8_t>(sum + b);
    };
    put(static_cast<uint8_t>(count));
    put(static_cast<uint8_t>(address >> 8));
    put(static_cast<uint8_t>(address));
    put(type);
    for (int i = 0; i < count; ++i) put(data[i]);
    AppendHexByte(line, static_cast<uint8_t>(-sum));
    line += "\r\n";
    return line;
}

}  // namespace

TZilogHex32WriterStream::TZilogHex32WriterStream(const std::string& FileName, uint32_t StartAddress,
                                                 uint16_t RecordLength_)
    : FFileName(FileName), Address(StartAddress), RecordLength(RecordLength_) {
    if (RecordLength_ < 1 || RecordLength_ > 255)
        throw std::runtime_error("Invalid Hex32 record length (" + std::to_string(RecordLength_) + ")!");
    Buffer.assign(static_cast<size_t>(2 * RecordLength), 0);
    if (StartAddress >= 0x10000) {
        UpperAddress = StartAddress & SegmentMask;
        ExtPending = true;
    }
    // Never replace a disk image that this program or another holds open.
    if (TImageRegistry::Instance().OpenInAnyProgram(FileName))
        throw std::system_error(EBUSY, std::generic_category(), "Cannot create file " + Quoted(FileName));
    HexFile = std::make_unique<TReplacementFile>(FileName);
}

TZilogHex32WriterStream::~TZilogHex32WriterStream() {
    try {
        Finish();
    } catch (...) {
        // A destructor must not throw; the unfinished file is already gone.
    }
}

void TZilogHex32WriterStream::Fail() {
    HexFile.reset();  // drops the unfinished file
    Output.clear();
    throw std::runtime_error("Unable to write to the Hex32 file " + Quoted(FFileName) + "!");
}

int32_t TZilogHex32WriterStream::Write(const void* Data, int32_t Count) {
    if (HexFile == nullptr || Count <= 0 || Data == nullptr) return 0;
    if (Address + static_cast<uint64_t>(BufferCount) + static_cast<uint64_t>(Count) > AddressLimit)
        throw std::runtime_error("The Hex32 file can not hold data beyond address FFFFFFFFh!");
    const auto* src = static_cast<const uint8_t*>(Data);
    int32_t left = Count;
    while (left > 0) {
        const int32_t piece = std::min(left, RecordLength - BufferCount);
        std::memcpy(Buffer.data() + BufferCount, src, static_cast<size_t>(piece));
        BufferCount += piece;
        src += piece;
        left -= piece;
        if (BufferCount == RecordLength) Flush();
    }
    return Count;
}

int32_t TZilogHex32WriterStream::Read(void*, int32_t) { return 0; }

void TZilogHex32WriterStream::Finish() {
    if (HexFile == nullptr) return;
    if (BufferCount > 0) Flush();
    WriteEndRecord();
    FlushOutput();
    try {
        HexFile->Commit();
    } catch (const EFileReplaceError&) {
        Fail();
    }
    HexFile.reset();
}

// Writes the buffered bytes so that no record crosses a 64 KiB boundary: a
// record that would is split, with the new segment's type 04 record between
// the two halves.
void TZilogHex32WriterStream::Flush() {
    const uint64_t end = (Address + static_cast<uint64_t>(BufferCount)) & SegmentMask;
    if (end != UpperAddress) {
        if (end > Address) {
            const auto n = static_cast<int32_t>(end - Address);
            if (ExtPending) WriteExtAddressRecord();
            WriteDataRecord(Address, Buffer.data(), n);
            std::memmove(Buffer.data(), Buffer.data() + n, static_cast<size_t>(BufferCount - n));
            Address += static_cast<uint64_t>(n);
            BufferCount -= n;
        }
        UpperAddress = Address & SegmentMask;
        ExtPending = true;
    }
    if (BufferCount > 0) {
        if (ExtPending) WriteExtAddressRecord();
        WriteDataRecord(Address, Buffer.data(), BufferCount);
        Address += static_cast<uint64_t>(BufferCount);
        BufferCount = 0;
    }
}

void TZilogHex32WriterStream::WriteDataRecord(uint64_t At, const uint8_t* Data, int Count) {
    WriteLine(FormatDataRecord(static_cast<uint32_t>(At), Data, Count));
}

void TZilogHex32WriterStream::WriteExtAddressRecord() {
    WriteLine(FormatExtAddressRecord(static_cast<uint32_t>(UpperAddress)));
    ExtPending = false;
}

void TZilogHex32WriterStream::WriteEndRecord() { WriteLine(FormatEndRecord()); }

void TZilogHex32WriterStream::WriteLine(const std::string& Line) {
    if (HexFile == nullptr) Fail();
    Output += Line;
    if (Output.size() >= 64 * 1024) FlushOutput();
}

void TZilogHex32WriterStream::FlushOutput() {
    try {
        HexFile->Write(Output);
    } catch (const EFileReplaceError&) {
        Fail();
    }
    Output.clear();
}

std::string TZilogHex32WriterStream::FormatDataRecord(uint32_t Address, const uint8_t* Data, int Count) {
    return FormatRecord(0x00, static_cast<uint16_t>(Address), Data, std::clamp(Count, 0, 255));
}

std::string TZilogHex32WriterStream::FormatExtAddressRecord(uint32_t Upper) {
    const uint8_t u[2] = {static_cast<uint8_t>(Upper >> 24), static_cast<uint8_t>(Upper >> 16)};
    return FormatRecord(0x04, 0, u, 2);
}

std::string TZilogHex32WriterStream::FormatEndRecord() { return ":00000001FF\r\n"; }
