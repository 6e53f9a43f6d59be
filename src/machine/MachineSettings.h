#pragma once
// The settings the port map and boot consult, held as plain values. The
// window's controls edit this model; port handlers never read a widget.

#include <cstdint>
#include <string>

// What the reader does at the end of its input file.
enum class TReaderEndOption : uint8_t {
    ReportNothing,      // "Report nothing to read": the file is closed
    ReturnEndOfStream,  // "Return end of stream when read": 1Ah for ever
    Restart,            // "Continue from start of file"
    SwitchConsole,      // "If CON = BAT switch Console to": the file is closed
};

// One serial line's options as its list indexes (-1 = nothing selected).
struct TComLineSettings {
    bool Enabled = false;
    int PortNumber = 1;
    int BaudIndex = -1;
    int FormatIndex = 3;
    bool TwoStopBits = false;
    bool HandShake = true;
};

struct TMachineSettings {
    // Boot images ("Disks" page).
    std::string CpmSourceFile = "cpm22.hex";
    std::string BiosSourceFile = "zubios.hex";

    // Input file panel.
    TReaderEndOption ReaderEnd = TReaderEndOption::ReportNothing;
    int InFileChangeCon = 1;  // console list item to switch to

    // COM lines.
    TComLineSettings Com1{false, 1, -1, 3, false, true};
    TComLineSettings Com2{false, 2, -1, 3, false, true};
    bool UseTCPasCom1 = false;
    std::string Com1TCPPort = "9999";
};
