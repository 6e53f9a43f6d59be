// The run of the CPU on a machine of its own, with a bare "Run CPU" action
// and hooks that count: what each kind of burst tells the window, when no
// burst may run, the wait for input and what ends it, and the timer that
// drives the bursts. Then as the window drives it: no burst inside a modal
// box's own event loop, nested boxes included, and the run going on once the
// last one closes (real boxes and dialogs, the run driven by the window's own
// timers); once the run stops, the CPU page and the register dialog are left
// alone.

#include "WindowTestSupport.h"

#include <QDialog>
#include <QTableView>

#include "ui/CpuRegistersDlg.h"
#include "ui/MemoryGridView.h"

#include "support/PaintRecorder.h"
#include "support/QtEventually.h"
#include "support/TerminalText.h"

#include <ostream>
#include <stdexcept>

using namespace tavrin::test;

namespace {

// 8000h: OUT (19h),A; JR 8000h
const std::vector<uint8_t> PrintLoop = {0xD3, 0x19, 0x18, 0xFC};
// 8000h: INC HL; JR 8000h
const std::vector<uint8_t> WorkLoop = {0x23, 0x18, 0xFD};
// 8000h: IN A,(10h); JR 8000h: polls the TTY keyboard
const std::vector<uint8_t> PollLoop = {0xDB, 0x10, 0x18, 0xFC};
// 8000h: NOP; NOP; JR 8000h
const std::vector<uint8_t> NopLoop = {0x00, 0x00, 0x18, 0xFC};

// A run loop on a machine of its own. "Run CPU" is a checkable action wired
// to the loop as the window wires it; the hooks count their calls.
struct TRunHarness {
    struct TCalls {
        int CpuDisplay = 0;
        int RefreshWhileRunning = 0;
        int UpdateAllActions = 0;
        int Close = 0;
        bool operator==(const TCalls&) const = default;
        friend std::ostream& operator<<(std::ostream& out, const TCalls& c) {
            return out << "{display " << c.CpuDisplay << ", refresh " << c.RefreshWhileRunning << ", actions "
                       << c.UpdateAllActions << ", close " << c.Close << "}";
        }
    };

    QApplication& App = QtTestApp();
    TTempFolder Temp;
    TPrinterHook Printer;
    TTavrinMachine Machine{Temp.Folder()};
    TScriptedUiPrompts Prompts;
    QObject Owner;
    QAction RunCpu{"Run CPU"};
    TCalls Calls;
    std::function<void()> OnRefresh;
    TRunLoop Loop{Machine, RunCpu, Prompts, Owner,
                  TRunLoop::THooks{[this] { ++Calls.CpuDisplay; },
                                   [this] {
                                       ++Calls.RefreshWhileRunning;
                                       if (OnRefresh) OnRefresh();
                                   },
                                   [this] { ++Calls.UpdateAllActions; }, [this] { ++Calls.Close; }}};

    TRunHarness() {
        RunCpu.setCheckable(true);
        QObject::connect(&RunCpu, &QAction::toggled, &Owner, [this](bool on) { Loop.SetRunning(on); });
        Machine.SetPrinter(&Printer);
    }
    ~TRunHarness() { Machine.SetPrinter(nullptr); }
    void Start(const std::vector<uint8_t>& program) {
        LoadProgram(Machine, 0x8000, program);
        RunCpu.setChecked(true);
    }
    // The loop's timer: it runs one burst per timeout.
    QTimer& Timer() { return *Owner.findChild<QTimer*>(); }
    bool BurstsComing() { return Timer().isActive(); }
    int64_t Ran() const { return Machine.Cpu().OpcodeCount; }
};

// Each way a burst can end, and what the loop then tells the window.
TEST(RunLoopAlone, EachWayABurstEndsTellsTheWindowWhatItMust) {
    using TCalls = TRunHarness::TCalls;
    const struct {
        const char* Name;
        std::vector<uint8_t> Program;
        std::function<void(TRunHarness&)> Arrange;
        bool RunsOn;
        TCalls Calls;
        std::vector<std::string> Texts;
        TScriptedUiPrompts::TKind Kind = TScriptedUiPrompts::TKind::Message;
    } cases[] = {
        {"the CPU works", WorkLoop, {}, true, {0, 1, 1, 0}, {}},
        // The display is owed whatever a burst did; the actions only after work.
        {"the CPU waits for input", PollLoop, [](TRunHarness& h) { h.Machine.RunBurst(); }, true, {0, 1, 0, 0}, {}},
        {"break point",
         NopLoop,
         [](TRunHarness& h) { h.Machine.SetBreakPoint(0x8001); },
         false,
         {1, 0, 1, 0},
         {"Reached break point at 8001"}},
        {"a device fails",
         PrintLoop,
         [](TRunHarness& h) {
             h.Printer.OnNextWrite = [] { throw std::runtime_error("The printer is out of paper."); };
         },
         false,
         {1, 0, 1, 0},
         {"The printer is out of paper."},
         TScriptedUiPrompts::TKind::Error},
        {"a device fails with no message",
         PrintLoop,
         [](TRunHarness& h) { h.Printer.OnNextWrite = [] { throw 42; }; },
         false,
         {1, 0, 1, 0},
         {"Unknown error in a device."},
         TScriptedUiPrompts::TKind::Error},
        {"the window is asked to close",
         PrintLoop,
         [](TRunHarness& h) { h.Printer.OnNextWrite = [&h] { h.Loop.BeginClosing(); }; },
         false,
         {0, 0, 0, 1},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRunHarness h;
        h.Start(c.Program);
        if (c.Arrange) c.Arrange(h);
        h.Loop.Burst();
        EXPECT_EQ(h.RunCpu.isChecked(), c.RunsOn);
        EXPECT_EQ(h.BurstsComing(), c.RunsOn);
        EXPECT_EQ(h.Calls, c.Calls);
        EXPECT_EQ(h.Prompts.Texts(), c.Texts);
        if (!c.Texts.empty()) {
            EXPECT_EQ(h.Prompts.Log.back().Kind, c.Kind);
        }

        // A stopped run stays stopped, so what stopped it is reported once.
        const int64_t ran = h.Ran();
        h.Loop.Burst();
        EXPECT_EQ(h.Prompts.Texts(), c.Texts);
        EXPECT_EQ(h.Ran() > ran, c.RunsOn);
    }
}

TEST(RunLoopAlone, NoBurstRunsWhileTheRunIsOffTheWindowClosesOrABoxIsOpen) {
    const struct {
        const char* Name;
        std::function<void(TRunHarness&)> Arrange;
    } cases[] = {
        {"run off", [](TRunHarness& h) { h.RunCpu.setChecked(false); }},
        {"window closing", [](TRunHarness& h) { h.Loop.BeginClosing(); }},
        {"a box open", [](TRunHarness& h) { h.Loop.EnterModal(); }},
        {"one of two boxes closed",
         [](TRunHarness& h) {
             h.Loop.EnterModal();
             h.Loop.EnterModal();
             EXPECT_FALSE(h.Loop.LeaveModal());
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRunHarness h;
        h.Start(WorkLoop);
        c.Arrange(h);
        const int64_t ran = h.Ran();
        h.Loop.Burst();
        QApplication::processEvents();
        EXPECT_EQ(h.Ran(), ran);
        EXPECT_FALSE(h.BurstsComing());
        EXPECT_EQ(h.Calls, TRunHarness::TCalls{});
    }
}

TEST(RunLoopAlone, TheLastBoxClosingResumesOnlyARunThatIsOn) {
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on ? "run on" : "run off");
        TRunHarness h;
        h.Start(WorkLoop);
        h.Loop.EnterModal();
        h.RunCpu.setChecked(on);
        EXPECT_FALSE(h.BurstsComing()) << "not while the box is open";
        EXPECT_TRUE(h.Loop.LeaveModal());
        EXPECT_EQ(h.BurstsComing(), on);
    }

    // Once closing, nothing starts the run again.
    TRunHarness h;
    h.Loop.BeginClosing();
    h.Start(WorkLoop);
    EXPECT_FALSE(h.BurstsComing());
    h.Loop.EnterModal();
    h.Loop.LeaveModal();
    EXPECT_FALSE(h.BurstsComing());
}

// A device that re-enters the loop from inside an instruction, as a timer
// would inside the event loop of a box the device opened.
TEST(RunLoopAlone, NoBurstStartsInsideAnother) {
    const struct {
        const char* Name;
        std::function<void(TRunHarness&)> Reenter;
    } cases[] = {
        {"the idle handler again", [](TRunHarness& h) { h.Loop.Burst(); }},
        {"a box that runs the event loop",
         [](TRunHarness& h) {
             h.Loop.EnterModal();
             QApplication::processEvents();
             h.Loop.Burst();
             h.Loop.LeaveModal();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRunHarness h;
        h.Printer.OnNextWrite = [&h, &c] { c.Reenter(h); };
        h.Start(PrintLoop);
        h.Loop.Burst();
        EXPECT_EQ(h.Printer.MaxDepth, 1);
        EXPECT_EQ(h.Ran(), int64_t{TTavrinMachine::BurstLength}) << "one burst";
        EXPECT_EQ(h.Calls.RefreshWhileRunning, 1);
        EXPECT_TRUE(h.RunCpu.isChecked());
        EXPECT_TRUE(h.Prompts.Log.empty());
    }
}

// While the Z80 only polls for input the bursts come IdleWaitMs apart; a
// wake brings them back to back, and only a run that is on.
TEST(RunLoopAlone, WaitingForInputSpacesTheBurstsUntilWoken) {
    TRunHarness h;
    h.Start(PollLoop);
    for (int i = 0; i < 3 && !h.Loop.WaitsForDevice(); ++i) h.Loop.Burst();
    ASSERT_TRUE(h.Loop.WaitsForDevice());
    EXPECT_EQ(h.Timer().interval(), TRunLoop::IdleWaitMs);
    EXPECT_TRUE(h.BurstsComing());

    h.Loop.WakeRun();
    EXPECT_FALSE(h.Loop.WaitsForDevice());
    EXPECT_EQ(h.Timer().interval(), 0);
    EXPECT_TRUE(h.BurstsComing());

    // A burst that works ends the wait as well.
    h.Loop.Burst();
    ASSERT_TRUE(h.Loop.WaitsForDevice());
    LoadProgram(h.Machine, 0x8000, WorkLoop);
    h.Loop.Burst();
    EXPECT_FALSE(h.Loop.WaitsForDevice());

    // A wake while a box is open starts no burst before the box closes.
    LoadProgram(h.Machine, 0x8000, PollLoop);
    for (int i = 0; i < 3 && !h.Loop.WaitsForDevice(); ++i) h.Loop.Burst();
    ASSERT_TRUE(h.Loop.WaitsForDevice());
    h.Loop.EnterModal();
    h.Loop.WakeRun();
    EXPECT_FALSE(h.BurstsComing());
    h.Loop.LeaveModal();
    EXPECT_TRUE(h.BurstsComing());

    // Stopping ends the wait; a wake leaves a stopped run stopped.
    for (int i = 0; i < 3 && !h.Loop.WaitsForDevice(); ++i) h.Loop.Burst();
    ASSERT_TRUE(h.Loop.WaitsForDevice());
    h.RunCpu.setChecked(false);
    EXPECT_FALSE(h.Loop.WaitsForDevice());
    h.Loop.WakeRun();
    EXPECT_FALSE(h.BurstsComing());
}

// A Ready on the wake latch while an idle burst still runs (another thread's
// device, before the run could arm the latch) starts the next burst at once.
TEST(RunLoopAlone, AReadyDuringAnIdleBurstKeepsTheRunFromWaiting) {
    struct TBusyPrinter : IPrinterDevice {
        std::function<void()> OnNextPoll;
        bool IsReady() override {
            if (OnNextPoll) std::exchange(OnNextPoll, nullptr)();
            return false;
        }
        void WriteChar(uint8_t) override {}
    } printer;
    TRunHarness h;
    h.Machine.SetPrinter(&printer);
    // 8000h: IN A,(18h); JR 8000h: polls the printer
    h.Start({0xDB, 0x18, 0x18, 0xFC});
    for (int i = 0; i < 3 && !h.Loop.WaitsForDevice(); ++i) h.Loop.Burst();
    ASSERT_TRUE(h.Loop.WaitsForDevice());
    h.Loop.WakeRun();

    printer.OnNextPoll = [&h] { h.Machine.IdleWake().Ready(); };
    const int64_t from = h.Ran();
    h.Loop.Burst();
    ASSERT_LT(h.Ran() - from, int64_t{TTavrinMachine::BurstLength}) << "the burst ended as idle";
    EXPECT_FALSE(h.Loop.WaitsForDevice());
}

// The timer alone runs the bursts; what a hook raises there is reported and
// the run goes on.
TEST(RunLoopAlone, TheTimerRunsTheBurstsAndReportsWhatAHookRaises) {
    TRunHarness h;
    h.OnRefresh = [thrown = false]() mutable {
        if (!std::exchange(thrown, true)) throw std::runtime_error("The display failed.");
    };
    h.Start(WorkLoop);
    ASSERT_TRUE(EventuallyWithEvents([&] { return h.Ran() > 3 * int64_t{TTavrinMachine::BurstLength}; }));
    EXPECT_EQ(h.Prompts.Texts(), std::vector<std::string>{"The display failed."});
    EXPECT_TRUE(h.RunCpu.isChecked());

    h.RunCpu.setChecked(false);
    EXPECT_FALSE(h.BurstsComing());
}

TEST_F(WindowTest, NoBurstRunsWhileAModalBoxIsOpen) {
    TTavrinMachine& m = W->Machine();
    LoadProgram(m, 0x8000, {0x18, 0xFE});  // JR $
    W->Ui().RunCpuAct->trigger();
    TRunLoop& run = W->RunLoop();
    const auto ran = [&m, start = m.Cpu().OpcodeCount] { return m.Cpu().OpcodeCount - start; };

    run.EnterModal();
    run.EnterModal();
    W->ApplicationEvents1Idle();
    EXPECT_EQ(ran(), 0) << "two boxes open";
    EXPECT_FALSE(run.LeaveModal()) << "one box still open";
    W->ApplicationEvents1Idle();
    EXPECT_EQ(ran(), 0) << "one box open";
    EXPECT_TRUE(run.LeaveModal());
    W->ApplicationEvents1Idle();
    EXPECT_EQ(ran(), TTavrinMachine::BurstLength) << "the run goes on";

    // A box that closes while the run is off leaves it off.
    W->Ui().RunCpuAct->trigger();
    run.EnterModal();
    EXPECT_TRUE(run.LeaveModal());
    W->ApplicationEvents1Idle();
    EXPECT_EQ(ran(), TTavrinMachine::BurstLength);
}

// A window with the Qt boxes and dialogs, run by its own timers alone.
struct RealBoxesTest : ::testing::Test {
    TWindowHarness H;
    TMainHalvoret* W = nullptr;
    void SetUp() override {
        H.Window = std::make_unique<TMainHalvoret>(nullptr);
        W = H.Window.get();
        W->show();
    }
    int64_t Ran() const { return W->Machine().Cpu().OpcodeCount; }
    bool RunsOn() {
        const int64_t from = Ran();
        return EventuallyWithEvents([&] { return Ran() > from + int64_t{TTavrinMachine::BurstLength}; });
    }
};

// Closes every modal box or dialog the moment it is the active one, from
// the box's own event loop; counts them.
class TBoxCloser {
public:
    TBoxCloser() {
        FTimer.setInterval(20);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ++Closed;
                box->reject();
            }
        });
        FTimer.start();
    }
    int Closed = 0;

private:
    QTimer FTimer;
};

TEST_F(RealBoxesTest, TheRunGoesOnAfterABoxOrDialogCloses) {
    TPrinterHook printer;
    W->Machine().SetPrinter(&printer);
    // 7FFEh: NOP; NOP; 8000h: INC HL; OUT (19h),A; JR 8000h
    LoadProgram(W->Machine(), 0x7FFE, {0x00, 0x00, 0x23, 0xD3, 0x19, 0x18, 0xFB});
    {
        // The break-point box stops the run; "Run CPU" goes on from there.
        TBoxCloser closer;
        W->Machine().SetBreakPoint(0x7FFF);
        W->Ui().RunCpuAct->trigger();
        ASSERT_TRUE(EventuallyWithEvents([&] { return closer.Closed == 1 && !W->Ui().RunCpuAct->isChecked(); }));
        W->Ui().RunCpuAct->trigger();
        ASSERT_TRUE(RunsOn());
    }

    const struct {
        const char* Name;
        std::function<void()> Open;
        int Boxes;
    } cases[] = {
        {"message box", [this] { W->Prompts().ShowMessage("a box"); }, 1},
        {"box inside a box",
         [this] {
             QTimer::singleShot(0, W, [this] { W->Prompts().ShowMessage("the inner box"); });
             W->Prompts().MessageDlg("the outer box", TMsgDlgType::Information, mbOK);
         },
         2},
        {"input query", [this] { W->Ui().CpuPage->SetBreakPoint->trigger(); }, 1},
        {"tty display settings dialog", [this] { W->Ui().TTYDisplaySettingsAct->trigger(); }, 1},
        {"key map dialog", [this] { W->Ui().TTYMapKeysAct->trigger(); }, 1},
        {"box opened by a device inside a burst",
         [&] {
             bool shown = false;
             printer.OnNextWrite = [&] {
                 W->Prompts().ShowMessage("from the printer");
                 shown = true;
             };
             EventuallyWithEvents([&] { return shown; });
         },
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TBoxCloser closer;
        bool done = false;
        QTimer::singleShot(0, W, [&] {
            c.Open();
            done = true;
        });
        ASSERT_TRUE(EventuallyWithEvents([&] { return done; }));
        EXPECT_EQ(closer.Closed, c.Boxes);
        EXPECT_TRUE(W->Ui().RunCpuAct->isChecked());
        EXPECT_TRUE(RunsOn()) << "instructions go on counting";
    }
    W->Ui().RunCpuAct->trigger();
    W->Machine().SetPrinter(nullptr);
}

// Once the run has stopped and the page shows where it stopped, neither the
// CPU page nor the register dialog is refreshed or painted again.
TEST_F(RealBoxesTest, TheCpuPageAndRegisterDialogStopRedrawingWithTheRun) {
    for (const bool cpuPageShown : {true, false}) {
        SCOPED_TRACE(cpuPageShown ? "cpu page" : "crt page");
        W->resize(1000, 700);
        W->Ui().PageControl1->setCurrentWidget(cpuPageShown ? static_cast<QWidget*>(W->Ui().CpuPage) : W->Ui().CrtPage);
        W->Ui().CpuPage->ShowCPUWindowAct->trigger();
        int refreshes = 0;
        W->CpuDisplay().OnUpdateCpuDisplay = [&] { ++refreshes; };
        W->CpuDisplay().OnRefreshRegisterDialog = [&] { ++refreshes; };
        TPaintRecorder panel(*W->Ui().CpuPage->SimpleTerminal2->viewport());
        TPaintRecorder grid(*W->Ui().CpuPage->CpuMemoryGrid->viewport());
        TPaintRecorder dialog(*W->Ui().Z80RegistersDlg->DrawGrid1->viewport());
        // 8000h: INC HL; LD (0010h),HL; JR 8000h: registers and memory in view change.
        LoadProgram(W->Machine(), 0x8000, {0x23, 0x22, 0x10, 0x00, 0x18, 0xFA});
        W->Ui().RunCpuAct->trigger();
        ASSERT_TRUE(EventuallyWithEvents([&] { return dialog.Paints > 1 && (!cpuPageShown || grid.Paints > 1); }));
        EXPECT_EQ(panel.Paints > 0, cpuPageShown);

        // The refresh owed when the run stops comes at once and shows where
        // it stopped.
        W->Ui().RunCpuAct->trigger();
        if (cpuPageShown) {
            const TCpuEmu& cpu = W->Machine().Cpu();
            EXPECT_EQ(TerminalRow(*W->Ui().CpuPage->SimpleTerminal2, 7, 1),
                      QString::asprintf("HL : %02X %02X", cpu.RegisterH(), cpu.RegisterL()).toStdString());
        }
        for (int i = 0; i < 3; ++i) QApplication::processEvents();
        refreshes = 0;
        for (TPaintRecorder* r : {&panel, &grid, &dialog}) r->Clear();
        const auto anyRedraw = [&] { return refreshes + panel.Paints + grid.Paints + dialog.Paints > 0; };
        EXPECT_FALSE(QTest::qWaitFor(anyRedraw, 5 * int(TCpuPage::RunRefreshInterval.count())));
        W->CpuDisplay().OnUpdateCpuDisplay = nullptr;
        W->CpuDisplay().OnRefreshRegisterDialog = nullptr;
    }
}

}  // namespace
