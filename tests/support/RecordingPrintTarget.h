#pragma once
// A printer that records every call as a line of text, with metrics the
// test chooses: by default 10-pixel characters, 20-pixel text height,
// 100 pixels per inch and an 8.5 x 11 inch page.

#include <stdexcept>
#include <string>
#include <vector>

#include "console/PrintTarget.h"

namespace tavrin::test {

class TRecordingPrintTarget : public IPrintTarget {
public:
    bool Selected = true;
    bool IsPrinting = false;
    bool WasAborted = false;
    int WidthOfW0 = 20;
    int Height = 20;
    int Ppi = 100;
    int Width = 850;
    int PageHeightPx = 1100;
    bool FailBeginDoc = false;
    // "begin", "page", "end", "abort" and "'c' x,y" for each glyph.
    std::vector<std::string> Log;

    bool PrinterSelected() const override { return Selected; }
    bool Printing() const override { return IsPrinting; }
    bool Aborted() const override { return WasAborted; }
    void BeginDoc() override
    {
        if (FailBeginDoc)
            throw std::runtime_error("The printer could not start the print job.");
        IsPrinting = true;
        WasAborted = false;
        Log.push_back("begin");
    }
    void NewPage() override { Log.push_back("page"); }
    void EndDoc() override
    {
        IsPrinting = false;
        Log.push_back("end");
    }
    void Abort() override
    {
        IsPrinting = false;
        WasAborted = true;
        Log.push_back("abort");
    }
    int TextWidth(const std::string& text) override { return text == "W0" ? WidthOfW0 : 0; }
    int TextHeight(const std::string&) override { return Height; }
    int PixelsPerInch() override { return Ppi; }
    int PageWidth() override { return Width; }
    int PageHeight() override { return PageHeightPx; }
    void TextOut(int x, int y, const std::string& text) override
    {
        Log.push_back("'" + text + "' " + std::to_string(x) + "," + std::to_string(y));
    }

    // Calls of one kind ("page", "end", ...); glyphs are counted by "'".
    int Count(const std::string& kind) const
    {
        int n = 0;
        for (const std::string& line : Log)
            if (kind == "'" ? line[0] == '\'' : line == kind)
                ++n;
        return n;
    }
    std::string LastGlyph() const
    {
        for (auto it = Log.rbegin(); it != Log.rend(); ++it)
            if ((*it)[0] == '\'')
                return *it;
        return "";
    }
};

} // namespace tavrin::test
