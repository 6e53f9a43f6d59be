// The CPU display on a CPU page and a tab widget of its own: which view a
// refresh redraws (the page when it is shown, else the register dialog), at
// most once a RunRefreshInterval each while the CPU runs, the refresh owed
// that comes on its own or at once when the run stops, and what a refresh
// raises from its timer.

#include <gtest/gtest.h>

#include <QAction>
#include <QTabWidget>
#include <QTimer>

#include <chrono>
#include <stdexcept>

#include "app/CpuDisplay.h"
#include "machine/TavrinMachine.h"
#include "platform/ScriptedUiPrompts.h"
#include "support/QtEventually.h"
#include "support/QtTestApp.h"
#include "support/TempFolder.h"
#include "support/TerminalText.h"
#include "ui/CpuPage.h"

using namespace tavrin::test;

namespace {

// A CPU display on a page, a tab widget and a timer owner of its own; its
// hooks count the redraws of the page and of the register dialog.
struct TDisplayHarness {
    QApplication& App = QtTestApp();
    TTempFolder Temp;
    TTavrinMachine Machine{Temp.Folder()};
    TScriptedUiPrompts Prompts;
    QAction Reset{"Boot"}, Run{"Run"}, Step{"Step"};
    QTabWidget Pages;  // owns the pages
    TCpuPage* Page = new TCpuPage(Machine, Prompts, TCpuPageActions{&Reset, &Run, &Step});
    QWidget* CrtPage = new QWidget;
    QObject Owner;
    TCpuDisplay Display{*Page, Pages, Prompts, Owner};
    int PageRefreshes = 0;
    int DialogRefreshes = 0;

    explicit TDisplayHarness(bool cpuPageShown) {
        Pages.addTab(Page, "CPU");
        Pages.addTab(CrtPage, "CRT");
        Show(cpuPageShown);
        Display.OnUpdateCpuDisplay = [this] { ++PageRefreshes; };
        Display.OnRefreshRegisterDialog = [this] { ++DialogRefreshes; };
    }
    void Show(bool cpuPage) { Pages.setCurrentWidget(cpuPage ? static_cast<QWidget*>(Page) : CrtPage); }
    // The redraws of the view the page shown calls for, and of the other one.
    int Shown() const { return Pages.currentWidget() == Page ? PageRefreshes : DialogRefreshes; }
    int NotShown() const { return Pages.currentWidget() == Page ? DialogRefreshes : PageRefreshes; }
    // The timer that brings a refresh owed.
    bool RefreshOwed() { return Owner.findChild<QTimer*>()->isActive(); }
    void SetHL(uint8_t h, uint8_t l) {
        Machine.Cpu().SetRegisterH(h);
        Machine.Cpu().SetRegisterL(l);
    }
    std::string HlRow() const { return TerminalRow(*Page->SimpleTerminal2, 7, 1); }
};

const char* ViewName(bool cpuPage) { return cpuPage ? "cpu page shown" : "another page shown"; }

// A step or a load redraws the page at once, shown or not.
TEST(CpuDisplayAlone, UpdateRedrawsThePageFromTheCpuWhateverIsShown) {
    for (const bool cpuPage : {true, false}) {
        SCOPED_TRACE(ViewName(cpuPage));
        TDisplayHarness h(cpuPage);
        h.SetHL(0x12, 0x34);
        h.Display.Update();
        h.Display.Update();
        EXPECT_EQ(h.PageRefreshes, 2);
        EXPECT_EQ(h.HlRow(), "HL : 12 34");
        EXPECT_EQ(h.DialogRefreshes, 0);
        EXPECT_FALSE(h.RefreshOwed());
    }
}

// While running, the view shown redraws at once the first time, then at
// most once an interval; the other view is left alone.
TEST(CpuDisplayAlone, WhileRunningTheViewShownRedrawsAtMostOnceAnInterval) {
    for (const bool cpuPage : {true, false}) {
        SCOPED_TRACE(ViewName(cpuPage));
        TDisplayHarness h(cpuPage);
        const auto start = std::chrono::steady_clock::now();
        h.Display.RefreshWhileRunning();
        EXPECT_EQ(h.Shown(), 1) << "the first refresh comes at once";
        while (std::chrono::steady_clock::now() - start < 3 * TCpuPage::RunRefreshInterval)
            h.Display.RefreshWhileRunning();
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_LE(h.Shown(), elapsed / TCpuPage::RunRefreshInterval + 1);
        EXPECT_EQ(h.NotShown(), 0);
    }
}

// The page and the dialog each keep their own pace: a page just redrawn
// does not hold back the dialog's first refresh.
TEST(CpuDisplayAlone, ThePageAndTheDialogKeepTheirOwnPace) {
    TDisplayHarness h(true);
    h.Display.RefreshWhileRunning();
    h.Show(false);
    h.Display.RefreshWhileRunning();
    EXPECT_EQ(h.PageRefreshes, 1);
    EXPECT_EQ(h.DialogRefreshes, 1);
    EXPECT_FALSE(h.RefreshOwed());
}

// A refresh held back is owed: it comes on its own when due and shows the
// CPU as it is then; after it the timer rests.
TEST(CpuDisplayAlone, ARefreshHeldBackComesOnItsOwn) {
    for (const bool cpuPage : {true, false}) {
        SCOPED_TRACE(ViewName(cpuPage));
        TDisplayHarness h(cpuPage);
        h.Display.RefreshWhileRunning();
        h.SetHL(0xAB, 0xCD);
        h.Display.RefreshWhileRunning();
        ASSERT_TRUE(EventuallyWithEvents([&] { return h.Shown() == 2; }));
        EXPECT_FALSE(h.RefreshOwed());
        EXPECT_EQ(h.NotShown(), 0);
        if (cpuPage) {
            EXPECT_EQ(h.HlRow(), "HL : AB CD");
        }
    }
}

// When the run stops, a refresh owed comes at once and shows where it
// stopped; with none owed nothing redraws. Either way no timer is left.
TEST(CpuDisplayAlone, WhenTheRunStopsTheRefreshOwedComesAtOnce) {
    for (const bool owed : {true, false}) {
        SCOPED_TRACE(owed ? "refresh owed" : "nothing owed");
        TDisplayHarness h(true);
        h.Display.RefreshWhileRunning();
        h.SetHL(0x42, 0x24);
        if (owed) h.Display.RefreshWhileRunning();
        h.Display.RunStopped();
        EXPECT_EQ(h.PageRefreshes, owed ? 2 : 1);
        EXPECT_EQ(h.HlRow() == "HL : 42 24", owed);
        EXPECT_FALSE(h.RefreshOwed());
    }
}

// What a refresh raises from its own timer is reported; nothing leaves the
// timer's slot. (The dialog's refresh is the quick one, so the second call
// surely comes within the interval.)
TEST(CpuDisplayAlone, WhatAnOwedRefreshRaisesIsReported) {
    TDisplayHarness h(false);
    h.Display.RefreshWhileRunning();
    h.Display.OnRefreshRegisterDialog = [] { throw std::runtime_error("The register dialog failed."); };
    h.Display.RefreshWhileRunning();
    ASSERT_TRUE(EventuallyWithEvents([&] { return !h.Prompts.Log.empty(); }));
    EXPECT_EQ(h.Prompts.Texts(), std::vector<std::string>{"The register dialog failed."});
    EXPECT_EQ(h.Prompts.Log[0].Kind, TScriptedUiPrompts::TKind::Error);
    EXPECT_FALSE(h.RefreshOwed());
}

}  // namespace
