#include "app/CpuDisplay.h"

#include "platform/GuardedCall.h"
#include "ui/CpuPage.h"

#include <QTabWidget>
#include <QTimer>

TCpuDisplay::TCpuDisplay(TCpuPage& page, QTabWidget& pages, IUiPrompts& prompts, QObject& owner)
    : FPage(page), FPrompts(prompts), FPages(pages) {
    FRunRefreshTimer = new QTimer(&owner);
    FRunRefreshTimer->setInterval(static_cast<int>(TCpuPage::RunRefreshInterval.count()));
    QObject::connect(FRunRefreshTimer, &QTimer::timeout, &owner, [this] {
        if (!FRunRefreshOwed) return;
        RunGuarded(FPrompts, [this] { RefreshWhileRunning(); });
    });
    FRunRefreshTimer->start();
}

void TCpuDisplay::RefreshWhileRunning() {
    const auto now = std::chrono::steady_clock::now();
    const bool pageShown = FPages.currentWidget() == &FPage;
    auto& last = pageShown ? FLastPageRefresh : FLastDialogRefresh;
    if (now - last < TCpuPage::RunRefreshInterval) {
        FRunRefreshOwed = true;
        return;
    }
    last = now;
    FRunRefreshOwed = false;
    if (pageShown) {
        Update();
        return;
    }
    FPage.RefreshRegisterDialog();
    if (OnRefreshRegisterDialog) OnRefreshRegisterDialog();
}

void TCpuDisplay::Update() {
    FPage.UpdateCpuDisplay();
    if (OnUpdateCpuDisplay) OnUpdateCpuDisplay();
}
