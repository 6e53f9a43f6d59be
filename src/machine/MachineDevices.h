#pragma once
// The devices behind the port map, each as a small interface the machine
// holds by pointer. A null pointer is an absent (or switched-off) device and
// its ports answer as for one: status 00h, data dropped, input untouched.

#include <cstdint>

// The CRT console (port 13h output).
class ICrtConsole {
public:
    virtual ~ICrtConsole() = default;
    virtual void WriteChar(uint8_t ch) = 0;
};

// The TTY console's output side (port 11h output, through its parser).
class ITtyConsole {
public:
    virtual ~ITtyConsole() = default;
    virtual void WriteTtyByte(uint8_t ch) = 0;
};

// The LST printer; present only while enabled.
class IPrinterDevice {
public:
    virtual ~IPrinterDevice() = default;
    virtual bool IsReady() = 0;
    virtual void WriteChar(uint8_t ch) = 0;
};

// A serial line as the port map sees it: COM1, COM2, or the TCP server
// standing in for COM1.
class ISerialLine {
public:
    virtual ~ISerialLine() = default;
    virtual bool IsOpen() = 0;
    virtual bool DataAvailable() = 0;
    // False, and b untouched, when nothing is waiting.
    virtual bool ReadByte(uint8_t& b) = 0;
    virtual bool CanWrite() = 0;
    // Dropped when the line cannot take it.
    virtual void WriteByte(uint8_t b) = 0;
};

// A host port's sending side (COM1, COM2). Its received bytes reach the
// machine's receive queue through the machine's ComDataBlock.
class IHostSerialPort {
public:
    virtual ~IHostSerialPort() = default;
    virtual bool IsOpen() = 0;
    virtual bool CanWrite() = 0;
    virtual void WriteByte(uint8_t b) = 0;
};
