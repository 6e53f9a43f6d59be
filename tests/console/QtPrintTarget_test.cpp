// The LST printer on the real Qt printer object, printing into PDF files
// that pdftotext reads back.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <string>

#include "console/QtPrintTarget.h"
#include "console/TTYPrinter.h"
#include "support/PdfText.h"
#include "support/QtTestApp.h"

using namespace tavrin::test;

namespace {

struct PdfDevice {
    QTemporaryDir dir;
    std::string file;
    std::unique_ptr<TQtPrintTarget> target;
    std::unique_ptr<TTTYPrinter> printer;

    PdfDevice()
    {
        QtTestApp();
        file = dir.filePath(QStringLiteral("lst.pdf")).toStdString();
        target = std::make_unique<TQtPrintTarget>(file);
        target->SelectPdf();
        printer = std::make_unique<TTTYPrinter>(*target);
    }
    void Write(const std::string& bytes)
    {
        for (char c : bytes)
            printer->WriteChar(static_cast<uint8_t>(c));
    }
};

TEST(QtPrintTarget, PdfEntryEndsThePrinterList)
{
    PdfDevice d;
    EXPECT_EQ(d.target->Printers().back().toStdString(), TQtPrintTarget::PdfEntryName);
    EXPECT_EQ(d.target->SelectedPrinterName(), std::string(TQtPrintTarget::PdfEntryName));
    d.target->SetPrinterIndex(-1);
    EXPECT_FALSE(d.printer->IsReady());
    EXPECT_EQ(d.target->SelectedPrinterName(), std::nullopt);
}

// Each job writes a file of its own, an empty one none. (The pages of a
// job are read back by the main window's printer test.)
TEST(QtPrintTarget, JobsNeverOverwriteEarlierFilesAndEmptyJobsLeaveNone)
{
    PdfDevice d;
    d.Write("\r\n\f\x1A");
    EXPECT_FALSE(std::filesystem::exists(d.file));
    d.Write("one\x1A");
    EXPECT_FALSE(d.printer->IsPrinting());
    d.Write("two\x1A");
    const std::string second = d.dir.filePath(QStringLiteral("lst-2.pdf")).toStdString();
    EXPECT_EQ(d.target->LastPdfFile(), second);
    EXPECT_NE(PdfPages(d.file).at(0).find("one"), std::string::npos);
    EXPECT_NE(PdfPages(second).at(0).find("two"), std::string::npos);
}

} // namespace
