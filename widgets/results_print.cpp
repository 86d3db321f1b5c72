// The printout of a pupil's results: plain lines of text in the printer's font, a header of
// captioned lines and then the worksheet's rows, two columns, as many pages as they need.
#include <algorithm>

#include "platform/debug.h"
#include "platform/printing.h"
#include "platform/text.h"
#include "widgets/results_book.h"

void ResultsBook::Print(platform::PrintSurface* surface, const std::map<std::wstring, std::wstring>& header) const {
    if (!surface) return;
    const auto lines = CellTexts();
    if (!lines) {
        platform::Debug::Print("nothing to print: the pupil's worksheet has no table");
        return;
    }
    const int pageWidth = surface->PageWidth();
    const int pageHeight = surface->PageHeight();
    const platform::PrintTextMetrics metrics = surface->TextMetrics();
    const int margin = metrics.aveCharWidth;
    const int step = metrics.height + metrics.externalLeading;
    if (step <= 0 || pageHeight <= 2 * step) {
        platform::Debug::Print("nothing printed: the page is too small for a line of text");
        return;
    }
    int y = step;
    if (platform::Result<void> started = surface->StartDoc(L"Print1: Printing"); !started) {
        platform::Debug::Print("printing: " + started.why());
        return;
    }
    surface->StartPage();

    // A value stands at the middle of the page, or one margin after a caption wider than half
    // a page.
    for (const auto& [caption, value] : header) {
        const std::string text = platform::text::ToUtf8(caption);
        surface->TextOut(margin, y, text);
        const int width = surface->TextExtent(text).first;
        surface->TextOut(margin + std::max(margin + width, pageWidth / 2), y, platform::text::ToUtf8(value));
        y += step;
    }
    y += step;

    for (const std::vector<std::wstring>& cells : *lines) {
        int x = margin;
        for (const std::wstring& cell : cells) {
            const std::string text = platform::text::ToUtf8(cell);
            surface->TextOut(x, y, text);
            x += std::max(margin + surface->TextExtent(text).first, pageWidth / 2);
        }
        y += step;
        if (y + step >= pageHeight) {
            surface->EndPage();
            surface->StartPage();
            y = step;
        }
    }
    surface->EndPage();
    if (platform::Result<void> ended = surface->EndDoc(); !ended) {
        platform::Debug::Print("printing: " + ended.why());
        platform::Debug::Print("the results were not printed");
    }
}
