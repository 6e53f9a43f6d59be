// The tavrin program: one main window around the emulated Z80 machine.

#include "machine/gui/frmTavrin.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

bool HasDisplay()
{
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char* argv[])
{
    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "tavrin: no display found. Tavrin is a desktop program; start it in a graphical\n"
                     "session (DISPLAY or WAYLAND_DISPLAY set), or choose a Qt platform with\n"
                     "QT_QPA_PLATFORM (for example QT_QPA_PLATFORM=offscreen).\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tavrin"));
    TMainHalvoret window;
    window.show();
    return QApplication::exec();
}
