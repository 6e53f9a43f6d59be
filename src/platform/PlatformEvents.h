#pragma once
// Private messages between parts of the program travel as Qt custom events
// whose type numbers are the message numbers, posted with
// QCoreApplication::postEvent. Senders that may flood coalesce with a
// pending flag of their own.

#include <QEvent>

#include <cstdint>

inline constexpr int WM_USER = 0x0400;
// A BREAK on serial line WParam (1 or 2): the main window reboots CP/M.
inline constexpr int WM_COMBREAK = WM_USER + 42;
// Terminal family: data available (WParam = the character source).
inline constexpr int WM_TERMINAL_DATA = 0x7E47;
// Terminal family: the screen buffer changed.
inline constexpr int WM_SCREEN_CHANGED = 0x7E8A;
// Serial-port stack: dispatcher triggers and port notices.
inline constexpr int WM_DISPATCH_TRIGGER_FIRST = 0x7E01;
inline constexpr int WM_DISPATCH_TRIGGER_LAST = 0x7E04;
inline constexpr int WM_PORT_OPENED = 0x7E08;
inline constexpr int WM_PORT_CLOSING = 0x7E09;
inline constexpr int WM_PORT_CLOSED = 0x7E0A;

class TPlatformEvent : public QEvent {
public:
    TPlatformEvent(int message, intptr_t wParam = 0, intptr_t lParam = 0)
        : QEvent(static_cast<QEvent::Type>(message)), WParam(wParam), LParam(lParam) {}

    int Message() const { return static_cast<int>(type()); }

    intptr_t WParam;
    intptr_t LParam;
};

// Posts the message to the receiver's thread; the event loop owns the event.
void PostPlatformEvent(QObject* receiver, int message, intptr_t wParam = 0, intptr_t lParam = 0);
// Delivers the message at once on the calling thread ("sent, not posted").
bool SendPlatformEvent(QObject* receiver, int message, intptr_t wParam = 0, intptr_t lParam = 0);
