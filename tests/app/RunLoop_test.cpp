// The run of the CPU as the window drives it: no burst inside a modal box's
// own event loop, nested boxes included, and the run going on once the last
// one closes (real boxes and dialogs, the run driven by the window's own
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

using namespace tavrin::test;

namespace {

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

// A printer that opens a box from inside an instruction on its first byte.
struct TBoxingPrinter : IPrinterDevice {
    std::function<void()> OnFirstWrite;
    bool IsReady() override { return true; }
    void WriteChar(uint8_t) override {
        if (OnFirstWrite) std::exchange(OnFirstWrite, nullptr)();
    }
};

TEST_F(RealBoxesTest, TheRunGoesOnAfterABoxOrDialogCloses) {
    TBoxingPrinter printer;
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
             printer.OnFirstWrite = [&] {
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
