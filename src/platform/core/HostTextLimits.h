#pragma once
// The longest texts the host takes where a setting names a file or a port:
// a longer one could never be opened, so it is refused when read.

#include <climits>
#include <cstddef>

// A file path, in bytes, without its terminating zero.
constexpr size_t MaxHostPathLength = PATH_MAX - 1;
// A port number or service name: the resolver's NI_MAXSERV less its zero.
constexpr size_t MaxPortTextLength = 31;
