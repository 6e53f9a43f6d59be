#pragma once
// The emulated machine's list device (LST). Each printable byte written to
// the printer data port is drawn at once on the printer's page canvas with a
// fixed character advance, as a teletype would; CR, LF, BS, HT and FF move
// the print position. The first byte opens the host job; ^Z, an eject or
// abort, or destruction closes it.
//
// Page breaks wait for the next glyph, so a job never ends on an empty
// sheet, and a job in which nothing was drawn is discarded rather than
// ejected. The page count includes the sheets owed, as the job reports them
// the moment the break happens.

#include <cstdint>

#include "console/core/PrintTarget.h"

// The machine reaches the device through the main window's adapter, so this
// engine knows nothing of the machine.
class TTTYPrinter {
public:
    static constexpr double MinMargin = 0.25;
    static constexpr double MaxMargin = 2.5;
    static constexpr double MinLineSpacing = 1.0;
    static constexpr double MaxLineSpacing = 3.0;
    static constexpr int MinTabSpacing = 1;
    static constexpr int MaxTabSpacing = 16;

    // target: the printing system; it must outlive the device.
    explicit TTTYPrinter(IPrintTarget& target);
    // A running job is finished and printed. Errors of the printing system
    // are swallowed here: a destructor cannot report them.
    ~TTTYPrinter();
    TTTYPrinter(const TTTYPrinter&) = delete;
    TTTYPrinter& operator=(const TTTYPrinter&) = delete;

    // Option flags, written directly by the owner.
    bool AutoLineWrap = true;
    bool IgnoreFormFeed = false;
    bool CtrlZEndsJob = true;

    double TopMargin() const { return FTopMargin; }
    double BottomMargin() const { return FBottomMargin; }
    double LeftMargin() const { return FLeftMargin; }
    double RightMargin() const { return FRightMargin; }
    double LineSpacing() const { return FLineSpacing; }
    int TabSpacing() const { return FTabSpacing; }
    // Inches, clamped to 0.25..2.5.
    void SetTopMargin(double inches);
    void SetBottomMargin(double inches);
    void SetLeftMargin(double inches);
    void SetRightMargin(double inches);
    // Factor of the text height, clamped to 1.0..3.0.
    void SetLineSpacing(double factor);
    // Characters, clamped to 1..16.
    void SetTabSpacing(int characters);

    // --- the device ---------------------------------------------------------
    void WriteChar(uint8_t b);
    bool IsReady() const { return FTarget.PrinterSelected(); }
    bool IsPrinting() const;
    // Page breaks in the running job, owed sheets included; 0 when idle.
    int GetPageCount() const { return IsPrinting() ? FPageCount : 0; }
    void EndJob();
    void AbortJob();

    // --- the print position, in printer pixels (for tests and display) -------
    int X() const { return FX; }
    int Y() const { return FY; }
    int CharacterWidth() const { return FCharWidth; }
    int LineHeight() const { return FLineHeight; }
    int LeftLimit() const { return FLeftLimit; }
    int RightLimit() const { return FRightLimit; }
    int TopLimit() const { return FTopLimit; }
    int BottomLimit() const { return FBottomLimit; }
    bool PageBlank() const { return FPageBlank; }

private:
    static double ClampMargin(double inches);
    void SetMargin(double& field, double inches);
    void RecalcMetrics();
    void StartJob();
    void Tab();
    void LineFeed();
    void FormFeed();
    void BreakPage();
    void PrintGlyph(uint8_t b);

    IPrintTarget& FTarget;
    int FX = 0;
    int FY = 0;
    int FPageWidth = 0;
    int FPageHeight = 0;
    int FLineHeight = 0;
    int FLeftLimit = 0;
    int FRightLimit = 0;
    int FTopLimit = 0;
    int FBottomLimit = 0;
    int FCharWidth = 0;
    double FTopMargin = MinMargin;
    double FBottomMargin = MinMargin;
    double FLeftMargin = MinMargin;
    double FRightMargin = MinMargin;
    double FLineSpacing = 1.1;
    int FTabSpacing = 8;
    bool FPageBlank = true;
    // Page breaks owed; their sheets are started by the next glyph.
    int FSheetsOwed = 0;
    // Something was drawn in the running job.
    bool FJobDrawn = false;
    int FPageCount = 0;
};

// The printer panel's values: a device takes them all when it is created,
// and the three option flags again whenever they change.
struct TLstPrinterSetup {
    int TabSpacing = 8;
    double TopBottomMargin = 0.25;
    double LeftRightMargin = 0.25;
    double LineSpacing = 1.1;
    bool IgnoreFormFeed = false;
    bool AutoLineWrap = true;
    bool CtrlZEndsJob = true;

    void ApplyOptions(TTTYPrinter& printer) const;
    void ApplyAll(TTTYPrinter& printer) const;
};
