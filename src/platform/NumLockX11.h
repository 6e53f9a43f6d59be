#pragma once
// The X11 keyboard lock through the display Qt opened (XKB). Kept apart
// from Qt's event code: the X headers define names that clash with it.

// An X11 display is there to set the lock on.
bool QnX11NumLockAvailable();
// Flips NumLock's locked state; nothing without an X11 display.
void QnFlipX11NumLock();
