#pragma once
// No exception may leave a Qt slot: a handler's failure is reported once
// through the prompts instead.

#include <exception>
#include <functional>

#include "platform/UiPrompts.h"

inline void RunGuarded(IUiPrompts& prompts, const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        prompts.ShowError(e.what());
    }
}
