// The tavrin program: one main window around the emulated Z80 machine.

#include "app/frmTavrin.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "platform/core/FileSizeSignal.h"

namespace {

QtMessageHandler PreviousMessageHandler = nullptr;

// While the application object connects to the display, a fatal message means
// the display named in the environment cannot be used (a stale DISPLAY over
// ssh, a stopped compositor). Qt would abort with a core dump; say so plainly
// and exit instead.
void StartupMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        // The platform's own warnings above name the display that failed.
        std::fputs(
            "tavrin: no display could be opened. Tavrin is a desktop program; start it in a\n"
            "graphical session, or choose a Qt platform with QT_QPA_PLATFORM.\n",
            stderr);
        std::fflush(stderr);
        std::_Exit(2);
    }
    if (PreviousMessageHandler)
        PreviousMessageHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

bool HasDisplay() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char* argv[]) {
    IgnoreFileSizeSignal();
    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "tavrin: no display found. Tavrin is a desktop program; start it in a graphical\n"
                     "session (DISPLAY or WAYLAND_DISPLAY set), or choose a Qt platform with\n"
                     "QT_QPA_PLATFORM (for example QT_QPA_PLATFORM=offscreen).\n");
        return 2;
    }
    PreviousMessageHandler = qInstallMessageHandler(StartupMessageHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(PreviousMessageHandler);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tavrin"));
    TMainHalvoret window;
    window.show();
    return QApplication::exec();
}
