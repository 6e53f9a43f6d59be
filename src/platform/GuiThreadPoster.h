#pragma once
// Hands callbacks from worker threads to the thread of a Qt object (the GUI
// thread), queued: the worker never waits for the GUI. Used by the UDP
// receiver, whose core stays free of Qt.

#include <functional>

class QObject;

// The context must outlive every thread that posts through the result;
// callbacks still queued when it goes are dropped by Qt.
std::function<void(std::function<void()>)> GuiThreadPoster(QObject* context);
