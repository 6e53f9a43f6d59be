#pragma once
// The text of a PDF file, page by page, as pdftotext (poppler-utils) reads
// it with its layout kept; and the fonts it uses, as pdffonts names them.

#include <cstdio>
#include <string>
#include <vector>

namespace tavrin::test {

inline std::string PdfToolOutput(const std::string& command) {
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
        ::pclose(pipe);
    }
    return text;
}

inline std::vector<std::string> PdfPages(const std::string& pdfFile) {
    const std::string text = PdfToolOutput("pdftotext -layout '" + pdfFile + "' - 2>/dev/null");
    // Pages end with a form feed.
    std::vector<std::string> pages;
    size_t start = 0;
    for (size_t ff; (ff = text.find('\f', start)) != std::string::npos; start = ff + 1)
        pages.push_back(text.substr(start, ff - start));
    return pages;
}

// The names of the fonts the PDF uses, without the subset tag ("ABCDEF+"),
// in pdffonts' order.
inline std::vector<std::string> PdfFontNames(const std::string& pdfFile) {
    const std::string text = PdfToolOutput("pdffonts '" + pdfFile + "' 2>/dev/null");
    std::vector<std::string> names;
    size_t start = 0;
    // Two header lines: the column names and a rule.
    for (int line = 0; start < text.size(); ++line) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string row = text.substr(start, end - start);
        start = end + 1;
        if (line < 2 || row.empty()) continue;
        std::string name = row.substr(0, row.find(' '));
        if (const size_t plus = name.find('+'); plus != std::string::npos) name.erase(0, plus + 1);
        names.push_back(name);
    }
    return names;
}

}  // namespace tavrin::test
