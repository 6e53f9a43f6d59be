#pragma once
// The GUI side of the stack's exception display: an exception that ends a
// worker thread is shown as the rest of the program shows errors, through
// IUiPrompts::ShowError on the thread of a window. The worker only posts the
// text; it never waits for the GUI.

#include <QMetaObject>
#include <QObject>
#include <string>

#include "platform/UiPrompts.h"
#include "serial/QnExcept.h"

// Installs the display for as long as it lives; window must outlive it and
// prompts must outlive window.
class TQnExceptionDisplayScope {
public:
    TQnExceptionDisplayScope(IUiPrompts& prompts, QObject& window) {
        SetExceptionDisplay(
            [&prompts, target = &window](const std::string& text) {
                QMetaObject::invokeMethod(target, [&prompts, text] { prompts.ShowError(text); },
                                          Qt::QueuedConnection);
            },
            this);
    }
    // Once removed, no worker thread reaches the window any more; texts
    // still queued go with it.
    ~TQnExceptionDisplayScope() { RemoveExceptionDisplay(this); }
    TQnExceptionDisplayScope(const TQnExceptionDisplayScope&) = delete;
    TQnExceptionDisplayScope& operator=(const TQnExceptionDisplayScope&) = delete;
};
