#pragma once
// Where a window goes so that it stays on the free area of its screen,
// frame (title bar and borders) included, and what waits until it stands
// there.

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>

class QWidget;

// The top-left corner nearest to frame's that keeps frame inside free; a
// frame wider or taller than free keeps its left or top edge on free's.
QPoint KeptInside(const QRect& frame, const QRect& free);

// The client size nearest to wanted whose frame (the client plus the
// frame's margins) fits on free; at least floor where free has room for it.
QSize FittedSize(const QSize& wanted, const QSize& floor, const QMargins& frame, const QRect& free);

// The client area of a window whose whole frame must lie on free: the size
// FittedSize gives, and the frame's top-left as near framePos as keeps the
// frame inside free. All is in logical pixels of scale device pixels each,
// counted from the top-left of the screen, where Qt's scaling starts. Qt
// rounds the frame and the free area from device pixels to the nearest
// logical pixel, so at a scale such as 1.5 the fit allows for the most
// device pixels the frame and the fewest the free area may stand for.
QRect PlacedClient(const QSize& wanted, const QPoint& framePos, const QSize& floor, const QMargins& frame,
                   const QRect& free, qreal scale = 1);

// The window's frame margins as the window system has them now: none before
// it has put a frame around the window (not shown yet, or not yet
// decorated by the window manager).
QMargins FrameMarginsNow(const QWidget& window);

// Gives a top-level window the client size nearest to wanted and its frame
// the top-left nearest to framePos that keep the whole frame on its
// screen's free area (PlacedClient). A window whose frame has not appeared
// yet is placed again, the same way, once it appears: placed without its
// title bar, it would reach below the screen. The last placement made
// before the frame appears is the one that holds.
void PlaceWindow(QWidget& window, const QSize& wanted, const QPoint& framePos);
// The same without a place: the frame stays where the window system puts
// it, as far as the free area allows.
void PlaceWindow(QWidget& window, const QSize& wanted);

// Runs then once the window stands where the user sees it: at once, unless
// it shows and a placement waits for its frame; then right after that
// placement, or after a second without a frame (a desktop without a window
// manager frames no window).
void WhenPlaced(QWidget& window, std::function<void()> then);
