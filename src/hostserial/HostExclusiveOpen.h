#pragma once
// A host terminal device taken for this process alone. An exclusive flock
// keeps out every other program that locks the device as this one does, and
// TIOCEXCL refuses any further open of the terminal (a program with
// CAP_SYS_ADMIN excepted), locking or not.

#include <cstdint>
#include <string>

// The step of OpenExclusive that failed.
enum class THostOpenStep : uint8_t { None, Open, Lock, Exclusive };

struct THostOpenResult {
    int Fd = -1;  // the caller's, to give back with CloseExclusive; -1 on failure
    THostOpenStep Failed = THostOpenStep::None;
    // errno of the failed step; EBUSY when another opener holds the device.
    int Error = 0;
};

// Opens path for reading and writing, non-blocking, close-on-exec and never
// as the controlling terminal, then takes it exclusively. On failure nothing
// stays open.
THostOpenResult OpenExclusive(const std::string& path);

// Releases a device from OpenExclusive and closes its descriptor.
void CloseExclusive(int fd);
