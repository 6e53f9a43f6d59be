#pragma once
// The GUI side of the stack's exception display: an exception that ends a
// worker thread is shown as the rest of the program shows errors, through
// IUiPrompts::ShowError on the thread of a window. The worker only posts the
// text; it never waits for the GUI.

#include <QObject>
#include <string>

#include "platform/GuiThreadPoster.h"
#include "platform/UiPrompts.h"
#include "serial/QnExcept.h"

// Installs the display for as long as it lives; window must outlive it and
// prompts must outlive window.
class TQnExceptionDisplayScope {
public:
    TQnExceptionDisplayScope(IUiPrompts& prompts, QObject& window) {
        SetExceptionDisplay([&prompts, post = GuiThreadPoster(&window)](
                                const std::string& text) { post([&prompts, text] { prompts.ShowError(text); }); },
                            this);
    }
    // Once removed, no worker thread reaches the window any more; texts
    // still queued go with it.
    ~TQnExceptionDisplayScope() { RemoveExceptionDisplay(this); }
    TQnExceptionDisplayScope(const TQnExceptionDisplayScope&) = delete;
    TQnExceptionDisplayScope& operator=(const TQnExceptionDisplayScope&) = delete;
};
