#pragma once
// The one conversion between the program's colour values (00BBGGRRh,
// platform/core/WinColor.h) and QColor.

#include <QColor>

#include "platform/core/WinColor.h"

// System colours are resolved first (ColorToRGB).
QColor ToQColor(TColor color);
// The colour value of an opaque QColor.
TColor FromQColor(const QColor& color);
