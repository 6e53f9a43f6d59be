#pragma once
// A printer that records every call as a line of text, with metrics the
// test chooses: by default 10-pixel characters, 20-pixel text height,
// 100 pixels per inch and an 8.5 x 11 inch page.

#include <algorithm>
#include <string>
#include <vector>

#include "console/core/PrintTarget.h"

namespace tavrin::test {

class TRecordingPrintTarget : public IPrintTarget {
public:
    bool Selected = true, IsPrinting = false, WasAborted = false;
    int WidthOfW0 = 20, Height = 20, Ppi = 100, Width = 850, PageHeightPx = 1100;
    // "begin", "page", "end", "abort" and "'c' x,y" for each glyph.
    std::vector<std::string> Log;

    bool PrinterSelected() const override { return Selected; }
    bool Printing() const override { return IsPrinting; }
    bool Aborted() const override { return WasAborted; }
    void BeginDoc() override { Close(true, false, "begin"); }
    void NewPage() override { Log.push_back("page"); }
    void EndDoc() override { Close(false, false, "end"); }
    void Abort() override { Close(false, true, "abort"); }
    int TextWidth(const std::string& text) override { return text == "W0" ? WidthOfW0 : 0; }
    int TextHeight(const std::string&) override { return Height; }
    int PixelsPerInch() override { return Ppi; }
    int PageWidth() override { return Width; }
    int PageHeight() override { return PageHeightPx; }
    void TextOut(int x, int y, const std::string& text) override {
        Log.push_back("'" + text + "' " + std::to_string(x) + "," + std::to_string(y));
    }

    // Calls of one kind ("page", "end", ...); "'" counts the glyphs.
    int Count(const std::string& kind) const {
        return static_cast<int>(std::count_if(Log.begin(), Log.end(), [&](const std::string& line) {
            return kind == "'" ? line[0] == '\'' : line == kind;
        }));
    }
    std::string LastGlyph() const {
        auto it = std::find_if(Log.rbegin(), Log.rend(), [](const std::string& line) { return line[0] == '\''; });
        return it == Log.rend() ? "" : *it;
    }

private:
    void Close(bool printing, bool aborted, const char* entry) {
        IsPrinting = printing;
        WasAborted = aborted;
        Log.push_back(entry);
    }
};

}  // namespace tavrin::test
