#pragma once
// The CPU page and the register dialog kept up to date: at once after a
// step or a load, and while the CPU runs at most once a RunRefreshInterval
// (the page when it is shown, else the dialog); a refresh skipped is owed
// and comes from a timer of its own when due, or at once when the run stops.

#include <chrono>
#include <functional>

#include "platform/UiPrompts.h"

class QObject;
class QTabWidget;
class QTimer;
class TCpuPage;

class TCpuDisplay {
public:
    // The timer is a child of owner; what a redraw raises goes to prompts.
    TCpuDisplay(TCpuPage& page, QTabWidget& pages, IUiPrompts& prompts, QObject& owner);
    TCpuDisplay(const TCpuDisplay&) = delete;
    TCpuDisplay& operator=(const TCpuDisplay&) = delete;

    // The CPU page (and register dialog) redraws from the CPU.
    void Update();
    void RefreshWhileRunning();
    // "Run CPU" was turned off.
    void RunStopped();

    // Told after the page (or, while running on another page, the register
    // dialog) has redrawn.
    std::function<void()> OnUpdateCpuDisplay;
    std::function<void()> OnRefreshRegisterDialog;

private:
    bool PageShown() const;
    // The page when it is shown, else the register dialog.
    void Refresh();

    TCpuPage& FPage;
    IUiPrompts& FPrompts;
    QTabWidget& FPages;
    // Active while a refresh is owed.
    QTimer* FOwedRefreshTimer = nullptr;
    std::chrono::steady_clock::time_point FLastPageRefresh{};
    std::chrono::steady_clock::time_point FLastDialogRefresh{};
};
