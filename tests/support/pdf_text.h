// Reads a PDF back with poppler's pdftotext: the words of each page with their left and top
// edges in points, so tests can check lines and columns of what was printed.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

struct PdfWord {
    int page = 0;  // from 0
    double x = 0;
    double y = 0;
    double right = 0;
    std::string text;
};

// Joins the words that share a baseline into lines, left to right.
struct PdfLine {
    int page = 0;
    double y = 0;
    std::vector<PdfWord> words;
    std::string Text() const {
        std::string s;
        for (const PdfWord& w : words) s += (s.empty() ? "" : " ") + w.text;
        return s;
    }
};

inline std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

inline std::vector<PdfLine> PdfLines(const std::string& pdf) {
    const std::string html = RunCommand("pdftotext -bbox '" + pdf + "' - 2>/dev/null");
    std::vector<PdfLine> lines;
    std::vector<PdfWord> words;
    int page = -1;
    std::istringstream in(html);
    std::string row;
    while (std::getline(in, row)) {
        if (row.find("<page ") != std::string::npos) ++page;
        const std::size_t open = row.find("<word ");
        const std::size_t textStart = row.find('>', open);
        const std::size_t textEnd = row.find("</word>", textStart);
        if (open == std::string::npos || textStart == std::string::npos || textEnd == std::string::npos) continue;
        const auto number = [&](const char* name) {
            const std::size_t at = row.find(name, open);
            return at < textStart ? std::stod(row.substr(at + std::strlen(name))) : 0.0;
        };
        words.push_back(PdfWord{page, number("xMin=\""), number("yMin=\""), number("xMax=\""),
                                row.substr(textStart + 1, textEnd - textStart - 1)});
    }
    // pdftotext lists words by blocks (a column at a time): put them back into lines.
    std::stable_sort(words.begin(), words.end(), [](const PdfWord& a, const PdfWord& b) {
        if (a.page != b.page) return a.page < b.page;
        if (a.y != b.y) return a.y < b.y;
        return a.x < b.x;
    });
    for (const PdfWord& w : words) {
        if (lines.empty() || lines.back().page != w.page || std::abs(lines.back().y - w.y) > 1.0)
            lines.push_back(PdfLine{w.page, w.y, {}});
        lines.back().words.push_back(w);
    }
    return lines;
}

inline int PdfPages(const std::string& pdf) {
    const std::string info = RunCommand("pdfinfo '" + pdf + "' 2>/dev/null");
    const std::size_t at = info.find("Pages:");
    return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + 6);
}
