// The I/O port map, driven by real IN/OUT instructions through the headless
// machine core.

#include <gtest/gtest.h>

#include "disk/DiskDrive.h"
#include "support/MachineTestSupport.h"
#include "support/WriteProtectedFile.h"

#include <functional>
#include <optional>

using namespace tavrin::test;

namespace {

struct TFakePrinter : IPrinterDevice {
    bool Ready = true;
    bool IsReady() override { return Ready; }
    void WriteChar(uint8_t) override {}
};
struct TFakeSerial : IHostSerialPort {
    bool Open = true;
    bool Writable = true;
    std::string Sent;
    bool IsOpen() override { return Open; }
    bool CanWrite() override { return Writable; }
    void WriteByte(uint8_t b) override { Sent += static_cast<char>(b); }
};
struct TFakeTcp : ISerialLine {
    bool Active = true;
    bool HasData = false;
    bool Full = false;
    bool IsOpen() override { return Active; }
    bool DataAvailable() override { return Active && HasData; }
    bool CanWrite() override { return Active && !Full; }
    std::string Sent;
    bool ReadByte(uint8_t& b) override {
        if (!DataAvailable()) return false;
        b = 't';
        return true;
    }
    void WriteByte(uint8_t b) override { Sent += static_cast<char>(b); }
};

// One byte received on the line's host port.
void Receive(TTavrinMachine& m, int line) {
    const uint8_t b = 1;
    m.ComDataBlock(line, &b, 1);
}

class PortMapTest : public ::testing::Test {
protected:
    TTempFolder Temp;
    TTavrinMachine M{Temp.Folder()};
};

struct TStatusCase {
    const char* Name;
    uint8_t Port;
    std::function<void(TTavrinMachine&)> Arrange;
    uint8_t Expected;
};

TEST_F(PortMapTest, StatusPortsReportWaitingInputAndReadiness) {
    static TFakeSerial openLine, closedLine, busyLine;
    static TFakeTcp tcp, idleTcp;
    static TFakePrinter ready, notReady;
    closedLine.Open = false;
    busyLine.Writable = false;
    idleTcp.Active = false;
    notReady.Ready = false;
    const TStatusCase cases[] = {
        {"tty idle", 0x10, [](TTavrinMachine&) {}, 0x04},
        {"tty key", 0x10, [](TTavrinMachine& m) { m.QueueKeys(TConsoleKeyboard::Tty, "x"); }, 0x06},
        {"crt idle", 0x12, [](TTavrinMachine&) {}, 0x04},
        {"crt key", 0x12, [](TTavrinMachine& m) { m.QueueKeys(TConsoleKeyboard::Crt, "x"); }, 0x06},
        {"com1 absent", 0x14, [](TTavrinMachine& m) { Receive(m, 1); }, 0x00},
        {"com1 closed keeps queue quiet", 0x14,
         [](TTavrinMachine& m) {
             m.SetHostComPorts(&closedLine, nullptr);
             Receive(m, 1);
         },
         0x00},
        {"com1 open data", 0x14,
         [](TTavrinMachine& m) {
             m.SetHostComPorts(&openLine, nullptr);
             Receive(m, 1);
         },
         0x06},
        {"com1 busy data", 0x14,
         [](TTavrinMachine& m) {
             m.SetHostComPorts(&busyLine, nullptr);
             Receive(m, 1);
         },
         0x02},
        {"com1 tcp inactive", 0x14,
         [](TTavrinMachine& m) {
             m.Settings().UseTCPasCom1 = true;
             m.SetTcpCom1(&idleTcp);
         },
         0x00},
        {"com1 tcp data", 0x14,
         [](TTavrinMachine& m) {
             m.Settings().UseTCPasCom1 = true;
             tcp.HasData = true;
             m.SetTcpCom1(&tcp);
         },
         0x06},
        {"com2 open data", 0x16,
         [](TTavrinMachine& m) {
             m.SetHostComPorts(nullptr, &openLine);
             Receive(m, 2);
         },
         0x06},
        {"printer ready", 0x18, [](TTavrinMachine& m) { m.SetPrinter(&ready); }, 0x04},
        {"printer not ready", 0x18, [](TTavrinMachine& m) { m.SetPrinter(&notReady); }, 0x00},
        {"punch closed", 0x1C, [](TTavrinMachine&) {}, 0x00},
        {"sys idle", 0x40, [](TTavrinMachine&) {}, 0x04},
        {"sys reply and changed", 0x40,
         [](TTavrinMachine& m) {
             for (const char* name : {"ONE", "TWO"})
                 TDiskDrive::FormatDiskImage(m.ProgramFolderPath() + name + ".cpmdsk");
             m.MountDrive(1, m.ProgramFolderPath() + "ONE.cpmdsk");
             SendSysCommand(m, "MOUNT B: TWO");
         },
         0x86},
        {"sys last reply byte still waits", 0x40,
         [](TTavrinMachine& m) {
             const size_t length = RunTranscript(m, "MOUNT B").Reply.size();
             SendSysCommand(m, "MOUNT B");
             for (size_t i = 1; i < length; ++i) InPort(m, 0x41);
         },
         0x06},
        {"sys command full", 0x40,
         [](TTavrinMachine& m) {
             for (int i = 0; i < 512; ++i) OutPort(m, 0x41, 'a');
         },
         0x00},
        {"cold boot mapping", 0x48, [](TTavrinMachine& m) { m.Mapping().SetColdBootMapping(0xAB); }, 0xAB},
        {"com2 config", 0x31, [](TTavrinMachine& m) { m.Settings().Com2 = {false, 2, 5, 0, true, false}; }, 0x25},
    };
    for (const TStatusCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTavrinMachine m(Temp.Folder());
        c.Arrange(m);
        EXPECT_EQ(InPort(m, c.Port), c.Expected);
    }
}

// COM1's data port talks to the TCP server while the settings say so and
// to the host port otherwise; a closed or absent line takes nothing and
// gives nothing (the destination register keeps its value).
TEST_F(PortMapTest, Com1DataGoesToTheLineTheSettingsChoose) {
    struct TCase {
        const char* Name;
        bool UseTcp;
        bool HostOpen;
        bool TcpPresent;
        bool TcpActive;
        uint8_t Read;
        const char* HostSent;
        const char* TcpSent;
    };
    const TCase cases[] = {
        {"host port", false, true, true, true, 'h', "o", ""},
        {"host port closed", false, false, true, true, 'h', "", ""},
        {"tcp server", true, true, true, true, 't', "", "o"},
        {"tcp server inactive", true, true, true, false, 0x5A, "", ""},
        {"tcp server absent", true, true, false, false, 0x5A, "", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTavrinMachine m(Temp.Folder());
        TFakeSerial host;
        TFakeTcp tcp;
        host.Open = c.HostOpen;
        tcp.Active = c.TcpActive;
        tcp.HasData = true;
        m.SetHostComPorts(&host, nullptr);
        m.SetTcpCom1(c.TcpPresent ? &tcp : nullptr);
        m.Settings().UseTCPasCom1 = c.UseTcp;
        const uint8_t received = 'h';
        m.ComDataBlock(1, &received, 1);
        EXPECT_EQ(InPort(m, 0x15), c.Read);
        OutPort(m, 0x15, 'o');
        EXPECT_EQ(host.Sent, c.HostSent);
        EXPECT_EQ(tcp.Sent, c.TcpSent);
    }
}

TEST_F(PortMapTest, OutputOnlyAndUnmappedPortsReadFF) {
    for (uint8_t port : {0x19, 0x1D, 0x00, 0x0F, 0x20, 0x32, 0x42, 0x47, 0x49, 0x6F, 0x78, 0xFF}) {
        SCOPED_TRACE(int(port));
        EXPECT_EQ(InPort(M, port, 0x12), 0xFF);
    }
}

// Whether a burst of a loop ends early as idle: only dense status reads that
// find their device not ready, for input or to send, count as waiting.
struct TIdleCase {
    const char* Name;
    std::vector<uint8_t> Loop;  // at 8000h
    std::function<void(TTavrinMachine&)> Arrange;
    TBurstResult Expected;
};

TEST_F(PortMapTest, BurstsOfPollingADeviceThatIsNotReadyEndEarlyAsIdle) {
    static TFakeSerial closedLine, openLine, busyLine;
    static TFakeTcp fullTcp;
    static TFakePrinter notReady, ready;
    closedLine.Open = false;
    busyLine.Writable = false;
    fullTcp.Full = true;
    notReady.Ready = false;
    auto poll = [](uint8_t port) { return std::vector<uint8_t>{0xDB, port, 0x18, 0xFC}; };  // IN A,(p); JR $-2
    auto none = [](TTavrinMachine&) {};
    const TIdleCase cases[] = {
        {"tty without key", poll(0x10), none, TBurstResult::Idle},
        {"crt without key", poll(0x12), none, TBurstResult::Idle},
        {"com1 absent", poll(0x14), none, TBurstResult::Idle},
        {"com1 closed", poll(0x14), [](TTavrinMachine& m) { m.SetHostComPorts(&closedLine, nullptr); },
         TBurstResult::Idle},
        {"com2 open, nothing received", poll(0x16), [](TTavrinMachine& m) { m.SetHostComPorts(nullptr, &openLine); },
         TBurstResult::Idle},
        {"reader without file", poll(0x1A), none, TBurstResult::Idle},
        {"tty with a key waiting", poll(0x10), [](TTavrinMachine& m) { m.QueueKeys(TConsoleKeyboard::Tty, "k"); },
         TBurstResult::Completed},
        {"com2 with data", poll(0x16),
         [](TTavrinMachine& m) {
             m.SetHostComPorts(nullptr, &openLine);
             Receive(m, 2);
         },
         TBurstResult::Completed},
        {"printer absent", poll(0x18), none, TBurstResult::Idle},
        {"printer not ready", poll(0x18), [](TTavrinMachine& m) { m.SetPrinter(&notReady); }, TBurstResult::Idle},
        {"printer ready", poll(0x18), [](TTavrinMachine& m) { m.SetPrinter(&ready); }, TBurstResult::Completed},
        {"punch without file", poll(0x1C), none, TBurstResult::Idle},
        {"punch with file", poll(0x1C), [](TTavrinMachine& m) { m.OpenPunchFile("/dev/null", false); },
         TBurstResult::Completed},
        {"com1 data waiting, cannot send", poll(0x14),
         [](TTavrinMachine& m) {
             m.SetHostComPorts(&busyLine, nullptr);
             Receive(m, 1);
         },
         TBurstResult::Idle},
        {"com1 tcp queue full", poll(0x14),
         [](TTavrinMachine& m) {
             m.Settings().UseTCPasCom1 = true;
             m.SetTcpCom1(&fullTcp);
         },
         TBurstResult::Idle},
        {"system manager status", poll(0x40), none, TBurstResult::Completed},
        {"disk controller status", poll(0x77), none, TBurstResult::Completed},
        {"key data port", poll(0x11), none, TBurstResult::Completed},
        // IN A,(10h); OUT (11h),A; JR back: polls, but prints as well.
        {"poll and print", {0xDB, 0x10, 0xD3, 0x11, 0x18, 0xFA}, none, TBurstResult::Completed},
        // INC HL; JR back: computes without any port.
        {"compute only", {0x23, 0x18, 0xFD}, none, TBurstResult::Completed},
        // LD B,0; DJNZ $; IN A,(10h); JR back: a key check every 259 instructions.
        {"compute with a sparse key check",
         {0x06, 0x00, 0x10, 0xFE, 0xDB, 0x10, 0x18, 0xF8},
         none,
         TBurstResult::Completed},
        {"waiting with the idle wait off", poll(0x10), [](TTavrinMachine& m) { m.SetIdleWait(false); },
         TBurstResult::Completed},
    };
    for (const TIdleCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTavrinMachine m(Temp.Folder());
        c.Arrange(m);
        LoadProgram(m, 0x8000, c.Loop);
        // The first burst waits to the end: the polling has not gone on long
        // enough before it; the next one ends soon after it starts.
        EXPECT_EQ(m.RunBurst(), c.Expected);
        EXPECT_EQ(m.Cpu().OpcodeCount, int64_t{TTavrinMachine::BurstLength});
        EXPECT_EQ(m.RunBurst(), c.Expected);
        const int64_t ran = m.Cpu().OpcodeCount - int64_t{TTavrinMachine::BurstLength};
        if (c.Expected == TBurstResult::Idle)
            EXPECT_LT(ran, int64_t{TTavrinMachine::BurstLength} / 10) << "ends soon after the waiting starts";
        else
            EXPECT_EQ(ran, int64_t{TTavrinMachine::BurstLength});
    }
}

// A waiting run learns of whatever the machine is given that may make a
// device ready.
TEST_F(PortMapTest, WhatMayMakeADeviceReadyIsAnnounced) {
    WriteFile(Temp.File("reader.txt"), "r");
    WriteFile(Temp.File("cpm22.hex"), MakeHex(0xE400, {0x76}));
    WriteFile(Temp.File("zubios.hex"), MakeHex(0xFA00, {0x76}));
    static TFakePrinter printer;
    const auto boot = [](TTavrinMachine& m) {
        m.EnsureDriveAImage();
        m.BootSystem();
    };
    const struct {
        const char* Name;
        std::function<void(TTavrinMachine&)> Give;
        int Expected;
        std::function<void(TTavrinMachine&)> Arrange = nullptr;
    } cases[] = {
        {"tty key", [](TTavrinMachine& m) { m.QueueKeys(TConsoleKeyboard::Tty, "a"); }, 1},
        {"crt keys", [](TTavrinMachine& m) { m.QueueKeys(TConsoleKeyboard::Crt, "ab"); }, 1},
        {"no keys", [](TTavrinMachine& m) { m.QueueKeys(TConsoleKeyboard::Tty, ""); }, 0},
        {"com2 data",
         [](TTavrinMachine& m) {
             const uint8_t b[] = {1, 2};
             m.ComDataBlock(2, b, 2);
         },
         1},
        {"com1 empty block", [](TTavrinMachine& m) { m.ComDataBlock(1, nullptr, 0); }, 0},
        {"reader file", [this](TTavrinMachine& m) { m.OpenReaderFile(Temp.File("reader.txt")); }, 1},
        {"punch file", [this](TTavrinMachine& m) { m.OpenPunchFile(Temp.File("punch.txt"), false); }, 1},
        {"printer", [](TTavrinMachine& m) { m.SetPrinter(&printer); }, 1},
        {"printer taken away", [](TTavrinMachine& m) { m.SetPrinter(nullptr); }, 0},
        {"mapping changed while booted", [](TTavrinMachine& m) { m.Mapping().SetItemIndex(TMappedDevice::Lst, 0); }, 1,
         boot},
        {"mapping changed before boot", [](TTavrinMachine& m) { m.Mapping().SetItemIndex(TMappedDevice::Lst, 0); }, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTavrinMachine m(Temp.Folder());
        if (c.Arrange) c.Arrange(m);
        int told = 0;
        m.Events().OnDeviceReady = [&](TTavrinMachine&) { ++told; };
        c.Give(m);
        EXPECT_EQ(told, c.Expected);
    }
}

// HOME on a mounted drive sets the controller's status to OK and the
// position to track 0, sector 0, whatever failure the command before it
// left in the status.
TEST_F(PortMapTest, HomeOnAMountedDriveClearsAFailedStatus) {
    const struct {
        const char* Name;
        uint8_t Command;  // 2 read, 3 write
        uint16_t Track;
        uint16_t Sector;
        bool WriteProtected;
        uint8_t Failed;  // the status the command leaves
    } cases[] = {
        {"read past the last sector", 2, 0, 40, false, 2},
        {"read past the last track", 2, 256, 0, false, 2},
        {"write past the last track", 3, 300, 0, false, 2},
        {"write to a write-protected disk", 3, 5, 3, true, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTavrinMachine m(Temp.Folder());
        const std::string image = Temp.File("home.cpmdsk");
        TDiskDrive::FormatDiskImage(image);
        std::optional<TWriteProtectedFile> protect;
        if (c.WriteProtected) protect.emplace(image);
        m.MountDrive(1, image);
        const uint8_t registers[] = {
            1, uint8_t(c.Sector), uint8_t(c.Sector >> 8), uint8_t(c.Track), uint8_t(c.Track >> 8), 0x00, 0x20};
        for (uint8_t r = 0; r < 7; ++r) OutPort(m, uint8_t(0x71 + r), registers[r]);
        OutPort(m, 0x70, c.Command);
        ASSERT_EQ(InPort(m, 0x70), c.Failed);

        OutPort(m, 0x70, 1);
        EXPECT_EQ(InPort(m, 0x70), TDiskController::StatusOk);
        for (uint8_t port : {0x72, 0x73, 0x74, 0x75}) EXPECT_EQ(InPort(m, port), 0) << int(port);
        m.UnmountDrive(1);
    }
}

// A sector write takes its 128 bytes from the DMA address on, going on at
// 0000h past FFFFh.
TEST_F(PortMapTest, ASectorWriteFromTheTopOfMemoryWrapsToZero) {
    const std::string image = Temp.File("top.cpmdsk");
    TDiskDrive::FormatDiskImage(image);
    M.MountDrive(1, image);
    std::string sector;
    for (int i = 0; i < 128; ++i) {
        sector += static_cast<char>(i + 1);
        M.Cpu().WriteMemoryByte(uint16_t(0xFFC0 + i), uint8_t(i + 1));
    }
    // Drive B, track 2, sector 0, DMA address FFC0h.
    const uint8_t registers[] = {1, 0, 0, 2, 0, 0xC0, 0xFF};
    for (uint8_t r = 0; r < 7; ++r) OutPort(M, uint8_t(0x71 + r), registers[r]);
    OutPort(M, 0x70, 3);
    ASSERT_EQ(InPort(M, 0x70), TDiskController::StatusOk);
    M.UnmountDrive(1);
    EXPECT_EQ(ReadFile(image).substr(2 * 32 * 128, 128), sector);
}

struct TReaderCase {
    const char* Name;
    TReaderEndOption Option;
    std::string Expected;  // bytes read by 8 reads, '.' = register untouched
    uint8_t StatusAfter;
};

TEST_F(PortMapTest, ReaderEndOfStreamBehaviours) {
    const TReaderCase cases[] = {
        {"report nothing", TReaderEndOption::ReportNothing, "abc.....", 0x00},
        {"end of stream", TReaderEndOption::ReturnEndOfStream, "abc\x1A\x1A\x1A\x1A\x1A", 0x02},
        {"restart", TReaderEndOption::Restart, "abcabcab", 0x02},
        {"switch console", TReaderEndOption::SwitchConsole, "abc.....", 0x00},
    };
    std::string file = Temp.File("in.txt");
    WriteFile(file, "abc");
    WriteFile(Temp.File("cpm22.hex"), MakeHex(0xE400, {0x76}));
    WriteFile(Temp.File("zubios.hex"), MakeHex(0xFA00, {0x76}));
    for (const TReaderCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTavrinMachine m(Temp.Folder());
        m.Settings().ReaderEnd = c.Option;
        m.Settings().InFileChangeCon = 3;
        m.EnsureDriveAImage();
        m.BootSystem();
        m.Cpu().WriteMemoryByte(3, 0x55);
        int closed = 0;
        m.Events().OnReaderClosed = [&](TTavrinMachine&) { ++closed; };
        m.OpenReaderFile(file);
        EXPECT_EQ(InPort(m, 0x1A), 0x02);
        std::string got;
        for (int i = 0; i < 8; ++i) got += static_cast<char>(InPort(m, 0x1B, '.'));
        EXPECT_EQ(got, c.Expected);
        EXPECT_EQ(InPort(m, 0x1A), c.StatusAfter);
        const bool closes = c.StatusAfter == 0;
        EXPECT_EQ(m.ReaderOpen(), !closes);
        EXPECT_EQ(closed, closes ? 1 : 0);
        const bool switched = c.Option == TReaderEndOption::SwitchConsole;
        EXPECT_EQ(m.Mapping().ItemIndex(TMappedDevice::Con), switched ? 3 : 1);
        EXPECT_EQ(m.Cpu().ReadMemoryByte(3), switched ? 0x03 : 0x55) << "IOBYTE follows while booted (CON=UC1)";
    }
}

// Appending and truncating are shown through the main window's output file panel.
TEST_F(PortMapTest, PunchWritesBytesAndClosesOnAShortWrite) {
    std::string file = Temp.File("out.txt");
    int closed = 0;
    M.Events().OnPunchClosed = [&](TTavrinMachine&) { ++closed; };
    M.OpenPunchFile(file, false);
    EXPECT_EQ(InPort(M, 0x1C), 0x04);
    OutPort(M, 0x1D, 'x');
    EXPECT_EQ(ReadFile(file), "x");
    M.OpenPunchFile("/dev/null", false);  // a device has nothing to empty
    OutPort(M, 0x1D, 'y');
    EXPECT_TRUE(M.PunchOpen());

    M.OpenPunchFile("/dev/full", false);
    OutPort(M, 0x1D, 'q');
    EXPECT_FALSE(M.PunchOpen());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(InPort(M, 0x1C), 0x00);
    OutPort(M, 0x1D, 'r');  // closed: dropped
    EXPECT_EQ(closed, 1);
}

}  // namespace
