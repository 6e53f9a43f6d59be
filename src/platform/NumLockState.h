#pragma once
// NumLock used as a terminal key (the VT100's PF1) must leave the keypad as
// it was: the lock the key press changed is put back.
//
// On X11 the lock of a NumLock press that found it on is released only when
// the key comes up, so flipping it at the press would leave it off: the flip
// waits for the key's release, after which the lock is back where it was
// before the press. Platforms that let no program set the lock (Wayland,
// offscreen) are left alone. Plain C++ header; GUI thread only.

// Asks for the NumLock state to be flipped back once the NumLock key is up.
void QnToggleNumLockState();
