#include "platform/NumLockRestorer.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>

#include "platform/NumLockState.h"
#include "platform/NumLockX11.h"

TNumLockRestorer::TNumLockRestorer(TFlip flip, QObject* parent) : QObject(parent), FFlip(std::move(flip)) {
    QCoreApplication::instance()->installEventFilter(this);
}

TNumLockRestorer::~TNumLockRestorer() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool TNumLockRestorer::eventFilter(QObject* watched, QEvent* event) {
    if (!FArmed) return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_NumLock && !key->isAutoRepeat()) {
            FArmed = false;
            if (FFlip) FFlip();
        }
    } else if (event->type() == QEvent::ApplicationStateChange &&
               static_cast<QApplicationStateChangeEvent*>(event)->applicationState() != Qt::ApplicationActive) {
        FArmed = false;
    }
    return QObject::eventFilter(watched, event);
}

void QnToggleNumLockState() {
    if (!QnX11NumLockAvailable()) return;
    // One watcher for the application's lifetime; a new application gets a new one.
    static QPointer<TNumLockRestorer> restorer;
    if (!restorer) restorer = new TNumLockRestorer(QnFlipX11NumLock, QCoreApplication::instance());
    restorer->Arm();
}
