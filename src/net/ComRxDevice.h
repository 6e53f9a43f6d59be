#pragma once
// The host device behind a serial port component: a terminal device opened
// exclusively, or in tests a fake with modem lines and breaks. Every call is
// non-blocking except WaitWritable, which waits at most its timeout.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>

#include "hostserial/HostComNames.h"
#include "net/ComRxOptions.h"

// Running counts of modem-line transitions (the kernel's TIOCGICOUNT).
struct TComModemCounts {
    uint32_t Ring = 0;
    uint32_t Cts = 0;
    uint32_t Dsr = 0;
    uint32_t Dcd = 0;
    bool operator==(const TComModemCounts&) const = default;
};

class IComDevice {
public:
    virtual ~IComDevice() = default;
    // Polls readable while input waits; hang-up and errors show in revents.
    virtual int PollFd() const = 0;
    // As read(2)/write(2) on a non-blocking descriptor: -1 with errno set.
    virtual ssize_t Read(uint8_t* buffer, size_t size) = 0;
    virtual ssize_t Write(const uint8_t* data, size_t size) = 0;
    // True once a byte can be written; timeoutMs < 0 waits without limit.
    virtual bool WaitWritable(int timeoutMs) = 0;
    // False when the device has no modem lines to count.
    virtual bool ReadModemCounts(TComModemCounts& counts) = 0;
};

enum class TComOpenError : uint8_t { None, InvalidPort, PortInUse, SetOptions };

// Opens the terminal device at path for reading and writing, locked for this
// process alone (flock and TIOCEXCL), and applies the settings. Null with the
// reason in error when that fails.
std::unique_ptr<IComDevice> OpenHostComDevice(const std::string& path, const TComTermios& settings,
                                              TComOpenError& error);
