#include "platform/GuiThreadPoster.h"

#include <QMetaObject>
#include <QObject>

std::function<void(std::function<void()>)> GuiThreadPoster(QObject* context) {
    return [context](std::function<void()> callback) {
        QMetaObject::invokeMethod(context, std::move(callback), Qt::QueuedConnection);
    };
}
