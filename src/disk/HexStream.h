#pragma once
// Write-only stream that turns the bytes written to it into an Intel HEX file
// with 32-bit addressing: data records (type 00) of a fixed length, each
// 64 KiB segment announced by an extended linear address record (type 04),
// and an end record (type 01). Lines end with CR LF.
//
// The file is written beside its final name and put in place when it is
// finished, so a failure never leaves a partial file or spoils an old one.
// A file that cannot be created (or is a disk image open in this program)
// raises std::system_error ("Cannot create file ..."); a failed write
// raises std::runtime_error and drops the new file.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/FileReplace.h"

class TZilogHex32WriterStream {
public:
    // Starts FileName anew (an old file is replaced when the new one is
    // finished). RecordLength must be 1-255, since the record's length
    // field holds one byte.
    TZilogHex32WriterStream(const std::string& FileName, uint32_t StartAddress, uint16_t RecordLength);
    // Finishes the file when Finish was not called; errors are swallowed
    // here, so callers that care call Finish themselves.
    ~TZilogHex32WriterStream();
    TZilogHex32WriterStream(const TZilogHex32WriterStream&) = delete;
    TZilogHex32WriterStream& operator=(const TZilogHex32WriterStream&) = delete;

    // Appends Count bytes; returns Count, or 0 when the file is closed or
    // Count is not positive. Raises when a line cannot be written or the
    // data would run past the 32-bit address space.
    int32_t Write(const void* Data, int32_t Count);
    // The stream cannot be read: always 0.
    int32_t Read(void* Data, int32_t Count);
    // Flushes buffered data, writes the end record and puts the file in
    // place. Further calls do nothing.
    void Finish();

    bool IsOpen() const { return HexFile != nullptr; }
    const std::string& FileName() const { return FFileName; }

    // One line each, CR LF included.
    static std::string FormatDataRecord(uint32_t Address, const uint8_t* Data, int Count);
    static std::string FormatExtAddressRecord(uint32_t UpperAddress);
    static std::string FormatEndRecord();

private:
    void Flush();
    void WriteDataRecord(uint64_t At, const uint8_t* Data, int Count);
    void WriteExtAddressRecord();
    void WriteEndRecord();
    void WriteLine(const std::string& Line);
    void FlushOutput();
    [[noreturn]] void Fail();

    std::string FFileName;
    bool ExtPending = false;
    std::unique_ptr<TReplacementFile> HexFile;
    std::string Output;    // lines not yet handed to the file
    uint64_t Address = 0;  // wide, so running past 4 GiB is noticed
    int32_t RecordLength = 0;
    std::vector<uint8_t> Buffer;
    int32_t BufferCount = 0;
    uint64_t UpperAddress = 0;
};
