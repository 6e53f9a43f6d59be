#pragma once
// Write-only stream that turns the bytes written to it into an Intel HEX file
// with 32-bit addressing: data records (type 00) of a fixed length, each
// 64 KiB segment announced by an extended linear address record (type 04),
// and an end record (type 01). Lines end with CR LF.
//
// Every file operation is checked: a file that cannot be created raises
// std::system_error ("Cannot create file ..."), a failed write or close
// std::runtime_error. The file is written in place; removing a partial file
// after a failure is the caller's business.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class TZilogHex32WriterStream {
public:
    // Creates (or truncates) FileName. RecordLength must be 1-255, since the
    // record's length field holds one byte.
    TZilogHex32WriterStream(const std::string& FileName, uint32_t StartAddress,
                            uint16_t RecordLength);
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
    // Flushes buffered data, writes the end record and closes the file.
    // Further calls do nothing.
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
    [[noreturn]] void Fail();

    std::string FFileName;
    bool ExtPending = false;
    std::FILE* HexFile = nullptr;
    uint64_t Address = 0;  // wide, so running past 4 GiB is noticed
    int32_t RecordLength = 0;
    std::vector<uint8_t> Buffer;
    int32_t BufferCount = 0;
    uint64_t UpperAddress = 0;
};
