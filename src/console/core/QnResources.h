#pragma once
// The table of data resources compiled into the program. The table itself is
// generated at build time (src/console/core/resgen) into the build folder.

#include <cstddef>
#include <cstdint>

struct TQnNamedResource {
    const char* Name;
    const uint8_t* Data;
    size_t Size;
};

extern const TQnNamedResource QnProgramResources[];
extern const size_t QnProgramResourceCount;
