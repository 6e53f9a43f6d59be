#include "console/QtPrintTarget.h"

#include "platform/QtUiPrompts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPrinterInfo>

#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

const char* const TQtPrintTarget::PdfEntryName = "PDF File";

namespace {

// The printer canvas font until the owner sets one: a fixed-pitch 10 point.
QFont DefaultPrinterFont() {
    QFont font(QStringLiteral("Courier New"), 10);
    if (QFontInfo(font).fixedPitch()) return font;
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(10);
    return fixed;
}

bool FileExists(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0;
}

}  // namespace

TQtPrintTarget::TQtPrintTarget(const std::string& pdfFileName)
    : FFont(DefaultPrinterFont()), FPdfFileName(pdfFileName) {
    RefreshPrinters();
}

TQtPrintTarget::~TQtPrintTarget() {
    if (FPainter.isActive()) FPainter.end();
}

void TQtPrintTarget::RefreshPrinters() {
    if (FPrinting) return;
    const std::optional<std::string> old = SelectedPrinterName();
    FPrinters = QPrinterInfo::availablePrinterNames();
    FPrinters.append(QString::fromLatin1(PdfEntryName));
    int index = -1;
    if (old) index = FPrinters.indexOf(QString::fromStdString(*old));
    if (index < 0) index = FPrinters.indexOf(QPrinterInfo::defaultPrinterName());
    if (index < 0) index = 0;
    FIndex = index;
    ApplySelection();
}

void TQtPrintTarget::SetPrinterIndex(int index) {
    if (FPrinting || index < -1 || index >= FPrinters.size()) return;
    FIndex = index;
    ApplySelection();
}

void TQtPrintTarget::SelectPdf() { SetPrinterIndex(static_cast<int>(FPrinters.size()) - 1); }

bool TQtPrintTarget::PdfSelected() const { return PrinterSelected() && FIndex == FPrinters.size() - 1; }

std::optional<std::string> TQtPrintTarget::SelectedPrinterName() const {
    if (!PrinterSelected()) return std::nullopt;
    return FPrinters[FIndex].toStdString();
}

void TQtPrintTarget::ApplySelection() {
    if (PdfSelected()) {
        FPrinter.setOutputFormat(QPrinter::PdfFormat);
    } else if (PrinterSelected()) {
        FPrinter.setOutputFormat(QPrinter::NativeFormat);
        FPrinter.setPrinterName(FPrinters[FIndex]);
    }
}

bool TQtPrintTarget::Landscape() const { return FPrinter.pageLayout().orientation() == QPageLayout::Landscape; }

void TQtPrintTarget::SetLandscape(bool landscape) {
    if (!FPrinting) FPrinter.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

std::string TQtPrintTarget::FreePdfName(const std::string& fileName) {
    if (!FileExists(fileName)) return fileName;
    std::string stem = fileName;
    std::string extension;
    const size_t dot = fileName.rfind('.');
    const size_t slash = fileName.rfind('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        stem = fileName.substr(0, dot);
        extension = fileName.substr(dot);
    }
    for (int n = 2;; ++n) {
        std::string candidate = stem + "-" + std::to_string(n) + extension;
        if (!FileExists(candidate)) return candidate;
    }
}

void TQtPrintTarget::BeginDoc() {
    if (FPrinting) return;
    FPrinting = true;
    FAborted = false;
    FJobPdfFile.clear();
}

// The host job starts with the first drawing.
void TQtPrintTarget::OpenPainter() {
    if (FPainter.isActive()) return;
    if (PdfSelected()) {
        FJobPdfFile = FreePdfName(FPdfFileName);
        FPrinter.setOutputFileName(PathToQt(FJobPdfFile));
    }
    if (!FPainter.begin(&FPrinter)) {
        FPrinting = false;
        FJobPdfFile.clear();
        throw std::runtime_error("The printer could not start the print job.");
    }
    FPainter.setFont(QFont(FFont, &FPrinter));
    FPainter.setPen(Qt::black);
}

void TQtPrintTarget::NewPage() {
    OpenPainter();
    if (!FPrinter.newPage()) throw std::runtime_error("The printer could not start a new page.");
}

void TQtPrintTarget::EndDoc() {
    if (!FPrinting) return;
    FPrinting = false;
    if (!FPainter.isActive()) return;
    const bool ended = FPainter.end();
    FLastPdfFile = FJobPdfFile;
    if (!ended) throw std::runtime_error("The print job could not be finished.");
}

void TQtPrintTarget::Abort() {
    if (!FPrinting) return;
    FPrinting = false;
    FAborted = true;
    if (!FPainter.isActive()) return;
    FPrinter.abort();
    FPainter.end();
    // The PDF engine cannot abort; its file is the discarded job.
    if (!FJobPdfFile.empty()) ::unlink(FJobPdfFile.c_str());
}

int TQtPrintTarget::TextWidth(const std::string& text) {
    return QFontMetrics(FFont, &FPrinter)
        .horizontalAdvance(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

int TQtPrintTarget::TextHeight(const std::string&) { return QFontMetrics(FFont, &FPrinter).height(); }

int TQtPrintTarget::PixelsPerInch() { return FPrinter.logicalDpiY(); }

int TQtPrintTarget::PageWidth() { return FPrinter.width(); }

int TQtPrintTarget::PageHeight() { return FPrinter.height(); }

void TQtPrintTarget::TextOut(int x, int y, const std::string& text) {
    OpenPainter();
    const int ascent = QFontMetrics(FPainter.font(), &FPrinter).ascent();
    FPainter.drawText(x, y + ascent, QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}
