// The channel's ports, the command dispatch and the PRINT command.

#include "machine/SysCommandChannel.h"

#include "machine/MachinePortNumbers.h"

#include <exception>

namespace {

const char* const HelpLines[] = {
    "",
    "System manager for TAVRIN CPM emulator:",
    "",
    "  \"SYS MOUNT d: disk_name\" -- insert a disk into any drive.",
    "  \"SYS MOUNT search_name\" -- list matching unmounted disks.",
    "  \"SYS UNMOUNT d:\" -- remove a disk from any drive.",
    "  \"SYS TIME\" -- display time of day.",
    "  \"SYS DATE\" -- display current date.",
    "  \"SYS NOW\" -- display current date and time.",
    "  \"SYS PRINT\" -- display printer status.",
    "  \"SYS PRINT EJECT\" -- print spooled page(s).",
    "  \"SYS PRINT ABORT\" -- abort spooled page(s).",
    "",
};

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::tm LocalNow() {
    std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return t;
}

}  // namespace

std::string SysTrim(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    return text.substr(first, last - first);
}

TSysCommandChannel::TSysCommandChannel(ISysHost& host)
    : Clock(LocalNow), FHost(host), FTimeFormat(std::make_unique<TSysTimeFormat>("")) {}

void TSysCommandChannel::SetTimeLocale(const std::string& localeName) {
    FTimeFormat = std::make_unique<TSysTimeFormat>(localeName);
    FTimeLocale = localeName;
}

std::tm TSysCommandChannel::Now() const { return Clock ? Clock() : LocalNow(); }

// --- ports ------------------------------------------------------------------

uint8_t TSysCommandChannel::StatusPortRead() const {
    uint8_t status = 0;
    if (FSysReplyQueue.Count() > 0) status |= StatusInputReady;
    if (FSysCommandQueue.Count() < FSysCommandQueue.Capacity()) status |= StatusOutputReady;
    if (FSysDiskChanged) status |= 0x80;
    return status;
}

uint8_t TSysCommandChannel::ReplyPortRead() {
    uint8_t value = EndOfReply;
    FSysReplyQueue.GetByte(value);
    return value;
}

void TSysCommandChannel::ControlPortWrite(uint8_t value) {
    if (value == 0) {
        FSysDiskChanged = false;
        FSysCommandQueue.Clear();
    } else if (value == 1) {
        FSysDiskChanged = false;
        FSysReplyQueue.Clear();
        ExecuteSysCommand();
    }
}

void TSysCommandChannel::CommandPortWrite(uint8_t value) { FSysCommandQueue.PutByte(value); }

// --- commands ---------------------------------------------------------------

void TSysCommandChannel::ExecuteSysCommand() {
    FSysDiskChanged = false;
    FSysReplyQueue.Clear();
    std::string command;
    uint8_t b = 0;
    for (uint16_t n = FSysCommandQueue.Count(); n > 0 && FSysCommandQueue.GetByte(b); --n)
        command += static_cast<char>(b);
    std::string reply;
    try {
        reply = RunCommand(SysTrim(command));
    } catch (const std::exception& e) {
        // A host failure outside the mount (which reports its own) still
        // answers the program rather than stopping the CPU.
        reply = std::string("\r\n") + e.what() + "\r\n";
    }
    for (char c : reply)
        if (!FSysReplyQueue.PutByte(static_cast<uint8_t>(c))) break;
}

std::string TSysCommandChannel::RunCommand(const std::string& commandLine) {
    if (commandLine.empty()) {
        std::string reply;
        for (const char* line : HelpLines) reply += std::string(line) + "\r\n";
        return reply;
    }
    std::string word = commandLine;
    std::string argument;
    size_t blank = commandLine.find(' ');
    if (blank != std::string::npos) {
        word = UpperAscii(commandLine.substr(0, blank));
        argument = SysTrim(commandLine.substr(blank + 1));
    }
    if (word == "MOUNT") return SysMountCommand(argument);
    if (word == "UNMOUNT") return SysUnmountCommand(argument);
    if (word == "DATE") return "\r\n" + FTimeFormat->LongDate(Now()) + "\r\n";
    if (word == "TIME") return "\r\n" + TSysTimeFormat::TimeOfDay(Now()) + "\r\n";
    if (word == "NOW") return "\r\n" + FTimeFormat->DateTime(Now()) + "\r\n";
    if (word == "PRINT") return SysPrintCommand(argument);
    return "\r\nInvalid command \"" + word + "\"!\r\n";
}

std::string TSysCommandChannel::JoinLines(const TLines& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

std::string TSysCommandChannel::SysPrintCommand(const std::string& arguments) {
    TLines lines{""};
    ISysPrinter* printer = FHost.SysPrinter();
    if (!arguments.empty()) {
        const std::string word = UpperAscii(arguments);
        if (!printer) {
            lines.push_back("Printer is not enabled.");
        } else if (!printer->IsPrinting()) {
            lines.push_back("No print job is printing.");
        } else if (word == "EJECT") {
            lines.push_back("Printing remaining pages in the current print job.");
            printer->EndJob();
        } else if (word != "ABORT") {
            lines.push_back("Valid printer commands are; ABORT and EJECT.");
        } else {
            lines.push_back("Aborting remaining pages in the current print job.");
            printer->AbortJob();
        }
        return JoinLines(lines);
    }
    lines.push_back("LPT port printer emulation status;");
    lines.push_back("");
    std::optional<std::string> selected = FHost.SelectedPrinterName();
    if (!selected) {
        lines.push_back("  No system printer is currently available.");
        lines.push_back("");
        return JoinLines(lines);
    }
    lines.push_back("  Selected Printer: \"" + *selected + "\"");
    lines.push_back("");
    if (!printer) {
        lines.push_back("  Printer is not enabled.");
    } else if (printer->IsPrinting()) {
        const int pages = printer->GetPageCount();
        if (pages < 1)
            lines.push_back("  Printer is active, 1 page in current print job.");
        else
            lines.push_back("  Printer is active, " + std::to_string(static_cast<int64_t>(pages) + 1) +
                            " pages in the current print job.");
    } else {
        lines.push_back("  Printer is enabled for printing.");
    }
    lines.push_back("");
    return JoinLines(lines);
}
