#pragma once
// How work from other threads reaches the GUI thread. There are two ways,
// each for its own job:
//
// - GuiThreadPoster (here): a worker hands a callback, holding copies of its
//   data, to the thread of a Qt object. The worker never waits for the GUI.
//   Callbacks run one per event-loop turn, in the order they were posted
//   from whatever threads, and cross over behind a lock the thread checkers
//   can see. The COM ports' receive threads, the UDP receiver, the serial
//   port component's window messages, the terminal window's received bytes
//   and the display of worker-thread exceptions hand over this way.
// - PostPlatformEvent (PlatformEvents.h): the program's numbered private
//   messages as Qt custom events, posted on the receiver's own thread. An
//   event made on another thread would be read by the receiver without a
//   hand-over the thread checkers can see, so workers use the poster.
//
// The TCP module's receive queues are no hand-over to the GUI: the emulated
// CPU takes from them on its own turns.

#include <functional>

class QObject;

// Must be called on the context's thread; the context must outlive every
// thread that posts through the result. All posters of one context share one
// queue. Callbacks still queued when the context goes are destroyed unrun.
std::function<void(std::function<void()>)> GuiThreadPoster(QObject* context);
