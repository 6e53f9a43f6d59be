#include "app/RunLoop.h"

#include "platform/GuardedCall.h"

#include <QAction>
#include <QTimer>

#include <cstdio>

TRunLoop::TRunLoop(TTavrinMachine& machine, QAction& runCpuAct, IUiPrompts& prompts, QObject& owner, THooks hooks)
    : FMachine(machine), FRunCpuAct(runCpuAct), FPrompts(prompts), FHooks(std::move(hooks)) {
    FIdleTimer = new QTimer(&owner);
    FIdleTimer->setInterval(0);
    // Display hooks run after the burst; nothing they raise may leave the
    // timer's slot.
    QObject::connect(FIdleTimer, &QTimer::timeout, &owner, [this] { RunGuarded(FPrompts, [this] { Burst(); }); });
    FMachine.Events().OnDeviceReady = [this](TTavrinMachine&) { WakeRun(); };
}

TRunLoop::~TRunLoop() {
    FMachine.Events().OnDeviceReady = nullptr;
    FMachine.IdleWake().Disarm();
    FIdleTimer->stop();
}

bool TRunLoop::WaitsForDevice() const { return FIdleTimer->interval() == IdleWaitMs; }

void TRunLoop::SetRunning(bool on) {
    FMachine.IdleWake().Disarm();
    FIdleTimer->setInterval(0);
    if (on && !FClosing)
        FIdleTimer->start();
    else
        FIdleTimer->stop();
}

void TRunLoop::WakeRun() {
    if (!WaitsForDevice()) return;
    FMachine.IdleWake().Disarm();
    // Restarts the timer when it runs; a stopped run stays stopped.
    FIdleTimer->setInterval(0);
}

void TRunLoop::EnterModal() {
    ++FModalDepth;
    FIdleTimer->stop();
}

bool TRunLoop::LeaveModal() {
    if (--FModalDepth > 0) {
        FIdleTimer->stop();
        return false;
    }
    SetRunning(FRunCpuAct.isChecked());
    return true;
}

void TRunLoop::Burst() {
    if (!FRunCpuAct.isChecked() || FClosing) {
        FIdleTimer->stop();
        return;
    }
    // A burst never starts inside another, nor inside a box opened by one.
    if (FInBurst || FModalDepth > 0) return;

    TBurstResult result = TBurstResult::Completed;
    std::string failure;
    FInBurst = true;
    try {
        result = FMachine.RunBurst(TTavrinMachine::BurstLength);
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "Unknown error in a device.";
    }
    FInBurst = false;

    if (!failure.empty()) {
        // A failing device stops the run, so the error is reported once.
        if (FRunCpuAct.isChecked()) FRunCpuAct.trigger();
        FHooks.UpdateCpuDisplay();
        FPrompts.ShowError(failure);
    } else if (result == TBurstResult::BreakPoint) {
        if (FRunCpuAct.isChecked()) FRunCpuAct.trigger();
        FHooks.UpdateCpuDisplay();
        char text[40];
        std::snprintf(text, sizeof text, "Reached break point at %04X", FMachine.BreakPoint());
        FPrompts.ShowMessage(text);
    }

    if (result == TBurstResult::Idle && !WaitsForDevice()) {
        // Waiting costs next to no CPU; whatever makes a device ready ends
        // it at once (the machine's OnDeviceReady, or a Ready on the wake
        // latch from another thread; a failed arming means one came already).
        // The short timer bounds the wait for what tells nobody: a host
        // serial port that can send again, memory edited on the CPU page.
        if (FMachine.IdleWake().Arm()) FIdleTimer->setInterval(IdleWaitMs);
    } else if (result != TBurstResult::Idle) {
        WakeRun();
    }

    if (FRunCpuAct.isChecked() && !FClosing) FHooks.RefreshWhileRunning();
    if (FClosing) {
        if (FRunCpuAct.isChecked()) FRunCpuAct.trigger();
        FHooks.Close();
    } else if (result != TBurstResult::Idle) {
        // A burst that only polled for input changed nothing an action
        // shows; the action pump's own timer still runs.
        FHooks.UpdateAllActions();
    }
}
