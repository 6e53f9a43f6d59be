#pragma once
// The one QApplication of a widget test process, created on first use.
// It is left alive to the end of the process: Qt's own globals must not
// outlive it.

#include <QApplication>

namespace tavrin::test {

inline QApplication& QtTestApp() {
    static int argc = 1;
    static char name[] = "tavrin_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace tavrin::test
