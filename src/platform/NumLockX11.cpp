#include "platform/NumLockX11.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#if QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#include <X11/keysym.h>
#endif

namespace {
#if QT_CONFIG(xcb)
Display* X11Display() {
    if (!qGuiApp) return nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}
#endif
}  // namespace

bool QnX11NumLockAvailable() {
#if QT_CONFIG(xcb)
    return X11Display() != nullptr;
#else
    return false;
#endif
}

void QnFlipX11NumLock() {
#if QT_CONFIG(xcb)
    Display* display = X11Display();
    if (!display) return;
    const unsigned mask = XkbKeysymToModifiers(display, XK_Num_Lock);
    XkbStateRec state;
    if (mask == 0 || XkbGetState(display, XkbUseCoreKbd, &state) != Success) return;
    XkbLockModifiers(display, XkbUseCoreKbd, mask, (state.locked_mods & mask) ? 0 : mask);
    XFlush(display);
#endif
}
