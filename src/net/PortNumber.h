#pragma once
// The port numbers the program's servers take (COM1 over TCP, the remote disk
// server): decimal text for 1 to 65535, nothing else, and how a refused text
// is told.

#include <cstdint>
#include <string>

// The text as a port number; 0 when it is not one from 1 to 65535.
uint16_t ParsePortNumber(const std::string& text);

// How a settings read describes a refused port text.
inline constexpr const char* NotAPortNumber = "not a port number from 1 to 65535";

// The sentence that refuses a port text: "<text>" is not a port number from 1 to 65535.
std::string RefusedPortText(const std::string& text);
