#include "serial/QnMessagePump.h"

#include <QAbstractEventDispatcher>
#include <QThread>

bool ProcessOneMessage() {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread());
    if (dispatcher == nullptr) return false;
    return dispatcher->processEvents(QEventLoop::AllEvents);
}
