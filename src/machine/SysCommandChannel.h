#pragma once
// The system-manager command channel. A CP/M program writes 0 to port 40h,
// the command text byte by byte to port 41h and 1 to port 40h; the command
// runs inside that last OUT and leaves a reply of CR LF lines that the
// program reads from port 41h until 1Ah. Commands mount and unmount disk
// images, list the images beside the program, tell the date and time, and
// show or control the printer. Every failure is a reply line; nothing is
// raised to the CPU side.

#include <cstdint>
#include <ctime>
#include <functional>
#include <locale.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "machine/ByteFIFO.h"

// The LST printer as the PRINT command sees it.
class ISysPrinter {
public:
    virtual ~ISysPrinter() = default;
    virtual bool IsPrinting() = 0;
    virtual int GetPageCount() = 0;
    virtual void EndJob() = 0;
    virtual void AbortJob() = 0;
};

// What the channel needs of the machine. Drives are 0-3 (A-D).
class ISysHost {
public:
    virtual ~ISysHost() = default;
    // The program folder, with a trailing separator; disk images live there.
    virtual const std::string& ProgramFolderPath() const = 0;
    // "(no disk)" or the mounted image name in double quotes.
    virtual const std::string& DriveCaption(uint8_t drive) const = 0;
    // The image file the drive was last mounted from; "" = none.
    virtual std::string DrivePath(uint8_t drive) const = 0;
    // True while the drive holds an open image.
    virtual bool DriveMounted(uint8_t drive) const = 0;
    // Mounts the image (drive A gets its system tracks first). May throw; the
    // drive is then left empty.
    virtual void MountDrive(uint8_t drive, const std::string& fileName) = 0;
    virtual void UnmountDrive(uint8_t drive) = 0;
    // The printer device; null while the printer is not enabled.
    virtual ISysPrinter* SysPrinter() { return nullptr; }
    // The selected system printer's name, when the host has a printer, a
    // current printer and a selection in the printer list.
    virtual std::optional<std::string> SelectedPrinterName() { return std::nullopt; }
};

// Date and time texts of DATE, TIME and NOW in the host's language. The
// texts are Latin-1; characters a UTF-8 locale gives beyond it become "?".
class TSysTimeFormat {
public:
    // localeName "" takes the environment's LC_ALL / LC_TIME / LANG; a name
    // the host does not know falls back to "C".
    explicit TSysTimeFormat(const std::string& localeName = "");
    ~TSysTimeFormat();
    TSysTimeFormat(const TSysTimeFormat&) = delete;
    TSysTimeFormat& operator=(const TSysTimeFormat&) = delete;

    // Full day name, full month name, two-digit day, four-digit year:
    // "Sunday December 06, 2026".
    std::string LongDate(const std::tm& t) const;
    // 12-hour clock without a leading zero: "8:05:09 pm".
    static std::string TimeOfDay(const std::tm& t);
    // The locale's standard date and time.
    std::string DateTime(const std::tm& t) const;

private:
    std::string Format(const char* format, const std::tm& t) const;
    locale_t FLocale = nullptr;
    bool FUtf8 = false;
};

class TSysCommandChannel {
public:
    static constexpr uint16_t CommandCapacity = 512;
    static constexpr uint16_t ReplyCapacity = 16384;
    static constexpr uint8_t EndOfReply = 0x1A;

    explicit TSysCommandChannel(ISysHost& host);
    TSysCommandChannel(const TSysCommandChannel&) = delete;
    TSysCommandChannel& operator=(const TSysCommandChannel&) = delete;

    // Local time now; replaceable for a fixed clock.
    std::function<std::tm()> Clock;

    // "" = the environment's locale (see TSysTimeFormat).
    void SetTimeLocale(const std::string& localeName);

    // --- the four port operations ------------------------------------------
    // IN (40h): 02h reply waiting, 04h command queue not full, 80h disk changed.
    uint8_t StatusPortRead() const;
    // IN (41h): the next reply byte, 1Ah when the reply is used up.
    uint8_t ReplyPortRead();
    // OUT (40h): 0 starts a command, 1 runs it, other values are ignored.
    void ControlPortWrite(uint8_t value);
    // OUT (41h): one command byte; dropped when the queue is full.
    void CommandPortWrite(uint8_t value);

private:
    using TLines = std::vector<std::string>;

    // Takes the command queue, runs it and fills the reply queue.
    void ExecuteSysCommand();
    // The reply to one trimmed command line.
    std::string RunCommand(const std::string& commandLine);

    std::string SysMountCommand(const std::string& arguments);
    std::string SysUnmountCommand(const std::string& arguments);
    std::string SysPrintCommand(const std::string& arguments);

    // Each line followed by CR LF.
    static std::string JoinLines(const TLines& lines);
    void AddDriveList(TLines& lines) const;
    void AddDriveLine(TLines& lines, char letter) const;
    void SysListDisks(TLines& lines, const std::string& search);
    void SysMountDisk(TLines& lines, char letter, const std::string& name);
    void SysEjectDrive(TLines& lines, char letter);
    // The letter of the first drive whose image is the file; 0 when none.
    char FindMountedDrive(const std::string& fileName) const;
    // The image file for a disk name, matched without regard to case; ""
    // when no such image exists.
    std::string FindDiskFile(const std::string& name) const;
    std::tm Now() const;

    ISysHost& FHost;
    TByteFIFO FSysCommandQueue{CommandCapacity};
    TByteFIFO FSysReplyQueue{ReplyCapacity};
    // Set by a MOUNT into a drive that already held a disk.
    bool FSysDiskChanged = false;
    std::string FTimeLocale;
    std::unique_ptr<TSysTimeFormat> FTimeFormat;
};

// Trims bytes up to and including the blank from both ends.
std::string SysTrim(const std::string& text);
// A disk name that stays inside the program folder: no separator, no "..",
// no control character, not empty.
bool IsValidDiskName(const std::string& name);
// "*" any run, "?" any one character; letters compare without regard to case.
bool SysWildcardMatch(const std::string& pattern, const std::string& name);
