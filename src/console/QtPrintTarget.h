#pragma once
// The program's printer object on Qt PrintSupport: a printer list (the
// host's printers, then a PDF file entry), the selected printer and its
// orientation, the canvas font, and the job calls the LST printer makes.
//
// The host job is opened lazily, at the first drawing: a job that draws
// nothing never reaches the printer. PDF jobs never overwrite an earlier
// file: a taken name gets "-2", "-3", ... before its extension.

#include <QFont>
#include <QPainter>
#include <QPrinter>
#include <QStringList>

#include <optional>
#include <string>

#include "console/core/PrintTarget.h"

class TQtPrintTarget : public IPrintTarget {
public:
    // The list entry that prints into PDF files.
    static const char* const PdfEntryName;

    // pdfFileName: where PDF jobs go (the first free name derived from it).
    explicit TQtPrintTarget(const std::string& pdfFileName);
    // A job still open is closed and kept.
    ~TQtPrintTarget() override;
    TQtPrintTarget(const TQtPrintTarget&) = delete;
    TQtPrintTarget& operator=(const TQtPrintTarget&) = delete;

    // --- the printer list and selection ------------------------------------
    // Reloads the host printers; the selection follows its printer by name
    // (the host's default when nothing was selected). Not while printing.
    void RefreshPrinters();
    const QStringList& Printers() const { return FPrinters; }
    int PrinterIndex() const { return FIndex; }
    // -1 deselects; an index outside the list is ignored. Not while printing.
    void SetPrinterIndex(int index);
    // Selects the PDF entry.
    void SelectPdf();
    std::optional<std::string> SelectedPrinterName() const;
    bool PdfSelected() const;
    void SetPdfFileName(const std::string& fileName) { FPdfFileName = fileName; }
    // The file the last PDF job was written to; "" when none.
    const std::string& LastPdfFile() const { return FLastPdfFile; }

    bool Landscape() const;
    void SetLandscape(bool landscape);
    const QFont& Font() const { return FFont; }
    void SetFont(const QFont& font) { FFont = font; }
    QPrinter& Printer() { return FPrinter; }

    // --- IPrintTarget --------------------------------------------------------
    bool PrinterSelected() const override { return FIndex >= 0 && FIndex < FPrinters.size(); }
    bool Printing() const override { return FPrinting; }
    bool Aborted() const override { return FAborted; }
    void BeginDoc() override;
    void NewPage() override;
    void EndDoc() override;
    void Abort() override;
    int TextWidth(const std::string& text) override;
    int TextHeight(const std::string& text) override;
    int PixelsPerInch() override;
    int PageWidth() override;
    int PageHeight() override;
    void TextOut(int x, int y, const std::string& text) override;

private:
    void ApplySelection();
    void OpenPainter();
    static std::string FreePdfName(const std::string& fileName);

    QPrinter FPrinter{QPrinter::HighResolution};
    QPainter FPainter;
    QFont FFont;
    QStringList FPrinters;
    int FIndex = -1;
    std::string FPdfFileName;
    std::string FJobPdfFile;
    std::string FLastPdfFile;
    bool FPrinting = false;
    bool FAborted = false;
};
