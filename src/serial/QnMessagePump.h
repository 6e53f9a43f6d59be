#pragma once
// One step of the calling thread's Qt event loop, for code that waits on
// worker threads while still serving the events they post.

// Handles what is pending in the calling thread's event queue without
// waiting for more; false when there was nothing to do. A quit request stays
// with the running event loop.
bool ProcessOneMessage();
