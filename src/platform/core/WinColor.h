#pragma once
// Colours travel as Windows colour values, 00BBGGRRh, through models,
// settings and emulators; a value with FFh in the top byte names a system
// colour by the index in its low byte. They become QColor only when painted
// (platform/QtColor.h).

#include <cstdint>

using TColor = uint32_t;

// The 00BBGGRRh value a colour stands for: a system colour as Windows'
// default for it (black for an unknown index); any other value keeps its
// low three bytes.
TColor ColorToRGB(TColor color);
