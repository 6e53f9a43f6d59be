#include "console/core/TTYPrinter.h"

#include <algorithm>
#include <cmath>

namespace {

// Round to the nearest integer, halves to even.
int RoundEven(double value) { return static_cast<int>(std::nearbyint(value)); }

// The line-height sample: the tallest and deepest glyphs of a text font.
constexpr const char* LineSample = "W!~`'\"\\/*(_+jgyMT0?.,";

}  // namespace

TTTYPrinter::TTTYPrinter(IPrintTarget& target) : FTarget(target) {}

TTTYPrinter::~TTTYPrinter() {
    try {
        EndJob();
    } catch (...) {
    }
}

double TTTYPrinter::ClampMargin(double inches) { return std::clamp(inches, MinMargin, MaxMargin); }

void TTTYPrinter::SetMargin(double& field, double inches) {
    inches = ClampMargin(inches);
    if (inches != field) {
        field = inches;
        RecalcMetrics();
    }
}

void TTTYPrinter::SetTopMargin(double inches) { SetMargin(FTopMargin, inches); }
void TTTYPrinter::SetBottomMargin(double inches) { SetMargin(FBottomMargin, inches); }
void TTTYPrinter::SetLeftMargin(double inches) { SetMargin(FLeftMargin, inches); }
void TTTYPrinter::SetRightMargin(double inches) { SetMargin(FRightMargin, inches); }

void TTTYPrinter::SetLineSpacing(double factor) {
    factor = std::clamp(factor, MinLineSpacing, MaxLineSpacing);
    if (factor != FLineSpacing) {
        FLineSpacing = factor;
        RecalcMetrics();
    }
}

void TTTYPrinter::SetTabSpacing(int characters) { FTabSpacing = std::clamp(characters, MinTabSpacing, MaxTabSpacing); }

void TTTYPrinter::RecalcMetrics() {
    if (!FTarget.PrinterSelected()) return;
    FCharWidth = FTarget.TextWidth("W0") / 2;
    FLineHeight = RoundEven(FTarget.TextHeight(LineSample) * FLineSpacing);
    const int ppi = FTarget.PixelsPerInch();
    FLeftLimit = RoundEven(FLeftMargin * ppi);
    FTopLimit = RoundEven(FTopMargin * ppi);
    FPageWidth = FTarget.PageWidth();
    FPageHeight = FTarget.PageHeight();
    FRightLimit = FPageWidth - RoundEven(FRightMargin * ppi);
    FBottomLimit = FPageHeight - RoundEven(FBottomMargin * ppi);
}

bool TTTYPrinter::IsPrinting() const { return FTarget.PrinterSelected() && FTarget.Printing() && !FTarget.Aborted(); }

void TTTYPrinter::StartJob() {
    if (!FTarget.PrinterSelected()) return;
    FTarget.BeginDoc();
    FPageCount = 0;
    FPageBlank = true;
    FSheetsOwed = 0;
    FJobDrawn = false;
    RecalcMetrics();
    FX = FLeftLimit;
    FY = FTopLimit;
}

void TTTYPrinter::EndJob() {
    if (!IsPrinting()) return;
    FSheetsOwed = 0;
    // A job that put nothing on paper would only eject a blank sheet.
    if (FJobDrawn)
        FTarget.EndDoc();
    else
        FTarget.Abort();
}

void TTTYPrinter::AbortJob() {
    if (!IsPrinting()) return;
    FSheetsOwed = 0;
    FTarget.Abort();
}

void TTTYPrinter::WriteChar(uint8_t b) {
    if (!FTarget.PrinterSelected()) return;
    if (!FTarget.Printing()) StartJob();
    if (!FTarget.Printing()) return;
    switch (b) {
        case 0x0D:
            FX = FLeftLimit;
            return;
        case 0x08:
            FX = std::max(FX - FCharWidth, FLeftLimit);
            return;
        case 0x09:
            Tab();
            return;
        case 0x0A:
            LineFeed();
            return;
        case 0x0C:
            if (!IgnoreFormFeed) FormFeed();
            return;
        case 0x1A:
            if (CtrlZEndsJob) EndJob();
            return;
        default:
            break;
    }
    if ((b >= 0x20 && b <= 0x7E) || (b >= 0xA0 && b <= 0xFE)) PrintGlyph(b);
}

void TTTYPrinter::Tab() {
    // Stops lie every step pixels from the left limit; a position on a stop
    // moves a full step. A font too narrow to measure still advances.
    const int step = std::max(1, FTabSpacing * FCharWidth);
    int offset = (FX - FLeftLimit) % step;
    if (offset < 0) offset += step;
    const int stop = FX + step - offset;
    if (stop <= FRightLimit) {
        FX = stop;
    } else if (AutoLineWrap) {
        LineFeed();
        FX = FLeftLimit;
        FPageBlank = false;
    } else {
        FX = FRightLimit;
    }
}

void TTTYPrinter::LineFeed() {
    if (FY + FLineHeight <= FBottomLimit) {
        FY += FLineHeight;
        return;
    }
    FY = FTopLimit;
    if (!FPageBlank) BreakPage();
}

void TTTYPrinter::FormFeed() {
    if (!FPageBlank) BreakPage();
    FY = FTopLimit;
    FX = FLeftLimit;
}

// The sheet is owed, not started: the next glyph starts it. A page that
// only wrapping tabs marked is still a page, so breaks owed add up.
void TTTYPrinter::BreakPage() {
    ++FSheetsOwed;
    ++FPageCount;
    FPageBlank = true;
}

void TTTYPrinter::PrintGlyph(uint8_t b) {
    if (FX + FCharWidth > FRightLimit) {
        if (!AutoLineWrap) return;
        LineFeed();
        FX = FLeftLimit;
    }
    for (; FSheetsOwed > 0; --FSheetsOwed) FTarget.NewPage();
    FTarget.TextOut(FX, FY, std::string(1, static_cast<char>(b)));
    FX += FCharWidth;
    FPageBlank = false;
    FJobDrawn = true;
}

void TLstPrinterSetup::ApplyOptions(TTTYPrinter& printer) const {
    printer.AutoLineWrap = AutoLineWrap;
    printer.IgnoreFormFeed = IgnoreFormFeed;
    printer.CtrlZEndsJob = CtrlZEndsJob;
}

void TLstPrinterSetup::ApplyAll(TTTYPrinter& printer) const {
    printer.SetTabSpacing(TabSpacing);
    printer.SetLeftMargin(LeftRightMargin);
    printer.SetRightMargin(LeftRightMargin);
    printer.SetTopMargin(TopBottomMargin);
    printer.SetBottomMargin(TopBottomMargin);
    printer.SetLineSpacing(LineSpacing);
    ApplyOptions(printer);
}
