#pragma once
// Private messages between parts of the program travel as Qt custom events
// whose type numbers are the message numbers, posted with
// QCoreApplication::postEvent. Senders that may flood coalesce with a
// pending flag of their own.

#include <QEvent>

#include <cstdint>

#include "platform/core/PrivateMessages.h"

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
