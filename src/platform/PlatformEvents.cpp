#include "platform/PlatformEvents.h"

#include <QCoreApplication>

void PostPlatformEvent(QObject* receiver, int message, intptr_t wParam, intptr_t lParam) {
    QCoreApplication::postEvent(receiver, new TPlatformEvent(message, wParam, lParam));
}

bool SendPlatformEvent(QObject* receiver, int message, intptr_t wParam, intptr_t lParam) {
    TPlatformEvent event(message, wParam, lParam);
    return QCoreApplication::sendEvent(receiver, &event);
}
