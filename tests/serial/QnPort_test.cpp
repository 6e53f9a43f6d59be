// The serial-port component over pseudo-terminals named by its ComNumber,
// the scripted port prompt, user-window notices and the port dialog; and the
// tick timers and message pump it runs on.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <termios.h>

#include "hostserial/HostLineSpeed.h"
#include "serial/QnComNames.h"
#include "serial/QnMessagePump.h"
#include "serial/QnPort.h"
#include "serial/QnSelCom.h"
#include "serial/QnTicks.h"
#include "support/EnvironmentVariable.h"
#include "support/FakeSerialDevice.h"
#include "support/NamedRows.h"
#include "support/Pty.h"
#include "support/QtEventually.h"
#include "support/QtTestApp.h"
#include "support/TempFolder.h"

using namespace tavrin::test;

namespace {

class UserWindow : public QObject {
public:
    std::vector<int> seen;

protected:
    void customEvent(QEvent* event) override { seen.push_back(event->type()); }
};

class Port : public ::testing::Test {
protected:
    void SetUp() override {
        tavrin::test::QtTestApp();
        port.SetTraceFileName(folder.File("QUON.TRC"));
        port.SetLogFileName(folder.File("QUON.LOG"));
    }
    termios Seen() {
        termios t{};
        ::tcgetattr(first.Slave(), &t);
        return t;
    }

    tavrin::test::TTempFolder folder;
    tavrin::test::TPty first, second;
    TQnComPort port;
    // Last, so the names are gone before the port is.
    tavrin::test::TEnvironmentVariable com7{"TAVRIN_COM7", first.SlavePath().c_str()};
    tavrin::test::TEnvironmentVariable com8{"TAVRIN_COM8", second.SlavePath().c_str()};
    tavrin::test::TEnvironmentVariable com9{"TAVRIN_COM9", "/nonexistent/tty"};
};

TEST_F(Port, PropertiesOfAnOpenPortReachTheDevice) {
    port.SetComNumber(7);
    port.SetOpen(true);
    const std::tuple<const char*, std::function<void()>, std::function<bool(const termios&)>> rows[] = {
        {"StopBits", [&] { port.SetStopBits(2); }, [](const termios& t) { return (t.c_cflag & CSTOPB) != 0; }},
        {"HardwareFlow", [&] { port.SetHardwareFlow(QnHwRequireCts); },
         [](const termios& t) { return (t.c_cflag & CRTSCTS) != 0; }},
        {"SoftwareFlow", [&] { port.SetSoftwareFlow(3); },
         [](const termios& t) { return (t.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF); }},
        {"XonChar", [&] { port.SetXonChar(5); }, [](const termios& t) { return t.c_cc[VSTART] == 5; }}};
    for (const auto& [name, change, reached] : rows) {
        EXPECT_FALSE(reached(Seen())) << name;
        change();
        EXPECT_TRUE(reached(Seen())) << name;
    }
}

TEST_F(Port, FlowControlFillsMissingLimitsFromTheBufferSize) {
    port.SetHardwareFlow(QnHwUseDtr | QnHwUseRts);
    EXPECT_EQ(std::tuple(port.Settings().BufferFull, port.Settings().BufferResume), std::tuple(3686, 409));
    TQnComPort soft;
    soft.SetSoftwareFlow(3);
    EXPECT_EQ(std::tuple(soft.Settings().BufferFull, soft.Settings().BufferResume), std::tuple(3072, 1024));
    EXPECT_THROW(soft.SetSoftwareFlow(4), EQnException);
}

// A descriptor lent to the port keeps the line its lender set up: the port
// takes those settings before it opens, and opening leaves the line as it was.
TEST_F(Port, AdoptedDescriptorKeepsTheLendersLine) {
    termios lent = Seen();
    cfsetspeed(&lent, B9600);
    lent.c_cflag |= CSTOPB | CRTSCTS;
    lent.c_iflag |= IXON | IXOFF;
    lent.c_cc[VSTART] = 1;
    lent.c_cc[VSTOP] = 2;
    ASSERT_EQ(::tcsetattr(first.Slave(), TCSANOW, &lent), 0);
    port.SetDispatcherKind(2);
    port.SetAdoptedHandle(static_cast<uint16_t>(first.Slave()));
    port.SetBufferFull(100);
    port.SetBufferResume(50);
    port.SetOpen(true);
    const TQnComPortSettings& s = port.Settings();
    EXPECT_EQ(std::tuple(s.Baud, s.StopBits, s.HardwareFlow, s.SoftwareFlow, s.XonChar, s.XoffChar),
              std::tuple(9600u, 2, uint8_t{QnHwUseRts | QnHwRequireCts}, 3, 1, 2));
    // A lent descriptor has no flow limits: hardware flow's defaults apply.
    EXPECT_EQ(std::tuple(s.BufferFull, s.BufferResume), std::tuple(3686, 409));
    const termios now = Seen();
    EXPECT_EQ(ReadLineSpeed(first.Slave()), 9600u);
    EXPECT_EQ(now.c_cflag & (CSTOPB | CRTSCTS), tcflag_t{CSTOPB | CRTSCTS});
    EXPECT_EQ(now.c_iflag & (IXON | IXOFF), tcflag_t{IXON | IXOFF});
    EXPECT_EQ(std::tuple(now.c_cc[VSTART], now.c_cc[VSTOP]), std::tuple(1, 2));
}

// A dispatcher lent a device that has flow limits.
class LentFakeDispatcher : public TFakeDispatcher {
public:
    LentFakeDispatcher(void* owner, const TQnLineState& lent) : TFakeDispatcher(owner), lent_(lent) {}

protected:
    int32_t ReadLentState(TQnLineState& state) override {
        state = lent_;
        return 0;
    }

private:
    TQnLineState lent_;
};

// Everything read back from an adopted device, the flow limits included,
// reaches the device again unchanged when the port opens.
TEST_F(Port, AdoptedDeviceSettingsAreReadBackBeforeTheOpen) {
    TQnLineState lent{4800, QnFlowOutCts | QnRtsHandshake | QnFlowInX, 500, 1096, 7, 2, 2, 1, 2};
    TFakeDispatcher* fake = nullptr;
    port.SetDispatcherFactory([&](TQnCustomComPort& p) {
        auto made = std::make_unique<LentFakeDispatcher>(&p, lent);
        fake = made.get();
        return made;
    });
    port.SetDispatcherKind(2);
    port.SetOpen(true);
    const TQnComPortSettings& s = port.Settings();
    EXPECT_EQ(std::tuple(s.Baud, s.Parity, s.DataBits, s.StopBits), std::tuple(4800u, 2, 7, 2));
    EXPECT_EQ(std::tuple(s.BufferFull, s.BufferResume), std::tuple(3000, 500));  // 4096 held less 1096 free
    EXPECT_EQ(std::tuple(s.HardwareFlow, s.SoftwareFlow, s.XonChar, s.XoffChar),
              std::tuple(uint8_t{QnHwUseRts | QnHwRequireCts}, 1, 1, 2));
    TQnLineState reached = fake->Device().State();
    reached.Flags &= ~QnDtrControlMask;  // DTR is the port's own
    EXPECT_EQ(reached, lent);
}

// Without a number, opening asks only when allowed; an absent or cancelled
// choice fails and leaves the port closed.
TEST_F(Port, OpenWithoutNumberAsksWhenAllowed) {
    int asked = 0, answer = 0;
    port.SetPortPrompt([&] {
        ++asked;
        return answer;
    });
    for (bool prompt : {false, true}) {
        port.SetPromptForPort(prompt);
        EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
        EXPECT_FALSE(port.Open());
        EXPECT_EQ(asked, prompt ? 1 : 0);
    }
    answer = 8;
    port.SetOpen(true);
    EXPECT_TRUE(port.Open());
    EXPECT_EQ(port.Settings().ComNumber, 8);
}

struct TriggerCase {
    const char* name;
    uint32_t Kind;  // a status trigger kind; 0 for a timer
    uint16_t Value;
    // Causes the armed trigger's condition on the open port's dispatcher.
    std::function<void(TFakeDispatcher&)> Cause;
    std::vector<std::string> Events;
};

class TriggerEvent : public Port, public ::testing::WithParamInterface<TriggerCase> {};

TEST_P(TriggerEvent, ReachesItsEventAfterTheGeneralOnes) {
    std::vector<std::string> seen;
    auto note = [&](const char* name) { return [&seen, name](TQnCustomComPort&, auto...) { seen.push_back(name); }; };
    TQnComPortEvents events;
    events.OnTrigger = note("Trigger");
    events.OnTriggerStatus = note("Status");
    events.OnTriggerTimer = note("Timer");
    events.OnTriggerModemStatus = note("ModemStatus");
    events.OnTriggerLineError = [&](TQnCustomComPort&, int32_t error, bool lineBreak) {
        seen.push_back("LineError " + std::to_string(error) + (lineBreak ? " break" : ""));
    };
    events.OnTriggerOutbuffFree = note("OutbuffFree");
    events.OnTriggerOutbuffUsed = note("OutbuffUsed");
    events.OnTriggerOutSent = note("OutSent");
    port.SetEvents(events);
    TFakeDispatcher* fake = nullptr;
    port.SetDispatcherFactory([&](TQnCustomComPort& p) {
        auto made = std::make_unique<TFakeDispatcher>(&p);
        fake = made.get();
        return made;
    });
    port.SetComNumber(7);
    port.SetOpen(true);
    const TriggerCase& c = GetParam();
    if (c.Kind == 0)
        fake->SetTimerTrigger(static_cast<uint32_t>(fake->AddTimerTrigger()), 1, true);
    else
        fake->SetStatusTrigger(static_cast<uint32_t>(fake->AddStatusTrigger(c.Kind)), c.Value, true);
    c.Cause(*fake);
    ASSERT_TRUE(EventuallyWithEvents([&] { return seen.size() >= c.Events.size(); }));
    EXPECT_EQ(seen, c.Events);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, TriggerEvent,
    ::testing::Values(
        TriggerCase{"Timer", 0, 0, [](TFakeDispatcher&) {}, {"Trigger", "Timer"}},
        TriggerCase{"ModemStatus",
                    QnStatusModem,
                    0x2000,
                    [](TFakeDispatcher& d) { d.Device().SetModemLines(QnLineDsr); },
                    {"Trigger", "Status", "ModemStatus"}},
        TriggerCase{"LineError",
                    QnStatusLineError,
                    QnErrorFraming | QnErrorBreak,
                    [](TFakeDispatcher& d) { d.Device().InjectLineErrors(QnErrorFraming | QnErrorBreak); },
                    {"Trigger", "Status", "LineError 4 break"}},
        TriggerCase{"OutbuffFree", QnStatusOutFree, 100, [](TFakeDispatcher&) {}, {"Trigger", "Status", "OutbuffFree"}},
        TriggerCase{"OutbuffUsed", QnStatusOutUsed, 100, [](TFakeDispatcher&) {}, {"Trigger", "Status", "OutbuffUsed"}},
        TriggerCase{"OutSent",
                    QnStatusOutSent,
                    0,
                    [](TFakeDispatcher& d) { d.PutChar('!'); },
                    {"Trigger", "Status", "OutSent"}}),
    tavrin::test::RowName);

TEST_F(Port, HandlerMayCloseThePortItIsCalledFor) {
    TQnComPortEvents events;
    events.OnTriggerAvail = [](TQnCustomComPort& p, uint32_t) { p.SetOpen(false); };
    port.SetEvents(events);
    port.SetComNumber(7);
    port.SetOpen(true);
    first.Send("bye");
    ASSERT_TRUE(EventuallyWithEvents([&] { return !port.Open(); }));
    EXPECT_EQ(port.PortState(), TQnPortState::Closed);
    port.SetOpen(true);  // and it opens again
    EXPECT_TRUE(port.Open());
}

TEST_F(Port, NewNumberReopensWithTriggersAndTrace) {
    std::vector<uint32_t> data;
    TQnComPortEvents events;
    events.OnTriggerData = [&](TQnCustomComPort&, uint32_t handle) { data.push_back(handle); };
    port.SetEvents(events);
    port.SetComNumber(7);
    port.SetOpen(true);
    port.SetTraceState(QnLogOn);
    const int32_t handle = port.Dispatcher()->AddDataTrigger("GO", true);
    port.PutString("abc");
    ASSERT_EQ(first.Receive(3), "abc");

    port.SetComNumber(8);
    EXPECT_EQ(port.Settings().TraceState, QnLogOn);
    EXPECT_NE(ReadFile(folder.File("QUON.TRC")).find("abc"), std::string::npos);
    second.Send("go");
    ASSERT_TRUE(EventuallyWithEvents([&] { return !data.empty(); }));
    EXPECT_EQ(data[0], static_cast<uint32_t>(handle));

    // A reopen that fails reports it and keeps the triggers for the next open.
    EXPECT_THROW(port.SetComNumber(9), EOpenComm);
    EXPECT_FALSE(port.Open());
    port.SetComNumber(7);
    port.SetOpen(true);
    TQnSavedTriggers now;
    port.Dispatcher()->SaveTriggers(now);
    ASSERT_EQ(now.Data->size(), 1u);
    EXPECT_EQ(now.Data->front().Handle, static_cast<uint32_t>(handle));
    EXPECT_GT(port.Dispatcher()->AddTimerTrigger(), handle);  // new handles never repeat a restored one
    EXPECT_TRUE(port.Dispatcher()->Trace().Tracing());
}

// Writing opens a closed port only with AutoOpen; closing dumps an active
// log and tells the user windows.
TEST_F(Port, AutoOpenAndCloseTellUsersAndDumpTheLog) {
    UserWindow user;
    port.RegisterUserCallback(&user);
    port.SetComNumber(7);
    port.SetLogState(QnLogOn);
    port.SetAutoOpen(false);
    EXPECT_THROW(port.PutChar('x'), ECommNotOpen);
    port.SetAutoOpen(true);
    port.PutString("log me");
    EXPECT_TRUE(port.Open());
    EXPECT_EQ(user.seen, std::vector<int>{QnMsgPortOpened});
    ASSERT_EQ(first.Receive(6), "log me");
    port.SetOpen(false);
    EXPECT_EQ(user.seen, (std::vector<int>{QnMsgPortOpened, QnMsgPortClosing, QnMsgPortClosed}));
    EXPECT_FALSE(ReadFile(folder.File("QUON.LOG")).empty());
    EXPECT_EQ(port.Settings().LogState, QnLogOff);
}

// A user window deleted without deregistering, here one that came along
// with Assign, is skipped when the users are told.
TEST_F(Port, UsersGoneWithoutDeregisteringAreNotTold) {
    UserWindow kept;
    auto gone = std::make_unique<UserWindow>();
    TQnComPort source;
    source.RegisterUserCallback(&kept);
    source.RegisterUserCallback(gone.get());
    port.Assign(source);
    gone.reset();
    port.SetComNumber(7);
    port.SetOpen(true);
    EXPECT_EQ(kept.seen, std::vector<int>{QnMsgPortOpened});
}

TEST_F(Port, DialogListsTheGivenPortsAndReadsTheChoice) {
    TComSelectForm form(nullptr, [] { return std::vector<int>{3, 12}; });
    EXPECT_EQ(form.windowTitle(), "Select Port");
    ASSERT_EQ(form.PortsComboBox->count(), 2);
    EXPECT_EQ(form.PortsComboBox->itemText(1), "COM12");
    EXPECT_EQ(form.SelectedPortNumber(), 3);
    form.PortsComboBox->setCurrentIndex(1);
    EXPECT_EQ(form.SelectedPortNumber(), 12);
    TComSelectForm empty(nullptr, [] { return std::vector<int>{}; });
    EXPECT_EQ(empty.SelectedPortNumber(), 0);
}

TEST_F(Port, AvailablePortsAreRealOrNamedDevicesEvenWhenInUse) {
    // A sysfs tree whose only legacy port has no hardware behind it.
    std::filesystem::create_directories(folder.File("tty/ttyS0/device"));
    std::ofstream(folder.File("tty/ttyS0/type")) << "0\n";
    port.SetComNumber(7);
    port.SetOpen(true);  // held exclusively now
    EXPECT_EQ(AvailablePortNumbers(folder.File("tty")), (std::vector<int>{7, 8}));
}

// A device layer whose device the host refuses with `error`.
class RefusedDispatcher : public TQnBaseDispatcher {
public:
    RefusedDispatcher(void* owner, int error) : TQnBaseDispatcher(owner), error_(error) {}

protected:
    std::unique_ptr<IQnSerialDevice> OpenCom(const std::string&, int32_t& result) override {
        result = -error_;
        return nullptr;
    }

private:
    int error_;
};

// The host's open failures in the component's terms: a device in use or
// refused is already open, a missing one is a bad id, anything else stays
// the host's input/output error.
TEST_F(Port, HostOpenFailuresBecomeTheComponentsErrors) {
    const std::pair<int, int32_t> rows[] = {{EBUSY, EAlreadyOpen().ErrorCode()},
                                            {EACCES, EAlreadyOpen().ErrorCode()},
                                            {ENOENT, EBadId().ErrorCode()},
                                            {ENXIO, EBadId().ErrorCode()},
                                            {ENODEV, EBadId().ErrorCode()},
                                            {ENOTTY, EBadId().ErrorCode()},
                                            {EIO, 0}};
    port.SetComNumber(7);
    for (const auto& [error, code] : rows) {
        SCOPED_TRACE(std::strerror(error));
        port.SetDispatcherFactory(
            [error](TQnCustomComPort& p) { return std::make_unique<RefusedDispatcher>(&p, error); });
        int32_t raised = 0;
        try {
            port.SetOpen(true);
            ADD_FAILURE() << "opened";
        } catch (const EQnException& e) {
            raised = e.ErrorCode();
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.ErrorCode(), error);
        }
        EXPECT_EQ(raised, code);
        EXPECT_FALSE(port.Open());
    }
}

// A kernel attribute that even root may not open for writing stands for a
// device the host refuses: it exists, so it is offered, and opening it is
// refused as a port already in use.
TEST_F(Port, ADeviceRefusedForAccessIsListedAndAlreadyOpen) {
    const char* refused = "/sys/devices/system/cpu/online";
    const int fd = ::open(refused, O_RDWR | O_NOCTTY);
    const int error = fd < 0 ? errno : 0;
    if (fd >= 0) ::close(fd);
    if (error != EACCES) GTEST_SKIP() << "the host refuses no device here";
    ::setenv("TAVRIN_COM9", refused, 1);
    EXPECT_EQ(AvailablePortNumbers(folder.File("tty")), (std::vector<int>{7, 8, 9}));
    port.SetComNumber(9);
    EXPECT_THROW(port.SetOpen(true), EAlreadyOpen);
}

TEST(ProcessOneMessage, DeliversPostedEventsAndReportsAnEmptyQueue) {
    tavrin::test::QtTestApp();
    UserWindow target;
    for (int i = 0; i < 100 && ProcessOneMessage(); ++i) {
    }  // settle what start-up left queued
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    EXPECT_TRUE(ProcessOneMessage());
    EXPECT_EQ(target.seen.size(), 2u);
    EXPECT_FALSE(ProcessOneMessage());
}

// Start, ticks, clock reading, and whether the timer has expired by then.
TEST(TickTimer, ExpiresOnceATickPastTheExpiryBegins) {
    constexpr uint64_t Day50 = 50ull * 24 * 3600 * 1000;  // past where a 32-bit clock wraps
    const std::tuple<const char*, uint64_t, int64_t, uint64_t, bool> rows[] = {
        {"ZeroTicksSameTick", 110, 0, 164, false},
        {"ZeroTicksNextTick", 110, 0, 165, true},
        {"TwoTicksAtExpiryTick", 0, 2, 110, false},
        {"TwoTicksPastExpiry", 0, 2, 165, true},
        {"NegativeTicksCountAsZero", 0, -5, 54, false},
        {"LongTimerCapped", 0, MaxTimerTicks + 100, (MaxTimerTicks + 1) * 55, true},
        {"After50DaysNotYet", Day50, 36, Day50 + 36 * 55, false},
        {"After50DaysExpired", Day50, 36, Day50 + 37 * 55, true},
        {"PastFourGigaMs", (1ull << 32) - 10, 1, (1ull << 32) + 200, true}};
    for (const auto& [name, startMs, ticks, nowMs, expired] : rows) {
        TTickTimer timer;
        StartTickTimerAt(timer, ticks, startMs);
        EXPECT_EQ(TickTimerExpiredAt(timer, nowMs), expired) << name;
    }
}

}  // namespace
