#include "app/CpuDisplay.h"

#include "platform/GuardedCall.h"
#include "ui/CpuPage.h"

#include <QTabWidget>
#include <QTimer>

TCpuDisplay::TCpuDisplay(TCpuPage& page, QTabWidget& pages, IUiPrompts& prompts, QObject& owner)
    : FPage(page), FPrompts(prompts), FPages(pages) {
    // Runs only while a refresh is owed, so a stopped run costs no wake-ups.
    FOwedRefreshTimer = new QTimer(&owner);
    FOwedRefreshTimer->setSingleShot(true);
    QObject::connect(FOwedRefreshTimer, &QTimer::timeout, &owner,
                     [this] { RunGuarded(FPrompts, [this] { RefreshWhileRunning(); }); });
}

bool TCpuDisplay::PageShown() const { return FPages.currentWidget() == &FPage; }

void TCpuDisplay::RefreshWhileRunning() {
    const auto now = std::chrono::steady_clock::now();
    const auto due = (PageShown() ? FLastPageRefresh : FLastDialogRefresh) + TCpuPage::RunRefreshInterval;
    if (now < due) {
        // Owed: the timer brings it when it is due, unless a burst does.
        if (!FOwedRefreshTimer->isActive())
            FOwedRefreshTimer->start(std::chrono::ceil<std::chrono::milliseconds>(due - now));
        return;
    }
    Refresh();
}

void TCpuDisplay::RunStopped() {
    // The refresh owed shows where the run stopped, at once; then nothing
    // redraws until something changes the CPU.
    if (FOwedRefreshTimer->isActive()) Refresh();
}

void TCpuDisplay::Refresh() {
    FOwedRefreshTimer->stop();
    const auto now = std::chrono::steady_clock::now();
    if (PageShown()) {
        FLastPageRefresh = now;
        Update();
        return;
    }
    FLastDialogRefresh = now;
    FPage.RefreshRegisterDialog();
    if (OnRefreshRegisterDialog) OnRefreshRegisterDialog();
}

void TCpuDisplay::Update() {
    FPage.UpdateCpuDisplay();
    if (OnUpdateCpuDisplay) OnUpdateCpuDisplay();
}
