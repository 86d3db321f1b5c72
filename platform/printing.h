// Printing: the printers CUPS knows, and a surface to print text on.
//
// A surface measures and draws in device pixels at kDotsPerInch on a page of the printer's
// default paper (A4 when CUPS does not say). For a printer its pages are rendered with cairo into
// PostScript with the fonts embedded, and EndDoc submits that to the printer's CUPS queue as one
// job, so the queue's filters never re-typeset the text (CUPS's text filter loses Cyrillic, and
// its PDF-to-PostScript step loses which glyph is which letter). A surface made by ToFile
// renders the same pages into a PDF file and submits nothing.
//
//   made --StartDoc--> in document --StartPage--> on page --EndPage--> in document --EndDoc--> done
//
// Text is UTF-8, drawn in the surface's one font (a plain sans face at kFontPoints), with its
// top-left corner at the given point, as GDI's TextOut places text by default. Calls out of
// order are misuse: said on standard error ("printing: ...") and ignored; nothing ever ends the
// program. GUI thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/result.h"

namespace platform {

class Printers {
   public:
    struct List {
        std::vector<std::wstring> names;  // in the order CUPS enumerates them
        std::wstring defaultName;         // empty when there is none
    };
    // The printers (queues, not their instances) and the default one. Empty when CUPS is not
    // reachable.
    static List Get();
};

struct PrintTextMetrics {
    int height = 0;  // ascent + descent
    int ascent = 0;
    int externalLeading = 0;  // the font's recommended gap between lines
    int aveCharWidth = 0;
};

class PrintSurface {
   public:
    static constexpr int kDotsPerInch = 300;
    static constexpr double kFontPoints = 11.0;

    // A surface for the CUPS queue `printer`; ErrorKind::Missing when CUPS does not know it.
    static Result<std::unique_ptr<PrintSurface>> ForPrinter(const std::wstring& printer);
    // A surface that writes its document to `pdfPath`; the page is `widthMm` x `heightMm`.
    static std::unique_ptr<PrintSurface> ToFile(const std::string& pdfPath, double widthMm = 210.0,
                                                double heightMm = 297.0);

    ~PrintSurface();
    PrintSurface(const PrintSurface&) = delete;
    PrintSurface& operator=(const PrintSurface&) = delete;

    int PageWidth() const;   // device pixels
    int PageHeight() const;  // device pixels
    PrintTextMetrics TextMetrics() const;

    // Starts the document titled `title`. Fails when the output cannot be made, or a document
    // is open already.
    Result<void> StartDoc(const std::wstring& title);
    void StartPage();
    void EndPage();
    // Finishes the document; a printer surface submits it. Fails when nothing reached the
    // printer or the file.
    Result<void> EndDoc();
    // The CUPS job of the last EndDoc, 0 for none.
    int JobId() const;

    void TextOut(int x, int y, const std::string& utf8);
    // Width and height of `utf8` in device pixels.
    std::pair<int, int> TextExtent(const std::string& utf8) const;

   private:
    struct State;
    explicit PrintSurface(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace platform
