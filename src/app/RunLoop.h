#pragma once
// The run of the CPU while "Run CPU" is checked: one burst per timeout of a
// zero-interval timer, a few milliseconds apart while the Z80 only waits for
// a device that is not ready, never a burst inside another or inside a modal
// box's own event loop. A failing device or the break point stops the run
// and is reported once.

#include <functional>

#include "machine/TavrinMachine.h"
#include "platform/UiPrompts.h"

class QAction;
class QObject;
class QTimer;

class TRunLoop {
public:
    // While the Z80 only polls devices that are not ready, bursts come this
    // far apart instead of back to back; a device that gets ready ends the
    // wait at once. A waiting burst runs about 4,000 instructions, so the Z80
    // polls at about the pace of a real one and costs next to nothing.
    static constexpr int IdleWaitMs = 10;

    // What the window does around a burst.
    struct THooks {
        std::function<void()> UpdateCpuDisplay;
        // After a burst while the run goes on.
        std::function<void()> RefreshWhileRunning;
        std::function<void()> UpdateAllActions;
        // The window was asked to close during the burst.
        std::function<void()> Close;
    };

    // The timer is a child of owner; runCpuAct is "Run CPU". A device that
    // gets ready wakes the run (the machine's OnDeviceReady).
    TRunLoop(TTavrinMachine& machine, QAction& runCpuAct, IUiPrompts& prompts, QObject& owner, THooks hooks);
    ~TRunLoop();
    TRunLoop(const TRunLoop&) = delete;
    TRunLoop& operator=(const TRunLoop&) = delete;

    // "Run CPU" toggled.
    void SetRunning(bool on);
    // One run burst (the idle handler).
    void Burst();
    // Back to bursts one after another (a device got ready, or the Z80 works
    // again).
    void WakeRun();
    // Bursts come IdleWaitMs apart.
    bool WaitsForDevice() const;

    // A modal box or dialog opens or closes: no burst runs while one is open.
    void EnterModal();
    // True when the last one closed (the run has resumed if it is on).
    bool LeaveModal();

    // The window is closing: no run starts again.
    void BeginClosing() { FClosing = true; }
    bool Closing() const { return FClosing; }

private:
    TTavrinMachine& FMachine;
    QAction& FRunCpuAct;
    IUiPrompts& FPrompts;
    THooks FHooks;
    // One burst per timeout; its interval is 0, or IdleWaitMs while the Z80
    // waits for a device.
    QTimer* FIdleTimer = nullptr;
    bool FClosing = false;
    bool FInBurst = false;
    int FModalDepth = 0;
};
