#pragma once
// Where a window goes so that it stays on the free area of its screen.

#include <QPoint>
#include <QRect>

// The top-left corner nearest to frame's that keeps frame inside free; a
// frame wider or taller than free keeps its left or top edge on free's.
QPoint KeptInside(const QRect& frame, const QRect& free);
