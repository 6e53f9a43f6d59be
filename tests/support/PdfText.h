#pragma once
// The text of a PDF file, page by page, as pdftotext (poppler-utils) reads
// it with its layout kept.

#include <cstdio>
#include <string>
#include <vector>

namespace tavrin::test {

inline std::vector<std::string> PdfPages(const std::string& pdfFile) {
    const std::string command = "pdftotext -layout '" + pdfFile + "' - 2>/dev/null";
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
        ::pclose(pipe);
    }
    // Pages end with a form feed.
    std::vector<std::string> pages;
    size_t start = 0;
    for (size_t ff; (ff = text.find('\f', start)) != std::string::npos; start = ff + 1)
        pages.push_back(text.substr(start, ff - start));
    return pages;
}

}  // namespace tavrin::test
