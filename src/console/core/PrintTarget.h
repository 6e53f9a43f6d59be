#pragma once
// What the LST printer needs of the host's printing system: one printer
// object with a page canvas, its metrics and the job calls. The program uses
// the Qt implementation (QtPrintTarget.h); tests use a recording fake or a
// real PDF printer. Errors of the printing system are std::runtime_error
// with a fixed English sentence.

#include <string>

class IPrintTarget {
public:
    virtual ~IPrintTarget() = default;

    // A printer is chosen (the host has one and it is selected).
    virtual bool PrinterSelected() const = 0;
    // A job is open: BeginDoc ran and neither EndDoc nor Abort since.
    virtual bool Printing() const = 0;
    // The last job was discarded by Abort.
    virtual bool Aborted() const = 0;

    virtual void BeginDoc() = 0;
    virtual void NewPage() = 0;
    // Closes the job and sends it to the printer.
    virtual void EndDoc() = 0;
    // Closes the job and discards it.
    virtual void Abort() = 0;

    // Canvas metrics in printer pixels, with the canvas font.
    virtual int TextWidth(const std::string& text) = 0;
    virtual int TextHeight(const std::string& text) = 0;
    virtual int PixelsPerInch() = 0;
    virtual int PageWidth() = 0;
    virtual int PageHeight() = 0;
    // Draws Latin-1 text with its top-left corner at (x, y).
    virtual void TextOut(int x, int y, const std::string& text) = 0;
};
