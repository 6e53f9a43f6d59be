#pragma once
// Where a window goes so that it stays on the free area of its screen.

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

// The top-left corner nearest to frame's that keeps frame inside free; a
// frame wider or taller than free keeps its left or top edge on free's.
QPoint KeptInside(const QRect& frame, const QRect& free);

// The client size nearest to wanted whose frame (the client plus the
// frame's margins) fits on free; at least floor where free has room for it.
QSize FittedSize(const QSize& wanted, const QSize& floor, const QMargins& frame, const QRect& free);
