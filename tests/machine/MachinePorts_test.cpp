// The I/O port map, driven by real IN/OUT instructions through the headless
// machine core.

#include <gtest/gtest.h>

#include "disk/DiskDrive.h"
#include "support/MachineTestSupport.h"

#include <ctime>
#include <functional>
#include <sys/stat.h>

using namespace tavrin::test;

namespace {

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

TEST_F(PortMapTest, StatusPortsReportWaitingInputAndReadiness)
{
    static TFakeSerial openLine, closedLine, busyLine;
    static TFakeTcp tcp, idleTcp;
    static TFakePrinter ready, notReady;
    closedLine.Open = false;
    busyLine.Writable = false;
    idleTcp.Active = false;
    notReady.Ready = false;
    const TStatusCase cases[] = {
        {"tty idle", 0x10, [](TTavrinMachine&) {}, 0x04},
        {"tty key", 0x10, [](TTavrinMachine& m) { m.FTtyKeyQueue.PutByte('x'); }, 0x06},
        {"crt idle", 0x12, [](TTavrinMachine&) {}, 0x04},
        {"crt key", 0x12, [](TTavrinMachine& m) { m.FCrtKeyQueue.PutByte('x'); }, 0x06},
        {"com1 absent", 0x14, [](TTavrinMachine& m) { m.FCom1RxQueue.PutByte(1); }, 0x00},
        {"com1 closed keeps queue quiet", 0x14,
         [](TTavrinMachine& m) { m.ComRx1 = &closedLine; m.FCom1RxQueue.PutByte(1); }, 0x00},
        {"com1 open idle", 0x14, [](TTavrinMachine& m) { m.ComRx1 = &openLine; }, 0x04},
        {"com1 open data", 0x14,
         [](TTavrinMachine& m) { m.ComRx1 = &openLine; m.FCom1RxQueue.PutByte(1); }, 0x06},
        {"com1 busy data", 0x14,
         [](TTavrinMachine& m) { m.ComRx1 = &busyLine; m.FCom1RxQueue.PutByte(1); }, 0x02},
        {"com1 tcp absent", 0x14, [](TTavrinMachine& m) { m.Settings.UseTCPasCom1 = true; m.ComRx1 = &openLine; }, 0x00},
        {"com1 tcp inactive", 0x14,
         [](TTavrinMachine& m) { m.Settings.UseTCPasCom1 = true; m.TcpPortModule = &idleTcp; }, 0x00},
        {"com1 tcp data", 0x14,
         [](TTavrinMachine& m) {
             m.Settings.UseTCPasCom1 = true;
             tcp.Incoming.assign(1, 'a');
             m.TcpPortModule = &tcp;
         }, 0x06},
        {"com2 closed", 0x16, [](TTavrinMachine& m) { m.FCom2RxQueue.PutByte(1); }, 0x00},
        {"com2 open data", 0x16,
         [](TTavrinMachine& m) { m.ComRx2 = &openLine; m.FCom2RxQueue.PutByte(1); }, 0x06},
        {"printer absent", 0x18, [](TTavrinMachine&) {}, 0x00},
        {"printer ready", 0x18, [](TTavrinMachine& m) { m.Printer = &ready; }, 0x04},
        {"printer not ready", 0x18, [](TTavrinMachine& m) { m.Printer = &notReady; }, 0x00},
        {"reader absent", 0x1A, [](TTavrinMachine&) {}, 0x00},
        {"punch closed", 0x1C, [](TTavrinMachine&) {}, 0x00},
        {"sys idle", 0x40, [](TTavrinMachine&) {}, 0x04},
        {"sys reply and changed", 0x40,
         [](TTavrinMachine& m) { m.FSysChannel.FSysReplyQueue.PutByte('a'); m.FSysChannel.FSysDiskChanged = true; }, 0x86},
        {"sys command full", 0x40,
         [](TTavrinMachine& m) { for (int i = 0; i < 512; ++i) m.FSysChannel.FSysCommandQueue.PutByte('a'); }, 0x00},
        {"cold boot mapping first run", 0x48, [](TTavrinMachine&) {}, 0x01},
        {"cold boot mapping", 0x48, [](TTavrinMachine& m) { m.FMapping.FColdBootMapping = 0xAB; }, 0xAB},
        {"com1 config first run", 0x30, [](TTavrinMachine&) {}, 0x5F},
        {"com2 config", 0x31,
         [](TTavrinMachine& m) { m.Settings.Com2 = {false, 2, 5, 0, true, false}; }, 0x25},
    };
    for (const TStatusCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTavrinMachine m(Temp.Folder());
        c.Arrange(m);
        EXPECT_EQ(InPort(m, c.Port), c.Expected);
    }
}

TEST_F(PortMapTest, OutputOnlyAndUnmappedPortsReadFF)
{
    for (uint8_t port : {0x19, 0x1D, 0x00, 0x0F, 0x20, 0x32, 0x42, 0x47, 0x49, 0x6F, 0x78, 0xFF}) {
        SCOPED_TRACE(port);
        EXPECT_EQ(InPort(M, port, 0x12), 0xFF);
    }
}

TEST_F(PortMapTest, KeyboardDataPortsRepeatTheLastKey)
{
    struct TCase {
        uint8_t Port;
        TByteFIFO TTavrinMachine::*Queue;
    };
    for (TCase c : {TCase{0x11, &TTavrinMachine::FTtyKeyQueue}, TCase{0x13, &TTavrinMachine::FCrtKeyQueue}}) {
        SCOPED_TRACE(c.Port);
        TTavrinMachine m(Temp.Folder());
        EXPECT_EQ(InPort(m, c.Port, 0x77), 0x00) << "no key typed yet";
        (m.*c.Queue).PutByte('x');
        EXPECT_EQ(InPort(m, c.Port), 'x');
        EXPECT_EQ(InPort(m, c.Port), 'x') << "empty queue repeats the last key";
        (m.*c.Queue).PutByte('y');
        (m.*c.Queue).PutByte('z');
        EXPECT_EQ(InPort(m, c.Port), 'y');
        EXPECT_EQ(InPort(m, c.Port), 'z');
        EXPECT_EQ(InPort(m, c.Port), 'z');
    }
}

TEST_F(PortMapTest, SerialDataPortsLeaveTheRegisterWhenEmpty)
{
    TFakeTcp tcp;
    EXPECT_EQ(InPort(M, 0x15, 0x33), 0x33);
    EXPECT_EQ(InPort(M, 0x17, 0x34), 0x34);
    M.FCom1RxQueue.PutByte('a');
    M.FCom2RxQueue.PutByte('b');
    EXPECT_EQ(InPort(M, 0x15), 'a') << "a closed line still hands out queued bytes";
    EXPECT_EQ(InPort(M, 0x17), 'b');
    M.Settings.UseTCPasCom1 = true;
    M.FCom1RxQueue.PutByte('q');
    EXPECT_EQ(InPort(M, 0x15, 0x35), 0x35) << "no server: untouched, queue not used";
    M.TcpPortModule = &tcp;
    tcp.Incoming.assign(1, 't');
    EXPECT_EQ(InPort(M, 0x15), 't');
    EXPECT_EQ(InPort(M, 0x15, 0x36), 0x36);
}

TEST_F(PortMapTest, OutputPortsReachTheirDevicesOrAreDropped)
{
    // Absent devices: nothing happens, nothing crashes.
    for (uint8_t port : {0x11, 0x13, 0x15, 0x17, 0x19, 0x1D, 0x10, 0x12, 0x14, 0x16, 0x18, 0x1A, 0x1B, 0x1C, 0x99})
        OutPort(M, port, 'a');

    TRecordingTty tty;
    TRecordingCrt crt;
    TFakePrinter printer;
    TFakeSerial com1, com2;
    TFakeTcp tcp;
    M.TtyConsole = &tty;
    M.CrtConsole = &crt;
    M.Printer = &printer;
    M.ComRx1 = &com1;
    M.ComRx2 = &com2;
    M.TcpPortModule = &tcp;
    OutPort(M, 0x11, 't');
    OutPort(M, 0x13, 'c');
    OutPort(M, 0x19, 'p');
    OutPort(M, 0x15, '1');
    OutPort(M, 0x17, '2');
    M.Settings.UseTCPasCom1 = true;
    OutPort(M, 0x15, 'n');
    com2.Open = false;
    OutPort(M, 0x17, 'x');
    EXPECT_EQ(tty.Bytes, "t");
    EXPECT_EQ(crt.Bytes, "c");
    EXPECT_EQ(printer.Bytes, "p");
    EXPECT_EQ(com1.Written, "1");
    EXPECT_EQ(com2.Written, "2");
    EXPECT_EQ(tcp.Written, "n");
}

TEST_F(PortMapTest, OnlyTheLowByteOfThePortCounts)
{
    M.FDiskController->Registers[0] = 0x42;
    M.FDiskController->Registers[1] = 0x03;
    // LD BC,1270h; IN D,(C); LD BC,FF71h; IN E,(C)
    LoadProgram(M, 0x8000, {0x01, 0x70, 0x12, 0xED, 0x50, 0x01, 0x71, 0xFF, 0xED, 0x58});
    Step(M, 4);
    EXPECT_EQ(M.CpuEmu1.RegisterD(), 0x42);
    EXPECT_EQ(M.CpuEmu1.RegisterE(), 0x03);
    M.FTtyKeyQueue.PutByte('k');
    // LD A,99h; IN A,(10h): the high byte (A) must not disturb decoding.
    EXPECT_EQ(InPort(M, 0x10, 0x99), 0x06);
}

TEST_F(PortMapTest, ComConfigurationBytesRoundTripAndApply)
{
    std::vector<int> applied;
    M.OnApplyComSettings = [&](TTavrinMachine&, int line) { applied.push_back(line); };
    OutPort(M, 0x30, 0x45);
    EXPECT_EQ(M.Settings.Com1.BaudIndex, 5);
    EXPECT_EQ(M.Settings.Com1.FormatIndex, 0);
    EXPECT_FALSE(M.Settings.Com1.TwoStopBits);
    EXPECT_TRUE(M.Settings.Com1.HandShake);
    EXPECT_EQ(InPort(M, 0x30), 0x45);
    OutPort(M, 0x31, 0xBF);  // bit 7 ignored
    EXPECT_EQ(InPort(M, 0x31), 0x3F);
    EXPECT_EQ(InPort(M, 0x30), 0x45) << "COM2 changes leave COM1 alone";
    EXPECT_EQ(applied, (std::vector<int>{1, 2}));
}

TEST_F(PortMapTest, SystemManagerChannel)
{
    std::tm fixed{};
    fixed.tm_year = 2026 - 1900;
    fixed.tm_mon = 11;
    fixed.tm_mday = 6;
    fixed.tm_wday = 0;
    M.FSysChannel.SetTimeLocale("C");
    M.FSysChannel.Clock = [fixed] { return fixed; };
    auto readReply = [this] {
        std::string reply;
        for (uint8_t b; (b = InPort(M, 0x41)) != 0x1A;)
            reply += static_cast<char>(b);
        return reply;
    };

    EXPECT_EQ(InPort(M, 0x41, 0), 0x1A) << "nothing queued";
    OutPort(M, 0x41, 'X');
    OutPort(M, 0x40, 0);  // empties the command queue
    for (char c : std::string("  date x \t"))
        OutPort(M, 0x41, static_cast<uint8_t>(c));
    M.FSysChannel.FSysDiskChanged = true;
    OutPort(M, 0x40, 2);  // ignored
    EXPECT_EQ(InPort(M, 0x40), 0x84) << "no reply yet, flag still set";
    OutPort(M, 0x40, 1);
    EXPECT_EQ(InPort(M, 0x40), 0x06) << "reply waiting, disk-changed cleared";
    EXPECT_EQ(readReply(), "\r\nSunday December 06, 2026\r\n") << "trimmed, word upper-cased";
    EXPECT_EQ(InPort(M, 0x41), 0x1A);
    EXPECT_EQ(InPort(M, 0x40), 0x04);
}

TEST_F(PortMapTest, DiskControllerMovesSectorsThroughCpuMemory)
{
    std::string image = Temp.File("d.cpmdsk");
    TDiskDrive::FormatDiskImage(image);
    M.MountDrive(1, image);
    std::vector<int> lampEvents;
    M.OnLampChanged = [&](TTavrinMachine&, uint8_t d) { lampEvents.push_back(d); };

    for (int i = 0; i < 128; ++i)
        M.CpuEmu1.WriteMemoryByte(static_cast<uint16_t>(0x9000 + i), static_cast<uint8_t>(i * 3));
    auto program = [&](uint8_t track, uint8_t sector, uint16_t dma, uint8_t command) {
        std::vector<uint8_t> code;
        auto out = [&](uint8_t port, uint8_t value) {
            code.insert(code.end(), {0x3E, value, 0xD3, port});
        };
        out(0x71, 1);
        out(0x72, sector);
        out(0x73, 0);
        out(0x74, track);
        out(0x75, 0);
        out(0x76, static_cast<uint8_t>(dma));
        out(0x77, static_cast<uint8_t>(dma >> 8));
        out(0x70, command);
        code.insert(code.end(), {0xDB, 0x70});
        LoadProgram(M, 0x8000, code);
        Step(M, 17);
        return M.CpuEmu1.RegisterA();
    };
    EXPECT_EQ(program(5, 7, 0x9000, 3), 0) << "write";
    EXPECT_EQ(M.Lamp(1).LitColor, LampWriteColor);
    EXPECT_TRUE(M.Lamp(1).Lit);
    EXPECT_EQ(program(5, 7, 0xA000, 2), 0) << "read";
    EXPECT_EQ(M.Lamp(1).LitColor, LampReadColor);
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ(M.CpuEmu1.ReadMemoryByte(static_cast<uint16_t>(0xA000 + i)), static_cast<uint8_t>(i * 3)) << i;
    EXPECT_EQ(program(5, 40, 0xA000, 2), 2) << "bad sector";
    EXPECT_EQ(program(0, 0, 0xA000, 0), 0) << "reset";
    EXPECT_FALSE(M.Lamp(1).Lit);
    EXPECT_EQ(M.Lamp(1).NotLitColor, LampMountedColor);
    EXPECT_EQ(lampEvents, (std::vector<int>{1, 1, 1}));
}

struct TReaderCase {
    const char* Name;
    TReaderEndOption Option;
    std::string Expected;  // bytes read by 8 reads, '.' = register untouched
    uint8_t StatusAfter;
};

TEST_F(PortMapTest, ReaderEndOfStreamBehaviours)
{
    const TReaderCase cases[] = {
        {"report nothing", TReaderEndOption::ReportNothing, "abc.....", 0x00},
        {"end of stream", TReaderEndOption::ReturnEndOfStream, "abc\x1A\x1A\x1A\x1A\x1A", 0x02},
        {"restart", TReaderEndOption::Restart, "abcabcab", 0x02},
        {"switch console", TReaderEndOption::SwitchConsole, "abc.....", 0x00},
    };
    std::string file = Temp.File("in.txt");
    WriteFile(file, "abc");
    for (const TReaderCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTavrinMachine m(Temp.Folder());
        m.Settings.ReaderEnd = c.Option;
        m.Settings.InFileChangeCon = 3;
        m.FMapping.FBooted = true;
        m.CpuEmu1.WriteMemoryByte(3, 0x55);
        int closed = 0;
        m.OnReaderClosed = [&](TTavrinMachine&) { ++closed; };
        m.OpenReaderFile(file);
        EXPECT_EQ(InPort(m, 0x1A), 0x02);
        std::string got;
        for (int i = 0; i < 8; ++i) {
            uint8_t b = InPort(m, 0x1B, '.');
            got += static_cast<char>(b);
        }
        EXPECT_EQ(got, c.Expected);
        EXPECT_EQ(InPort(m, 0x1A), c.StatusAfter);
        bool closes = c.Option == TReaderEndOption::ReportNothing || c.Option == TReaderEndOption::SwitchConsole;
        EXPECT_EQ(m.ReaderOpen(), !closes);
        EXPECT_EQ(closed, closes ? 1 : 0);
        if (c.Option == TReaderEndOption::SwitchConsole) {
            EXPECT_EQ(m.FMapping.ItemIndex(TMappedDevice::Con), 3);
            EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(3), 0x03) << "IOBYTE follows while booted (CON=UC1, others TTY)";
        } else {
            EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(3), 0x55);
        }
    }
}

TEST_F(PortMapTest, ReaderRestartOnEmptyFileHasNothingToGive)
{
    std::string file = Temp.File("empty.txt");
    WriteFile(file, "");
    M.Settings.ReaderEnd = TReaderEndOption::Restart;
    M.OpenReaderFile(file);
    EXPECT_EQ(InPort(M, 0x1A), 0x00);
    EXPECT_EQ(InPort(M, 0x1B, 0x21), 0x21);
    EXPECT_TRUE(M.ReaderOpen());
}

TEST_F(PortMapTest, ReaderReadsLongFilesInBlocks)
{
    std::string data;
    for (int i = 0; i < 1300; ++i)
        data += static_cast<char>('A' + i % 26);
    std::string file = Temp.File("long.txt");
    WriteFile(file, data);
    M.OpenReaderFile(file);
    std::string got;
    for (size_t i = 0; i < data.size(); ++i)
        got += static_cast<char>(InPort(M, 0x1B));
    EXPECT_EQ(got, data);
    EXPECT_EQ(InPort(M, 0x1A), 0x00);
}

TEST_F(PortMapTest, PunchWritesBytesAndClosesOnAShortWrite)
{
    std::string file = Temp.File("out.txt");
    WriteFile(file, "old");
    int closed = 0;
    M.OnPunchClosed = [&](TTavrinMachine&) { ++closed; };
    M.OpenPunchFile(file, true);
    EXPECT_EQ(InPort(M, 0x1C), 0x04);
    OutPort(M, 0x1D, 'x');
    OutPort(M, 0x1D, 'y');
    EXPECT_EQ(ReadFile(file), "oldxy");
    M.OpenPunchFile(file, false);
    OutPort(M, 0x1D, 'z');
    EXPECT_EQ(ReadFile(file), "z");
    EXPECT_EQ(closed, 0);

    M.OpenPunchFile("/dev/full", false);
    OutPort(M, 0x1D, 'q');
    EXPECT_FALSE(M.PunchOpen());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(InPort(M, 0x1C), 0x00);
    OutPort(M, 0x1D, 'r');  // closed: dropped
    EXPECT_EQ(closed, 1);
}

TEST_F(PortMapTest, ReaderAndPunchOnAFifoNeverBlock)
{
    // No process at the other end: the open and every port access return.
    std::string fifo = Temp.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    M.OpenReaderFile(fifo);
    EXPECT_EQ(InPort(M, 0x1A), 0x00);
    EXPECT_EQ(InPort(M, 0x1B, 0x5A), 0x5A);
    EXPECT_FALSE(M.ReaderOpen()) << "nothing to read counts as the end of the file";
    EXPECT_THROW(M.OpenPunchFile(fifo, false), std::runtime_error);
    EXPECT_FALSE(M.PunchOpen());
}

TEST_F(PortMapTest, ComDataBlocksQueueAndDropAfterBreak)
{
    const uint8_t block[] = {'a', 'b'};
    M.FCom2DropNextBlock = true;
    M.ComDataBlock(2, block, 2);
    EXPECT_EQ(M.FCom2RxQueue.Count(), 0);
    EXPECT_FALSE(M.FCom2DropNextBlock);
    M.ComDataBlock(2, block, 2);
    EXPECT_EQ(M.FCom2RxQueue.Count(), 2);
    std::vector<uint8_t> big(600, 'z');
    M.ComDataBlock(1, big.data(), big.size());
    EXPECT_EQ(M.FCom1RxQueue.Count(), 512);
}

} // namespace
