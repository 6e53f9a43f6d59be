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

TEST(QtPrintTarget, PagesOfTextReachThePdfAndJobsNeverOverwrite)
{
    PdfDevice d;
    d.Write("First line\r\nSecond line\r\n\fPage two here\r\n");
    EXPECT_TRUE(d.printer->IsPrinting());
    EXPECT_EQ(d.printer->GetPageCount(), 1);
    d.Write("\x1A");
    EXPECT_FALSE(d.printer->IsPrinting());
    ASSERT_EQ(d.target->LastPdfFile(), d.file);
    std::vector<std::string> pages = PdfPages(d.file);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_NE(pages[0].find("First line"), std::string::npos) << pages[0];
    EXPECT_NE(pages[0].find("Second line"), std::string::npos) << pages[0];
    EXPECT_NE(pages[1].find("Page two here"), std::string::npos) << pages[1];
    EXPECT_EQ(pages[1].find("First"), std::string::npos);
    d.Write("two\x1A");
    const std::string second = d.dir.filePath(QStringLiteral("lst-2.pdf")).toStdString();
    EXPECT_EQ(d.target->LastPdfFile(), second);
    EXPECT_EQ(PdfPages(d.file).size(), 2u);
    EXPECT_NE(PdfPages(second).at(0).find("two"), std::string::npos);
}

TEST(QtPrintTarget, AbortedAndEmptyJobsLeaveNoFile)
{
    PdfDevice d;
    d.Write("\r\n\f\x1A");
    d.Write("discarded");
    d.printer->AbortJob();
    EXPECT_FALSE(std::filesystem::exists(d.file));
    EXPECT_FALSE(d.printer->IsPrinting());
}

} // namespace
